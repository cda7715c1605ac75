#include "host/app/DocumentFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/app/App.h"
#include "host/app/Crc32.h"
#include "host/app/Doc.h"
#include "host/app/DocumentDataClient.h"
#include "host/app/EventWatcher.h"
#include "host/app/RecordArchive.h"
#include "host/app/UnknownUserData.h"
#include "host/platform/FileReplacement.h"
#include "host/toolkit/BinaryArchive.h"

namespace {

constexpr std::uint8_t kMagic[8] = {'K', 'V', 'D', 'O', 'C', 0x1A, '\r', '\n'};
constexpr int kMajorVersion = 1;
constexpr int kMinorVersion = 0;
constexpr std::size_t kFileHeaderSize = 20;   // magic, int major, int minor, CRC of those
constexpr std::size_t kChunkHeaderSize = 20;  // type, int64 length, payload CRC, header CRC

constexpr std::uint32_t FourCC(const char (&s)[5]) {
  return std::uint32_t(std::uint8_t(s[0])) | std::uint32_t(std::uint8_t(s[1])) << 8 |
         std::uint32_t(std::uint8_t(s[2])) << 16 | std::uint32_t(std::uint8_t(s[3])) << 24;
}
enum ChunkType : std::uint32_t {
  chunk_settings = FourCC("RSET"),
  chunk_sizes = FourCC("SIZE"),
  chunk_layer = FourCC("LAYR"),
  chunk_material = FourCC("MATL"),
  chunk_light = FourCC("LITE"),
  chunk_object = FourCC("OBJT"),
  chunk_view = FourCC("VIEW"),
  chunk_plugin = FourCC("PLUG"),
  chunk_end = FourCC("END "),
};

const char* ChunkName(std::uint32_t type) {
  switch (type) {
    case chunk_settings: return "render settings";
    case chunk_sizes: return "custom sizes";
    case chunk_layer: return "layer";
    case chunk_material: return "material";
    case chunk_light: return "light";
    case chunk_object: return "object";
    case chunk_view: return "view";
    case chunk_plugin: return "plug-in data";
    case chunk_end: return "end";
    default: return "unknown";
  }
}

std::uint32_t LoadU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint64_t LoadU64(const std::uint8_t* p) { return std::uint64_t(LoadU32(p)) | std::uint64_t(LoadU32(p + 4)) << 32; }

void AppendChunk(TK_BinaryArchive& out, std::uint32_t type, const std::vector<std::uint8_t>& payload) {
  TK_BinaryArchive header;
  header.WriteUInt32(type);
  header.WriteInt64(std::int64_t(payload.size()));
  header.WriteUInt32(KvCrc32(payload));
  out.WriteBytes(header.Buffer());
  out.WriteUInt32(KvCrc32(header.Buffer()));
  out.WriteBytes(payload);
}

std::string Utf8(const TK_wString& s) { return s.ToUtf8(); }

TK_UUID StoredClassId(const TK_UserData& ud) {
  if (const auto* unknown = CKavraUnknownUserData::Cast(&ud)) return unknown->StoredClassId();
  return ud.ClassId()->Uuid();
}

// Restores the document's event state however the read ends.
class EventPause {
public:
  explicit EventPause(CKavraDoc& doc) : doc_(doc), was_(doc.EventsSuppressed()) { doc.SuppressEvents(true); }
  ~EventPause() { doc_.SuppressEvents(was_); }
  EventPause(const EventPause&) = delete;
  EventPause& operator=(const EventPause&) = delete;

private:
  CKavraDoc& doc_;
  bool was_;
};

// Reads the chunks of one document held in memory.
class ChunkReader {
public:
  ChunkReader(std::span<const std::uint8_t> bytes, const std::string& name, CKavraDoc& doc,
              const std::vector<KvDocumentDataClient*>& clients, KvDocumentFileResult& result)
      : bytes_(bytes), name_(name), doc_(doc), clients_(clients), result_(result) {}

  void ReadChunks();

private:
  void Report(const std::string& text) {
    result_.status = KvDocumentFileResult::Status::damaged;
    result_.messages.push_back(name_ + ": " + text);
  }
  std::string At() const { return " at byte " + std::to_string(chunk_at_); }
  void ReportDamaged(std::uint32_t type) { Report(std::string("damaged ") + ChunkName(type) + " chunk" + At()); }

  // A header whose own CRC holds and whose length fits in the file.
  bool HeaderValid(std::size_t pos) const {
    if (bytes_.size() - pos < kChunkHeaderSize) return false;
    const std::uint8_t* p = bytes_.data() + pos;
    return KvCrc32(std::span(p, 16)) == LoadU32(p + 16) && LoadU64(p + 4) <= bytes_.size() - pos - kChunkHeaderSize;
  }

  // A valid header whose payload also checks: where reading can go on after damage.
  bool ChunkValid(std::size_t pos) const {
    if (!HeaderValid(pos)) return false;
    const std::uint8_t* p = bytes_.data() + pos;
    return KvCrc32(bytes_.subspan(pos + kChunkHeaderSize, std::size_t(LoadU64(p + 4)))) == LoadU32(p + 12);
  }
  // The next whole chunk after pos; the size of the file when there is none.
  std::size_t NextValidChunk(std::size_t pos) const {
    std::size_t next = pos + 1;
    while (next < bytes_.size() && !ChunkValid(next)) ++next;
    return next;
  }

  // Each answers false when the payload does not hold what its type says.
  bool ReadPayload(std::uint32_t type, TK_BinaryArchive& in);
  bool ReadSizes(TK_BinaryArchive& in);
  bool ReadLayer(TK_BinaryArchive& in);
  bool ReadMaterial(TK_BinaryArchive& in);
  bool ReadUserData(TK_BinaryArchive& in, TK_Material& material);
  bool ReadLight(TK_BinaryArchive& in);
  bool ReadObject(TK_BinaryArchive& in);
  bool ReadView(TK_BinaryArchive& in);
  bool ReadPlugInData(TK_BinaryArchive& in);

  // Puts a table record at the index it was saved with. Records lost to
  // damage leave deleted placeholders, so later indices keep their meaning.
  template <typename Record> bool Place(CKavraTable<Record>& table, int index, bool deleted, Record record) {
    if (index < table.Count()) {
      Report(std::string("second ") + ChunkName(current_type_) + " " + std::to_string(index) + At() + " dropped");
      return true;
    }
    if (std::uint64_t(index - table.Count()) > bytes_.size() / kChunkHeaderSize) return false;
    while (table.Count() < index) table.Load(Record(), true);
    table.Load(std::move(record), deleted);
    return true;
  }

  std::span<const std::uint8_t> bytes_;
  const std::string& name_;
  CKavraDoc& doc_;
  const std::vector<KvDocumentDataClient*>& clients_;
  KvDocumentFileResult& result_;
  std::size_t chunk_at_ = 0;
  std::uint32_t current_type_ = 0;
};

void ChunkReader::ReadChunks() {
  std::size_t pos = kFileHeaderSize;
  bool ended = false;
  while (pos < bytes_.size()) {
    chunk_at_ = pos;
    if (!HeaderValid(pos)) {
      // The length cannot be trusted: go on at the next whole chunk. Only a
      // file that ends inside a chunk with a sound header was cut short.
      const std::size_t next = NextValidChunk(pos);
      const bool sound_header = bytes_.size() - pos >= kChunkHeaderSize &&
                                KvCrc32(bytes_.subspan(pos, 16)) == LoadU32(bytes_.data() + pos + 16);
      if (next >= bytes_.size()) {
        if (sound_header || bytes_.size() - pos < kChunkHeaderSize)
          Report("document cut short in a " +
                 std::string(ChunkName(bytes_.size() - pos >= 4 ? LoadU32(bytes_.data() + pos) : 0)) + " chunk" + At());
        else
          Report("damaged chunk header" + At() + "; nothing after it could be read");
        return;
      }
      Report("damaged chunk header" + At() + "; reading went on at byte " + std::to_string(next));
      pos = next;
      continue;
    }
    const std::uint8_t* h = bytes_.data() + pos;
    const std::uint32_t type = LoadU32(h);
    const std::uint64_t length = LoadU64(h + 4);
    const auto payload = bytes_.subspan(pos + kChunkHeaderSize, std::size_t(length));
    current_type_ = type;
    if (KvCrc32(payload) != LoadU32(h + 12)) {
      ReportDamaged(type);
      // Its length may be what is damaged: when no chunk starts where it
      // says it ends, go on at the next whole chunk instead.
      const std::size_t end = pos + kChunkHeaderSize + std::size_t(length);
      if (end < bytes_.size() && !ChunkValid(end)) {
        const std::size_t next = NextValidChunk(pos);
        if (next < bytes_.size() && next != end)
          Report("reading went on at byte " + std::to_string(next) + " after " + std::to_string(next - pos) +
                 " bytes skipped");
        pos = next;
      } else {
        pos = end;
      }
      continue;
    }
    pos += kChunkHeaderSize + std::size_t(length);
    if (type == chunk_end) {
      ended = true;
      break;
    }
    TK_BinaryArchive in(payload);
    if (!ReadPayload(type, in)) ReportDamaged(type);
  }
  if (!ended) Report("document cut short at byte " + std::to_string(bytes_.size()) + " (no end mark)");
}

bool ChunkReader::ReadPayload(std::uint32_t type, TK_BinaryArchive& in) {
  switch (type) {
    case chunk_settings: {
      TK_ScnRenderSettings settings;
      if (!settings.Read(in)) return false;
      const auto sizes = doc_.Properties().CustomRenderSizes();
      doc_.Properties().Load(settings, {sizes.begin(), sizes.end()});
      return true;
    }
    case chunk_sizes: return ReadSizes(in);
    case chunk_layer: return ReadLayer(in);
    case chunk_material: return ReadMaterial(in);
    case chunk_light: return ReadLight(in);
    case chunk_object: return ReadObject(in);
    case chunk_view: return ReadView(in);
    case chunk_plugin: return ReadPlugInData(in);
    default: return true;  // a chunk of a later version: skipped
  }
}

bool ChunkReader::ReadSizes(TK_BinaryArchive& in) {
  int count = 0;
  if (!in.ReadInt(count) || count < 0 || std::uint64_t(count) > in.BytesRemaining() / 8) return false;
  std::vector<KvRenderSize> sizes(static_cast<std::size_t>(count));
  for (KvRenderSize& s : sizes)
    if (!in.ReadInt(s.width) || !in.ReadInt(s.height) || s.width < 1 || s.height < 1) return false;
  doc_.Properties().Load(doc_.Properties().RenderSettings(), std::move(sizes));
  return true;
}

bool ChunkReader::ReadLayer(TK_BinaryArchive& in) {
  int index = 0;
  bool deleted = false;
  TK_Layer layer;
  if (!in.ReadInt(index) || !in.ReadBool(deleted) || !layer.Read(in) || index < 0) return false;
  return Place(doc_.LayerTable(), index, deleted, std::move(layer));
}

bool ChunkReader::ReadMaterial(TK_BinaryArchive& in) {
  int index = 0;
  bool deleted = false;
  TK_Material material;
  if (!in.ReadInt(index) || !in.ReadBool(deleted) || !material.Read(in) || index < 0) return false;
  if (!ReadUserData(in, material)) return false;
  return Place(doc_.MaterialTable(), index, deleted, std::move(material));
}

bool ChunkReader::ReadUserData(TK_BinaryArchive& in, TK_Material& material) {
  int count = 0;
  // Each record takes at least its two identifiers, copy count and length.
  if (!in.ReadInt(count) || count < 0 || std::uint64_t(count) > in.BytesRemaining() / 44) return false;
  for (int i = 0; i < count; ++i) {
    TK_UUID class_id, userdata_id;
    int copy_count = 0;
    std::int64_t length = 0;
    std::vector<std::uint8_t> bytes;
    if (!in.ReadUuid(class_id) || !in.ReadUuid(userdata_id) || !in.ReadInt(copy_count) || !in.ReadInt64(length) ||
        length < 0 || !in.ReadBytes(std::uint64_t(length), bytes))
      return false;
    std::unique_ptr<TK_UserData> record;
    const TK_ClassId* cls = TK_ClassId::ClassId(class_id);
    if (cls && cls->IsDerivedFrom(&TK_UserData::m_TK_UserData_class_id)) {
      std::unique_ptr<TK_Object> object = cls->Create();
      if (TK_UserData::Cast(object.get())) {
        record.reset(static_cast<TK_UserData*>(object.release()));
        TK_BinaryArchive data(bytes);
        if (!record->Read(data)) {
          Report("material \"" + Utf8(material.Name()) + "\"" + At() + ": user data " + cls->ClassName() +
                 " could not be read and was dropped");
          continue;
        }
      }
    }
    // A class this run does not know is kept as it was stored.
    if (!record) record = std::make_unique<CKavraUnknownUserData>(class_id, std::move(bytes));
    record->m_userdata_uuid = userdata_id;
    record->m_userdata_copycount = copy_count;
    if (!material.AttachUserData(std::move(record)))
      Report("material \"" + Utf8(material.Name()) + "\"" + At() + ": second user data " + userdata_id.ToString() +
             " dropped");
  }
  return true;
}

bool ChunkReader::ReadLight(TK_BinaryArchive& in) {
  int index = 0, layer = 0;
  bool deleted = false;
  TK_Light light;
  if (!in.ReadInt(index) || !in.ReadBool(deleted) || !KvReadLight(in, light) || !in.ReadInt(layer) || index < 0)
    return false;
  return Place(doc_.LightTable(), index, deleted, CKavraLight(light, layer));
}

bool ChunkReader::ReadObject(TK_BinaryArchive& in) {
  TK_ScnObjectAttributes attributes;
  bool renderable = false;
  int count = 0;
  // A mesh takes at least its two counts and its flags.
  if (!attributes.Read(in) || !in.ReadBool(renderable) || !in.ReadInt(count) || count < 0 ||
      std::uint64_t(count) > in.BytesRemaining() / 9)
    return false;
  CKavraObject object(attributes);
  object.SetRenderable(renderable);
  for (int i = 0; i < count; ++i) {
    TK_Mesh mesh;
    if (!KvReadMesh(in, mesh)) return false;
    if (!object.AddRenderMesh(std::move(mesh)))
      Report("object \"" + Utf8(attributes.Name()) + "\"" + At() + ": mesh " + std::to_string(i + 1) +
             " is not valid and was dropped");
  }
  doc_.LoadObject(std::move(object));
  return true;
}

bool ChunkReader::ReadView(TK_BinaryArchive& in) {
  bool active = false;
  CKavraView view;
  if (!in.ReadBool(active) || !KvReadView(in, view)) return false;
  const int index = doc_.AddView(view);
  if (active) doc_.SetActiveView(index);
  return true;
}

bool ChunkReader::ReadPlugInData(TK_BinaryArchive& in) {
  TK_UUID id;
  std::int64_t length = 0;
  std::vector<std::uint8_t> bytes;
  if (!in.ReadUuid(id) || !in.ReadInt64(length) || length < 0 || !in.ReadBytes(std::uint64_t(length), bytes))
    return false;
  for (KvDocumentDataClient* client : clients_) {
    if (client->DocumentDataPlugInId() != id) continue;
    TK_BinaryArchive data(bytes);
    if (!client->ReadDocumentData(doc_, data))
      Report("plug-in data of " + id.ToString() + At() + " could not be read by its plug-in");
  }
  doc_.SetPlugInData(id, std::move(bytes));
  return true;
}

// Writes the chunks of one document, one kind at a time, in the order the
// reader expects them.
class ChunkWriter {
public:
  ChunkWriter(const CKavraDoc& doc, const std::vector<KvDocumentDataClient*>& clients, KvDocumentFileResult& result)
      : doc_(doc), clients_(clients), result_(result) {}

  void WriteChunks(std::vector<std::uint8_t>& bytes);

private:
  void Report(const std::string& text) {
    result_.status = KvDocumentFileResult::Status::damaged;
    result_.messages.push_back(text);
  }
  template <typename Fill> void Chunk(std::uint32_t type, Fill&& fill) {
    TK_BinaryArchive payload;
    fill(payload);
    AppendChunk(out_, type, payload.Buffer());
  }

  void WriteHeader();
  void WriteSizes(TK_BinaryArchive& a);
  void WriteLayer(TK_BinaryArchive& a, int index);
  void WriteMaterial(TK_BinaryArchive& a, int index);
  void WriteUserData(TK_BinaryArchive& a, const TK_Material& material);
  void WriteLight(TK_BinaryArchive& a, int index);
  void WriteObject(TK_BinaryArchive& a, int index);
  void WriteView(TK_BinaryArchive& a, int index);
  void WritePlugInData();

  const CKavraDoc& doc_;
  const std::vector<KvDocumentDataClient*>& clients_;
  KvDocumentFileResult& result_;
  TK_BinaryArchive out_;
};

void ChunkWriter::WriteChunks(std::vector<std::uint8_t>& bytes) {
  WriteHeader();
  Chunk(chunk_settings, [&](TK_BinaryArchive& a) { doc_.Properties().RenderSettings().Write(a); });
  Chunk(chunk_sizes, [&](TK_BinaryArchive& a) { WriteSizes(a); });
  for (int i = 0; i < doc_.LayerTable().Count(); ++i) Chunk(chunk_layer, [&](TK_BinaryArchive& a) { WriteLayer(a, i); });
  for (int i = 0; i < doc_.MaterialTable().Count(); ++i)
    Chunk(chunk_material, [&](TK_BinaryArchive& a) { WriteMaterial(a, i); });
  for (int i = 0; i < doc_.LightTable().Count(); ++i) Chunk(chunk_light, [&](TK_BinaryArchive& a) { WriteLight(a, i); });
  for (int i = 0; i < doc_.ObjectCount(); ++i) Chunk(chunk_object, [&](TK_BinaryArchive& a) { WriteObject(a, i); });
  for (int i = 0; i < doc_.ViewCount(); ++i) Chunk(chunk_view, [&](TK_BinaryArchive& a) { WriteView(a, i); });
  WritePlugInData();
  AppendChunk(out_, chunk_end, {});
  bytes = out_.TakeBuffer();
}

void ChunkWriter::WriteHeader() {
  out_.WriteBytes(kMagic);
  out_.WriteInt(kMajorVersion);
  out_.WriteInt(kMinorVersion);
  out_.WriteUInt32(KvCrc32(out_.Buffer()));
}

void ChunkWriter::WriteSizes(TK_BinaryArchive& a) {
  const std::span<const KvRenderSize> sizes = doc_.Properties().CustomRenderSizes();
  a.WriteInt(int(sizes.size()));
  for (const KvRenderSize& s : sizes) {
    a.WriteInt(s.width);
    a.WriteInt(s.height);
  }
}

void ChunkWriter::WriteLayer(TK_BinaryArchive& a, int index) {
  const CKavraLayerTable& layers = doc_.LayerTable();
  a.WriteInt(index);
  a.WriteBool(layers.IsDeleted(index));
  layers[index].Write(a);
}

void ChunkWriter::WriteMaterial(TK_BinaryArchive& a, int index) {
  const CKavraMaterialTable& materials = doc_.MaterialTable();
  a.WriteInt(index);
  a.WriteBool(materials.IsDeleted(index));
  materials[index].Write(a);
  WriteUserData(a, materials[index]);
}

// The material's saved user data: a count, then per record its class, its
// identifier, its copy count and its bytes. A record that fails to write is
// reported and left out; run-time records are never saved.
void ChunkWriter::WriteUserData(TK_BinaryArchive& a, const TK_Material& material) {
  std::vector<std::pair<const TK_UserData*, std::vector<std::uint8_t>>> records;
  for (const auto& ud : material.AllUserData()) {
    if (!ud->Archive()) continue;
    TK_BinaryArchive data;
    if (ud->Write(data))
      records.emplace_back(ud.get(), data.TakeBuffer());
    else
      Report("material \"" + Utf8(material.Name()) + "\": user data " + ud->ClassId()->ClassName() +
             " could not be written and was left out");
  }
  a.WriteInt(int(records.size()));
  for (const auto& [ud, data] : records) {
    a.WriteUuid(StoredClassId(*ud));
    a.WriteUuid(ud->m_userdata_uuid);
    a.WriteInt(ud->m_userdata_copycount);
    a.WriteInt64(std::int64_t(data.size()));
    a.WriteBytes(data);
  }
}

void ChunkWriter::WriteLight(TK_BinaryArchive& a, int index) {
  const CKavraLightTable& lights = doc_.LightTable();
  a.WriteInt(index);
  a.WriteBool(lights.IsDeleted(index));
  KvWriteLight(a, lights[index].Light());
  a.WriteInt(lights[index].LayerIndex());
}

void ChunkWriter::WriteObject(TK_BinaryArchive& a, int index) {
  const CKavraObject& object = *doc_.ObjectAt(index);
  object.Attributes().Write(a);
  a.WriteBool(object.IsRenderable());
  a.WriteInt(object.RenderMeshCount());
  for (int m = 0; m < object.RenderMeshCount(); ++m) KvWriteMesh(a, *object.RenderMesh(m));
}

void ChunkWriter::WriteView(TK_BinaryArchive& a, int index) {
  a.WriteBool(index == doc_.ActiveViewIndex());
  KvWriteView(a, *doc_.ViewAt(index));
}

// Plug-ins that are loaded write their data afresh; the blocks of the others
// go back as they were read.
void ChunkWriter::WritePlugInData() {
  auto plugin_chunk = [&](const TK_UUID& id, const std::vector<std::uint8_t>& data) {
    Chunk(chunk_plugin, [&](TK_BinaryArchive& a) {
      a.WriteUuid(id);
      a.WriteInt64(std::int64_t(data.size()));
      a.WriteBytes(data);
    });
  };
  std::vector<TK_UUID> written;
  for (KvDocumentDataClient* client : clients_) {
    const TK_UUID id = client->DocumentDataPlugInId();
    if (!client->HasDocumentData(doc_)) continue;
    TK_BinaryArchive data;
    if (client->WriteDocumentData(doc_, data)) {
      plugin_chunk(id, data.Buffer());
      written.push_back(id);
    } else {
      Report("plug-in data of " + id.ToString() + " could not be written" +
             (doc_.PlugInData(id) ? "; the data read with the document was kept" : ""));
    }
  }
  for (const TK_UUID& id : doc_.PlugInDataIds())
    if (std::find(written.begin(), written.end(), id) == written.end()) plugin_chunk(id, *doc_.PlugInData(id));
}

std::string ErrorText(int error) { return std::strerror(error); }

}  // namespace

CKavraDocumentFile::CKavraDocumentFile() = default;

CKavraDocumentFile::CKavraDocumentFile(std::vector<KvDocumentDataClient*> clients)
    : clients_(std::move(clients)), use_app_clients_(false) {}

KvDocumentFileResult CKavraDocumentFile::Read(std::span<const std::uint8_t> bytes, const std::string& name,
                                              CKavraDoc& doc) const {
  KvDocumentFileResult result;
  auto fail = [&](const std::string& why) {
    result.status = KvDocumentFileResult::Status::failed;
    result.messages = {name + ": " + why};
    return result;
  };
  if (bytes.size() < kFileHeaderSize || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
    return fail("not a DuskMoth document");
  const int major = int(LoadU32(bytes.data() + 8)), minor = int(LoadU32(bytes.data() + 12));
  // A damaged header cannot be trusted for its version; the chunks check
  // themselves, so reading them as this version is still safe.
  const bool header_damaged = KvCrc32(bytes.first(16)) != LoadU32(bytes.data() + 16);
  // Later minor versions only add chunks, which this reader skips.
  if (!header_damaged && major != kMajorVersion)
    return fail("document format " + std::to_string(major) + "." + std::to_string(minor) +
                " cannot be read by this program (it reads " + std::to_string(kMajorVersion) + ".x)");
  EventPause pause(doc);
  doc.Clear();
  if (header_damaged) {
    result.status = KvDocumentFileResult::Status::damaged;
    result.messages.push_back(name + ": damaged file header at byte 0; read as format " +
                              std::to_string(kMajorVersion) + "." + std::to_string(kMinorVersion));
  }
  const std::vector<KvDocumentDataClient*>& clients = use_app_clients_ ? KavraApp().DocumentDataClients() : clients_;
  ChunkReader(bytes, name, doc, clients, result).ReadChunks();
  doc.SetModified(false);
  return result;
}

KvDocumentFileResult CKavraDocumentFile::Read(const std::filesystem::path& path, CKavraDoc& doc) const {
  const std::string name = path.filename().string();
  KvDocumentFileResult result;
  result.status = KvDocumentFileResult::Status::failed;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    result.messages = {name + ": is a folder, not a document"};
    return result;
  }
  errno = 0;
  TK_BinaryArchive in(path, TK_BinaryArchive::Mode::Read);
  if (!in.IsOpen()) {
    result.messages = {name + ": cannot open: " + ErrorText(errno ? errno : ENOENT)};
    return result;
  }
  std::vector<std::uint8_t> bytes;
  if (!in.ReadBytes(in.BytesRemaining(), bytes)) {
    result.messages = {name + ": cannot read: " + ErrorText(errno ? errno : EIO)};
    return result;
  }
  result = Read(bytes, name, doc);
  if (!result.Failed()) doc.SetPath(path);
  return result;
}

KvDocumentFileResult CKavraDocumentFile::Write(const CKavraDoc& doc, std::vector<std::uint8_t>& bytes) const {
  KvDocumentFileResult result;
  const std::vector<KvDocumentDataClient*>& clients = use_app_clients_ ? KavraApp().DocumentDataClients() : clients_;
  ChunkWriter(doc, clients, result).WriteChunks(bytes);
  return result;
}

KvDocumentFileResult CKavraDocumentFile::Write(CKavraDoc& doc, const std::filesystem::path& path) const {
  const std::string name = path.filename().string();
  const TK_wString wide_path = TK_wString::FromUtf8(path.string());
  doc.RaiseEvent([&](CKavraEventWatcher& w) { w.OnBeginSaveDocument(doc, wide_path, false); });
  std::vector<std::uint8_t> bytes;
  KvDocumentFileResult result = Write(doc, bytes);
  for (std::string& m : result.messages) m = name + ": " + m;
  auto fail = [&](const std::string& why) {
    KvDocumentFileResult failed;
    failed.status = KvDocumentFileResult::Status::failed;
    failed.messages = {name + ": could not be saved: " + why};
    return failed;
  };

  if (const int error = KvReplaceFile(path, bytes); error != 0) return fail(ErrorText(error));
  doc.SetPath(path);
  doc.SetModified(false);
  doc.RaiseEvent([&](CKavraEventWatcher& w) { w.OnEndSaveDocument(doc, wide_path, false); });
  return result;
}
