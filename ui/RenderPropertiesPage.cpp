#include "ui/RenderPropertiesPage.h"

#include <algorithm>
#include <cmath>

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/Localize.h"
#include "host/app/View.h"
#include "plugin/RenderSystemPlugIn.h"
#include "resources/DialogResources.h"
#include "settings/RenderOptionsForm.h"
#include "ui/LocalizedFormat.h"

namespace {

constexpr unsigned kPageResource = 11002;
constexpr int kResolutionList = 12002, kAspectLock = 12003, kWidthLabel = 1030, kHeightLabel = 1031;
constexpr int kWidthEdit = 115, kHeightEdit = 116, kMapSize = 113, kOffset = 114;
constexpr int kAntialiasRadios[4] = {106, 107, 108, 109};
constexpr int kShadowRadios[3] = {110, 111, 112};
constexpr int kAmbient = 1014, kBackground = 1015, kUseWallpaper = 6039, kStretch = 6040;
constexpr int kOffLights = 101, kCurves = 1010, kDimensions = 1171, kFavorMemory = 6044;
constexpr int kViewportItem = 0, kCustomItem = 1, kFirstPresetItem = 2;

// Kept from one page to the next while the module is loaded.
bool aspect_locked = false;

}  // namespace

CRenderPropertiesPage::CRenderPropertiesPage(CKavraDoc& doc, CRenderSystemPlugIn& plugin)
    : CKavraOptionsDialogPage(*LoadDialogResource(kPageResource)),
      m_doc(doc),
      m_plugin(plugin),
      m_start(doc.Properties().RenderSettings()),
      m_stretch(plugin.GetRenderUserData().m_stretch_wallpaper),
      m_use_wallpaper(plugin.GetRenderUserData().m_use_wallpaper),
      m_favor_memory(plugin.GetRenderUserData().m_favor_memory) {}

TK_wString CRenderPropertiesPage::Title() const { return TK_wString(L"DuskMoth"); }

bool CRenderPropertiesPage::AspectLocked() { return aspect_locked; }

KvCommandResult CRenderPropertiesPage::RunCommandLineForm(CKavraDoc& doc) { return RunRenderOptionsForm(doc); }

void CRenderPropertiesPage::DoDataExchange(KvDataExchange& dx) {
  dx.Int(kWidthEdit, m_width, 1);
  dx.Int(kHeightEdit, m_height, 1);
  dx.Int(kMapSize, m_shadow_map_size, 0, 4096);
  dx.Double(kOffset, m_shadow_map_offset);
  dx.Check(kStretch, m_stretch);
  dx.Check(kUseWallpaper, m_use_wallpaper);
  dx.Check(kFavorMemory, m_favor_memory);
}

void CRenderPropertiesPage::OnInitDialog() {
  TK_SimpleArray<KvRenderSize> sizes;
  m_doc.Properties().GetCustomRenderSizes(sizes);
  m_custom_sizes.assign(sizes.begin(), sizes.end());
  if (const CKavraView* view = KavraApp().ActiveView()) m_viewport = {view->Width(), view->Height()};
  m_width = m_start.m_image_width;
  m_height = m_start.m_image_height;
  m_shadow_map_size = m_start.m_shadowmap_width;
  m_shadow_map_offset = m_start.m_shadowmap_offset;
  CKavraOptionsDialogPage::OnInitDialog();
  KvDialogWindow& w = *Window();
  w.SetChecked(kAspectLock, aspect_locked);
  std::vector<TK_wString> items{KvLocalizeString(L"Viewport resolution"), KvLocalizeString(L"Custom[[0801]]")};
  for (const KvRenderSize& s : m_custom_sizes) items.push_back(FormatLocalized(L"%d X %d", {s.width, s.height}));
  w.SetListItems(kResolutionList, items);
  int selection = kViewportItem;
  if (m_start.m_custom_imagesize != 0) {
    selection = kCustomItem;
    for (std::size_t i = 0; i < m_custom_sizes.size(); ++i)
      if (m_custom_sizes[i] == KvRenderSize{m_start.m_image_width, m_start.m_image_height}) {
        selection = kFirstPresetItem + int(i);
        break;
      }
  }
  w.SetListSelection(kResolutionList, selection);
  OnSelectionChanged();
  w.SetChecked(kAntialiasRadios[std::clamp(m_start.m_antialias_level, 0, 3)], true);
  w.SetChecked(kShadowRadios[std::clamp(m_start.m_shadow_level, 0, 2)], true);
  w.SetColour(kAmbient, COLORREF(m_start.m_ambient_color));
  w.SetColour(kBackground, COLORREF(m_start.m_background_color));
  EnableStretch();
  w.SetChecked(kOffLights, m_start.m_use_hidden_lights != 0);
  w.SetChecked(kCurves, m_start.m_render_curves_and_isocurves != 0);
  w.SetChecked(kDimensions, m_start.m_render_dimensions_and_text != 0);
}

void CRenderPropertiesPage::OnButton(int id) {
  if (id == kResolutionList) OnSelectionChanged();
  else if (id == kUseWallpaper) EnableStretch();
  else CKavraOptionsDialogPage::OnButton(id);
}

void CRenderPropertiesPage::OnKillFocus(int id) {
  if (id == kWidthEdit || id == kHeightEdit) OnAspectLock(id == kWidthEdit);
}

void CRenderPropertiesPage::OnHelp() { KavraApp().DoHelp(kHelpTopic); }

void CRenderPropertiesPage::OnSelectionChanged() {
  KvDialogWindow& w = *Window();
  const int item = w.ListSelection(kResolutionList);
  int width = m_start.m_image_width, height = m_start.m_image_height;
  bool edits = false;
  if (item == kViewportItem) {
    width = m_viewport.width;
    height = m_viewport.height;
    m_chosen_preset = -1;
  } else if (item == kCustomItem) {
    edits = true;
    if (m_chosen_preset >= 0) {
      width = m_custom_sizes[std::size_t(m_chosen_preset)].width;
      height = m_custom_sizes[std::size_t(m_chosen_preset)].height;
    }
  } else if (item >= kFirstPresetItem && item - kFirstPresetItem < int(m_custom_sizes.size())) {
    m_chosen_preset = item - kFirstPresetItem;
    width = m_custom_sizes[std::size_t(m_chosen_preset)].width;
    height = m_custom_sizes[std::size_t(m_chosen_preset)].height;
  }
  if (width > 0) {
    if (height > 0) m_aspect = double(height) / double(width);
    w.SetText(kWidthEdit, TK_wString(std::to_wstring(width)));
  }
  if (height > 0) w.SetText(kHeightEdit, TK_wString(std::to_wstring(height)));
  for (int id : {kWidthLabel, kWidthEdit, kHeightLabel, kHeightEdit, kAspectLock}) w.Enable(id, edits);
}

void CRenderPropertiesPage::OnAspectLock(bool from_width) {
  KvDialogWindow& w = *Window();
  if (!w.Checked(kAspectLock) || m_aspect <= 0.0) return;
  const double v = std::wcstol(w.Text(from_width ? kWidthEdit : kHeightEdit).c_str(), nullptr, 10) + 0.5;
  const double other = from_width ? v * m_aspect : v / m_aspect;
  w.SetText(from_width ? kHeightEdit : kWidthEdit, TK_wString(std::to_wstring(int(std::trunc(other)))));
}

void CRenderPropertiesPage::EnableStretch() { Window()->Enable(kStretch, Window()->Checked(kUseWallpaper)); }

bool CRenderPropertiesPage::Apply() {
  if (!UpdateData(true)) return false;
  const KvDialogWindow& w = *Window();
  TK_ScnRenderSettings s = m_doc.Properties().RenderSettings();
  const int item = std::max(w.ListSelection(kResolutionList), 0);
  s.m_custom_imagesize = item > 0 ? 1 : 0;
  const int preset = item - kFirstPresetItem;
  const bool is_preset = item >= kFirstPresetItem && preset < int(m_custom_sizes.size());
  s.m_image_width = is_preset ? m_custom_sizes[std::size_t(preset)].width : m_width;
  s.m_image_height = is_preset ? m_custom_sizes[std::size_t(preset)].height : m_height;
  aspect_locked = w.Checked(kAspectLock);
  s.m_antialias_level = w.Checked(kAntialiasRadios[0]) ? 0 : w.Checked(kAntialiasRadios[1]) ? 1 : w.Checked(kAntialiasRadios[2]) ? 2 : 3;
  s.m_shadow_level = w.Checked(kShadowRadios[0]) ? 0 : w.Checked(kShadowRadios[1]) ? 1 : 2;
  s.m_shadowmap_width = s.m_shadowmap_height = m_shadow_map_size;
  s.m_shadowmap_offset = m_shadow_map_offset;
  s.m_ambient_color = TK_Color(w.Colour(kAmbient));
  s.m_background_color = TK_Color(w.Colour(kBackground));
  CDMRenderUserData& record = m_plugin.GetRenderUserData();
  record.m_stretch_wallpaper = m_stretch;
  record.m_use_wallpaper = m_use_wallpaper;
  record.m_favor_memory = m_favor_memory;
  s.m_use_hidden_lights = w.Checked(kOffLights) ? 1 : 0;
  s.m_render_curves_and_isocurves = w.Checked(kCurves) ? 1 : 0;
  s.m_render_dimensions_and_text = w.Checked(kDimensions) ? 1 : 0;
  for (const bool changed : {s.m_antialias_level != m_start.m_antialias_level, s.m_shadow_level != m_start.m_shadow_level,
                             s.m_shadowmap_width != m_start.m_shadowmap_width,
                             s.m_shadowmap_offset != m_start.m_shadowmap_offset})
    if (changed) m_plugin.MarkSceneChanged(true);
  if (s.m_use_hidden_lights != m_start.m_use_hidden_lights) m_plugin.MarkLightsChanged(true);
  // The document is modified: the host saves it.
  m_doc.SetModified(true);
  m_doc.Properties().SetRenderSettings(s);
  m_doc.Redraw();
  return true;
}
