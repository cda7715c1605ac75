// The .kvd document file: round trips through real files, damaged and
// crafted documents, plug-in data blocks and safe saving.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <functional>
#include <limits>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/app/Crc32.h"
#include "host/app/DocumentFile.h"
#include "host/app/RecordArchive.h"
#include "host/app/UnknownUserData.h"
#include "host/app/DocumentComparison.h"
#include "host/app/SampleDocument.h"
#include "support/Files.h"
#include "support/LittleEndianBytes.h"
#include "support/TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A file object that leaves the application's registered clients out.
CKavraDocumentFile Plain() { return CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}); }

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

std::vector<ChunkInfo> ListChunks(const Bytes& bytes) {
  std::vector<ChunkInfo> chunks;
  auto u32 = [&](std::size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16 |
           std::uint32_t(bytes[at + 3]) << 24;
  };
  for (std::size_t pos = 20; pos + 20 <= bytes.size();) {
    const std::size_t length = std::size_t(u32(pos + 4)) | std::size_t(u32(pos + 8)) << 32;
    chunks.push_back({pos, u32(pos), length});
    pos += 20 + length;
  }
  return chunks;
}

// The index of the first chunk of the type (the count when there is none).
std::size_t FirstChunk(const std::vector<ChunkInfo>& chunks, const char* type) {
  std::size_t i = 0;
  while (i < chunks.size() && chunks[i].type != FourCC(type)) ++i;
  return i;
}

Bytes ChunkBytes(const char* type, const Bytes& payload) {
  LittleEndianBytes h;
  h.Unsigned(FourCC(type), 4).Unsigned(payload.size(), 8).Unsigned(KvCrc32(payload), 4);
  const std::uint32_t header_crc = KvCrc32(h.bytes);
  h.Unsigned(header_crc, 4);
  h.bytes.insert(h.bytes.end(), payload.begin(), payload.end());
  return h.bytes;
}

// Inserts a chunk just before the end chunk.
Bytes WithChunk(Bytes bytes, const Bytes& chunk) {
  const std::size_t end = ListChunks(bytes).back().offset;
  bytes.insert(bytes.begin() + std::ptrdiff_t(end), chunk.begin(), chunk.end());
  return bytes;
}

Bytes Saved(const CKavraDoc& doc) {
  Bytes bytes;
  EXPECT_TRUE(Plain().Write(doc, bytes).Ok());
  return bytes;
}

Bytes SampleBytes(CKavraDoc& doc) {
  FillSampleDocument(doc);
  return Saved(doc);
}

Bytes EmptyDocumentBytes() { return Saved(CKavraDoc()); }

KvDocumentFileResult ReadBytes(const Bytes& bytes, CKavraDoc& doc, std::vector<KvDocumentDataClient*> clients = {}) {
  return CKavraDocumentFile(std::move(clients)).Read(bytes, "scene.kvd", doc);
}

Bytes Payload(const std::function<void(TK_BinaryArchive&)>& fill) {
  TK_BinaryArchive a;
  fill(a);
  return a.TakeBuffer();
}

TEST(DocumentFile, RoundTripThroughAFileKeepsEveryPart) {
  TempDir folder;
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
  ExpectSameDocument(doc, copy);  // includes the block of a plug-in that is not loaded
  EXPECT_EQ(copy.Path(), path);
  EXPECT_FALSE(copy.IsModified());
  EXPECT_EQ(reader.read_values, writer.values);

  // Materials keep their saved user data: the registered class as itself,
  // the unknown one as its bytes; run-time records are not saved.
  const TK_Material& brass = copy.MaterialTable()[0];
  const auto* note = TestNoteUserData::Cast(brass.GetUserData(*TK_UUID::FromString(TestNoteUserData::kId)));
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->m_userdata_copycount, 1);
  const auto* unknown = CKavraUnknownUserData::Cast(brass.GetUserData(*TK_UUID::FromString(kUnknownClass)));
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(unknown->StoredClassId(), *TK_UUID::FromString(kUnknownClass));
  EXPECT_EQ(brass.AllUserData().size(), 2u);

  // Saving again writes the same file.
  const auto again = folder / "again.kvd";
  ASSERT_TRUE(CKavraDocumentFile({&writer}).Write(copy, again).Ok());
  EXPECT_EQ(FileBytes(again), FileBytes(path));
}

TEST(DocumentFile, ReadingReplacesTheDocumentWithoutRaisingObjectEvents) {
  CKavraDoc doc;
  const Bytes bytes = SampleBytes(doc);
  CKavraDoc target;
  target.AddObject(CKavraObject());
  target.SetPath("/somewhere/else.kvd");
  ASSERT_TRUE(ReadBytes(bytes, target).Ok());
  EXPECT_EQ(target.ObjectCount(), 3);
  EXPECT_EQ(target.ObjectAt(0)->Name(), TK_wString(L"Box"));
  EXPECT_FALSE(target.EventsSuppressed());
  EXPECT_FALSE(target.IsModified());
}

TEST(DocumentFile, WhatCannotBeReadFailsWithOneMessageAndLeavesTheDocumentAlone) {
  CKavraDoc doc;
  FillSampleDocument(doc);
  const int objects = doc.ObjectCount();
  // Major version 2 with an intact header CRC.
  Bytes newer = EmptyDocumentBytes();
  newer[8] = 2;
  const std::uint32_t crc = KvCrc32(std::span(newer.data(), 16));
  for (int i = 0; i < 4; ++i) newer[16 + i] = std::uint8_t(crc >> (8 * i));
  TempDir folder;
  const struct {
    KvDocumentFileResult result;
    std::string message;
  } cases[] = {
      {ReadBytes({'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}, doc), "scene.kvd: not a DuskMoth document"},
      {ReadBytes(newer, doc), "scene.kvd: document format 2.0 cannot be read"},
      {CKavraDocumentFile().Read(folder / "missing.kvd", doc), "missing.kvd: cannot open: No such file or directory"},
      {CKavraDocumentFile().Read(folder.Path(), doc), ""},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(c.result.Failed()) << c.message;
    ASSERT_EQ(c.result.messages.size(), 1u) << c.message;
    EXPECT_EQ(c.result.messages[0].rfind(c.message, 0), 0u) << c.result.messages[0];
  }
  EXPECT_EQ(doc.ObjectCount(), objects);
}

TEST(DocumentFile, EveryFlippedByteIsReportedAndNeverCrashes) {
  // A small document keeps the loop short; every chunk kind is present.
  CKavraDoc doc;
  doc.LayerTable().Add(TK_Layer());
  TK_Material m;
  m.AttachUserData(std::make_unique<TestNoteUserData>());
  doc.MaterialTable().Add(std::move(m));
  doc.LightTable().Add(CKavraLight());
  CKavraObject object;
  object.AddRenderMesh(SampleTriangleMesh());
  doc.AddObject(object);
  doc.AddView(CKavraView());
  doc.SetPlugInData(*TK_UUID::FromString(kUnloadedPlugIn), {7});
  const Bytes bytes = Saved(doc);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    for (std::uint8_t mask : {std::uint8_t(0x01), std::uint8_t(0x80)}) {
      Bytes bad = bytes;
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
  const Bytes bytes = SampleBytes(doc);
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    CKavraDoc read;
    const KvDocumentFileResult r = ReadBytes(Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(length)), read);
    ASSERT_FALSE(r.Ok()) << "cut at " << length;
    ASSERT_FALSE(r.messages.empty());
    EXPECT_LE(read.ObjectCount(), doc.ObjectCount());
  }
}

TEST(DocumentFile, ADamagedChunkCostsOnlyItselfAndNamesItsOffset) {
  CKavraDoc doc;
  Bytes bytes = SampleBytes(doc);
  const auto chunks = ListChunks(bytes);
  ASSERT_LT(FirstChunk(chunks, "MATL"), chunks.size());
  const std::size_t material = chunks[FirstChunk(chunks, "MATL")].offset;
  bytes[material + 20 + 30] ^= 0x40;
  CKavraDoc read;
  const KvDocumentFileResult r = ReadBytes(bytes, read);
  EXPECT_EQ(r.status, KvDocumentFileResult::Status::damaged);
  EXPECT_EQ(r.messages, std::vector<std::string>{"scene.kvd: damaged material chunk at byte " + std::to_string(material)});
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
  Bytes bytes = SampleBytes(doc);
  const auto chunks = ListChunks(bytes);
  const std::size_t layer = FirstChunk(chunks, "LAYR");
  ASSERT_LT(layer + 1, chunks.size());
  bytes[chunks[layer].offset + 5] ^= 0x7F;  // the length: would point far away
  CKavraDoc read;
  const KvDocumentFileResult r = ReadBytes(bytes, read);
  EXPECT_EQ(r.messages, std::vector<std::string>{"scene.kvd: damaged chunk header at byte " +
                                                 std::to_string(chunks[layer].offset) + "; reading went on at byte " +
                                                 std::to_string(chunks[layer + 1].offset)});
  EXPECT_EQ(read.LayerTable().Count(), doc.LayerTable().Count());
  EXPECT_TRUE(read.LayerTable().IsDeleted(0));
  EXPECT_EQ(read.ObjectCount(), doc.ObjectCount());

  // Unknown chunks, on the other hand, are skipped without a word.
  CKavraDoc skipped;
  EXPECT_TRUE(ReadBytes(WithChunk(Saved(doc), ChunkBytes("ZZZZ", {1, 2, 3, 4, 5, 6, 7, 8, 9})), skipped).Ok());
  ExpectSameDocument(doc, skipped);
}

TEST(DocumentFile, APlugInWhoseReadFailsLosesOnlyItsOwnBlock) {
  TestDataClient a_writer(kPlugInA), b_writer(kPlugInB);
  a_writer.values = {1, 2};
  b_writer.values = {3};
  CKavraDoc doc;
  FillSampleDocument(doc);
  Bytes bytes;
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
  Bytes bytes;
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
  m.AttachUserData(std::make_unique<TestNoteUserData>());
  doc.MaterialTable().Add(std::move(m));
  CKavraDoc read;
  const KvDocumentFileResult r = ReadBytes(Saved(doc), read);
  EXPECT_EQ(r.status, KvDocumentFileResult::Status::damaged);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_NE(r.messages[0].find("material \"Tile\""), std::string::npos) << r.messages[0];
  EXPECT_NE(r.messages[0].find("TestUnreadableUserData could not be read"), std::string::npos) << r.messages[0];
  ASSERT_EQ(read.MaterialTable().Count(), 1);
  EXPECT_EQ(read.MaterialTable()[0].Name(), TK_wString(L"Tile"));
  ASSERT_EQ(read.MaterialTable()[0].AllUserData().size(), 1u);
  EXPECT_NE(TestNoteUserData::Cast(read.MaterialTable()[0].AllUserData()[0].get()), nullptr);
}

// Payloads built by hand with correct checksums: the reader must judge the
// content itself.
Bytes ObjectPayload(const std::function<void(TK_BinaryArchive&)>& meshes, int mesh_count) {
  return Payload([&](TK_BinaryArchive& a) {
    TK_ScnObjectAttributes attributes;
    attributes.SetName(L"Crafted");
    attributes.Write(a);
    a.WriteBool(true);
    a.WriteInt(mesh_count);
    meshes(a);
  });
}

TEST(DocumentFile, CraftedObjectsWithAbsurdCountsOrBadMeshesAreReported) {
  const Bytes base = EmptyDocumentBytes();
  struct Case {
    const char* what;
    Bytes payload;
    int objects;  // expected objects read
    int meshes;   // meshes of the object, when read
  };
  TK_Mesh nan_mesh = SampleTriangleMesh(), inf_mesh = nan_mesh, past_end = nan_mesh, negative = nan_mesh;
  nan_mesh.m_V[1].y = std::numeric_limits<float>::quiet_NaN();
  inf_mesh.m_V[0].x = std::numeric_limits<float>::infinity();
  past_end.m_F[0].vi[2] = past_end.m_F[0].vi[3] = 3;
  negative.m_F[0].vi[0] = -1;
  auto mesh = [](const TK_Mesh& m) { return [&m](TK_BinaryArchive& a) { KvWriteMesh(a, m); }; };
  const std::vector<Case> cases = {
      {"mesh count", ObjectPayload([](TK_BinaryArchive&) {}, 0x7FFFFFFF), 0, 0},
      {"negative mesh count", ObjectPayload([](TK_BinaryArchive&) {}, -3), 0, 0},
      {"vertex count", ObjectPayload([](TK_BinaryArchive& a) { a.WriteInt(0x7FFFFFF0); a.WriteInt(1); a.WriteByte(0); }, 1), 0, 0},
      {"face count", ObjectPayload([](TK_BinaryArchive& a) { a.WriteInt(0); a.WriteInt(0x40000000); a.WriteByte(0); }, 1), 0, 0},
      {"flags", ObjectPayload([](TK_BinaryArchive& a) { a.WriteInt(0); a.WriteInt(0); a.WriteByte(0xF0); }, 1), 0, 0},
      {"NaN vertex", ObjectPayload([&](TK_BinaryArchive& a) { KvWriteMesh(a, nan_mesh); KvWriteMesh(a, SampleQuadMesh()); }, 2), 1, 1},
      {"infinite vertex", ObjectPayload(mesh(inf_mesh), 1), 1, 0},
      {"face past the vertices", ObjectPayload(mesh(past_end), 1), 1, 0},
      {"negative face index", ObjectPayload(mesh(negative), 1), 1, 0},
  };
  const std::string at = " at byte " + std::to_string(ListChunks(base).back().offset);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CKavraDoc read;
    const KvDocumentFileResult r = ReadBytes(WithChunk(base, ChunkBytes("OBJT", c.payload)), read);
    EXPECT_EQ(r.status, KvDocumentFileResult::Status::damaged);
    ASSERT_EQ(r.messages.size(), 1u);
    ASSERT_EQ(read.ObjectCount(), c.objects);
    if (c.objects == 0) {
      EXPECT_EQ(r.messages[0], "scene.kvd: damaged object chunk" + at);
    } else {
      EXPECT_EQ(read.ObjectAt(0)->RenderMeshCount(), c.meshes);
      EXPECT_EQ(r.messages[0], "scene.kvd: object \"Crafted\"" + at + ": mesh 1 is not valid and was dropped");
    }
  }
}

TEST(DocumentFile, CraftedTablesWithAbsurdValuesAreReported) {
  const Bytes base = EmptyDocumentBytes();
  Bytes nan_light = Payload([](TK_BinaryArchive& a) { KvWriteLight(a, TK_Light()); });
  const double not_a_number = std::numeric_limits<double>::quiet_NaN();
  std::memcpy(nan_light.data() + 5, &not_a_number, 8);  // location x
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"SIZE", Payload([](TK_BinaryArchive& a) { a.WriteInt(0x7FFFFFFF); })},
      {"SIZE", Payload([](TK_BinaryArchive& a) { a.WriteInt(1); a.WriteInt(0); a.WriteInt(5); })},
      {"LAYR", Payload([](TK_BinaryArchive& a) { a.WriteInt(0x7FFFFFFF); a.WriteBool(false); TK_Layer().Write(a); })},
      {"LAYR", Payload([](TK_BinaryArchive& a) { a.WriteInt(-1); a.WriteBool(false); TK_Layer().Write(a); })},
      {"MATL", Payload([](TK_BinaryArchive& a) { a.WriteInt(0); a.WriteBool(false); TK_Material().Write(a); a.WriteInt(0x7FFFFFFF); })},
      {"MATL", Payload([](TK_BinaryArchive& a) {
         a.WriteInt(0); a.WriteBool(false); TK_Material().Write(a); a.WriteInt(1);
         a.WriteUuid(TK_UUID()); a.WriteUuid(TK_UUID()); a.WriteInt(1); a.WriteInt64(std::int64_t(1) << 60);
       })},
      {"LITE", Payload([&](TK_BinaryArchive& a) { a.WriteInt(0); a.WriteBool(false); a.WriteBytes(nan_light); a.WriteInt(0); })},
      {"LITE", Payload([](TK_BinaryArchive& a) { a.WriteInt(0); a.WriteBool(false); a.WriteInt(99); })},
      {"VIEW", Payload([](TK_BinaryArchive& a) { a.WriteBool(true); a.WriteString(L"v"); a.WriteInt(2); })},
      {"PLUG", Payload([](TK_BinaryArchive& a) { a.WriteUuid(TK_UUID()); a.WriteInt64(-5); })},
      {"RSET", Payload([](TK_BinaryArchive& a) { a.WriteInt(7); a.WriteInt(0); })},
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

TEST(DocumentFile, ARecordAfterAMissingIndexKeepsItsIndexAndASecondRecordIsDropped) {
  // A layer chunk claiming index 2 with nothing before it: indices 0 and 1
  // become deleted placeholders.
  const Bytes layer = Payload([](TK_BinaryArchive& a) {
    TK_Layer third;
    third.SetName(L"Third");
    a.WriteInt(2);
    a.WriteBool(false);
    third.Write(a);
  });
  const Bytes once = WithChunk(EmptyDocumentBytes(), ChunkBytes("LAYR", layer));
  CKavraDoc read;
  EXPECT_TRUE(ReadBytes(once, read).Ok());
  ASSERT_EQ(read.LayerTable().Count(), 3);
  EXPECT_TRUE(read.LayerTable().IsDeleted(0));
  EXPECT_TRUE(read.LayerTable().IsDeleted(1));
  EXPECT_FALSE(read.LayerTable().IsDeleted(2));
  EXPECT_EQ(read.LayerTable()[2].Name(), TK_wString(L"Third"));
  CKavraDoc again;
  const KvDocumentFileResult r = ReadBytes(WithChunk(once, ChunkBytes("LAYR", layer)), again);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_NE(r.messages[0].find("second layer 2"), std::string::npos) << r.messages[0];
  EXPECT_EQ(again.LayerTable().Count(), 3);
}

TEST(DocumentFile, Crc32IsTheCommonOne) {
  const std::uint8_t a[] = {'1', '2', '3', '4'}, b[] = {'5', '6', '7', '8', '9'};
  EXPECT_EQ(KvCrc32(b, KvCrc32(a)), 0xCBF43926u);  // of "123456789", in two parts
  EXPECT_EQ(KvCrc32({}), 0u);
}

// Saving failures. As root, permissions do not stop writes, so the tests
// make the save fail in ways that bind root too.
class DocumentSave : public ::testing::Test {
protected:
  void SetUp() override {
    FillSampleDocument(doc);
    WriteFile(old_path, "old doc");
  }
  void ExpectOldFileIntact() {
    EXPECT_EQ(FileBytes(old_path), (Bytes{'o', 'l', 'd', ' ', 'd', 'o', 'c'}));
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder.Path())) ++entries;
    EXPECT_EQ(entries, 1) << "a temporary file was left behind";
  }
  void ExpectFailure(const KvDocumentFileResult& r, const std::string& message) {
    EXPECT_TRUE(r.Failed());
    EXPECT_EQ(r.messages, std::vector<std::string>{message});
    EXPECT_TRUE(doc.IsModified());
    ExpectOldFileIntact();
  }
  TempDir folder;
  CKavraDoc doc;
  const std::filesystem::path old_path = folder / "scene.kvd";
};

TEST_F(DocumentSave, AWriteThatRunsOutOfSpaceLeavesTheOldFile) {
  // A file-size limit makes every write past it fail, as a full disk would.
  struct rlimit old_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const KvDocumentFileResult r = Plain().Write(doc, old_path);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  ExpectFailure(r, "scene.kvd: could not be saved: File too large");
  EXPECT_TRUE(doc.Path().empty());
}

TEST_F(DocumentSave, AFolderThatIsAFileFailsCleanly) {
  ExpectFailure(Plain().Write(doc, old_path / "inner.kvd"), "inner.kvd: could not be saved: Not a directory");
}

TEST_F(DocumentSave, AReadOnlyFolderFailsWhenPermissionsApply) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  chmod(folder.Path().c_str(), 0555);
  const KvDocumentFileResult r = Plain().Write(doc, old_path);
  chmod(folder.Path().c_str(), 0755);
  ExpectFailure(r, "scene.kvd: could not be saved: Permission denied");
}

TEST_F(DocumentSave, ATargetThatIsAFolderIsNotReplaced) {
  const auto target = folder / "taken.kvd";
  WriteFile(target / "keep.txt", "keep");
  EXPECT_TRUE(Plain().Write(doc, target).Failed());
  EXPECT_TRUE(std::filesystem::is_regular_file(target / "keep.txt"));
  std::filesystem::remove_all(target);
  ExpectOldFileIntact();
}

TEST_F(DocumentSave, ASuccessfulSaveReplacesTheFileAndKeepsItsPermissions) {
  chmod(old_path.c_str(), 0640);
  ASSERT_TRUE(Plain().Write(doc, old_path).Ok());
  struct stat st;
  ASSERT_EQ(stat(old_path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  CKavraDoc read;
  EXPECT_TRUE(Plain().Read(old_path, read).Ok());
  ExpectSameDocument(doc, read);
}

}  // namespace
