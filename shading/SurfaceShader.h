#pragma once
// SurfaceShader: the colour of one pixel sample from its depth-sorted hits:
// lighting, material maps, transparency over what lies behind, background.
// It borrows the render's scene (lights, meshes, background image, shadow
// lookup), which must outlive it and stay unchanged while it shades; the
// pixel loop sets the current pixel before each sample. Nothing allocates.

#include <cstdint>
#include <span>

#include "host/toolkit/Light.h"
#include "host/toolkit/Point.h"
#include "host/toolkit/SimpleArray.h"
#include "shading/Colour3f.h"
#include "shading/HitRecord.h"

class COruDib;
class MaterialEntry;
struct LitHits;
class RenderMeshEntry;
class ShadowLookup;

// Red in bits 0-7, green 8-15, blue 16-23. A channel is clamped to 0..1 and
// packed as trunc(c * 255); NaN packs as 0.
std::uint32_t PackColour(const Colour3f& colour);
// Each byte times 1/255 in single precision.
Colour3f UnpackColour(std::uint32_t packed);

// Tangent and bitangent of a bump frame around the unit normal n.
void BuildBumpFrame(const TK_3dVector& n, TK_3dVector& tangent, TK_3dVector& bitangent);

class SurfaceShader {
public:
  // mesh_index of a hit indexes `meshes`; a light's index is its position in `lights`.
  SurfaceShader(const TK_SimpleArray<TK_Light>& lights, std::span<RenderMeshEntry* const> meshes);

  Colour3f ambient;
  Colour3f background;
  const COruDib* background_image = nullptr;  // used instead of `background` when present
  const ShadowLookup* shadows = nullptr;      // none: every light reaches every point
  int shadow_level = 0;                       // 0 none, 1 normal, 2 best
  int pixel_x = 0;                            // the current sample's pixel, oversampled image
  int pixel_y = 0;

  // The packed colour of a sample whose hits, nearest first, are
  // hits[0..count-1]; the two flags apply to the first hit only.
  std::uint32_t ShadeHits(const HitRecord* hits, int count, bool no_shadows, bool no_specular) const;
  // The same colour with the sample's coverage in bits 24-31: 255 x (1 - T)
  // rounded, T the product of the transparencies of the hits in front of
  // the first opaque one, and T = 0 behind an opaque hit, so that the
  // background alone gives 0 and an opaque surface 255.
  std::uint32_t ShadeHitsWithCoverage(const HitRecord* hits, int count, bool no_shadows, bool no_specular) const;
  // The colours shading last worked out for a material without colour
  // maps: all its hits share them. Kept by the caller across calls while
  // neither the material nor the ambient light changes (a row of samples).
  struct PlainColours {
    const MaterialEntry* material = nullptr;
    Colour3f diffuse, highlight, base;
  };
  // ShadeHits (or ShadeHitsWithCoverage) of n samples at once, at most
  // LitHits::kLanes (any more are left alone), without the flags: sample
  // k's hits are lists[k][0..counts[k]-1], its pixel (first_x + k, pixel_y)
  // and its colour out[k]. Moves pixel_x.
  void ShadeSamples(const HitRecord* const lists[], const int counts[], int n, int first_x, bool coverage,
                    std::uint32_t out[], PlainColours& plain);
  // colour = diffuse + specular light at the hit; specular = the specular part alone.
  void LightSurface(const HitRecord& hit, Colour3f& colour, Colour3f& specular, bool no_shadows,
                    bool no_specular) const;
  // The material's colours after its texture, specular and environment maps,
  // and the hit's shading normal (from its mesh entry; a hand-made hit naming
  // no entry brings its own) after its bump map.
  void ResolveSurfaceColours(const HitRecord& hit, Colour3f& diffuse, Colour3f& specular, TK_3dVector& normal) const;
  // The background image's pixel (x, image height - 1 - y), or the background colour.
  Colour3f BackgroundColour(int x, int y) const;
  // Lit fraction 0..1 of light light_index at the hit from that light's
  // first shadow map; 1 without a lookup, a map, or a shadow level of 1 or 2.
  double ShadowFactor(const HitRecord& hit, int light_index) const;
  // Whether ShadowFactor may answer anything but 1: a lookup and level 1 or 2.
  bool LooksUpShadows() const { return shadows && (shadow_level == 1 || shadow_level == 2); }

private:
  // ShadeHits; with `transmittance`, also what reaches the sample from
  // behind its hits (T above).
  std::uint32_t Composite(const HitRecord* hits, int count, bool no_shadows, bool no_specular,
                          double* transmittance) const;
  // The mesh entry a hit names, or null.
  const RenderMeshEntry* MeshOf(const HitRecord& hit) const;
  // ResolveSurfaceColours, but true where the normal is still to be made
  // unit length (left to the caller, who may do several at once).
  bool Resolve(const HitRecord& hit, Colour3f& diffuse, Colour3f& specular, TK_3dVector& normal) const;
  // Lane k of `lanes`: what LightSurface lights the hit with, the hit's
  // transparency (its material's SurfaceTransparency) known to the caller;
  // a material without colour maps takes its colours from `plain`, or
  // leaves them there.
  void FillLane(const HitRecord& hit, double transparency, bool no_shadows, bool no_specular, LitHits& lanes, int k,
                PlainColours& plain) const;
  // Whether the hits behind hits[0] are shaded without shadows.
  bool SelfBehind(const HitRecord* hits, int count) const;

  const TK_SimpleArray<TK_Light>& m_lights;
  std::span<RenderMeshEntry* const> m_meshes;
};
