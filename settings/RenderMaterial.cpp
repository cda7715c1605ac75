#include "settings/RenderMaterial.h"

CRenderMaterial::CRenderMaterial(const TK_Material& host) {
  CopyPropertiesFrom(host);
  SetRecord(MaterialRecord::FromHostMaterial(host));
}

CRenderMaterial::~CRenderMaterial() = default;

void CRenderMaterial::RefreshFrom(const TK_Material& host) {
  // Only the fields: the host's user data holds the record that owns this
  // material, and copying it here would nest copies of it with every render.
  CopyPropertiesFrom(host);
  m_texture_map.file_name = host.TextureBitmapFileName();
  m_environment_map.file_name = host.EmapBitmapFileName();
  m_bump_map.file_name = host.BumpBitmapFileName();
}

MaterialMap& CRenderMaterial::Map(int slot) {
  return const_cast<MaterialMap&>(static_cast<const CRenderMaterial&>(*this).Map(slot));
}

const MaterialMap& CRenderMaterial::Map(int slot) const {
  switch (slot) {
    case specular_slot: return m_specular_map;
    case environment_slot: return m_environment_map;
    case bump_slot: return m_bump_map;
    case transparency_slot: return m_transparency_map;
    default: return m_texture_map;
  }
}

MaterialRecord CRenderMaterial::Record() const {
  MaterialRecord r;
  r.texture = m_texture_map;
  r.specular = m_specular_map;
  r.environment = m_environment_map;
  r.bump = m_bump_map;
  r.transparency = m_transparency_map;
  r.two_sided = m_two_sided;
  r.faceted = m_faceted;
  r.use_luminosity_color = m_use_luminosity_color;
  r.luminosity_color = m_luminosity_color;
  r.luminosity = m_luminosity;
  r.specular_level = m_specular_level;
  r.reserved_a = m_reserved_a;
  r.reserved_b = m_reserved_b;
  r.reflectivity = m_reflectivity;
  return r;
}

void CRenderMaterial::SetRecord(const MaterialRecord& r) {
  static_cast<MapRecord&>(m_texture_map) = r.texture;
  static_cast<MapRecord&>(m_specular_map) = r.specular;
  static_cast<MapRecord&>(m_environment_map) = r.environment;
  static_cast<MapRecord&>(m_bump_map) = r.bump;
  static_cast<MapRecord&>(m_transparency_map) = r.transparency;
  m_two_sided = r.two_sided;
  m_faceted = r.faceted;
  m_use_luminosity_color = r.use_luminosity_color;
  m_luminosity_color = r.luminosity_color;
  m_luminosity = r.luminosity;
  m_specular_level = r.specular_level;
  m_reserved_a = r.reserved_a;
  m_reserved_b = r.reserved_b;
  m_reflectivity = r.reflectivity;
}
