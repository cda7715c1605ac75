// `duskmoth render` under mpirun: each rank renders its blocks of rows and the
// first gathers them, so the image is the plain render's to the byte; a rank
// that cannot read the scene stops them all without an image.
#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/TempDir.h"

namespace {

// The decoded RGBA bytes of an image file; empty when it does not read.
std::vector<unsigned char> Pixels(const std::filesystem::path& path) {
  int width = 0, height = 0, channels = 0;
  unsigned char* p = stbi_load(path.c_str(), &width, &height, &channels, 4);
  std::vector<unsigned char> bytes;
  if (p) bytes.assign(p, p + std::size_t(width) * std::size_t(height) * 4);
  stbi_image_free(p);
  return bytes;
}

// Runs the shell command in `dir` with its error stream in err.txt; the exit status.
int RunIn(const TempDir& dir, const std::string& command) {
  const int status = std::system(("cd '" + dir.Path().string() + "' && " + command + " 2> err.txt").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string kRender = "'" DM_BINARY_DIR "/duskmoth' render --size 96x64 --shadows 2 --threads 2 -q ";
const std::string kMpirun = "mpirun --oversubscribe --allow-run-as-root ";

TEST(RankRender, RanksWriteThePlainRendersImageAndOneFailingRankStopsThemAll) {
#ifndef DM_HAVE_MPI
  GTEST_SKIP() << "this build has no MPI support";
#endif
  if (std::system("command -v mpirun > /dev/null 2>&1") != 0) GTEST_SKIP() << "mpirun is not installed";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // Open MPI keeps allocations to the process's end, which the leak checker reports.
  GTEST_SKIP() << "Open MPI's own allocations end a sanitized program";
#endif
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  // ranks, antialiasing, and whether the last rank is given a scene that does not exist.
  const struct { int ranks; std::string aa; bool missing_scene; } cases[] = {
      {1, "0", false}, {2, "0", false}, {3, "0", false}, {1, "3", false},
      {2, "3", false}, {3, "3", false}, {2, "1", true},  {3, "2", true}};
  for (const auto& c : cases) {
    const std::string what = std::to_string(c.ranks) + " ranks at --aa " + c.aa;
    const std::string plain = "plain" + c.aa + ".png", out = "out.png", options = "--aa " + c.aa + " -o ";
    std::filesystem::remove(dir / out);
    if (!std::filesystem::exists(dir / plain)) {
      ASSERT_EQ(RunIn(dir, kRender + options + plain), 0) << what;
    }
    if (!c.missing_scene) {
      ASSERT_EQ(RunIn(dir, kMpirun + "-n " + std::to_string(c.ranks) + " " + kRender + options + out), 0) << what;
      const std::vector<unsigned char> expected = Pixels(dir / plain), got = Pixels(dir / out);
      ASSERT_FALSE(expected.empty());
      EXPECT_TRUE(got == expected) << what;
      continue;
    }
    // Multiple programs: the last rank alone is handed a missing scene.
    const int last = c.ranks - 1;
    const std::string command = kMpirun + "-n " + std::to_string(last) + " " + kRender + options + out + " : -n 1 " +
                                kRender + options + out + " missing.json";
    EXPECT_EQ(RunIn(dir, command), 1) << what;
    EXPECT_FALSE(std::filesystem::exists(dir / out)) << what;
    std::stringstream err;
    err << std::ifstream(dir / "err.txt").rdbuf();
    for (const std::string& line : std::vector<std::string>{"duskmoth: rank " + std::to_string(last) + " of " + std::to_string(c.ranks) + ": ",
                                    "missing.json", "the render stopped: rank " + std::to_string(last) + " of "})
      EXPECT_NE(err.str().find(line), std::string::npos) << what << ": " << line << "\n" << err.str();
  }
}

}  // namespace
