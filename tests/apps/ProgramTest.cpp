// The duskmoth program run as a subprocess: exit codes and what it says.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/TempDir.h"

namespace {

const std::filesystem::path kExamples = std::filesystem::path(DM_SOURCE_DIR) / "examples/scenes";

struct Outcome {
  int code = -1;
  std::string out, err;
};

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Arguments are single-quoted for the shell; the tests pass no quotes themselves.
Outcome Duskmoth(const TempDir& dir, const std::vector<std::string>& args) {
  std::string command = "cd '" + dir.Path().string() + "' && '" DM_BINARY_DIR "/duskmoth'";
  for (const std::string& a : args) command += " '" + a + "'";
  command += " > out.txt 2> err.txt";
  const int status = std::system(command.c_str());
  Outcome r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadAll(dir / "out.txt");
  r.err = ReadAll(dir / "err.txt");
  return r;
}

TEST(Program, InfoDescribesTheExamples) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const Outcome showcase = Duskmoth(dir, {"info", (kExamples / "showcase.json").string()});
  EXPECT_EQ(showcase.code, 0) << showcase.err;
  EXPECT_EQ(showcase.err, "");
  for (const char* line : {"Objects: 9 (", "Materials: 9", "Lights: 5", "\"Key\": spot at (5, -4, 8)",
                           "\"Showcase\" (active): perspective", "image size: 800 x 600", "antialiasing: 2 (best)",
                           "Bounding box: (-6, -6, 0) to (6, 6, 2.12), size (12, 12, 2.12)",
                           "shadows: 2 (best), shadow map 2048 x 2048, offset 0.02",
                           "renderer settings: two-sided no", "bump map: on",
                           "DuskMoth Render: use wallpaper no, stretch wallpaper no, favor memory no"})
    EXPECT_NE(showcase.out.find(line), std::string::npos) << line << "\n" << showcase.out;

  const Outcome vase = Duskmoth(dir, {"info", (kExamples / "vase.obj").string()});
  EXPECT_EQ(vase.code, 0) << vase.err;
  EXPECT_NE(vase.out.find("\"lacquer\""), std::string::npos);
  EXPECT_NE(vase.out.find("environment " + (std::filesystem::path(DM_SOURCE_DIR) / "examples/textures/sky_sphere.png").string()),
            std::string::npos)
      << vase.out;
  const Outcome crate = Duskmoth(dir, {"info", (kExamples / "crate.gltf").string()});
  EXPECT_EQ(crate.code, 0) << crate.err;
  EXPECT_NE(crate.out.find("Lights: 2"), std::string::npos) << crate.out;
  EXPECT_NE(crate.out.find("Bounding box: (-4, 0, -4) to (4, 1, 4), size (8, 1, 8)\n"), std::string::npos) << crate.out;
}

TEST(Program, ImportWritesADocumentThatDescribesTheSame) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  for (const char* example : {"showcase.json", "vase.obj", "crate.gltf"}) {
    const std::string kvd = "szene-\u00fc-" + std::string(example) + ".kvd";
    const Outcome import = Duskmoth(dir, {"import", (kExamples / example).string(), "-o", kvd});
    ASSERT_EQ(import.code, 0) << import.err;
    EXPECT_EQ(import.out.rfind("Wrote " + kvd + ": ", 0), 0u) << import.out;
    ASSERT_TRUE(std::filesystem::exists(dir / kvd));
    const Outcome from_source = Duskmoth(dir, {"info", (kExamples / example).string()});
    const Outcome from_document = Duskmoth(dir, {"info", kvd});
    ASSERT_EQ(from_document.code, 0) << from_document.err;
    // Everything but the first line (the file's name) is the same.
    EXPECT_EQ(from_source.out.substr(from_source.out.find('\n')),
              from_document.out.substr(from_document.out.find('\n')))
        << example;
  }
}

}  // namespace
