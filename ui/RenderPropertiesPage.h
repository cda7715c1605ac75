#pragma once
// CRenderPropertiesPage: the renderer's page "DuskMoth" of the document
// properties: resolution (the viewport's, a custom size or one of the
// document's preset sizes, with an aspect lock), antialiasing, shadows and
// shadow maps, colours, wallpaper, drawing options and the memory
// preference. Apply writes them to the document and to the plug-in's
// record and marks the watcher where the render set-up must change. Its
// command-line form is the render options prompt. The host owns the page.

#include <vector>

#include "host/app/DocProperties.h"
#include "host/sdk/StackedDialogPage.h"

class CKavraDoc;
class CRenderSystemPlugIn;

class CRenderPropertiesPage : public CKavraOptionsDialogPage {
public:
  static constexpr int kHelpTopic = 4610;

  CRenderPropertiesPage(CKavraDoc& doc, CRenderSystemPlugIn& plugin);

  TK_wString Title() const override;
  bool Apply() override;
  KvCommandResult RunCommandLineForm(CKavraDoc& doc) override;

  // Whether "Lock viewport aspect ratio" was checked at the last Apply of
  // any page; false before one.
  static bool AspectLocked();

protected:
  void DoDataExchange(KvDataExchange& dx) override;
  void OnInitDialog() override;
  void OnButton(int id) override;
  void OnKillFocus(int id) override;
  void OnHelp() override;

private:
  void OnSelectionChanged();
  void OnAspectLock(bool from_width);
  void EnableStretch();

  CKavraDoc& m_doc;
  CRenderSystemPlugIn& m_plugin;
  const TK_ScnRenderSettings m_start;
  int m_width = 0, m_height = 0;
  int m_shadow_map_size = 0;
  double m_shadow_map_offset = 0.0;
  bool m_stretch = false, m_use_wallpaper = false, m_favor_memory = false;
  std::vector<KvRenderSize> m_custom_sizes;
  KvRenderSize m_viewport;
  double m_aspect = 0.0;  // height / width of the size last shown
  int m_chosen_preset = -1;
};
