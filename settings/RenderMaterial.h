#pragma once
// CRenderMaterial: a host material extended with the renderer's settings:
// five map slots, two-sided and faceted shading, luminosity, specular level
// and reflectivity. A value; its map slots only point at bitmaps that the
// material cache owns.

#include "host/toolkit/Material.h"
#include "settings/MaterialMap.h"
#include "settings/records/MaterialRecord.h"

class CRenderMaterial : public TK_Material {
public:
  // Slot order of loops over the maps (Map()).
  enum MapSlot : int { texture_slot, specular_slot, environment_slot, bump_slot, transparency_slot, slot_count };

  CRenderMaterial() = default;
  // From a host material: its fields (not its user data), every extension at
  // its default, the host's texture, bump and environment file names in
  // those maps, each of the three enabled exactly when it names a file.
  explicit CRenderMaterial(const TK_Material& host);
  CRenderMaterial(const CRenderMaterial&) = default;
  CRenderMaterial& operator=(const CRenderMaterial&) = default;
  ~CRenderMaterial() override;

  // Takes the host's material fields and its three file names again, keeping
  // every other setting (enabled flags included).
  void RefreshFrom(const TK_Material& host);

  // The stored settings as a record, and back: SetRecord keeps the map
  // slots' run-time fields.
  MaterialRecord Record() const;
  void SetRecord(const MaterialRecord& record);

  // The slot of a MapSlot value; values outside the range give the texture slot.
  MaterialMap& Map(int slot);
  const MaterialMap& Map(int slot) const;

  MaterialMap m_texture_map;
  MaterialMap m_specular_map;
  MaterialMap m_environment_map;
  MaterialMap m_bump_map = MaterialMap::BumpDefaults();
  MaterialMap m_transparency_map;
  bool m_two_sided = true;
  bool m_faceted = false;
  bool m_use_luminosity_color = false;
  TK_Color m_luminosity_color;
  double m_luminosity = 0.0;
  // Shading scales the specular colour by 100 x this value.
  double m_specular_level = 0.01;
  double m_reserved_a = 0.0;  // carried unchanged
  double m_reserved_b = 0.0;  // carried unchanged
  double m_reflectivity = 0.0;
};
