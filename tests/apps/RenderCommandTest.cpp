// `duskmoth render` end to end: the real program, run as a child process,
// loads a render plug-in module, renders, shows progress and saves the
// image; failures and Ctrl-C give their exit codes and one clear line.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/ProgramRun.h"
#include "support/TempDir.h"
#include "host/platform/KavraDib.h"

namespace {

const std::string kModules = DM_TEST_MODULE_DIR;
const std::string kRenderer = kModules + "/test_renderer.kvp";

TEST(RenderCommand, RendersThroughThePlugInAndSavesTheViewsImage) {
  TempDir folder;
  const std::string out = (folder / "picture.png").string();
  const ProgramRun run = RunDuskmoth({"render", "-o", out, "--size", "40x30"}, {"DUSKMOTH_PLUGIN=" + kRenderer});
  ASSERT_EQ(run.exit_code, 0) << run.err;

  // Not a terminal: plain lines, the plug-in's own output among them.
  const std::vector<std::string> lines = run.Lines();
  ASSERT_GE(lines.size(), 4u) << run.err;
  EXPECT_EQ(lines.front(), "Loading Test renderer");
  EXPECT_EQ(lines[1], "Initializing...");
  EXPECT_EQ(lines[2], "Rendering...(13%)");
  EXPECT_EQ(lines[lines.size() - 4], "Rendering...(100%)");
  // A log gets progress at most every tenth of the way.
  for (std::size_t i = 3; i + 4 < lines.size(); ++i)
    EXPECT_GT(std::stoi(lines[i].substr(13)) / 10, std::stoi(lines[i - 1].substr(13)) / 10) << lines[i];
  EXPECT_EQ(lines[lines.size() - 3], "Completed");
  EXPECT_EQ(lines[lines.size() - 2], "Render completed");
  EXPECT_EQ(lines.back().rfind("Wrote " + out + ": 40 x 30 in ", 0), 0u) << lines.back();

  // The saved image is the view's bitmap, top row first.
  CKavraDib image;
  ASSERT_TRUE(image.ReadFromFile(TK_wString::FromUtf8(out)));
  ASSERT_EQ(std::pair(image.Width(), image.Height()), std::pair(40, 30));
  int wrong = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      float r, g, b;
      image.GetPixel(x, 29 - y, r, g, b);
      wrong += int(r * 255 + 0.5f) != x * 5 || int(g * 255 + 0.5f) != y * 7 || int(b * 255 + 0.5f) != 200;
    }
  EXPECT_EQ(wrong, 0);
}

// Before the render starts: Ctrl-C while a large model is read ends the read and the program
// with the interrupt's status, not by the signal.
TEST(RenderCommand, CtrlCWhileTheSceneIsReadEndsTheProgramAsInterrupted) {
  TempDir folder;
  {
    std::ofstream obj(folder / "big.obj");
    const int n = 800;  // 640,000 vertices, 1,276,802 triangles
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) obj << "v " << i << ' ' << j << ' ' << (i * j) % 7 << '\n';
    for (int i = 0; i + 1 < n; ++i)
      for (int j = 0; j + 1 < n; ++j) {
        const int a = i * n + j + 1;
        obj << "f " << a << ' ' << a + 1 << ' ' << a + n << "\nf " << a + 1 << ' ' << a + n + 1 << ' ' << a + n << '\n';
      }
  }
  const std::string out = (folder / "never.png").string();
  const ProgramRun run = RunDuskmoth({"render", (folder / "big.obj").string(), "-o", out, "--size", "8x8"},
                                     {"DUSKMOTH_PLUGIN=" + kRenderer}, "", std::chrono::milliseconds(300));
  EXPECT_EQ(run.exit_code, 130) << run.err;
  EXPECT_NE(run.err.find("duskmoth: interrupted"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(out));
}

// In the window too (offscreen), where it also closes a window kept open after the render.
TEST(RenderCommand, CtrlCStopsTheRenderThroughItsAbortPath) {
  TempDir folder;
  const std::string out = (folder / "stopped.png").string();
  const std::string hang = "DM_TEST_RENDER=hang", offscreen = "QT_QPA_PLATFORM=offscreen";
  const struct {
    std::vector<std::string> args, env;
    std::string after;
    std::vector<std::string> tail;  // the render window saw the abort, the plug-in printed its result, the program said why it stopped
  } cases[] = {
      {{"render", "-o", out, "--size", "16x16"}, {hang}, "Rendering...(100%)", {"Aborted", "Render cancelled"}},
      {{"window", "--size", "16x16"}, {hang, offscreen}, "Rendering...(100%)", {"Aborted", "Render cancelled"}},
      {{"window", "--size", "16x16"}, {offscreen}, "Render completed", {"Completed", "Render completed"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> env = c.env;
    env.push_back("DUSKMOTH_PLUGIN=" + kRenderer);
    const ProgramRun run = RunDuskmoth(c.args, env, c.after);
    EXPECT_EQ(run.exit_code, 130) << run.err;
    std::vector<std::string> lines = run.Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end() - 1), c.tail);
    EXPECT_EQ(lines.back(), "duskmoth: interrupted");
    EXPECT_FALSE(std::filesystem::exists(out));  // no image was written
  }
}

// Every command that fails exits with 1 and ends with one line naming the
// file and the reason; a failed render writes no image.
struct Failure {
  std::vector<std::string> args;
  std::vector<std::string> env;
  std::string message;  // the start of the one line
};

TEST(Program, FailuresExitWithOneAndNameTheFile) {
  TempDir folder;
  const std::string out = (folder / "x.png").string(), nowhere = (folder / "missing" / "x.png").string();
  std::ofstream(folder / "bad.json") << R"({"objects": [{"type": "sphere", "radius": "big"}]})";
  const std::string bad = (folder / "bad.json").string(), without = kModules + "/test_plugin_without_object.kvp";
  // The output is checked before any work: a write-protected file is kept, as cp keeps it.
  const std::string locked = (folder / "locked.png").string(), a_folder = (folder / "doc.kvd").string();
  std::filesystem::create_directory(a_folder);
  std::ofstream(locked) << "mine";
  std::filesystem::permissions(locked, std::filesystem::perms::owner_read);
  const Failure failures[] = {
      {{"render", "-o", out, "--size", "8x8", "--quiet"}, {"DUSKMOTH_PLUGIN=" + kRenderer, "DM_TEST_RENDER=fail"},
       "duskmoth: the demo scene: Render failed"},
      {{"render", "-o", out, "--size", "8x8"}, {"DUSKMOTH_PLUGIN=" + without}, "duskmoth: " + without + ": no render plug-in in the module\n"},
      {{"render", "-o", out}, {"DUSKMOTH_PLUGIN=/nonexistent/renderer.kvp"}, "duskmoth: /nonexistent/renderer.kvp: cannot load the module ("},
      {{"render", "-o", nowhere, "--size", "8x8", "--quiet"}, {"DUSKMOTH_PLUGIN=" + kRenderer}, "duskmoth: " + nowhere + ": No such file or directory\n"},
      {{"render", "-o", locked, "--size", "8x8"}, {"DUSKMOTH_PLUGIN=" + kRenderer}, "duskmoth: " + locked + ": Permission denied\n"},
      {{"import", "missing.obj", "-o", a_folder}, {}, "duskmoth: " + a_folder + ": Is a directory\n"},
      // The scene's faults come first, before the plug-in is even loaded.
      {{"render", "none.json", "-o", out}, {"DUSKMOTH_PLUGIN=" + kRenderer}, "duskmoth: none.json: no such file\n"},
      {{"info", bad}, {}, "duskmoth: " + bad + ": /objects/0/radius: expected a number\n"},
      {{"render", "-o", out, "--view", "Top"}, {}, "duskmoth: the demo scene: no view named \"Top\"; the view is \"Demo\"\n"},
      {{"info", "missing.kvd"}, {}, "duskmoth: missing.kvd: cannot open"},
      {{"import", "missing.obj", "-o", out + ".kvd"}, {}, "duskmoth: missing.obj: no such file\n"},
      {{"window", "--size", "8x8"}, {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="},
       "duskmoth: no display: set DISPLAY or run with QT_QPA_PLATFORM=offscreen\n"},
      {{"window", "--size", "8x8"}, {"QT_QPA_PLATFORM=no-such-platform"}, "duskmoth: no display: Qt could not start on it"},
      {{"window", "--size", "8x8", "-q"}, {"DUSKMOTH_PLUGIN=" + kRenderer, "DM_TEST_RENDER=fail", "QT_QPA_PLATFORM=offscreen"},
       "duskmoth: the demo scene: Render failed"},
      {{"window", "--size", "8x8", "-q", "--screenshot", nowhere}, {"DUSKMOTH_PLUGIN=" + kRenderer, "QT_QPA_PLATFORM=offscreen"},
       "duskmoth: " + nowhere + ": No such file or directory\n"},
  };
  for (const Failure& f : failures) {
    const ProgramRun run = RunDuskmoth(f.args, f.env);
    EXPECT_EQ(run.exit_code, 1) << f.message;
    ASSERT_FALSE(run.Lines().empty()) << f.message;
    EXPECT_EQ((run.Lines().back() + "\n").rfind(f.message, 0), 0u) << run.err;
    EXPECT_FALSE(std::filesystem::exists(out)) << f.message;
  }
  std::ifstream kept(locked);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "mine");
  // The window commands come from a module beside the program: a copy of
  // the program alone has none, and says so.
  const std::filesystem::path alone = folder / "alone";
  std::filesystem::create_directory(alone);
  std::filesystem::copy_file(kProgram, alone / "duskmoth");
  const ProgramRun lone = RunDuskmoth({"window", "--size", "8x8"}, {"QT_QPA_PLATFORM=offscreen"}, "", {}, 0,
                                      (alone / "duskmoth").string());
  EXPECT_EQ(lone.exit_code, 1);
  EXPECT_EQ(lone.err.rfind("duskmoth: " + (alone / "duskmoth_qt.so").string() + ": cannot load the window commands (", 0),
            0u) << lone.err;
}

// The image at path, read back: its size, or (0, 0) when it does not read.
SIZE ImageSize(const std::string& path) {
  CKavraDib image;
  if (!image.ReadFromFile(TK_wString::FromUtf8(path))) return {};
  return {image.Width(), image.Height()};
}

TEST(RenderCommand, TheProjectsModuleBesideTheProgramRendersTheDemoScene) {
  TempDir folder;
  const std::filesystem::path temp = folder / "tmp-\u00fc";  // paths are bytes to the program, whatever the locale
  ASSERT_TRUE(std::filesystem::create_directory(temp));
  const std::string out = (temp / "bild-\u00fc.png").string();
  const ProgramRun run = RunDuskmoth({"render", "-o", out, "--size", "16x12"}, {"DUSKMOTH_PLUGIN=", "TMPDIR=" + temp.string()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(ImageSize(out), (SIZE{16, 12}));
  const std::vector<std::string> lines = run.Lines();
  ASSERT_GE(lines.size(), 6u) << run.err;
  EXPECT_EQ(lines.front().rfind("Loading DuskMoth Render, version ", 0), 0u);
  EXPECT_EQ(lines[1], "Initializing...");
  EXPECT_EQ(lines[2], "Calculating Screen Projections...");
  EXPECT_EQ(lines[3], "Calculating Lights and Shadow Maps...");
  EXPECT_EQ(lines[lines.size() - 4], "Rendering curves, wires and annotations...");
  EXPECT_EQ(lines[lines.size() - 3], "Completed");
  EXPECT_EQ(lines[lines.size() - 2], "Render completed");
  EXPECT_EQ(lines.back().rfind("Wrote " + out + ": 16 x 12 in ", 0), 0u) << lines.back();
  // The demo scene's maps lived in a private folder, gone with the program.
  int left = 0;
  for (const auto& entry : std::filesystem::directory_iterator(temp))
    left += entry.path().filename().string().rfind("duskmoth-demo-", 0) == 0;
  EXPECT_EQ(left, 0);
}

// A box filling the middle of a black image, its material red; the only
// light is switched off. `renderer` is the material's renderer object.
std::string BoxScene(const std::string& renderer) {
  return R"({"render": {"width": 32, "height": 32, "antialias": 0, "shadows": 0,
                       "ambient": [0, 0, 0], "background": [0, 0, 0]},
    "materials": [{"name": "red", "diffuse": [255, 0, 0], "specular": [0, 0, 0], "renderer": )" +
         renderer + R"(}],
    "lights": [{"type": "point", "location": [0, -5, 0], "enabled": false}],
    "objects": [{"type": "box", "size": [3, 3, 3], "material": "red"}],
    "camera": {"location": [0, -8, 0], "target": [0, 0, 0], "angle": 15}})";
}

// Colour bytes of pixel (x, y), top row 0, of the image at path.
std::array<int, 3> PixelAt(const std::string& path, int x, int y) {
  CKavraDib image;
  float r = 0, g = 0, b = 0;
  if (!image.ReadFromFile(TK_wString::FromUtf8(path)) || !image.GetPixel(x, image.Height() - 1 - y, r, g, b)) return {-1, -1, -1};
  return {int(r * 255 + 0.5f), int(g * 255 + 0.5f), int(b * 255 + 0.5f)};
}

TEST(RenderCommand, TheMaterialsRendererSettingsApplyToTheRender) {
  // Stored with the scene before the renderer was loaded, taken up by it for
  // the render, and handed back before it is unloaded.
  TempDir folder;
  std::ofstream(folder / "glow.json") << BoxScene(R"({"luminosity": 1, "luminosity_color": [0, 255, 0]})");
  const std::string out = (folder / "glow.png").string();
  const ProgramRun run = RunDuskmoth({"render", (folder / "glow.json").string(), "-o", out, "-q"}, {"DUSKMOTH_PLUGIN="});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_GT(PixelAt(out, 16, 16)[1], 200);  // glowing green
}

}  // namespace
