#pragma once
// CMapDialog: the modal "Map Settings..." dialog of one map slot: the
// bitmap file (typed or chosen in the file dialog, which starts in the
// folder remembered for the kind of map), U and V offsets and tilings in
// real-number spin edits, and filtering. The caller reads the values after
// OK; the slot itself is never touched here.

#include "host/sdk/Dialog.h"
#include "settings/MaterialMap.h"
#include "ui/RealSpinCtrl.h"

class CMapDialog : public CKavraDialog {
public:
  // Map kinds.
  enum MapKind : int { texture_map = 1, specular_map, environment_map, bump_map, transparency_map };
  static constexpr int kHelpTopic = 2137;

  CMapDialog(const MaterialMap& slot, int kind);

  // The kind's caption ("Texture map", ...), localised; empty for another kind.
  static TK_wString KindCaption(int kind);
  // The directory kind its file dialog starts in: 6 for texture and
  // environment maps, 7 for bump maps, -1 for the others.
  static int DirectoryKind(int kind);

  double m_offset_u, m_offset_v, m_tiling_u, m_tiling_v;
  TK_wString m_file_name;
  bool m_filter;

protected:
  void DoDataExchange(KvDataExchange& dx) override;
  void OnInitDialog() override;
  void OnButton(int id) override;
  bool OnChar(int id, wchar_t c) override;
  void OnKillFocus(int id) override;
  void OnSpin(int id, int direction, int held_ms) override;

private:
  // Asks for the file in the file dialog.
  void Browse();
  CRealSpinCtrl* SpinOf(int id);

  int m_kind;
  // Offset U, offset V, tiling U, tiling V.
  CRealSpinCtrl m_spins[4];
};
