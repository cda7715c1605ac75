// Differential: every input the plain OBJ reader takes must come out as
// Assimp's own OBJ reader makes it, to the bit; the target traps on the
// first difference and prints it. Inputs the reader leaves are Assimp's
// alone (fuzz_model_obj covers them).
//   fuzz_obj_plain -max_total_time=60 CORPUS_DIR fuzz/seeds/obj_plain
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/FuzzFiles.h"
#include "host/import/PlainObjReader.h"
#include "tests/support/PlainObjAgainstAssimp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path file = fuzz_files::ScratchFolder() / "model.obj";
  fuzz_files::Write(file, fuzz_files::Text(data, size));
  const std::optional<plain_obj::PlainModel> plain = plain_obj::Read(file, {});
  if (!plain) return 0;
  const std::string difference = plain_obj_check::DifferenceFromAssimp(*plain, file);
  if (!difference.empty()) {
    std::fprintf(stderr, "the plain reader and Assimp differ: %s\n", difference.c_str());
    __builtin_trap();
  }
  return 0;
}
