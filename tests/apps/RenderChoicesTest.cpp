// `duskmoth render` with the options that pick the camera and the image's alpha, and the lines it
// ends with: the real program and renderer on small scenes whose pixels and counts have a closed form.
#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <fstream>
#include <numbers>
#include <cstdio>
#include <cstdlib>

#include "host/toolkit/Point.h"
#include "support/ProgramRun.h"
#include "support/TempDir.h"

namespace {

// RGBA bytes of an image file, top row first; none when it does not read.
struct Rgba {
  explicit Rgba(const std::filesystem::path& path) {
    unsigned char* p = stbi_load(path.c_str(), &width, &height, &channels, 4);
    if (p) bytes.assign(p, p + std::size_t(width) * height * 4);
    stbi_image_free(p);
  }
  const unsigned char* At(int x, int y) const { return bytes.data() + (std::size_t(y) * width + x) * 4; }
  int width = 0, height = 0, channels = 0;
  std::vector<unsigned char> bytes;
};

// Renders the objects on black, seen from (0, -8, 0) at 15 degrees; with none, the arguments alone.
ProgramRun Render(const TempDir& dir, const std::string& objects, std::vector<std::string> args, const std::string& lights = "[]") {
  std::ofstream(dir / "s.json") << R"({"render": {"ambient": [0, 0, 0], "background": [0, 0, 0]}, "materials": [{"name": "red",
    "diffuse": [255, 0, 0]}, {"name": "glass", "diffuse": [0, 0, 255], "transparency": 0.6}, {"name": "clear", "transparency": 1}], "objects": )" + objects +
    R"(, "lights": )" + lights + R"(, "camera": {"location": [0, -8, 0], "target": [0, 0, 0], "angle": 15}})";
  args.insert(args.begin(), "render");
  if (!objects.empty()) args.insert(args.begin() + 1, (dir / "s.json").string());
  return RunDuskmoth(args, {"DUSKMOTH_PLUGIN="});
}

TEST(RenderChoices, TheClosingLineCountsWhatWasRenderedAndStatsTimeEachPhase) {
  TempDir dir;
  const std::string out = (dir / "o.png").string();
  const struct { std::string lights, aa, counts; } cases[] = {
      {R"([{"type": "spot", "location": [0,-6,6], "target": [0,0,0], "shadow_intensity": 1}, {"type": "point", "location": [1,-5,2]}])",
       "3", "12 triangles, 2 lights, 1 shadow map, 16,000 samples"},  // 40 x 25 pixels of 4 x 4 samples
      {"[]", "0", "12 triangles, 1 light, 0 shadow maps, 1,000 samples"}};   // the default light
  for (const auto& c : cases) {
    const ProgramRun run = Render(dir, R"([{"type": "box", "material": "red"}])",
                                  {"-o", out, "--size", "40x25", "--aa", c.aa, "--shadows", "1", "--stats", "-q"}, c.lights);
    const std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 3u) << run.err;
    // "Wrote OUT: 40 x 25 in T s (COUNTS)", then each phase's time, then the peak memory.
    const std::string head = "Wrote " + out + ": 40 x 25 in ";
    ASSERT_EQ(lines[0].rfind(head, 0), 0u) << run.err;
    char* end = nullptr;
    const double whole = std::strtod(lines[0].c_str() + head.size(), &end);
    ASSERT_EQ(std::string(end), " s (" + c.counts + ")") << run.err;
    double phase[6];
    ASSERT_EQ(std::sscanf(lines[1].c_str(), "Phases: import %lf s, gathering %lf s, projection %lf s, shadow maps %lf s, "
                                            "pixels %lf s, writing %lf s", &phase[0], &phase[1], &phase[2], &phase[3],
                          &phase[4], &phase[5]), 6) << lines[1];
    double sum = 0;
    for (const double p : phase) sum += p;
    EXPECT_LE(sum, whole + 0.01) << "the phases lie within the whole";
    double peak = 0;
    EXPECT_TRUE(std::sscanf(lines[2].c_str(), "Peak memory: %lf MiB", &peak) == 1 && peak > 1) << run.err;
  }
}

// An opaque box left of the middle, planes of transparency 0.6 right of it (x = 16 -+ 16 x 1.2 / (2 x 8 tan 15 deg)),
// the upper one alone, the lower one seen through a second one.
TEST(RenderChoices, AlphaIsCoverageAndLeavesTheColourAsItWas) {
  TempDir dir;
  const std::string plane = R"({"type": "plane", "size": [1.5, 0.5], "rotate": [90, 0, 0], "material": "glass", "translate": )";
  const std::string scene = R"([{"type": "box", "size": [1.5, 1.5, 1.5], "translate": [-1.2, 0, 0], "material": "red"}, )" +
                            plane + "[1.2, 0, 0.4]}, " + plane + "[1.2, 0, -0.4]}, " + plane + "[1.2, 1, -0.4]}]";
  ASSERT_EQ(Render(dir, scene, {"-o", (dir / "plain.png").string(), "--size", "32x16", "--aa", "0"}).exit_code, 0);
  const Rgba plain(dir / "plain.png");
  for (const char* name : {"alpha.png", "alpha.tga"}) {
    ASSERT_EQ(Render(dir, scene, {"-o", (dir / name).string(), "--size", "32x16", "--aa", "0", "--alpha"}).exit_code, 0);
    const Rgba alpha(dir / name);
    ASSERT_EQ(alpha.bytes.size(), plain.bytes.size());
    // Background, box, one plane: 255 x (1 - 0.6) rounded, two: 255 x (1 - 0.6 x 0.6).
    EXPECT_EQ(std::tuple(alpha.At(0, 0)[3], alpha.At(11, 8)[3], alpha.At(20, 6)[3], alpha.At(20, 9)[3]),
              std::tuple(0, 255, 102, 163)) << name;
    for (std::size_t i = 0; i < plain.bytes.size(); ++i)
      ASSERT_TRUE(i % 4 == 3 || alpha.bytes[i] == plain.bytes[i]) << name << ", byte " << i;
  }
}

// Two cameras 3 units apart look down -z at a 2 x 2 square from 10 units, 15 degrees up and down.
TEST(RenderChoices, ViewPicksTheDocumentsViewByName) {
  TempDir dir;
  std::ofstream(dir / "cams.dae") << R"(<?xml version="1.0"?><COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema"
  version="1.4.1"><asset><up_axis>Y_UP</up_axis></asset><library_cameras><camera id="c"><optics><technique_common><perspective>
  <yfov>30</yfov><aspect_ratio>1</aspect_ratio><znear>1</znear><zfar>100</zfar></perspective></technique_common></optics></camera>
  </library_cameras><library_geometries><geometry id="g"><mesh><source id="p"><float_array id="a" count="12">-1 -1 0 1 -1 0 1 1 0
  -1 1 0</float_array><technique_common><accessor source="#a" count="4" stride="3"><param name="X" type="float"/><param name="Y"
  type="float"/><param name="Z" type="float"/></accessor></technique_common></source><vertices id="v"><input semantic="POSITION"
  source="#p"/></vertices><triangles count="2"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2 0 2 3</p></triangles>
  </mesh></geometry></library_geometries><library_visual_scenes><visual_scene id="s"><node id="m"><instance_geometry url="#g"/>
  </node><node id="front" name="front"><translate>0 0 10</translate><instance_camera url="#c"/></node><node id="moved"
  name="moved"><translate>3 0 10</translate><instance_camera url="#c"/></node></visual_scene></library_visual_scenes><scene>
  <instance_visual_scene url="#s"/></scene></COLLADA>)";
  // Seen from "moved", the square's right edge in a 64-pixel row is at 32 + 32 (1 - 3) / (10 tan 15 deg); from "front" it is centred.
  const std::string dae = (dir / "cams.dae").string(), out = (dir / "v.png").string();
  ASSERT_EQ(Render(dir, "", {dae, "-o", out, "--size", "64x64", "--aa", "0", "--view", "moved"}).exit_code, 0);
  const Rgba image(out);
  int left = 64, right = 0;  // the square is dark on the white background
  for (int x = 0; x < 64; ++x)
    if (image.At(x, 32)[0] < 128) left = std::min(left, x), right = std::max(right, x + 1);
  EXPECT_TRUE(left == 0 && std::abs(right - (32 - 64 / (10 * std::tan(15 * std::numbers::pi / 180)))) <= 1) << left << " to " << right;
}

// A render that shows only the background is written, with a warning saying why.
TEST(RenderChoices, ABlankImageIsNeverSilent) {
  TempDir dir;
  const std::string out = (dir / "blank.png").string();
  for (const auto& [objects, why] : {std::pair{R"([{"type": "box", "translate": [0, 0, 100]}])", "no object is in view"},
                                     std::pair{R"([{"type": "box", "material": "clear"}])", "every material is fully transparent"},
                                     std::pair{"[]", "the scene has no triangles"},
                                     std::pair{R"([{"type": "box", "material": "glass"}])", ""}}) {
    const ProgramRun run = Render(dir, objects, {"-o", out, "--size", "16x16"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    const std::string warning = "duskmoth: warning: " + out + " shows only the background: ";
    EXPECT_EQ(run.err.find(warning + why + "\n") != std::string::npos, *why != 0) << run.err;
    if (!*why) {
      EXPECT_EQ(run.err.find(warning), std::string::npos) << run.err;
    }
  }
}

// A small box at P seen from L towards T at 20 degrees (up +z) lands where a pinhole camera puts it.
TEST(RenderChoices, TheCameraOverrideLooksFromWhereItIsToldAlsoAtTheDemoScene) {
  TempDir dir;
  const TK_3dVector L(5, -7, 3), d = TK_3dVector(1, 0, 1) - L, v = TK_3dVector(2, 1, 0.5) - L;
  const TK_3dVector x = TK_CrossProduct(d, TK_3dVector(0, 0, 1)), y = TK_CrossProduct(x, d);
  const double scale = 24 / std::tan(20 * std::numbers::pi / 180) / (TK_DotProduct(v, d) / d.Length());
  const double px = 32 + scale * TK_DotProduct(v, x) / x.Length(), py = 24 - scale * TK_DotProduct(v, y) / y.Length();
  ASSERT_EQ(Render(dir, R"([{"type": "box", "size": [0.2, 0.2, 0.2], "translate": [2, 1, 0.5], "material": "red"}])",
                   {"-o", (dir / "c.png").string(), "--size", "64x48", "--aa", "0", "--camera-location", "5,-7,3",
                    "--camera-target", "1,0,1", "--camera-angle", "20"}).exit_code, 0);
  const Rgba image(dir / "c.png");
  double sx = 0, sy = 0, lit = 0;
  for (int j = 0; j < 48; ++j)
    for (int i = 0; i < 64; ++i)
      if (image.At(i, j)[0] > 0) sx += i + 0.5, sy += j + 0.5, ++lit;
  EXPECT_LT(std::hypot(sx / lit - px, sy / lit - py), 1.0) << sx / lit << ", " << sy / lit << " for " << px << ", " << py;
  // The demo scene seen from high above, looking up: nothing but its background.
  ASSERT_EQ(Render(dir, "", {"-o", (dir / "sky.png").string(), "--size", "16x9", "--shadows", "0", "--camera-location", "0,0,60",
                             "--camera-target", "1,0,100"}).exit_code, 0);
  const Rgba sky(dir / "sky.png");
  ASSERT_EQ(sky.bytes.size(), 16u * 9 * 4);
  for (std::size_t i = 0; i < sky.bytes.size(); i += 4)
    ASSERT_EQ(std::tuple(sky.bytes[i], sky.bytes[i + 1], sky.bytes[i + 2]), std::tuple(0xbc, 0xcb, 0xe0)) << i / 4;
}

}  // namespace
