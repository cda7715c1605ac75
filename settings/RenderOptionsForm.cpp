#include "settings/RenderOptionsForm.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "host/app/App.h"
#include "host/app/CommandLineGet.h"
#include "host/app/Doc.h"
#include "host/app/Localize.h"

namespace {

using Result = KvCommandResult;

TK_wString Name(const wchar_t* text) { return KvLocalizeCommandOptionName(text); }
TK_wString Value(const wchar_t* text) { return KvLocalizeCommandOptionValue(text); }

TK_ScnRenderSettings Settings(const CKavraDoc& doc) { return doc.Properties().RenderSettings(); }
void Write(CKavraDoc& doc, const TK_ScnRenderSettings& s) { doc.Properties().SetRenderSettings(s); }

std::vector<TK_wString> Levels(const wchar_t* none) {
  return {Value(none), Value(L"Normal[[0216]]"), Value(L"Best")};
}

// A typed side (whole, at least 1, without an upper limit) as the int the
// settings keep: sides beyond int stop at its largest value, which a render
// then refuses as too large, instead of wrapping to some other size.
int WholeSide(double side) { return side < double(INT_MAX) ? int(side) : INT_MAX; }

Result ResolutionPrompt(CKavraDoc& doc) {
  TK_ScnRenderSettings s = Settings(doc);
  Result state = Result::nothing;
  double width = s.m_image_width, height = s.m_image_height;
  for (;;) {
    CKavraGetOption get;
    get.SetCommandPrompt(KvLocalizeString(L"Resolution"));
    get.AcceptNothing(true);
    get.AcceptString(true);
    const int type = get.AddCommandOptionList(Name(L"Type[[0592]]"), {Value(L"Viewport"), Value(L"Custom[[0800]]")},
                                              s.m_custom_imagesize != 0 ? 1 : 0);
    if (s.m_custom_imagesize != 0) {
      get.AddCommandOptionNumber(Name(L"Width"), &width, KvLocalizeString(L"Width"), true, 1.0);
      get.AddCommandOptionNumber(Name(L"Height"), &height, KvLocalizeString(L"Height"), true, 1.0);
    }
    switch (get.GetOption()) {
      case KvGetResult::cancel: return Result::cancel;
      case KvGetResult::nothing: return state;
      case KvGetResult::option:
        if (get.Option()->index == type) s.m_custom_imagesize = get.Option()->current > 0 ? 1 : 0;
        s.m_image_width = WholeSide(width);
        s.m_image_height = WholeSide(height);
        Write(doc, s);
        state = Result::success;
        break;
      default: KavraApp().Print(KvLocalizeString(L"Invalid command option type\n").c_str()); break;
    }
  }
}

Result ShadowMapPrompt(CKavraDoc& doc) {
  TK_ScnRenderSettings s = Settings(doc);
  Result state = Result::nothing;
  double size = s.m_shadowmap_width, offset = s.m_shadowmap_offset;
  CKavraGetOption get;
  get.SetCommandPrompt(KvLocalizeString(L"Shadow Map settings"));
  get.AcceptNothing(true);
  get.AddCommandOptionNumber(Name(L"Size"), &size, KvLocalizeString(L"Size"), true, 8.0, 4096.0);
  get.AddCommandOptionNumber(Name(L"Offset[[0301]]"), &offset, KvLocalizeString(L"Offset[[0302]]"), false);
  for (;;) {
    switch (get.GetOption()) {
      case KvGetResult::cancel: return Result::cancel;
      case KvGetResult::nothing: return state;
      case KvGetResult::option:
        s.m_shadowmap_width = s.m_shadowmap_height = int(size);
        s.m_shadowmap_offset = offset;
        Write(doc, s);
        state = Result::success;
        break;
      default: KavraApp().Print(KvLocalizeString(L"Invalid command option type\n").c_str()); break;
    }
  }
}

Result ColourPrompt(CKavraDoc& doc) {
  Result state = Result::nothing;
  for (;;) {
    CKavraGetOption get;
    get.SetCommandPrompt(KvLocalizeString(L"Select color option"));
    get.AcceptNothing(true);
    const int ambient = get.AddCommandOption(Name(L"AmbientLight"));
    get.AddCommandOption(Name(L"Background"));
    const KvGetResult answer = get.GetOption();
    if (answer == KvGetResult::nothing) return state;
    if (answer != KvGetResult::option) return Result::cancel;
    TK_ScnRenderSettings s = Settings(doc);
    const bool editing_ambient = get.Option()->index == ambient;
    TK_Color& colour = editing_ambient ? s.m_ambient_color : s.m_background_color;
    CKavraGetColor get_colour;
    get_colour.SetCommandPrompt(KvLocalizeString(editing_ambient ? L"Ambient light color" : L"Render background color"));
    get_colour.AcceptNothing(true);
    get_colour.SetDefaultColor(colour);
    wchar_t shown[64];
    std::swprintf(shown, 64, KvLocalizeString(L"RGB( %d, %d, %d)").c_str(), colour.Red(), colour.Green(), colour.Blue());
    get_colour.SetDefaultString(TK_wString(shown));
    const KvGetResult picked = get_colour.GetColor();
    if (picked == KvGetResult::colour) {
      colour = get_colour.Color();
      Write(doc, s);
      state = Result::success;
    } else if (picked != KvGetResult::nothing) {
      return Result::cancel;
    }
  }
}

}  // namespace

KvCommandResult RunRenderOptionsForm(CKavraDoc& doc) {
  TK_ScnRenderSettings s = Settings(doc);
  bool off_lights = s.m_use_hidden_lights != 0;
  bool wireframe = s.m_render_curves_and_isocurves != 0;
  bool annotation = s.m_render_dimensions_and_text != 0;
  CKavraGetOption get;
  get.SetCommandPrompt(KvLocalizeString(L"Render options"));
  get.AcceptNothing(true);
  get.AddCommandOption(Name(L"Resolution"));
  get.AddCommandOptionList(Name(L"Antialiasing"), Levels(L"None[[0901]]"), std::clamp(s.m_antialias_level, 0, 2));
  get.AddCommandOptionList(Name(L"Shadows"), Levels(L"None[[0902]]"), std::clamp(s.m_shadow_level, 0, 2));
  get.AddCommandOption(Name(L"ShadowMaps"));
  get.AddCommandOption(Name(L"Colors"));
  const TK_wString no = Value(L"No"), yes = Value(L"Yes");
  get.AddCommandOptionToggle(Name(L"UseOffLights"), no, yes, &off_lights);
  get.AddCommandOptionToggle(Name(L"Wireframe[[0337]]"), no, yes, &wireframe);
  get.AddCommandOptionToggle(Name(L"Annotation"), no, yes, &annotation);
  Result state = Result::nothing;
  for (;;) {
    const KvGetResult answer = get.GetOption();
    if (answer == KvGetResult::cancel) return state == Result::nothing ? Result::cancel : state;
    if (answer == KvGetResult::nothing) return state;
    const int option = answer == KvGetResult::option ? get.Option()->index : 0;
    Result sub = Result::nothing;
    switch (option) {
      case 1:
        sub = ResolutionPrompt(doc);
        if (sub == Result::cancel) return Result::cancel;
        break;
      case 2:
      case 3:
        s = Settings(doc);
        (option == 2 ? s.m_antialias_level : s.m_shadow_level) = get.Option()->current;
        Write(doc, s);
        // A level chosen is a change like any other: the caller keeps it.
        state = Result::success;
        break;
      case 4:
        // Leaving the shadow-map prompt without a change keeps earlier changes.
        sub = ShadowMapPrompt(doc);
        break;
      case 5:
        sub = ColourPrompt(doc);
        if (sub == Result::cancel) return Result::cancel;
        break;
      case 6:
      case 7:
      case 8:
        s = Settings(doc);
        s.m_use_hidden_lights = off_lights ? 1 : 0;
        s.m_render_curves_and_isocurves = wireframe ? 1 : 0;
        s.m_render_dimensions_and_text = annotation ? 1 : 0;
        Write(doc, s);
        state = Result::success;
        break;
      default: KavraApp().Print(KvLocalizeString(L"Invalid option\n").c_str()); continue;
    }
    if (sub == Result::success) state = Result::success;
  }
}
