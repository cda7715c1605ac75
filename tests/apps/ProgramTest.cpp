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

int Lines(const std::string& text) { return int(std::count(text.begin(), text.end(), '\n')); }

TEST(Program, InfoDescribesTheExamples) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const Outcome showcase = Duskmoth(dir, {"info", (kExamples / "showcase.json").string()});
  EXPECT_EQ(showcase.code, 0) << showcase.err;
  EXPECT_EQ(showcase.err, "");
  for (const char* line : {"Objects: 9 (", "Materials: 9", "Lights: 5", "\"Key\": spot at (5, -4, 8)",
                           "\"Showcase\" (active): perspective", "image size: 800 x 600", "antialiasing: 2 (best)",
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
}

TEST(Program, ImportWritesADocumentThatDescribesTheSame) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  for (const char* example : {"showcase.json", "vase.obj", "crate.gltf"}) {
    const std::string kvd = std::string(example) + ".kvd";
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

TEST(Program, BadUsageExitsWithTwo) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"render", "--aa", "9"}, {"import", "a.json"}, {"info"}, {"render", "--size", "big"}}) {
    const Outcome r = Duskmoth(dir, args);
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_EQ(r.err.rfind("duskmoth: ", 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
  }
  const Outcome help = Duskmoth(dir, {"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("Usage"), std::string::npos) << help.out;
}

TEST(Program, FailuresExitWithOneAndNameTheFile) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const Outcome missing = Duskmoth(dir, {"info", "missing.json"});
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(missing.err, "duskmoth: missing.json: no such file\n");
  const Outcome missing_model = Duskmoth(dir, {"import", "missing.obj", "-o", "out.kvd"});
  EXPECT_EQ(missing_model.code, 1);
  EXPECT_EQ(missing_model.err, "duskmoth: missing.obj: no such file\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "out.kvd"));
  const Outcome missing_doc = Duskmoth(dir, {"info", "missing.kvd"});
  EXPECT_EQ(missing_doc.code, 1);
  EXPECT_EQ(Lines(missing_doc.err), 1);
  EXPECT_NE(missing_doc.err.find("missing.kvd"), std::string::npos) << missing_doc.err;

  std::ofstream(dir / "bad.json") << R"({"objects": [{"type": "sphere", "radius": "big"}]})";
  const Outcome bad = Duskmoth(dir, {"info", "bad.json"});
  EXPECT_EQ(bad.code, 1);
  EXPECT_EQ(bad.err, "duskmoth: bad.json: /objects/0/radius: expected a number\n");
  EXPECT_EQ(bad.out, "");

  // A scene that reads, saved where no file can be made.
  const Outcome unwritable = Duskmoth(dir, {"import", (kExamples / "showcase.json").string(), "-o", "no/such/dir/x.kvd"});
  EXPECT_EQ(unwritable.code, 1);
  EXPECT_NE(unwritable.err.find("x.kvd"), std::string::npos) << unwritable.err;
}

TEST(Program, WarningsGoToStderrAndTheImportGoesOn) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  std::ofstream(dir / "odd.json") << R"({"objects": [{"type": "box", "colour": [1, 2, 3]}]})";
  const Outcome r = Duskmoth(dir, {"info", "odd.json"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "duskmoth: warning: odd.json: /objects/0/colour: unknown key (ignored)\n");
  EXPECT_NE(r.out.find("Objects: 1 (12 triangles)"), std::string::npos) << r.out;
}

TEST(Program, RenderReadsTheSceneBeforeAnythingElse) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  // The scene's faults come first, before the plug-in is even loaded.
  const Outcome missing = Duskmoth(dir, {"render", "none.json", "-o", "x.png"});
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(missing.err, "duskmoth: none.json: no such file\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));
}

}  // namespace
