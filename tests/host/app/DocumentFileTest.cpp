// The .kvd document file: round trips through real files, damaged and
// crafted documents, plug-in data blocks and safe saving.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <sys/resource.h>

#include "host/app/Crc32.h"
#include "host/app/DocumentFile.h"
#include "host/app/UnknownUserData.h"
#include "host/app/SampleDocument.h"
#include "host/Files.h"
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

  // Saving again writes the same file, the block of a plug-in that is not
  // loaded included.
  const auto again = folder / "again.kvd";
  ASSERT_TRUE(CKavraDocumentFile({&writer}).Write(copy, again).Ok());
  EXPECT_EQ(FileBytes(again), FileBytes(path));
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

  // A length of 2^31 behind a header that checks (rewritten with it): the chunks behind it are
  // intact and read, as they are behind a payload whose length lies inside the file.
  for (const std::uint64_t length : {std::uint64_t(1) << 31, std::uint64_t(chunks[layer].length + 7)}) {
    Bytes lying = Saved(doc);
    const std::size_t at = chunks[layer].offset;
    for (int i = 0; i < 8; ++i) lying[at + 4 + std::size_t(i)] = std::uint8_t(length >> (8 * i));
    const std::uint32_t crc = KvCrc32(std::span(lying.data() + at, 16));
    for (int i = 0; i < 4; ++i) lying[at + 16 + std::size_t(i)] = std::uint8_t(crc >> (8 * i));
    CKavraDoc resynced;
    const KvDocumentFileResult lied = ReadBytes(lying, resynced);
    ASSERT_FALSE(lied.messages.empty());
    EXPECT_NE(lied.messages.back().find(std::to_string(chunks[layer + 1].offset)), std::string::npos) << lied.messages.back();
    EXPECT_EQ(std::pair(resynced.ObjectCount(), resynced.LightTable().Count()),
              std::pair(doc.ObjectCount(), doc.LightTable().Count())) << length;
  }

  // Unknown chunks, on the other hand, are skipped without a word.
  CKavraDoc skipped;
  EXPECT_TRUE(ReadBytes(WithChunk(Saved(doc), ChunkBytes("ZZZZ", {1, 2, 3, 4, 5, 6, 7, 8, 9})), skipped).Ok());
  EXPECT_EQ(Saved(skipped), Saved(doc));
}

// A file-size limit makes every write past it fail, as a full disk would, and binds root too.
TEST(DocumentSave, AWriteThatRunsOutOfSpaceLeavesTheOldFile) {
  TempDir folder;
  CKavraDoc doc;
  FillSampleDocument(doc);
  const std::filesystem::path old_path = folder / "scene.kvd";
  WriteFile(old_path, "old doc");
  struct rlimit old_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const KvDocumentFileResult r = Plain().Write(doc, old_path);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_TRUE(r.Failed() && doc.IsModified() && doc.Path().empty());
  EXPECT_EQ(r.messages, std::vector<std::string>{"scene.kvd: could not be saved: File too large"});
  EXPECT_EQ(FileBytes(old_path), (Bytes{'o', 'l', 'd', ' ', 'd', 'o', 'c'}));
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder.Path())) ++entries;
  EXPECT_EQ(entries, 1) << "a temporary file was left behind";
}

}  // namespace
