// Feeds arbitrary bytes to the readers of the records a document stores for
// the renderer and the scene: the first byte picks the material settings
// record, the renderer's document flags, or a mesh, light or view record.
// The plug-in's reader and the host's import glue must agree on every
// record; whatever reads must write, and what is written must read back
// and write again to the same bytes. A material record that does not read
// attaches nothing; kept opaque, it keeps its bytes exactly.
//   fuzz_records -max_total_time=60 CORPUS_DIR fuzz/seeds/records

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "host/app/RecordArchive.h"
#include "host/import/RendererRecords.h"
#include "host/toolkit/BinaryArchive.h"
#include "host/toolkit/Material.h"
#include "settings/MaterialUserData.h"
#include "settings/RenderUserData.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// Read, write, read the written bytes and write again: the two writes agree.
// Answers the first write, or nothing when the input does not read.
template <typename T, typename ReadFn, typename WriteFn>
Bytes RoundTrip(std::span<const std::uint8_t> bytes, ReadFn read, WriteFn write, bool& ok) {
  T first{};
  TK_BinaryArchive in(bytes);
  ok = read(in, first);
  if (!ok) return {};
  TK_BinaryArchive out;
  Require(write(out, first));
  const Bytes written = out.TakeBuffer();
  T second{};
  TK_BinaryArchive again(written);
  Require(read(again, second) && again.BytesRemaining() == 0);
  TK_BinaryArchive out_again;
  Require(write(out_again, second) && out_again.Buffer() == written);
  return written;
}

void MaterialRecords(std::span<const std::uint8_t> bytes) {
  bool ok = false;
  const Bytes written = RoundTrip<CDMMaterialUserData>(
      bytes, [](TK_BinaryArchive& a, CDMMaterialUserData& r) { return r.Read(a); },
      [](TK_BinaryArchive& a, const CDMMaterialUserData& r) { return r.Write(a); }, ok);
  TK_Material host;
  MaterialRecord settings;
  Require(renderer_records::ReadMaterialRecord(bytes, host, settings) == ok);
  const TK_ClassId* record_class = TK_ClassId::ClassId(renderer_records::kMaterialClassName);
  Require(record_class != nullptr);
  TK_Material attached;
  Require(renderer_records::AttachMaterialRecord(attached, Bytes(bytes.begin(), bytes.end()), record_class) == ok);
  if (ok) {
    Require(renderer_records::WriteMaterialRecord(host, settings) == written);
    Require(renderer_records::MaterialRecordBytes(attached) == written);
  } else {
    Require(attached.GetUserData(renderer_records::MaterialRecordUuid()) == nullptr);
  }
  TK_Material opaque;
  Require(renderer_records::AttachMaterialRecord(opaque, Bytes(bytes.begin(), bytes.end()), nullptr));
  Require(renderer_records::MaterialRecordBytes(opaque) == Bytes(bytes.begin(), bytes.end()));
}

void DocumentFlags(std::span<const std::uint8_t> bytes) {
  bool ok = false;
  const Bytes written = RoundTrip<CDMRenderUserData>(
      bytes, [](TK_BinaryArchive& a, CDMRenderUserData& r) { return r.Read(a); },
      [](TK_BinaryArchive& a, const CDMRenderUserData& r) { return r.Write(a); }, ok);
  DocumentFlagsRecord flags;
  Require(renderer_records::ReadDocumentFlags(bytes, flags) == ok);
  if (ok) Require(renderer_records::WriteDocumentFlags(flags) == written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  bool ok = false;
  switch (data[0] % 5) {
    case 0: MaterialRecords(bytes); break;
    case 1: DocumentFlags(bytes); break;
    case 2: RoundTrip<TK_Mesh>(bytes, KvReadMesh, KvWriteMesh, ok); break;
    case 3: RoundTrip<TK_Light>(bytes, KvReadLight, KvWriteLight, ok); break;
    case 4:
      RoundTrip<CKavraView>(
          bytes, [](TK_BinaryArchive& a, CKavraView& v) { return KvReadView(a, v); },
          [](TK_BinaryArchive& a, const CKavraView& v) { return KvWriteView(a, v); }, ok);
      break;
  }
  return 0;
}
