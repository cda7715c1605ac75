#pragma once
// MaterialEntry: one material of a render's material cache with the map
// bitmaps it read. The entry owns every bitmap it loaded and owns its
// CRenderMaterial only when it was handed over as a unique_ptr; a material
// lent by a CDMMaterialUserData record stays the record's.

#include <filesystem>
#include <map>
#include <memory>

#include "host/platform/KavraDib.h"
#include "host/toolkit/String.h"
#include "settings/RenderMaterial.h"

struct HitRecord;

class MaterialEntry {
public:
  // Relative map file names are opened under base_folder (the document's
  // folder); an empty folder leaves them relative to the working directory.
  // A present material has its five slots bound at once (LoadMapBitmaps).
  explicit MaterialEntry(std::unique_ptr<CRenderMaterial> owned, std::filesystem::path base_folder = {});
  explicit MaterialEntry(CRenderMaterial* lent, std::filesystem::path base_folder = {});
  // Unbinds the slots that still point at this entry's bitmaps, so a lent
  // material never keeps pointers to freed bitmaps; then frees the bitmaps.
  ~MaterialEntry();
  MaterialEntry(const MaterialEntry&) = delete;
  MaterialEntry& operator=(const MaterialEntry&) = delete;

  const CRenderMaterial* Material() const { return m_material; }
  bool OwnsMaterial() const { return m_owned != nullptr; }

  bool MatchesMaterial(const CRenderMaterial& candidate) const;
  // Binds all five slots: an enabled slot naming a file gets that file's
  // bitmap (limits width - 2 and height - 2); every other slot, and one
  // whose file cannot be read or whose image is narrower or lower than 3
  // pixels, gets no bitmap and limits 0.
  void LoadMapBitmaps();
  // The bitmap of a file, read at most once per letter-case-insensitive
  // name while reads succeed; a failed read is tried again next time.
  // Null for an empty name or an unreadable file.
  const CKavraDib* FindOrLoadMapBitmap(TK_wString file_name);

  // The surface's transparency at the hit: the material's own without a hit
  // or a bound transparency map; else the map's darkness m = (1 - grey) x
  // amount, which gives 1 (a hole) when exactly 1 and m x the material's
  // transparency otherwise. An entry without a material is opaque.
  double SurfaceTransparency(const HitRecord* hit) const;
  // Opaque everywhere: no material, or transparency 0 and no transparency map to make holes.
  bool AlwaysOpaque() const {
    return !m_material || (m_material->Transparency() <= 0.0 && !m_material->m_transparency_map.bitmap);
  }
  // Whether shading samples a bound map at a hit's texture coordinate
  // (texture, specular, bump or transparency map).
  bool ReadsTextureCoordinates() const {
    return m_material && (m_material->m_texture_map.bitmap || m_material->m_specular_map.bitmap ||
                          m_material->m_bump_map.bitmap || m_material->m_transparency_map.bitmap);
  }
  // Fully transparent everywhere: transparency 1 and no transparency map to make it less.
  bool AlwaysSeeThrough() const {
    return m_material && m_material->Transparency() >= 1.0 && !m_material->m_transparency_map.bitmap;
  }

  // Attempts to read a map file so far, successful or not.
  int MapFileReads() const { return m_file_reads; }

private:
  std::unique_ptr<CRenderMaterial> m_owned;
  CRenderMaterial* m_material = nullptr;  // m_owned.get() or the lent record's material
  // Keyed by the lower-cased file name; null after a failed read.
  std::map<TK_wString, std::unique_ptr<CKavraDib>> m_bitmaps;
  std::filesystem::path m_base_folder;
  int m_file_reads = 0;
};

// Whether two render materials shade alike for the cache: the host material
// part, each slot's enabled flag, amount, tiling, offset and file name
// (case-sensitive), reflectivity, luminosity settings and specular level.
// Two-sided, faceted, the slots' filters and the reserved values are
// deliberately left out, so materials differing only there share one entry.
bool IsSameRenderMaterial(const CRenderMaterial& a, const CRenderMaterial& b);
