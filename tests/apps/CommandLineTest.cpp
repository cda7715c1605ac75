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
  const ParseOutcome p = Parse({"render", "scene.json", "-o", "out.jpg", "--size", "800x600", "--aa", "3", "--shadows",
                                "0", "--shadow-map-size", "512", "--shadow-map-offset", "-0.25", "--favor-speed", "-q"},
                               line);
  ASSERT_TRUE(p.run) << p.text;
  EXPECT_EQ(line.command, CommandLine::Command::render);
  const RenderOptions& r = line.render;
  EXPECT_EQ(r.scene, std::filesystem::path("scene.json"));
  EXPECT_EQ(r.output, std::filesystem::path("out.jpg"));
  EXPECT_EQ(r.width, 800);
  EXPECT_EQ(r.height, 600);
  EXPECT_EQ(r.antialias, 3);
  EXPECT_EQ(r.shadows, 0);
  EXPECT_EQ(r.shadow_map_size, 512);
  EXPECT_EQ(r.shadow_map_offset, -0.25);
  EXPECT_EQ(r.favor_memory, false);
  EXPECT_TRUE(r.quiet);
}

TEST(CommandLine, RenderDefaultsLeaveTheDocumentAlone) {
  CommandLine line;
  ASSERT_TRUE(Parse({"render"}, line).run);
  const RenderOptions& r = line.render;
  EXPECT_FALSE(r.scene);
  EXPECT_EQ(r.output, std::filesystem::path("render.png"));
  EXPECT_FALSE(r.width || r.height || r.antialias || r.shadows || r.shadow_map_size || r.shadow_map_offset);
  EXPECT_FALSE(r.favor_memory);
  EXPECT_FALSE(r.quiet);
  CommandLine memory;
  ASSERT_TRUE(Parse({"render", "--favor-memory"}, memory).run);
  EXPECT_EQ(memory.render.favor_memory, true);
}

TEST(CommandLine, ImportAndInfoTakeTheirFiles) {
  CommandLine import;
  ASSERT_TRUE(Parse({"import", "in.obj", "-o", "out.KVD"}, import).run);
  EXPECT_EQ(import.command, CommandLine::Command::import);
  EXPECT_EQ(import.input, std::filesystem::path("in.obj"));
  EXPECT_EQ(import.output, std::filesystem::path("out.KVD"));
  CommandLine info;
  ASSERT_TRUE(Parse({"info", "doc.kvd"}, info).run);
  EXPECT_EQ(info.command, CommandLine::Command::info);
  EXPECT_EQ(info.input, std::filesystem::path("doc.kvd"));
}

TEST(CommandLine, BadUsageIsExitCodeTwoWithAReason) {
  const std::vector<std::pair<std::vector<const char*>, const char*>> cases = {
      {{}, "A subcommand is required"},
      {{"paint"}, "unknown command \"paint\""},
      {{"render", "--aa", "4"}, "--aa"},
      {{"render", "--aa", "one"}, "--aa"},
      {{"render", "--shadows", "-1"}, "--shadows"},
      {{"render", "--shadow-map-size", "4"}, "--shadow-map-size"},
      {{"render", "--shadow-map-offset", "nan"}, "--shadow-map-offset"},
      {{"render", "--shadow-map-offset", "1e9"}, "--shadow-map-offset"},
      {{"render", "--size", "800"}, "--size"},
      {{"render", "--size", "0x600"}, "--size"},
      {{"render", "--favor-memory", "--favor-speed"}, "--favor-memory excludes --favor-speed"},
      {{"render", "-o", "picture.gif"}, "picture.gif"},
      {{"render", "a.json", "b.json"}, "b.json"},
      {{"render", "--unknown"}, "--unknown"},
      {{"import", "in.json"}, "--output"},
      {{"import", "-o", "out.kvd"}, "IN"},
      {{"import", "in.json", "-o", "out.json"}, "out.json: the document must have the extension .kvd"},
      {{"info"}, "FILE"},
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

TEST(CommandLine, HelpAndVersionExitZero) {
  CommandLine line;
  const ParseOutcome help = Parse({"--help"}, line);
  EXPECT_FALSE(help.run);
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.text.find("render"), std::string::npos);
  EXPECT_NE(help.text.find("import"), std::string::npos);
  const ParseOutcome render_help = Parse({"render", "--help"}, line);
  EXPECT_EQ(render_help.exit_code, 0);
  EXPECT_NE(render_help.text.find("--shadow-map-offset"), std::string::npos);
  const ParseOutcome version = Parse({"--version"}, line);
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.text, "duskmoth 0.1.0\n");
}

TEST(CommandLine, ImageSizesAreWholePixelCounts) {
  int w = 0, h = 0;
  EXPECT_TRUE(ParseImageSize("800x600", w, h));
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  EXPECT_TRUE(ParseImageSize("1X16384", w, h));
  EXPECT_EQ(h, 16384);
  for (const char* bad : {"", "x", "800", "800x", "x600", "0x600", "800x0", "16385x1", "-8x8", "8x8x8", "8.5x8",
                          "99999999999x1", " 8x8", "8 x 8"}) {
    w = h = -1;
    EXPECT_FALSE(ParseImageSize(bad, w, h)) << bad;
    EXPECT_EQ(w, -1) << bad;
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

  RenderOptions o;
  o.width = 320;
  o.height = 240;
  o.antialias = 0;
  o.shadows = 2;
  o.shadow_map_size = 256;
  o.shadow_map_offset = 0.5;
  TK_ScnRenderSettings s = base;
  ApplyRenderOverrides(o, s);
  EXPECT_EQ(s.m_custom_imagesize, 1);
  EXPECT_EQ(s.m_image_width, 320);
  EXPECT_EQ(s.m_image_height, 240);
  EXPECT_EQ(s.m_antialias_level, 0);
  EXPECT_EQ(s.m_shadow_level, 2);
  EXPECT_EQ(s.m_shadowmap_width, 256);
  EXPECT_EQ(s.m_shadowmap_height, 256);
  EXPECT_EQ(s.m_shadowmap_offset, 0.5);
  EXPECT_EQ(s.m_ambient_color, base.m_ambient_color);
}

}  // namespace
