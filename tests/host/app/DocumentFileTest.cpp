// The .kvd document file: round trips through real files, damaged and
// crafted documents, plug-in data blocks and safe saving.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <fstream>
#include <iterator>
#include <limits>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "SampleDocument.h"
#include "TempFolder.h"
#include "host/app/Crc32.h"
#include "host/app/DocumentFile.h"
#include "host/app/RecordArchive.h"
#include "host/app/UnknownUserData.h"
#include "support/LittleEndianBytes.h"

namespace {

std::vector<std::uint8_t> FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::uint32_t FourCC(const char* s) {
  return std::uint32_t(std::uint8_t(s[0])) | std::uint32_t(std::uint8_t(s[1])) << 8 |
         std::uint32_t(std::uint8_t(s[2])) << 16 | std::uint32_t(std::uint8_t(s[3])) << 24;
}

// The file layout as documented: a 20-byte file header, then chunks of a
// 20-byte header (type, int64 length, payload CRC, header CRC) and payload.
struct ChunkInfo {
  std::size_t offset;
  std::uint32_t type;
  std::size_t length;
};

std::vector<ChunkInfo> ListChunks(const std::vector<std::uint8_t>& bytes) {
  std::vector<ChunkInfo> chunks;
  for (std::size_t pos = 20; pos + 20 <= bytes.size();) {
    auto u32 = [&](std::size_t at) {
      return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16 |
             std::uint32_t(bytes[at + 3]) << 24;
    };
    const std::size_t length = std::size_t(u32(pos + 4)) | std::size_t(u32(pos + 8)) << 32;
    chunks.push_back({pos, u32(pos), length});
    pos += 20 + length;
  }
  return chunks;
}

std::vector<std::uint8_t> ChunkBytes(const char* type, const std::vector<std::uint8_t>& payload) {
  LittleEndianBytes h;
  h.Unsigned(FourCC(type), 4).Unsigned(payload.size(), 8).Unsigned(KvCrc32(payload), 4);
  const std::uint32_t header_crc = KvCrc32(h.bytes);
  h.Unsigned(header_crc, 4);
  h.bytes.insert(h.bytes.end(), payload.begin(), payload.end());
  return h.bytes;
}

// Inserts a chunk just before the end chunk.
std::vector<std::uint8_t> WithChunk(std::vector<std::uint8_t> bytes, const std::vector<std::uint8_t>& chunk) {
  const std::size_t end = ListChunks(bytes).back().offset;
  bytes.insert(bytes.begin() + std::ptrdiff_t(end), chunk.begin(), chunk.end());
  return bytes;
}

std::vector<std::uint8_t> EmptyDocumentBytes() {
  CKavraDoc doc;
  std::vector<std::uint8_t> bytes;
  CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, bytes);
  return bytes;
}

KvDocumentFileResult ReadBytes(const std::vector<std::uint8_t>& bytes, CKavraDoc& doc,
                               std::vector<KvDocumentDataClient*> clients = {}) {
  return CKavraDocumentFile(std::move(clients)).Read(bytes, "scene.kvd", doc);
}

void ExpectSameDocument(const CKavraDoc& a, const CKavraDoc& b) {
  EXPECT_TRUE(a.Properties().RenderSettings() == b.Properties().RenderSettings());
  EXPECT_TRUE(std::ranges::equal(a.Properties().CustomRenderSizes(), b.Properties().CustomRenderSizes()));
  ASSERT_EQ(a.LayerTable().Count(), b.LayerTable().Count());
  for (int i = 0; i < a.LayerTable().Count(); ++i) {
    EXPECT_TRUE(a.LayerTable()[i] == b.LayerTable()[i]) << "layer " << i;
    EXPECT_EQ(a.LayerTable().IsDeleted(i), b.LayerTable().IsDeleted(i)) << "layer " << i;
  }
  ASSERT_EQ(a.MaterialTable().Count(), b.MaterialTable().Count());
  for (int i = 0; i < a.MaterialTable().Count(); ++i) {
    EXPECT_TRUE(a.MaterialTable()[i] == b.MaterialTable()[i]) << "material " << i;
    EXPECT_EQ(a.MaterialTable().IsDeleted(i), b.MaterialTable().IsDeleted(i)) << "material " << i;
  }
  ASSERT_EQ(a.LightTable().Count(), b.LightTable().Count());
  for (int i = 0; i < a.LightTable().Count(); ++i) {
    EXPECT_TRUE(a.LightTable()[i] == b.LightTable()[i]) << "light " << i;
    EXPECT_EQ(a.LightTable().IsDeleted(i), b.LightTable().IsDeleted(i)) << "light " << i;
  }
  ASSERT_EQ(a.ObjectCount(), b.ObjectCount());
  for (int i = 0; i < a.ObjectCount(); ++i) EXPECT_TRUE(*a.ObjectAt(i) == *b.ObjectAt(i)) << "object " << i;
  ASSERT_EQ(a.ViewCount(), b.ViewCount());
  for (int i = 0; i < a.ViewCount(); ++i) EXPECT_TRUE(*a.ViewAt(i) == *b.ViewAt(i)) << "view " << i;
  EXPECT_EQ(a.ActiveViewIndex(), b.ActiveViewIndex());
}

TEST(DocumentFile, RoundTripThroughAFileKeepsEveryPart) {
  TempFolder folder;
  TestDataClient writer(kPlugInA), reader(kPlugInA);
  writer.values = {3, 1, 4, 1, 5};
  CKavraDoc doc;
  FillSampleDocument(doc);
  const auto path = folder / "scene.kvd";
  const KvDocumentFileResult saved = CKavraDocumentFile({&writer}).Write(doc, path);
  ASSERT_TRUE(saved.Ok()) << (saved.messages.empty() ? "" : saved.messages[0]);
  EXPECT_FALSE(doc.IsModified());
  EXPECT_EQ(doc.Path(), path);

  CKavraDoc copy;
  const KvDocumentFileResult read = CKavraDocumentFile({&reader}).Read(path, copy);
  ASSERT_TRUE(read.Ok()) << (read.messages.empty() ? "" : read.messages[0]);
  ExpectSameDocument(doc, copy);
  EXPECT_EQ(copy.Path(), path);
  EXPECT_FALSE(copy.IsModified());
  EXPECT_EQ(reader.read_values, writer.values);

  // Materials keep their saved user data: the registered class as itself,
  // the unknown one as its bytes; run-time records are not saved.
  const TK_Material& brass = copy.MaterialTable()[0];
  const auto* note = TestNoteUserData::Cast(brass.GetUserData(*TK_UUID::FromString(TestNoteUserData::kId)));
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->note, TK_wString(L"polished \u263A"));
  EXPECT_EQ(note->value, -42);
  EXPECT_EQ(note->m_userdata_copycount, 1);
  const auto* unknown = CKavraUnknownUserData::Cast(brass.GetUserData(*TK_UUID::FromString(kUnknownClass)));
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(unknown->StoredClassId(), *TK_UUID::FromString(kUnknownClass));
  EXPECT_EQ(unknown->Bytes(), (std::vector<std::uint8_t>{9, 8, 7, 0, 255, 1}));
  EXPECT_EQ(brass.GetUserData(TestVolatileUserData::m_TestVolatileUserData_class_id.Uuid()), nullptr);
  EXPECT_EQ(brass.AllUserData().size(), 2u);

  // The block of a plug-in that is not loaded comes back as it was, and
  // saving again writes the same file.
  ASSERT_NE(copy.PlugInData(*TK_UUID::FromString(kUnloadedPlugIn)), nullptr);
  EXPECT_EQ(*copy.PlugInData(*TK_UUID::FromString(kUnloadedPlugIn)), (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
  const auto again = folder / "again.kvd";
  ASSERT_TRUE(CKavraDocumentFile({&writer}).Write(copy, again).Ok());
  EXPECT_EQ(FileBytes(again), FileBytes(path));
}

TEST(DocumentFile, ReadingReplacesTheDocumentWithoutRaisingObjectEvents) {
  CKavraDoc doc;
  FillSampleDocument(doc);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, bytes).Ok());
  CKavraDoc target;
  TK_ScnObjectAttributes a;
  a.SetName(L"left over");
  target.AddObject(CKavraObject(a));
  target.SetPath("/somewhere/else.kvd");
  ASSERT_TRUE(ReadBytes(bytes, target).Ok());
  EXPECT_EQ(target.ObjectCount(), 3);
  EXPECT_EQ(target.ObjectAt(0)->Name(), TK_wString(L"Box"));
  EXPECT_FALSE(target.EventsSuppressed());
  EXPECT_FALSE(target.IsModified());
}

TEST(DocumentFile, NotADocumentOrANewerFormatFailsAndLeavesTheDocumentAlone) {
  CKavraDoc doc;
  FillSampleDocument(doc);
  const int objects = doc.ObjectCount();
  const std::vector<std::uint8_t> text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'};
  KvDocumentFileResult r = ReadBytes(text, doc);
  EXPECT_TRUE(r.Failed());
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0], "scene.kvd: not a DuskMoth document");
  EXPECT_EQ(doc.ObjectCount(), objects);

  // Major version 2 with an intact header CRC.
  std::vector<std::uint8_t> newer = EmptyDocumentBytes();
  newer[8] = 2;
  const std::uint32_t crc = KvCrc32(std::span(newer.data(), 16));
  for (int i = 0; i < 4; ++i) newer[16 + i] = std::uint8_t(crc >> (8 * i));
  r = ReadBytes(newer, doc);
  EXPECT_TRUE(r.Failed());
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_NE(r.messages[0].find("2.0 cannot be read"), std::string::npos) << r.messages[0];
  EXPECT_EQ(doc.ObjectCount(), objects);

  TempFolder folder;
  r = CKavraDocumentFile().Read(folder / "missing.kvd", doc);
  EXPECT_TRUE(r.Failed());
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0], "missing.kvd: cannot open: No such file or directory");
  r = CKavraDocumentFile().Read(folder.Path(), doc);
  EXPECT_TRUE(r.Failed());
}

TEST(DocumentFile, EveryFlippedByteIsReportedAndNeverCrashes) {
  // A small document keeps the loops short; every chunk kind is present.
  CKavraDoc doc;
  TK_Layer layer;
  layer.SetName(L"L");
  doc.LayerTable().Add(layer);
  TK_Material m;
  auto note = std::make_unique<TestNoteUserData>();
  note->value = 5;
  m.AttachUserData(std::move(note));
  doc.MaterialTable().Add(std::move(m));
  doc.LightTable().Add(CKavraLight());
  CKavraObject object;
  object.AddRenderMesh(SampleTriangleMesh());
  doc.AddObject(object);
  doc.AddView(CKavraView());
  doc.SetPlugInData(*TK_UUID::FromString(kUnloadedPlugIn), {7});
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, bytes).Ok());

  for (std::size_t i = 0; i < bytes.size(); ++i) {
    for (std::uint8_t mask : {std::uint8_t(0x01), std::uint8_t(0x80)}) {
      std::vector<std::uint8_t> bad = bytes;
      bad[i] ^= mask;
      CKavraDoc read;
      const KvDocumentFileResult r = ReadBytes(bad, read);
      ASSERT_FALSE(r.Ok()) << "flip at " << i;
      ASSERT_FALSE(r.messages.empty()) << "flip at " << i;
      EXPECT_LE(read.ObjectCount(), 1);
      EXPECT_LE(read.MaterialTable().Count(), 1);
    }
  }
}

TEST(DocumentFile, EveryCutIsReportedAndNeverCrashes) {
  CKavraDoc doc;
  FillSampleDocument(doc);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, bytes).Ok());
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(length));
    CKavraDoc read;
    const KvDocumentFileResult r = ReadBytes(cut, read);
    ASSERT_FALSE(r.Ok()) << "cut at " << length;
    ASSERT_FALSE(r.messages.empty());
    EXPECT_LE(read.ObjectCount(), doc.ObjectCount());
  }
}

TEST(DocumentFile, ADamagedChunkCostsOnlyItselfAndNamesItsOffset) {
  CKavraDoc doc;
  FillSampleDocument(doc);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, bytes).Ok());
  const auto chunks = ListChunks(bytes);
  const auto material = std::find_if(chunks.begin(), chunks.end(), [](const ChunkInfo& c) { return c.type == FourCC("MATL"); });
  ASSERT_NE(material, chunks.end());
  bytes[material->offset + 20 + 30] ^= 0x40;

  CKavraDoc read;
  const KvDocumentFileResult r = ReadBytes(bytes, read);
  EXPECT_EQ(r.status, KvDocumentFileResult::Status::damaged);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0], "scene.kvd: damaged material chunk at byte " + std::to_string(material->offset));
  // Material 0 is lost but its place is kept, so material 1 keeps its index
  // and the objects referring to it still render with it.
  ASSERT_EQ(read.MaterialTable().Count(), 3);
  EXPECT_TRUE(read.MaterialTable().IsDeleted(0));
  EXPECT_TRUE(read.MaterialTable()[1] == doc.MaterialTable()[1]);
  EXPECT_EQ(read.ObjectCount(), doc.ObjectCount());
  EXPECT_EQ(read.RenderMaterial(*read.ObjectAt(1)).Name(), TK_wString(L"Glass"));
  EXPECT_EQ(read.LightTable().Count(), doc.LightTable().Count());
}

TEST(DocumentFile, ADamagedChunkHeaderIsNotTrustedAndReadingResumesAtTheNextChunk) {
  CKavraDoc doc;
  FillSampleDocument(doc);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, bytes).Ok());
  const auto chunks = ListChunks(bytes);
  std::size_t layer = 0;
  while (chunks[layer].type != FourCC("LAYR")) ++layer;
  bytes[chunks[layer].offset + 5] ^= 0x7F;  // the length: would point far away

  CKavraDoc read;
  const KvDocumentFileResult r = ReadBytes(bytes, read);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0], "scene.kvd: damaged chunk header at byte " + std::to_string(chunks[layer].offset) +
                               "; reading went on at byte " + std::to_string(chunks[layer + 1].offset));
  EXPECT_EQ(read.LayerTable().Count(), doc.LayerTable().Count());
  EXPECT_TRUE(read.LayerTable().IsDeleted(0));
  EXPECT_EQ(read.ObjectCount(), doc.ObjectCount());
}

TEST(DocumentFile, UnknownChunksAreSkipped) {
  CKavraDoc doc;
  FillSampleDocument(doc);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, bytes).Ok());
  bytes = WithChunk(bytes, ChunkBytes("ZZZZ", {1, 2, 3, 4, 5, 6, 7, 8, 9}));
  CKavraDoc read;
  const KvDocumentFileResult r = ReadBytes(bytes, read);
  EXPECT_TRUE(r.Ok());
  ExpectSameDocument(doc, read);
}

TEST(DocumentFile, APlugInWhoseReadFailsLosesOnlyItsOwnBlock) {
  TestDataClient a_writer(kPlugInA), b_writer(kPlugInB);
  a_writer.values = {1, 2};
  b_writer.values = {3};
  CKavraDoc doc;
  FillSampleDocument(doc);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(CKavraDocumentFile({&a_writer, &b_writer}).Write(doc, bytes).Ok());

  TestDataClient a_reader(kPlugInA), b_reader(kPlugInB);
  a_reader.fail_read = true;
  CKavraDoc read;
  const KvDocumentFileResult r = ReadBytes(bytes, read, {&a_reader, &b_reader});
  EXPECT_EQ(r.status, KvDocumentFileResult::Status::damaged);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_NE(r.messages[0].find("plug-in data of 1706366F-99F0-40D5-AAE1-41131FD6B2F5"), std::string::npos);
  EXPECT_EQ(a_reader.reads, 1);
  EXPECT_EQ(b_reader.read_values, b_writer.values);
  ExpectSameDocument(doc, read);
}

TEST(DocumentFile, APlugInThatHasNoDataOrFailsToWriteIsLeftOut) {
  TestDataClient quiet(kPlugInA), broken(kPlugInB);
  quiet.has_data = false;
  broken.fail_write = true;
  CKavraDoc doc;
  std::vector<std::uint8_t> bytes;
  const KvDocumentFileResult w = CKavraDocumentFile({&quiet, &broken}).Write(doc, bytes);
  EXPECT_EQ(w.status, KvDocumentFileResult::Status::damaged);
  ASSERT_EQ(w.messages.size(), 1u);
  EXPECT_NE(w.messages[0].find("0B1C2D3E-4F50-4617-8293-A4B5C6D7E8F9 could not be written"), std::string::npos);
  for (const ChunkInfo& c : ListChunks(bytes)) EXPECT_NE(c.type, FourCC("PLUG"));
  TestDataClient reader(kPlugInB);
  CKavraDoc read;
  EXPECT_TRUE(ReadBytes(bytes, read, {&reader}).Ok());
  EXPECT_EQ(reader.reads, 0);
}

TEST(DocumentFile, UserDataWhoseReadFailsIsDroppedAndTheMaterialKept) {
  CKavraDoc doc;
  TK_Material m;
  m.SetName(L"Tile");
  m.AttachUserData(std::make_unique<TestUnreadableUserData>());
  auto note = std::make_unique<TestNoteUserData>();
  note->value = 9;
  m.AttachUserData(std::move(note));
  doc.MaterialTable().Add(std::move(m));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, bytes).Ok());
  CKavraDoc read;
  const KvDocumentFileResult r = ReadBytes(bytes, read);
  EXPECT_EQ(r.status, KvDocumentFileResult::Status::damaged);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_NE(r.messages[0].find("material \"Tile\""), std::string::npos) << r.messages[0];
  EXPECT_NE(r.messages[0].find("TestUnreadableUserData could not be read"), std::string::npos) << r.messages[0];
  ASSERT_EQ(read.MaterialTable().Count(), 1);
  EXPECT_EQ(read.MaterialTable()[0].Name(), TK_wString(L"Tile"));
  EXPECT_EQ(read.MaterialTable()[0].AllUserData().size(), 1u);
  EXPECT_NE(TestNoteUserData::Cast(read.MaterialTable()[0].GetUserData(*TK_UUID::FromString(TestNoteUserData::kId))),
            nullptr);
}

// Payloads built by hand with correct checksums: the reader must judge the
// content itself.
std::vector<std::uint8_t> ObjectPayload(const std::function<void(TK_BinaryArchive&)>& meshes, int mesh_count) {
  TK_BinaryArchive a;
  TK_ScnObjectAttributes attributes;
  attributes.SetName(L"Crafted");
  attributes.Write(a);
  a.WriteBool(true);
  a.WriteInt(mesh_count);
  meshes(a);
  return a.TakeBuffer();
}

TEST(DocumentFile, CraftedObjectsWithAbsurdCountsOrBadMeshesAreReported) {
  const std::vector<std::uint8_t> base = EmptyDocumentBytes();
  struct Case {
    const char* what;
    std::vector<std::uint8_t> payload;
    int objects;    // expected objects read
    int meshes;     // meshes of the object, when read
  };
  TK_Mesh nan_mesh = SampleTriangleMesh();
  nan_mesh.m_V[1].y = std::numeric_limits<float>::quiet_NaN();
  TK_Mesh inf_mesh = SampleTriangleMesh();
  inf_mesh.m_V[0].x = std::numeric_limits<float>::infinity();
  TK_Mesh past_end = SampleTriangleMesh();
  past_end.m_F[0].vi[2] = past_end.m_F[0].vi[3] = 3;
  TK_Mesh negative = SampleTriangleMesh();
  negative.m_F[0].vi[0] = -1;
  const std::vector<Case> cases = {
      {"mesh count", ObjectPayload([](TK_BinaryArchive&) {}, 0x7FFFFFFF), 0, 0},
      {"negative mesh count", ObjectPayload([](TK_BinaryArchive&) {}, -3), 0, 0},
      {"vertex count", ObjectPayload([](TK_BinaryArchive& a) { a.WriteInt(0x7FFFFFF0); a.WriteInt(1); a.WriteByte(0); }, 1), 0, 0},
      {"face count", ObjectPayload([](TK_BinaryArchive& a) { a.WriteInt(0); a.WriteInt(0x40000000); a.WriteByte(0); }, 1), 0, 0},
      {"flags", ObjectPayload([](TK_BinaryArchive& a) { a.WriteInt(0); a.WriteInt(0); a.WriteByte(0xF0); }, 1), 0, 0},
      {"NaN vertex", ObjectPayload([&](TK_BinaryArchive& a) { KvWriteMesh(a, nan_mesh); KvWriteMesh(a, SampleQuadMesh()); }, 2), 1, 1},
      {"infinite vertex", ObjectPayload([&](TK_BinaryArchive& a) { KvWriteMesh(a, inf_mesh); }, 1), 1, 0},
      {"face past the vertices", ObjectPayload([&](TK_BinaryArchive& a) { KvWriteMesh(a, past_end); }, 1), 1, 0},
      {"negative face index", ObjectPayload([&](TK_BinaryArchive& a) { KvWriteMesh(a, negative); }, 1), 1, 0},
  };
  const std::string at = " at byte " + std::to_string(ListChunks(base).back().offset);
  for (const Case& c : cases) {
    CKavraDoc read;
    const KvDocumentFileResult r = ReadBytes(WithChunk(base, ChunkBytes("OBJT", c.payload)), read);
    EXPECT_EQ(r.status, KvDocumentFileResult::Status::damaged) << c.what;
    ASSERT_EQ(r.messages.size(), 1u) << c.what;
    EXPECT_EQ(read.ObjectCount(), c.objects) << c.what;
    if (c.objects == 0) {
      EXPECT_EQ(r.messages[0], "scene.kvd: damaged object chunk" + at) << c.what;
    } else {
      EXPECT_EQ(read.ObjectAt(0)->RenderMeshCount(), c.meshes) << c.what;
      EXPECT_EQ(r.messages[0], "scene.kvd: object \"Crafted\"" + at + ": mesh 1 is not valid and was dropped")
          << c.what;
    }
  }
}

TEST(DocumentFile, CraftedTablesWithAbsurdValuesAreReported) {
  const std::vector<std::uint8_t> base = EmptyDocumentBytes();
  auto payload = [](const std::function<void(TK_BinaryArchive&)>& fill) {
    TK_BinaryArchive a;
    fill(a);
    return a.TakeBuffer();
  };
  TK_Light nan_light;
  const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases = {
      {"SIZE", payload([](TK_BinaryArchive& a) { a.WriteInt(0x7FFFFFFF); })},
      {"SIZE", payload([](TK_BinaryArchive& a) { a.WriteInt(1); a.WriteInt(0); a.WriteInt(5); })},
      {"LAYR", payload([](TK_BinaryArchive& a) { a.WriteInt(0x7FFFFFFF); a.WriteBool(false); TK_Layer().Write(a); })},
      {"LAYR", payload([](TK_BinaryArchive& a) { a.WriteInt(-1); a.WriteBool(false); TK_Layer().Write(a); })},
      {"MATL", payload([](TK_BinaryArchive& a) { a.WriteInt(0); a.WriteBool(false); TK_Material().Write(a); a.WriteInt(0x7FFFFFFF); })},
      {"MATL", payload([](TK_BinaryArchive& a) {
         a.WriteInt(0); a.WriteBool(false); TK_Material().Write(a); a.WriteInt(1);
         a.WriteUuid(TK_UUID()); a.WriteUuid(TK_UUID()); a.WriteInt(1); a.WriteInt64(std::int64_t(1) << 60);
       })},
      {"LITE", payload([&](TK_BinaryArchive& a) {
         a.WriteInt(0); a.WriteBool(false);
         LittleEndianBytes nan;
         TK_BinaryArchive l;
         KvWriteLight(l, nan_light);
         std::vector<std::uint8_t> light = l.TakeBuffer();
         const double not_a_number = std::numeric_limits<double>::quiet_NaN();
         std::memcpy(light.data() + 5, &not_a_number, 8);  // location x
         a.WriteBytes(light); a.WriteInt(0);
       })},
      {"LITE", payload([&](TK_BinaryArchive& a) { a.WriteInt(0); a.WriteBool(false); a.WriteInt(99); })},
      {"VIEW", payload([](TK_BinaryArchive& a) { a.WriteBool(true); a.WriteString(L"v"); a.WriteInt(2); })},
      {"PLUG", payload([](TK_BinaryArchive& a) { a.WriteUuid(TK_UUID()); a.WriteInt64(-5); })},
      {"RSET", payload([](TK_BinaryArchive& a) { a.WriteInt(7); a.WriteInt(0); })},
  };
  const std::string at = "chunk at byte " + std::to_string(ListChunks(base).back().offset);
  for (const auto& [type, bytes] : cases) {
    CKavraDoc read;
    const KvDocumentFileResult r = ReadBytes(WithChunk(base, ChunkBytes(type, bytes)), read);
    ASSERT_EQ(r.messages.size(), 1u) << type;
    EXPECT_TRUE(r.messages[0].ends_with(at)) << r.messages[0];
    EXPECT_EQ(read.LayerTable().Count() + read.MaterialTable().Count() + read.LightTable().Count() + read.ViewCount(), 0)
        << type;
  }
}

TEST(DocumentFile, ADocumentWrittenWithAMissingRecordIndexKeepsLaterIndices) {
  // A layer chunk claiming index 2 with nothing before it: indices 0 and 1
  // become deleted placeholders.
  TK_Layer layer;
  layer.SetName(L"Third");
  TK_BinaryArchive a;
  a.WriteInt(2);
  a.WriteBool(false);
  layer.Write(a);
  CKavraDoc read;
  const KvDocumentFileResult r = ReadBytes(WithChunk(EmptyDocumentBytes(), ChunkBytes("LAYR", a.Buffer())), read);
  EXPECT_TRUE(r.Ok());
  ASSERT_EQ(read.LayerTable().Count(), 3);
  EXPECT_TRUE(read.LayerTable().IsDeleted(0));
  EXPECT_TRUE(read.LayerTable().IsDeleted(1));
  EXPECT_FALSE(read.LayerTable().IsDeleted(2));
  EXPECT_EQ(read.LayerTable()[2].Name(), TK_wString(L"Third"));
  // The same index again is a second record: reported and dropped.
  std::vector<std::uint8_t> twice = WithChunk(EmptyDocumentBytes(), ChunkBytes("LAYR", a.Buffer()));
  twice = WithChunk(twice, ChunkBytes("LAYR", a.Buffer()));
  CKavraDoc again;
  const KvDocumentFileResult r2 = ReadBytes(twice, again);
  ASSERT_EQ(r2.messages.size(), 1u);
  EXPECT_NE(r2.messages[0].find("second layer 2"), std::string::npos) << r2.messages[0];
  EXPECT_EQ(again.LayerTable().Count(), 3);
}

TEST(DocumentFile, Crc32IsTheCommonOne) {
  const std::string check = "123456789";
  EXPECT_EQ(KvCrc32(std::span(reinterpret_cast<const std::uint8_t*>(check.data()), check.size())), 0xCBF43926u);
  EXPECT_EQ(KvCrc32({}), 0u);
  const std::uint8_t a[] = {'1', '2', '3', '4'}, b[] = {'5', '6', '7', '8', '9'};
  EXPECT_EQ(KvCrc32(b, KvCrc32(a)), 0xCBF43926u);
}

// Saving failures. As root, permissions do not stop writes, so the tests
// make the save fail in ways that bind root too.
class DocumentSave : public ::testing::Test {
protected:
  void SetUp() override {
    FillSampleDocument(doc);
    old_path = folder / "scene.kvd";
    WriteFileBytes(old_path, {'o', 'l', 'd', ' ', 'd', 'o', 'c'});
    old_bytes = FileBytes(old_path);
  }
  void ExpectOldFileIntact() {
    EXPECT_EQ(FileBytes(old_path), old_bytes);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder.Path())) ++entries;
    EXPECT_EQ(entries, 1) << "a temporary file was left behind";
  }
  TempFolder folder;
  CKavraDoc doc;
  std::filesystem::path old_path;
  std::vector<std::uint8_t> old_bytes;
};

TEST_F(DocumentSave, AWriteThatRunsOutOfSpaceLeavesTheOldFile) {
  // A file-size limit makes every write past it fail, as a full disk would.
  struct rlimit old_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const KvDocumentFileResult r = CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, old_path);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_TRUE(r.Failed());
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0], "scene.kvd: could not be saved: File too large");
  EXPECT_TRUE(doc.IsModified());
  EXPECT_TRUE(doc.Path().empty());
  ExpectOldFileIntact();
}

TEST_F(DocumentSave, AFolderThatIsAFileFailsCleanly) {
  const auto blocker = folder / "scene.kvd";  // the old document, a file
  const KvDocumentFileResult r =
      CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, blocker / "inner.kvd");
  EXPECT_TRUE(r.Failed());
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0], "inner.kvd: could not be saved: Not a directory");
  ExpectOldFileIntact();
}

TEST_F(DocumentSave, ATargetThatIsAFolderIsNotReplaced) {
  const auto target = folder / "taken.kvd";
  std::filesystem::create_directory(target);
  std::ofstream(target / "keep.txt") << "keep";
  const KvDocumentFileResult r = CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, target);
  EXPECT_TRUE(r.Failed());
  EXPECT_TRUE(std::filesystem::is_regular_file(target / "keep.txt"));
  std::filesystem::remove_all(target);
  ExpectOldFileIntact();
}

TEST_F(DocumentSave, AReadOnlyFolderFailsWhenPermissionsApply) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  chmod(folder.Path().c_str(), 0555);
  const KvDocumentFileResult r = CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, old_path);
  chmod(folder.Path().c_str(), 0755);
  EXPECT_TRUE(r.Failed());
  EXPECT_EQ(r.messages[0], "scene.kvd: could not be saved: Permission denied");
  ExpectOldFileIntact();
}

TEST_F(DocumentSave, ASuccessfulSaveReplacesTheFileAndKeepsItsPermissions) {
  chmod(old_path.c_str(), 0640);
  const KvDocumentFileResult r = CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, old_path);
  ASSERT_TRUE(r.Ok());
  struct stat st;
  ASSERT_EQ(stat(old_path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  CKavraDoc read;
  EXPECT_TRUE(CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Read(old_path, read).Ok());
  ExpectSameDocument(doc, read);
}

}  // namespace
