// Feeds arbitrary bytes as a model file of one format (DM_FUZZ_MODEL_FORMAT)
// to `duskmoth import`, pre-checks and all. After a line "@@@@" the rest of
// the input becomes the model's second file (DM_FUZZ_COMPANION: the OBJ's
// material library, the glTF's buffer), which the seeds name. An import
// that fails must say why; one that succeeds must have written a document
// that reads back cleanly with the counts the command reported.
//   fuzz_model_obj -max_total_time=60 CORPUS_DIR fuzz/seeds/model_obj

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>

#include "apps/duskmoth/ImportCommand.h"
#include "fuzz/FuzzFiles.h"
#include "host/app/Doc.h"
#include "host/app/DocumentFile.h"

#ifndef DM_FUZZ_MODEL_FORMAT
#error "DM_FUZZ_MODEL_FORMAT names the model format of the target"
#endif

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSeparator = "\n@@@@\n";

struct Scratch {
  fs::path model_folder, cache, output;
};

const Scratch& Folders() {
  static const Scratch scratch = [] {
    const fs::path& root = fuzz_files::ScratchFolder();
    Scratch s{root / "model", root / "cache", root / "out.kvd"};
    fs::create_directories(s.model_folder);
    // Textures inside models are kept in the user's cache: here, a folder
    // emptied after every input.
    ::setenv("XDG_CACHE_HOME", s.cache.c_str(), 1);
    return s;
  }();
  return scratch;
}

// The counts of "Wrote OUT: 3 objects, 1 materials, 2 lights, 1 views".
bool ReportedCounts(const std::string& report, long long counts[4]) {
  const std::size_t colon = report.rfind(": ");
  if (colon == std::string::npos) return false;
  std::istringstream in(report.substr(colon + 2));
  std::string word;
  for (int i = 0; i < 4; ++i)
    if (!(in >> counts[i] >> word)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Scratch& scratch = Folders();
  const std::string_view input = fuzz_files::Text(data, size);
  const std::string_view companion_name = DM_FUZZ_COMPANION;
  const std::size_t split = companion_name.empty() ? std::string_view::npos : input.find(kSeparator);
  const fs::path model = scratch.model_folder / ("model." DM_FUZZ_MODEL_FORMAT);
  fuzz_files::Write(model, input.substr(0, split));
  if (!companion_name.empty()) {
    const fs::path companion = scratch.model_folder / companion_name;
    std::error_code ignored;
    if (split == std::string_view::npos) fs::remove(companion, ignored);
    else fuzz_files::Write(companion, input.substr(split + kSeparator.size()));
  }
  std::error_code ignored;
  fs::remove(scratch.output, ignored);

  std::ostringstream out, err;
  const int code = RunImport(model, scratch.output, out, err);
  fs::remove_all(scratch.cache, ignored);
  if (code != 0) {
    if (err.str().empty()) __builtin_trap();  // a failure says why
    return 0;
  }
  long long counts[4];
  if (!ReportedCounts(out.str(), counts)) __builtin_trap();
  CKavraDoc doc;
  const KvDocumentFileResult read = CKavraDocumentFile().Read(scratch.output, doc);
  if (read.Failed() || counts[0] < 1 || doc.ObjectCount() != counts[0] || doc.MaterialTable().Count() != counts[1] ||
      doc.LightTable().Count() != counts[2] || doc.ViewCount() != counts[3])
    __builtin_trap();
  return 0;
}
