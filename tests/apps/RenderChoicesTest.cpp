// `duskmoth render` with the options that pick the camera and the image's
// alpha, and the lines it ends with: the real program and renderer on small
// scenes whose pixels and counts have a closed form.

#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <regex>

#include "support/ProgramRun.h"
#include "support/TempDir.h"

namespace {

// RGBA bytes of an image file, top row first; empty when it does not read.
struct Rgba {
  int width = 0, height = 0;
  std::vector<unsigned char> bytes;
  const unsigned char* At(int x, int y) const { return bytes.data() + (std::size_t(y) * width + x) * 4; }
};
Rgba Load(const std::filesystem::path& path) {
  Rgba image;
  int channels = 0;
  unsigned char* p = stbi_load(path.c_str(), &image.width, &image.height, &channels, 4);
  if (p) image.bytes.assign(p, p + std::size_t(image.width) * image.height * 4);
  stbi_image_free(p);
  return image;
}

// Objects on black without ambient light, seen from (0, -8, 0) at 15 degrees unless the camera is given.
std::string Scene(const std::string& objects, const std::string& lights = "[]",
                  const std::string& camera = R"({"location": [0, -8, 0], "target": [0, 0, 0], "angle": 15})") {
  return R"({"render": {"ambient": [0, 0, 0], "background": [0, 0, 0]},
    "materials": [{"name": "red", "diffuse": [255, 0, 0]}, {"name": "glass", "diffuse": [0, 0, 255], "transparency": 0.6}],
    "objects": )" + objects + R"(, "lights": )" + lights + R"(, "camera": )" + camera + "}";
}

ProgramRun Render(const TempDir& dir, const std::string& scene, std::vector<std::string> args) {
  std::ofstream(dir / "scene.json") << scene;
  args.insert(args.begin(), {"render", (dir / "scene.json").string()});
  return RunDuskmoth(args, {"DUSKMOTH_PLUGIN="});
}

TEST(RenderChoices, TheClosingLineCountsWhatWasRenderedAndStatsTimeEachPhase) {
  TempDir dir;
  const std::string out = (dir / "o.png").string(), box = R"([{"type": "box", "size": [1, 1, 1], "material": "red"}])";
  const std::string spot = R"([{"type": "spot", "location": [0, -6, 6], "target": [0, 0, 0], "shadow_intensity": 1},
                               {"type": "point", "location": [3, -3, 3]}])";
  const struct { std::string lights, aa, counts; } cases[] = {
      {spot, "3", "12 triangles, 2 lights, 1 shadow map, 640 samples"},  // 10 x 4 pixels of 4 x 4 samples
      {"[]", "0", "12 triangles, 1 light, 0 shadow maps, 40 samples"},  // the default light
  };
  for (const auto& c : cases) {
    const ProgramRun run = Render(dir, Scene(box, c.lights), {"-o", out, "--size", "10x4", "--aa", c.aa, "--shadows", "1", "--stats", "-q"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const std::vector<std::string> lines = run.Lines();
    ASSERT_EQ(lines.size(), 3u) << run.err;
    std::smatch total, phases;
    ASSERT_TRUE(std::regex_match(lines[0], total, std::regex("Wrote " + out + ": 10 x 4 in ([0-9.]+) s \\((.*)\\)"))) << lines[0];
    EXPECT_EQ(total[2], c.counts);
    const std::string number = "([0-9]+\\.[0-9]{3}) s";
    ASSERT_TRUE(std::regex_match(lines[1], phases, std::regex("Phases: import " + number + ", gathering " + number + ", projection " + number +
                                                              ", shadow maps " + number + ", pixels " + number + ", writing " + number)))
        << lines[1];
    double sum = 0;
    for (std::size_t i = 1; i < phases.size(); ++i) sum += std::stod(phases[i]);
    EXPECT_LE(sum, std::stod(total[1]) + 0.01) << "the phases lie within the whole";
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("Peak memory: [1-9][0-9]*\\.[0-9] MiB"))) << lines[2];
  }
}

// An opaque box on the left, a plane of transparency 0.6 on the right.
TEST(RenderChoices, AlphaIsCoverageAndLeavesTheColourAsItWas) {
  TempDir dir;
  const std::string scene = Scene(R"([{"type": "box", "size": [1.5, 1.5, 1.5], "translate": [-1.2, 0, 0], "material": "red"},
      {"type": "plane", "size": [1.5, 1.5], "rotate": [90, 0, 0], "translate": [1.2, 0, 0], "material": "glass"}])");
  ASSERT_EQ(Render(dir, scene, {"-o", (dir / "plain.png").string(), "--size", "32x16", "--aa", "0", "-q"}).exit_code, 0);
  const Rgba plain = Load(dir / "plain.png");
  for (const char* name : {"alpha.png", "alpha.tga"}) {
    const ProgramRun run = Render(dir, scene, {"-o", (dir / name).string(), "--size", "32x16", "--aa", "0", "-q", "--alpha"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const Rgba alpha = Load(dir / name);
    ASSERT_EQ(std::pair(alpha.width, alpha.height), std::pair(32, 16));
    // Background, the box and the plane (centred 16 -+ 16 x 1.2 / (2 x 8 tan 15 deg) = 11.5, 20.5): 255 x (1 - 0.6) rounded.
    EXPECT_EQ(std::tuple(alpha.At(0, 0)[3], alpha.At(11, 8)[3], alpha.At(20, 8)[3]), std::tuple(0, 255, 102)) << name;
    for (std::size_t i = 0; i < plain.bytes.size(); ++i)
      ASSERT_TRUE(i % 4 == 3 || alpha.bytes[i] == plain.bytes[i]) << name << ", byte " << i;
  }
}

// Two cameras 3 units apart look down -z at a 2 x 2 square from 10 units, 15 degrees up and down.
TEST(RenderChoices, ViewPicksTheDocumentsViewByName) {
  TempDir dir;
  std::ofstream(dir / "cams.dae") << R"(<?xml version="1.0"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1"><asset><up_axis>Y_UP</up_axis></asset>
 <library_cameras><camera id="cam"><optics><technique_common><perspective><yfov>30</yfov><aspect_ratio>1</aspect_ratio>
  <znear>1</znear><zfar>100</zfar></perspective></technique_common></optics></camera></library_cameras>
 <library_geometries><geometry id="g"><mesh><source id="p"><float_array id="pa" count="12">-1 -1 0 1 -1 0 1 1 0 -1 1 0</float_array>
  <technique_common><accessor source="#pa" count="4" stride="3"><param name="X" type="float"/><param name="Y" type="float"/>
  <param name="Z" type="float"/></accessor></technique_common></source><vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
  <triangles count="2"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2 0 2 3</p></triangles></mesh></geometry></library_geometries>
 <library_visual_scenes><visual_scene id="s"><node id="m" name="m"><instance_geometry url="#g"/></node>
  <node id="front" name="front"><translate>0 0 10</translate><instance_camera url="#cam"/></node>
  <node id="moved" name="moved"><translate>3 0 10</translate><instance_camera url="#cam"/></node></visual_scene></library_visual_scenes>
 <scene><instance_visual_scene url="#s"/></scene></COLLADA>)";
  // The square's columns, left and right edge, in a 64-pixel image: x / (10 tan 15 deg) from the middle.
  const double half = 10 * std::tan(15 * std::numbers::pi / 180);
  const struct { std::vector<std::string> view; double left, right; } cases[] = {
      {{}, 32 * (1 - 1 / half), 32 * (1 + 1 / half)}, {{"--view", "moved"}, 0, 32 * (1 - 2 / half)}};
  for (const auto& c : cases) {
    std::vector<std::string> args{"render", (dir / "cams.dae").string(), "-o", (dir / "v.png").string(), "--size", "64x64", "--aa", "0", "-q"};
    args.insert(args.end(), c.view.begin(), c.view.end());
    ASSERT_EQ(RunDuskmoth(args, {"DUSKMOTH_PLUGIN="}).exit_code, 0);
    const Rgba image = Load(dir / "v.png");
    int left = 64, right = -1;  // the square is dark on the white background
    for (int x = 0; x < 64; ++x)
      if (image.At(x, 32)[0] < 128) left = std::min(left, x), right = std::max(right, x);
    EXPECT_LE(std::abs(left - c.left), 1) << left;
    EXPECT_LE(std::abs(right + 1 - c.right), 1) << right;
  }
}

// A small box at P seen from L towards T at 20 degrees lands where a pinhole camera puts it.
TEST(RenderChoices, TheCameraOverrideLooksFromWhereItIsToldAlsoAtTheDemoScene) {
  TempDir dir;
  const double L[] = {5, -7, 3}, T[] = {1, 0, 1}, P[] = {2, 1, 0.5}, up[] = {0, 0, 1};
  const auto dot = [](const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
  double d[3], v[3], x[3], y[3];
  for (int i = 0; i < 3; ++i) d[i] = T[i] - L[i], v[i] = P[i] - L[i];
  for (int i = 0; i < 3; ++i) x[i] = d[(i + 1) % 3] * up[(i + 2) % 3] - d[(i + 2) % 3] * up[(i + 1) % 3];
  for (int i = 0; i < 3; ++i) y[i] = x[(i + 1) % 3] * d[(i + 2) % 3] - x[(i + 2) % 3] * d[(i + 1) % 3];
  const double depth = dot(v, d) / std::sqrt(dot(d, d)), scale = 24 / std::tan(20 * std::numbers::pi / 180) / depth;
  const double px = 32 + scale * dot(v, x) / std::sqrt(dot(x, x)), py = 24 - scale * dot(v, y) / std::sqrt(dot(y, y));
  const ProgramRun run = Render(dir, Scene(R"([{"type": "box", "size": [0.2, 0.2, 0.2], "translate": [2, 1, 0.5], "material": "red"}])"),
                                {"-o", (dir / "c.png").string(), "--size", "64x48", "--aa", "0", "-q", "--camera-location", "5,-7,3",
                                 "--camera-target", "1,0,1", "--camera-angle", "20"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const Rgba image = Load(dir / "c.png");
  double sx = 0, sy = 0, lit = 0;
  for (int j = 0; j < 48; ++j)
    for (int i = 0; i < 64; ++i)
      if (image.At(i, j)[0] > 0) sx += i + 0.5, sy += j + 0.5, ++lit;
  ASSERT_GT(lit, 0);
  EXPECT_LT(std::hypot(sx / lit - px, sy / lit - py), 1.0) << sx / lit << ", " << sy / lit << " for " << px << ", " << py;

  // The demo scene seen from high above, looking up: nothing but its background.
  ASSERT_EQ(RunDuskmoth({"render", "-o", (dir / "sky.png").string(), "--size", "16x9", "-q", "--camera-location", "0,0,60",
                         "--camera-target", "1,0,100", "--shadows", "0"}, {"DUSKMOTH_PLUGIN="}).exit_code, 0);
  const Rgba sky = Load(dir / "sky.png");
  ASSERT_EQ(sky.bytes.size(), 16u * 9 * 4);
  for (std::size_t i = 0; i < sky.bytes.size(); i += 4)
    ASSERT_EQ(std::tuple(sky.bytes[i], sky.bytes[i + 1], sky.bytes[i + 2]), std::tuple(0xbc, 0xcb, 0xe0)) << i / 4;
}

}  // namespace
