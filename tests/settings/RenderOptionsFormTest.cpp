// The render options on the command line: typed sessions, each checked by the settings the
// document holds afterwards, the command's result and what the prompts said.

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "settings/RenderOptionsForm.h"

namespace {

struct Session {
  KvCommandResult result;
  TK_ScnRenderSettings settings;
  std::wstring said;
};

Session Type(const std::string& lines, TK_ScnRenderSettings start = {}) {
  CKavraDoc doc;
  doc.Properties().SetRenderSettings(start);
  std::istringstream input(lines);
  std::wstring said;
  std::istream* old_input = KavraApp().SetCommandInput(&input);
  const auto old_sink = KavraApp().SetOutputSink([&said](const std::wstring& text) { said += text; });
  const KvCommandResult result = RunRenderOptionsForm(doc);
  KavraApp().SetOutputSink(old_sink);
  KavraApp().SetCommandInput(old_input);
  return {result, doc.Properties().RenderSettings(), said};
}

using R = KvCommandResult;

TEST(RenderOptionsForm, EachSettingChangesThroughItsOptionAndIsKept) {
  TK_ScnRenderSettings best4x4;
  best4x4.m_antialias_level = 3;
  best4x4.m_render_curves_and_isocurves = 1;
  const struct {
    const char* name;
    std::string typed;
    TK_ScnRenderSettings start;
    R result;
    std::function<bool(const TK_ScnRenderSettings&)> holds;
  } sessions[] = {
      {"enter without a change", "\n", {}, R::nothing, [](auto& s) { return s == TK_ScnRenderSettings(); }},
      {"escape", "\x1b\n", {}, R::cancel, [](auto& s) { return s == TK_ScnRenderSettings(); }},
      {"end of input", "", {}, R::cancel, [](auto& s) { return s == TK_ScnRenderSettings(); }},
      {"best from 4x4", "antialiasing=best\n\n", best4x4, R::success, [](auto& s) { return s.m_antialias_level == 2; }},
      {"list on its own line", "Shadows\nnone\n\n", {}, R::success, [](auto& s) { return s.m_shadow_level == 0; }},
      {"toggles written together", "UseOffLights\n\n", best4x4, R::success,
       [](auto& s) { return s.m_use_hidden_lights == 1 && s.m_render_curves_and_isocurves == 1 && s.m_render_dimensions_and_text == 0; }},
      {"size 5 refused, 2048 taken", "ShadowMaps\nSize=5\nsi=2048\nOffset=2.5\n\n\n", {}, R::success,
       [](auto& s) { return s.m_shadowmap_width == 2048 && s.m_shadowmap_height == 2048 && s.m_shadowmap_offset == 2.5; }},
      {"custom resolution", "Resolution\nType=Custom\nWidth=800.9\nHeight\n600\n\n\n", {}, R::success,
       [](auto& s) { return s.m_custom_imagesize == 1 && s.m_image_width == 800 && s.m_image_height == 600; }},
      {"background colour", "Colors\nBackground\nRGB(10, 20, 30)\n\n\n", {}, R::success,
       [](auto& s) { return s.m_background_color == TK_Color(10, 20, 30); }},
      {"colour kept on enter", "Colors\nAmbientLight\n\n\n\n", {}, R::nothing, [](auto& s) { return s == TK_ScnRenderSettings(); }},
      {"cancel in the resolution", "Resolution\n\x1b\n", {}, R::cancel, [](auto& s) { return s == TK_ScnRenderSettings(); }},
      {"a change survives a cancel", "Shadows=Best\n\x1b\n", {}, R::success, [](auto& s) { return s.m_shadow_level == 2; }},
      {"sides beyond int kept at its largest", "Resolution\nType=Custom\nWidth=1e300\nHeight=3e9\n\n\n", {}, R::success,
       [](auto& s) { return s.m_image_width == INT_MAX && s.m_image_height == INT_MAX; }},
      {"shadow maps left alone", "Antialiasing=None\nShadowMaps\n\n\n", {}, R::success, [](auto& s) { return s.m_antialias_level == 0; }},
  };
  for (const auto& s : sessions) {
    const Session session = Type(s.typed, s.start);
    EXPECT_EQ(session.result, s.result) << s.name;
    EXPECT_TRUE(s.holds(session.settings)) << s.name;
  }
}

TEST(RenderOptionsForm, PromptsListTheCurrentValuesAndComplainAboutWrongAnswers) {
  const Session session = Type("Resolution\nType=Custom\nType=Viewport\nfree text\n\nbogus\nShadowMaps\nSize=5\n\n\n");
  const std::wstring& said = session.said;
  for (const wchar_t* line : {
           L"Render options (  Resolution  Antialiasing=Normal  Shadows=Normal  ShadowMaps  Colors  UseOffLights=No  "
           L"Wireframe=No  Annotation=No ): ",
           L"Resolution (  Type=Custom  Width=640  Height=480 ): ", L"Resolution (  Type=Viewport ): ",
           L"Invalid command option type\n", L"Unknown command option \"bogus\".\n",
           L"Number must be greater than or equal to 8.\n", L"Shadow Map settings (  Size=1024  Offset=1 ): "})
    EXPECT_NE(said.find(line), std::wstring::npos) << TK_wString(line).ToUtf8();
  EXPECT_EQ(session.settings.m_custom_imagesize, 0);
}

}  // namespace
