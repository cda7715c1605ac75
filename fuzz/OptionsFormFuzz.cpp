// Feeds arbitrary text as the typed answers of `duskmoth options`: the
// render options form with its option, number, list, toggle and colour
// prompts reads them a line at a time from the command input. Every run
// must end when the input does, and whatever was typed leaves the settings
// in range.
//   fuzz_options_form -max_total_time=60 CORPUS_DIR fuzz/seeds/options_form

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "settings/RenderOptionsForm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CKavraDoc doc;
  std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
  std::istream* old_input = KavraApp().SetCommandInput(&input);
  const auto old_sink = KavraApp().SetOutputSink([](const std::wstring&) {});
  RunRenderOptionsForm(doc);
  KavraApp().SetOutputSink(old_sink);
  KavraApp().SetCommandInput(old_input);

  const TK_ScnRenderSettings& s = doc.Properties().RenderSettings();
  if (s.m_antialias_level < 0 || s.m_antialias_level > 2 || s.m_shadow_level < 0 || s.m_shadow_level > 2 ||
      s.m_shadowmap_width != s.m_shadowmap_height || s.m_shadowmap_width < 8 || s.m_shadowmap_width > 4096 ||
      !std::isfinite(s.m_shadowmap_offset) || s.m_image_width < 1 || s.m_image_height < 1 ||
      (s.m_custom_imagesize != 0 && s.m_custom_imagesize != 1))
    __builtin_trap();
  return 0;
}
