#include "shading/MaterialEntry.h"

#include <utility>

#include "shading/HitRecord.h"
#include "shading/TextureSampling.h"

namespace {

bool SameSlot(const MaterialMap& a, const MaterialMap& b) {
  return a.enabled == b.enabled && a.amount == b.amount && a.tiling_u == b.tiling_u && a.tiling_v == b.tiling_v &&
         a.offset_u == b.offset_u && a.offset_v == b.offset_v && a.file_name == b.file_name;
}

void Unbind(MaterialMap& slot) {
  slot.bitmap = nullptr;
  slot.width_limit = 0;
  slot.height_limit = 0;
}

}  // namespace

MaterialEntry::MaterialEntry(std::unique_ptr<CRenderMaterial> owned, std::filesystem::path base_folder)
    : m_owned(std::move(owned)), m_material(m_owned.get()), m_base_folder(std::move(base_folder)) {
  if (m_material) LoadMapBitmaps();
}

MaterialEntry::MaterialEntry(CRenderMaterial* lent, std::filesystem::path base_folder)
    : m_material(lent), m_base_folder(std::move(base_folder)) {
  if (m_material) LoadMapBitmaps();
}

MaterialEntry::~MaterialEntry() {
  if (!m_material) return;
  // A lent material outlives this entry; a later cache may have bound its
  // slots to bitmaps of its own, which are left alone.
  for (int s = 0; s < CRenderMaterial::slot_count; ++s) {
    MaterialMap& slot = m_material->Map(s);
    for (const auto& [key, bitmap] : m_bitmaps)
      if (bitmap && slot.bitmap == bitmap.get()) {
        Unbind(slot);
        break;
      }
  }
}

bool MaterialEntry::MatchesMaterial(const CRenderMaterial& candidate) const {
  return m_material && IsSameRenderMaterial(*m_material, candidate);
}

void MaterialEntry::LoadMapBitmaps() {
  if (!m_material) return;
  // Every bitmap is read before any slot is bound: should memory run out,
  // a lent material keeps no pointer into an entry that was never made.
  const CKavraDib* bitmaps[CRenderMaterial::slot_count] = {};
  for (int s = 0; s < CRenderMaterial::slot_count; ++s) {
    const MaterialMap& slot = m_material->Map(s);
    if (slot.enabled && !slot.file_name.IsEmpty()) bitmaps[s] = FindOrLoadMapBitmap(slot.file_name);
  }
  for (int s = 0; s < CRenderMaterial::slot_count; ++s) {
    MaterialMap& slot = m_material->Map(s);
    const CKavraDib* bitmap = bitmaps[s];
    // Sampling wraps modulo width - 2 and height - 2: an image narrower or
    // lower than 3 pixels cannot be sampled and leaves the slot unbound.
    if (bitmap && (bitmap->Width() < 3 || bitmap->Height() < 3)) bitmap = nullptr;
    slot.bitmap = bitmap;
    slot.width_limit = bitmap ? bitmap->Width() - 2 : 0;
    slot.height_limit = bitmap ? bitmap->Height() - 2 : 0;
  }
}

const CKavraDib* MaterialEntry::FindOrLoadMapBitmap(TK_wString file_name) {
  if (file_name.IsEmpty()) return nullptr;
  TK_wString key = file_name;
  key.MakeLower();
  std::unique_ptr<CKavraDib>& stored = m_bitmaps[key];
  if (stored) return stored.get();

  // The key is case-folded but the file is opened under its own name:
  // file systems here tell letter cases apart.
  TK_wString path = file_name;
  const std::filesystem::path relative(file_name.ToUtf8());
  if (!m_base_folder.empty() && relative.is_relative())
    path = TK_wString::FromUtf8((m_base_folder / relative).string());

  auto bitmap = std::make_unique<CKavraDib>();
  ++m_file_reads;
  if (!bitmap->ReadFromFile(path)) return nullptr;
  bitmap->DCSelectBitmap(true);
  stored = std::move(bitmap);
  return stored.get();
}

double MaterialEntry::SurfaceTransparency(const HitRecord* hit) const {
  if (!m_material) return 0.0;
  const double tau = m_material->Transparency();
  const MaterialMap& map = m_material->m_transparency_map;
  if (!hit || !map.bitmap) return tau;
  const Colour3f x = SampleMap(map, TK_2dPoint(InterpolatedTextureCoordinate(*hit)));
  const double m = (1.0f - (x.red + x.green + x.blue) * 0.33333334f) * map.amount;
  return m == 1.0 ? 1.0 : m * tau;
}

bool IsSameRenderMaterial(const CRenderMaterial& a, const CRenderMaterial& b) {
  if (!(static_cast<const TK_Material&>(a) == static_cast<const TK_Material&>(b))) return false;
  for (int s = 0; s < CRenderMaterial::slot_count; ++s)
    if (!SameSlot(a.Map(s), b.Map(s))) return false;
  return a.m_reflectivity == b.m_reflectivity && a.m_use_luminosity_color == b.m_use_luminosity_color &&
         a.m_luminosity_color.Value() == b.m_luminosity_color.Value() && a.m_luminosity == b.m_luminosity &&
         a.m_specular_level == b.m_specular_level;
}
