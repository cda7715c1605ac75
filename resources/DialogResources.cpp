#include "resources/DialogResources.h"

namespace {

using Kind = KvDialogControl::Kind;

constexpr unsigned kMaterialSettings = 6002;
constexpr unsigned kMapSettings = 6003;
constexpr unsigned kRenderProperties = 11002;
constexpr int kHelpButton = 6042;

KvDialogControl Control(Kind kind, int id, const wchar_t* text, int x, int y, int w, int h, int buddy = 0) {
  return KvDialogControl{kind, id, TK_wString(text), RECT{x, y, x + w, y + h}, buddy, true};
}

KvDialogControl Hidden(KvDialogControl control) {
  control.visible = false;
  return control;
}

// A label, an integer edit and its spin on one row, and what follows the edit.
void AddIntegerRow(KvDialogTemplate& t, const wchar_t* label, int edit, int spin, int y, const wchar_t* unit = nullptr,
                   bool visible = true) {
  KvDialogControl row[] = {Control(Kind::label, -1, label, 8, y + 2, 62, 8), Control(Kind::edit, edit, L"", 72, y, 32, 12),
                           Control(Kind::spin, spin, L"", 104, y, 10, 12, edit)};
  for (KvDialogControl& c : row) t.controls.push_back(visible ? c : Hidden(c));
  if (unit) t.controls.push_back(visible ? Control(Kind::label, -1, unit, 116, y + 2, 10, 8)
                                         : Hidden(Control(Kind::label, -1, unit, 116, y + 2, 10, 8)));
}

KvDialogTemplate BuildMaterialSettings() {
  KvDialogTemplate t{TK_wString(L"Material Settings..."), SIZE{264, 268}, {}};
  auto add = [&t](KvDialogControl c) { t.controls.push_back(std::move(c)); };
  add(Control(Kind::heading, -1, L"Basic Parameters:", 4, 4, 256, 10));
  add(Control(Kind::label, -1, L"Diffuse:", 8, 20, 40, 8));
  add(Control(Kind::colour_button, 1062, L"", 48, 18, 36, 12));
  add(Control(Kind::label, -1, L"Specular:", 96, 20, 40, 8));
  add(Control(Kind::colour_button, 1064, L"", 136, 18, 36, 12));
  add(Hidden(Control(Kind::label, -1, L"Ambient:", 184, 20, 36, 8)));
  add(Hidden(Control(Kind::colour_button, 1063, L"", 220, 18, 36, 12)));
  AddIntegerRow(t, L"Specular level:", 6019, 6024, 36);
  AddIntegerRow(t, L"Glossiness:", 6025, 6026, 52);
  AddIntegerRow(t, L"Transparency:", 6027, 6028, 68, L"%");
  AddIntegerRow(t, L"Luminosity:", 6029, 6030, 84);
  add(Control(Kind::check_box, 6031, L"Color:", 136, 86, 40, 10));
  add(Control(Kind::colour_button, 1065, L"", 176, 84, 36, 12));
  AddIntegerRow(t, L"Reflectivity:", 6035, 6036, 100, L"%", false);
  AddIntegerRow(t, L"IOR:", 6037, 6038, 100, L"%", false);
  add(Control(Kind::check_box, 6032, L"2-Sided shading (backfaces)", 8, 102, 150, 10));
  add(Control(Kind::check_box, 6033, L"Faceted shading (flat faces)", 8, 116, 150, 10));
  add(Control(Kind::heading, -1, L"Maps:", 4, 134, 256, 10));
  add(Control(Kind::label, -1, L"On/Off", 8, 148, 60, 8));
  add(Control(Kind::label, -1, L"Amount", 104, 148, 40, 8));
  add(Control(Kind::label, -1, L"Map settings", 160, 148, 90, 8));
  const struct { int check; const wchar_t* label; int edit, spin, button; } maps[] = {
      {6004, L"Texture + Diffuse", 6005, 6006, 6007}, {6016, L"Specular", 6017, 6018, 6034},
      {6008, L"Environment", 6009, 6010, 6011},       {6012, L"Bump", 6013, 6014, 6015},
      {6020, L"Transparency", 6021, 6022, 6023},
  };
  int y = 160;
  for (const auto& m : maps) {
    add(Control(Kind::check_box, m.check, m.label, 8, y + 1, 90, 10));
    add(Control(Kind::edit, m.edit, L"", 104, y, 32, 12));
    add(Control(Kind::spin, m.spin, L"", 136, y, 10, 12, m.edit));
    add(Control(Kind::push_button, m.button, L"", 160, y, 96, 12));
    y += 16;
  }
  add(Control(Kind::separator, -1, L"", 4, 244, 256, 2));
  add(Control(Kind::default_button, IDOK, L"OK", 66, 250, 50, 14));
  add(Control(Kind::push_button, IDCANCEL, L"Cancel", 122, 250, 50, 14));
  add(Control(Kind::push_button, kHelpButton, L"Help", 178, 250, 50, 14));
  return t;
}

KvDialogTemplate BuildMapSettings() {
  KvDialogTemplate t{TK_wString(L"Map Settings..."), SIZE{212, 132}, {}};
  auto add = [&t](KvDialogControl c) { t.controls.push_back(std::move(c)); };
  add(Control(Kind::label, -1, L"File name:", 8, 6, 80, 8));
  add(Control(Kind::edit, 6008, L"", 8, 16, 172, 12));
  add(Control(Kind::push_button, 6009, L"...", 184, 16, 20, 12));
  add(Control(Kind::heading, -1, L"Offset[[0300]]", 8, 36, 90, 10));
  add(Control(Kind::heading, -1, L"Tiling", 112, 36, 90, 10));
  const struct { const wchar_t* label; int x, y, edit, spin; } numbers[] = {
      {L"U:", 8, 50, 6010, 6014}, {L"V:", 8, 66, 6012, 6026}, {L"U:", 112, 50, 6011, 6025}, {L"V:", 112, 66, 6013, 6027},
  };
  for (const auto& n : numbers) {
    add(Control(Kind::label, -1, n.label, n.x, n.y + 2, 14, 8));
    add(Control(Kind::edit, n.edit, L"", n.x + 16, n.y, 50, 12));
    add(Control(Kind::spin, n.spin, L"", n.x + 66, n.y, 10, 12, n.edit));
  }
  add(Control(Kind::check_box, 6038, L"Filter image", 8, 88, 100, 10));
  add(Control(Kind::default_button, IDOK, L"OK", 30, 110, 50, 14));
  add(Control(Kind::push_button, IDCANCEL, L"Cancel", 84, 110, 50, 14));
  add(Control(Kind::push_button, kHelpButton, L"Help", 138, 110, 50, 14));
  return t;
}

KvDialogTemplate BuildRenderProperties() {
  KvDialogTemplate t{TK_wString(L"DuskMoth"), SIZE{250, 300}, {}};
  auto add = [&t](KvDialogControl c) { t.controls.push_back(std::move(c)); };
  const auto radio = [](int id, const wchar_t* text, int x, int y, int group) {
    KvDialogControl c = Control(Kind::radio_button, id, text, x, y, 110, 10);
    c.group = group;
    return c;
  };
  add(Control(Kind::heading, 6045, L"Resolution", 4, 4, 242, 10));
  add(Control(Kind::drop_down_list, 12002, L"", 8, 18, 120, 60));
  add(Control(Kind::check_box, 12003, L"Lock viewport aspect ratio", 136, 19, 110, 10));
  add(Control(Kind::label, 1030, L"W&idth:", 8, 38, 30, 8));
  add(Control(Kind::edit, 115, L"", 40, 36, 40, 12));
  add(Control(Kind::label, 1031, L"Hei&ght:", 90, 38, 30, 8));
  add(Control(Kind::edit, 116, L"", 122, 36, 40, 12));
  add(Control(Kind::heading, 6046, L"Antialiasing", 4, 56, 242, 10));
  add(radio(106, L"Non&e[[800]]", 8, 70, 1));
  add(radio(107, L"Norma&l and Slower", 8, 82, 1));
  add(radio(108, L"Best and Sl&owest", 8, 94, 1));
  add(Hidden(radio(109, L"Best and Sl&owest (4x4)", 8, 106, 1)));
  add(Control(Kind::heading, 6047, L"Shadows", 4, 110, 242, 10));
  add(radio(110, L"Non&e[[801]]", 8, 124, 2));
  add(radio(111, L"Norma&l and Slower", 8, 136, 2));
  add(radio(112, L"Best and Sl&owest", 8, 148, 2));
  add(Control(Kind::label, -1, L"Map size:", 130, 126, 44, 8));
  add(Control(Kind::edit, 113, L"", 176, 124, 40, 12));
  add(Control(Kind::label, -1, L"Offset:", 130, 142, 44, 8));
  add(Control(Kind::edit, 114, L"", 176, 140, 40, 12));
  add(Control(Kind::heading, 6048, L"Render colors", 4, 164, 242, 10));
  add(Control(Kind::label, -1, L"Ambient lig&ht:", 8, 180, 60, 8));
  add(Control(Kind::colour_button, 1014, L"", 70, 178, 36, 12));
  add(Control(Kind::label, -1, L"&Background:", 116, 180, 50, 8));
  add(Control(Kind::colour_button, 1015, L"", 168, 178, 36, 12));
  add(Control(Kind::check_box, 6039, L"Use wallpaper", 8, 196, 80, 10));
  add(Control(Kind::check_box, 6040, L"Stretch to fit", 116, 196, 80, 10));
  add(Control(Kind::heading, 6049, L"Miscellaneous", 4, 212, 242, 10));
  add(Control(Kind::check_box, 101, L"&Use lights on layers that are off", 8, 226, 200, 10));
  add(Control(Kind::check_box, 1010, L"Render &curves and isocurves", 8, 240, 200, 10));
  add(Control(Kind::check_box, 1171, L"Render &dimensions and text", 8, 254, 200, 10));
  add(Control(Kind::check_box, 6044, L"Favor memory over speed", 8, 268, 200, 10));
  add(Hidden(Control(Kind::push_button, 6034, L"More...", 190, 282, 50, 14)));
  return t;
}

}  // namespace

const KvDialogTemplate* LoadDialogResource(unsigned id) {
  static const KvDialogTemplate material = BuildMaterialSettings();
  static const KvDialogTemplate map = BuildMapSettings();
  static const KvDialogTemplate properties = BuildRenderProperties();
  switch (id) {
    case kMaterialSettings: return &material;
    case kMapSettings: return &map;
    case kRenderProperties: return &properties;
    default: return nullptr;
  }
}
