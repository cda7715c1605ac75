#include "apps/duskmoth/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

#include "apps/duskmoth/RenderCommand.h"
#include "host/toolkit/ScnRenderSettings.h"

namespace {

ParseOutcome Parse(std::vector<const char*> args, CommandLine& line) {
  args.insert(args.begin(), "duskmoth");
  return ParseCommandLine(int(args.size()), args.data(), line);
}

TEST(CommandLine, RenderTakesEveryOption) {
  CommandLine line;
  const ParseOutcome p = Parse({"render", "scene.json", "-o", "out.TGA", "--size", "800x600", "--aa", "3", "--shadows",
                                "0", "--shadow-map-size", "512", "--shadow-map-offset", "-0.25", "--favor-speed", "-q",
                                "--threads", "3", "--view", "Top left", "--camera-location", "-4,5.5,1e3",
                                "--camera-target", " 0, 0 ,-1", "--camera-angle", "22.5", "--alpha", "--stats"},
                               line);
  ASSERT_TRUE(p.run) << p.text;
  EXPECT_EQ(line.command, CommandLine::Command::render);
  const RenderOptions& r = line.render;
  EXPECT_EQ(std::pair(r.scene, r.output), std::pair(std::optional<std::filesystem::path>("scene.json"),
                                                    std::filesystem::path("out.TGA")));
  EXPECT_EQ(std::tuple(r.width, r.height, r.antialias, r.shadows, r.shadow_map_size), std::tuple(800, 600, 3, 0, 512));
  EXPECT_EQ(std::tuple(r.shadow_map_offset, r.favor_memory, r.quiet, r.threads), std::tuple(-0.25, false, true, 3));
  using Point = std::optional<std::array<double, 3>>;
  EXPECT_EQ(std::tuple(r.view, r.camera_location, r.camera_target, r.camera_angle, r.alpha, r.stats),
            std::tuple(std::optional<std::string>("Top left"), Point({-4, 5.5, 1000}), Point({0, 0, -1}), 22.5, true, true));
}

TEST(CommandLine, WindowTakesTheRenderOptionsAndItsOwn) {
  CommandLine line;
  const ParseOutcome p = Parse({"window", "scene.json", "--size", "64x48", "--aa", "2", "--favor-memory", "-q", "--zoom",
                                "-3", "--screenshot", "shot.png", "--screenshot-at", "40"},
                               line);
  ASSERT_TRUE(p.run) << p.text;
  EXPECT_EQ(line.command, CommandLine::Command::window);
  const WindowOptions& w = line.window;
  EXPECT_EQ(std::tuple(w.render.scene, w.render.width, w.render.height, w.render.antialias, w.render.favor_memory),
            std::tuple(std::optional<std::filesystem::path>("scene.json"), 64, 48, 2, true));
  EXPECT_EQ(std::tuple(w.render.quiet, w.zoom, w.screenshot, w.screenshot_at),
            std::tuple(true, -3, std::optional<std::filesystem::path>("shot.png"), 40));
}

TEST(CommandLine, TheDialogCommandsTakeADocumentAMaterialAndAScript) {
  using Path = std::optional<std::filesystem::path>;
  const struct { std::vector<const char*> args; CommandLine::Command command; std::optional<std::string> material; Path script; } cases[] = {
      {{"material", "doc.kvd", "Oak block", "--script", "s.txt"}, CommandLine::Command::material, "Oak block", "s.txt"},
      {{"material", "doc.KVD"}, CommandLine::Command::material, {}, {}},
      {{"properties", "--script", "s.txt", "doc.kvd"}, CommandLine::Command::properties, {}, "s.txt"},
      {{"options", "doc.kvd"}, CommandLine::Command::options, {}, {}},
  };
  for (const auto& c : cases) {
    CommandLine line;
    ASSERT_TRUE(Parse(c.args, line).run) << c.args[0];
    EXPECT_EQ(std::tuple(line.command, line.dialog.document.stem(), line.dialog.material, line.dialog.script),
              std::tuple(c.command, std::filesystem::path("doc"), c.material, c.script));
  }
}

TEST(CommandLine, BadUsageIsExitCodeTwoWithAReason) {
  const std::vector<std::pair<std::vector<const char*>, const char*>> cases = {
      {{}, "a command is required: render, "},
      {{"paint"}, "unknown command \"paint\""}, {{"help", "paint"}, "unknown command \"paint\""},
      {{"--paint"}, "unknown option --paint"},
      {{"render", "--aa", "4"}, "--aa"},
      {{"render", "--aa", "one"}, "--aa: expected an integer from 0 to 3, not \"one\""},
      {{"render", "-o", ""}, "--output: the name is empty"}, {{"import", "in.json", "-o", ""}, "--output: the name is empty"},
      {{"render", "--shadows", "-1"}, "--shadows"},
      {{"render", "--shadow-map-size", "4"}, "--shadow-map-size"},
      {{"render", "--shadow-map-offset", "nan"}, "--shadow-map-offset"},
      {{"render", "--shadow-map-offset", "1e9"}, "--shadow-map-offset"},
      {{"render", "--size", "800"}, "--size"}, {{"render", "--size", "0x600"}, "--size"},
      {{"render", "--size", "16385x1"}, "--size"}, {{"render", "--size", "8.5x8"}, "--size"},
      {{"render", "--size", "8x8x8"}, "--size"}, {{"render", "--size", "99999999999x1"}, "--size"},
      {{"render", "--favor-memory", "--favor-speed"}, "--favor-memory excludes --favor-speed"},
      {{"render", "--threads", "0"}, "--threads"}, {{"window", "--threads", "257"}, "--threads"},
      {{"render", "-o", "picture.gif"}, "picture.gif"},
      {{"render", "a.json", "b.json"}, "unexpected argument b.json"},
      {{"render", "--unknown"}, "unknown option --unknown"},
      {{"import", "in.json"}, "--output"},
      {{"import", "-o", "out.kvd"}, "IN"},
      {{"import", "in.json", "-o", "out.json"}, "out.json: the document must have the extension .kvd"},
      {{"info"}, "FILE"},
      {{"window", "-o", "out.png"}, "-o"},
      {{"window", "--zoom", "0"}, "--zoom"}, {{"window", "--zoom", "-1"}, "--zoom"}, {{"window", "--zoom", "11"}, "--zoom"},
      {{"window", "--screenshot", "shot.gif"}, "shot.gif"},
      {{"window", "--screenshot-at", "50"}, "--screenshot"},
      {{"window", "--screenshot", "s.png", "--screenshot-at", "101"}, "--screenshot-at"},
      {{"window", "--size", "8x8x8"}, "--size"},
      {{"material", "doc.json"}, "doc.json: the document must have the extension .kvd"},
      {{"material", "doc.kvd", "a", "b"}, "b"},
      {{"properties"}, "DOC"},
      {{"options", "doc.kvd", "--script", "s.txt"}, "--script"},
      {{"render", "--camera-location", "1,2,3"}, "--camera-target"}, {{"window", "--camera-target", "1,2,3"}, "--camera-location"},
      {{"render", "--camera-location", "1,2", "--camera-target", "0,0,0"}, "--camera-location: expected three numbers"},
      {{"render", "--camera-location", "1,,3", "--camera-target", "0,0,0"}, "--camera-location: expected three numbers"},
      {{"render", "--camera-location", "1,2,3,4", "--camera-target", "0,0,nan"}, "--camera-location: expected three numbers"},
      {{"render", "--camera-location", "1,2,3", "--camera-target", "0,0,2e8"}, "--camera-target: expected three numbers"},
      {{"render", "--camera-location", "1,2,3", "--camera-target", "1, 2, 3"}, "the same point"},
      {{"render", "--camera-angle", "0"}, "--camera-angle"}, {{"window", "--camera-angle", "90"}, "--camera-angle"},
      {{"render", "--alpha", "-o", "x.jpg"}, "--alpha: x.jpg"}, {{"render", "--alpha", "-o", "x.BMP"}, "--alpha: x.BMP"},
      {{"window", "--alpha"}, "--alpha"}, {{"window", "--stats"}, "--stats"},
  };
  for (const auto& [args, reason] : cases) {
    CommandLine line;
    const ParseOutcome p = Parse(args, line);
    EXPECT_FALSE(p.run) << p.text;
    EXPECT_EQ(p.exit_code, ParseOutcome::kUsage) << p.text;
    EXPECT_EQ(p.text.rfind("duskmoth: ", 0), 0u) << p.text;
    EXPECT_NE(p.text.find(reason), std::string::npos) << "expected \"" << reason << "\" in: " << p.text;
  }
}

TEST(CommandLine, HelpShowsTheProgramsOrOneCommandsHelp) {
  for (const auto& [args, usage] : std::vector<std::pair<std::vector<const char*>, const char*>>{
           {{"help"}, "Usage: duskmoth [OPTIONS] SUBCOMMAND"}, {{"help", "render"}, "Usage: duskmoth render [OPTIONS]"},
           {{"help", "options"}, "Usage: duskmoth options [OPTIONS] DOC"}}) {
    CommandLine line;
    const ParseOutcome p = Parse(args, line);
    EXPECT_FALSE(p.run);
    EXPECT_EQ(p.exit_code, ParseOutcome::kOk);
    EXPECT_NE(p.text.find(usage), std::string::npos) << p.text;
  }
}

TEST(CommandLine, OverridesChangeOnlyWhatWasAskedFor) {
  TK_ScnRenderSettings base;
  base.m_custom_imagesize = 0;
  base.m_antialias_level = 1;
  base.m_shadowmap_width = base.m_shadowmap_height = 1024;
  TK_ScnRenderSettings unchanged = base;
  ApplyRenderOverrides(RenderOptions(), unchanged);
  EXPECT_EQ(unchanged, base);

  TK_ScnRenderSettings s = base;
  RenderOptions o;
  std::tie(o.width, o.height, o.antialias, o.shadows, o.shadow_map_size, o.shadow_map_offset) =
      std::tuple(320, 240, 0, 2, 256, 0.5);
  ApplyRenderOverrides(o, s);
  EXPECT_EQ(std::tuple(s.m_custom_imagesize, s.m_image_width, s.m_image_height, s.m_antialias_level, s.m_shadow_level),
            std::tuple(1, 320, 240, 0, 2));
  EXPECT_EQ(std::tuple(s.m_shadowmap_width, s.m_shadowmap_height, s.m_shadowmap_offset), std::tuple(256, 256, 0.5));
  EXPECT_EQ(s.m_ambient_color, base.m_ambient_color);
}

}  // namespace
