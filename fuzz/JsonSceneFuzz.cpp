// libFuzzer target: the JSON scene reader on arbitrary text. Relative file
// names resolve inside an empty folder, so model files named by the input
// are not found; the reader must answer every input with a result and
// messages, never a crash or a runaway allocation.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "host/app/Doc.h"
#include "host/import/ImportLog.h"
#include "host/import/JsonSceneImporter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path folder = [] {
    std::filesystem::path p = std::filesystem::temp_directory_path() / "duskmoth-json-fuzz";
    std::error_code ec;
    std::filesystem::create_directories(p, ec);
    return p;
  }();
  CKavraDoc doc;
  CImportLog log;
  const bool ok = CJsonSceneImporter::ImportText(std::string_view(reinterpret_cast<const char*>(data), size),
                                                 "fuzz.json", folder, doc, log);
  // A failed import always says why.
  if (!ok && log.Errors().empty()) __builtin_trap();
  return 0;
}
