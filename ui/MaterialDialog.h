#pragma once
// CMaterialDialog: the modal "Material Settings..." dialog of one render
// material: colours, specular level, glossiness, transparency, luminosity
// (with its own colour), shading flags and the five map slots, each with its
// switch, its amount and a button opening its map settings. Load fills the
// values from a material, Store writes them back; the map settings are
// edited in working copies that only Store writes. EditMaterial runs the
// whole edit of a host material. The caller owns the dialog.

#include <array>

#include "host/sdk/Dialog.h"
#include "settings/RenderMaterial.h"

class CMaterialDialog : public CKavraDialog {
public:
  static constexpr int kHelpTopic = 2136;

  CMaterialDialog();

  // The values shown, from the material (each number rounded to the
  // control's nearest integer, so that what was entered comes back), and
  // working copies of its five map slots.
  void Load(const CRenderMaterial& material);
  // Colours, luminosity colour and switch, specular level, luminosity,
  // reflectivity, shine, transparency, shading flags, then each slot from
  // its working copy with its switch and amount; the host's texture,
  // environment and bump file names follow their slots.
  void Store(CRenderMaterial& material) const;

  // A map button's caption: the file name after its last folder separator,
  // or "(none)".
  static TK_wString MapButtonCaption(const TK_wString& file_name);

  // The edit of a host material: the dialog on a copy of its render
  // settings (its record's, else defaults from the host material); on OK the
  // host material takes the edited settings and a new record carrying them
  // and the plug-in's identifier, answering true. Cancel leaves the material
  // and its record as they were and answers false.
  static bool EditMaterial(TK_Material& material, const TK_UUID& plugin_id);

  // The values the controls show.
  TK_Color m_diffuse, m_specular, m_ambient, m_luminosity_color;
  int m_specular_level = 0, m_glossiness = 0, m_transparency = 0, m_luminosity = 0, m_reflectivity = 0;
  bool m_use_luminosity_color = false, m_two_sided = false, m_faceted = false;
  std::array<bool, CRenderMaterial::slot_count> m_map_enabled{};
  std::array<int, CRenderMaterial::slot_count> m_map_amount{};
  std::array<MaterialMap, CRenderMaterial::slot_count> m_maps;

protected:
  void DoDataExchange(KvDataExchange& dx) override;
  void OnInitDialog() override;
  void OnButton(int id) override;

private:
  void EnableLuminosityColour();
  void UpdateMapButton(int slot);
};
