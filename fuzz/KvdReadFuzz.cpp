// Feeds arbitrary bytes to the document reader, as they are and again with
// every checksum and chunk length made to fit (so that mutations reach the
// chunk contents instead of stopping at the checks). Whatever it reads must
// save and read back cleanly, and saving that again must give the same bytes.
//   fuzz_kvd_read -max_total_time=60 CORPUS_DIR fuzz/seeds/kvd_read

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/app/Crc32.h"
#include "host/app/Doc.h"
#include "host/app/DocumentDataClient.h"
#include "host/app/DocumentFile.h"
#include "host/toolkit/BinaryArchive.h"

namespace {
// A plug-in whose data is a counted list of ints.
class IntsClient : public KvDocumentDataClient {
public:
  TK_UUID DocumentDataPlugInId() const override { return *TK_UUID::FromString("1706366F-99F0-40D5-AAE1-41131FD6B2F5"); }
  bool HasDocumentData(const CKavraDoc&) const override { return true; }
  bool WriteDocumentData(const CKavraDoc&, TK_BinaryArchive& a) override {
    bool ok = a.WriteInt(int(values.size()));
    for (int v : values) ok = ok && a.WriteInt(v);
    return ok;
  }
  bool ReadDocumentData(CKavraDoc&, TK_BinaryArchive& a) override {
    int count = 0;
    if (!a.ReadInt(count) || count < 0 || std::uint64_t(count) > a.BytesRemaining() / 4) return false;
    std::vector<int> read(static_cast<std::size_t>(count));
    for (int& v : read)
      if (!a.ReadInt(v)) return false;
    values = read;
    return true;
  }
  std::vector<int> values;
};

void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

// The documented layout: a 20-byte file header ending in the CRC of its
// first 16 bytes, then chunks of type, int64 length, payload CRC, header CRC.
std::vector<std::uint8_t> WithFittingChecks(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  if (bytes.size() < 20) return bytes;
  Put32(bytes.data() + 16, KvCrc32(std::span(bytes.data(), 16)));
  for (std::size_t pos = 20; bytes.size() - pos >= 20;) {
    std::uint8_t* h = bytes.data() + pos;
    std::uint64_t length = 0;
    for (int i = 0; i < 8; ++i) length |= std::uint64_t(h[4 + i]) << (8 * i);
    length = std::min<std::uint64_t>(length, bytes.size() - pos - 20);
    for (int i = 0; i < 8; ++i) h[4 + i] = std::uint8_t(length >> (8 * i));
    Put32(h + 12, KvCrc32(std::span(h + 20, std::size_t(length))));
    Put32(h + 16, KvCrc32(std::span(h, 16)));
    pos += 20 + std::size_t(length);
  }
  return bytes;
}

void Check(std::span<const std::uint8_t> bytes) {
  IntsClient client;
  const CKavraDocumentFile file(std::vector<KvDocumentDataClient*>{&client});
  CKavraDoc doc;
  const KvDocumentFileResult read = file.Read(bytes, "fuzz.kvd", doc);
  if (read.Failed()) {
    if (read.messages.size() != 1 || doc.ObjectCount() != 0) __builtin_trap();
    return;
  }
  if (!read.Ok() && read.messages.empty()) __builtin_trap();
  std::vector<std::uint8_t> saved, saved_again;
  if (!file.Write(doc, saved).Ok()) __builtin_trap();
  CKavraDoc again;
  if (!file.Read(saved, "again.kvd", again).Ok()) __builtin_trap();
  if (!file.Write(again, saved_again).Ok() || saved_again != saved) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Check(std::span(data, size));
  Check(WithFittingChecks(data, size));
  return 0;
}
