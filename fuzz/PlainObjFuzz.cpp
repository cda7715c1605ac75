// Differential: every input the plain OBJ reader takes must come out as
// Assimp's own OBJ reader makes it, to the bit; the target traps on the
// first difference and prints it. Inputs the reader leaves are Assimp's
// alone (fuzz_model_obj covers them). Read on several threads, every input
// must give what one thread gives.
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
  const std::optional<plain_obj::PlainModel> plain = plain_obj::Read(file, {}, 1);
  // Read again in stretches (a few lines each for the short inputs): the same answer.
  const int threads = 2 + (size > 0 ? data[size / 2] % 15 : 0);
  const std::optional<plain_obj::PlainModel> parts = plain_obj::Read(file, {}, threads);
  if (plain.has_value() != parts.has_value() || (plain && !plain_obj_check::DifferenceBetween(*plain, *parts).empty())) {
    std::fprintf(stderr, "read on %d threads, the model differs: %s\n", threads,
                 plain && parts ? plain_obj_check::DifferenceBetween(*plain, *parts).c_str() : "taken or not");
    __builtin_trap();
  }
  if (!plain) return 0;
  const std::string difference = plain_obj_check::DifferenceFromAssimp(*plain, file);
  if (!difference.empty()) {
    std::fprintf(stderr, "the plain reader and Assimp differ: %s\n", difference.c_str());
    __builtin_trap();
  }
  return 0;
}
