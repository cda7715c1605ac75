#include "settings/RenderMaterial.h"

CRenderMaterial::CRenderMaterial(const TK_Material& host) {
  RefreshFrom(host);
  m_texture_map.enabled = !m_texture_map.file_name.IsEmpty();
  m_bump_map.enabled = !m_bump_map.file_name.IsEmpty();
  m_environment_map.enabled = !m_environment_map.file_name.IsEmpty();
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
