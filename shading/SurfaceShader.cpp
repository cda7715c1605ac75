#include "shading/SurfaceShader.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>

#include "host/platform/OruDib.h"
#include "host/toolkit/Material.h"
#include "shading/LightBatch.h"
#include "shading/MaterialEntry.h"
#include "shading/RenderMeshEntry.h"
#include "shading/ShadowLookup.h"
#include "shading/TextureSampling.h"

namespace {

// The material's specular level (0..1) scales specular light up to 100 times.
constexpr double kSpecularLevelScale = 100.0;
// Shine 0..MaxShine becomes a highlight exponent 0..128.
constexpr double kShineExponentScale = 128.0;
// Shadow-map samples per lookup at shadow levels 1 (normal) and 2 (best).
constexpr int kNormalShadowSamples = 9;
constexpr int kBestShadowSamples = 81;
// A bump map's amount (0..1) tilts the normal by up to 100 times the grey
// slope; the slope is half the difference of the neighbours either side.
constexpr double kBumpScale = 100.0;
constexpr float kBumpSlopeFactor = 0.5f;

Colour3f Mix(const Colour3f& a, const Colour3f& b, double amount) { return Narrow((1.0 - amount) * a + amount * b); }

float Grey(const Colour3f& c) { return (c.red + c.green + c.blue) * 0.33333334f; }

TK_3dVector Unit(TK_3dVector v) {
  v.Unitize();
  return v;
}

// The hit's shading normal as its mesh entry gives it (the hit's own where
// it names none: the ray tests leave the normal to the hits that are
// shaded); true where it is still to be made unit length.
bool ShadingDirection(const RenderMeshEntry* mesh_entry, const HitRecord& hit, TK_3dVector& normal) {
  normal = mesh_entry ? mesh_entry->ShadingDirection(hit) : hit.normal;
  return mesh_entry != nullptr;
}

// The highlight's exponent; 0, no highlight, without specular light.
double Exponent(const CRenderMaterial& material, bool no_specular) {
  return no_specular ? 0.0 : kShineExponentScale * (material.Shine() / TK_Material::MaxShine());
}

// Most materials are opaque everywhere: asked inline first.
double Transparency(const HitRecord& hit) {
  return !hit.material || hit.material->AlwaysOpaque() ? 0.0 : hit.material->SurfaceTransparency(&hit);
}

// front x (1 - t) + behind x t, the front's share rounded first.
Colour3f Over(const Colour3f& front, double t, const Colour3f& behind) {
  const Colour3f own = Narrow(front * (1.0 - t));
  return own + behind * t;
}

}  // namespace

// The three channels at once: max(c, 0) answers 0 for NaN as for
// negatives (the second operand wins where either is not a number), then
// min(c, 1), and the product truncated, as a conversion to an integer does.
std::uint32_t PackColour(const Colour3f& colour) {
  const __m128 c = _mm_setr_ps(colour.red, colour.green, colour.blue, 0.0f);
  const __m128 clamped = _mm_min_ps(_mm_max_ps(c, _mm_setzero_ps()), _mm_set1_ps(1.0f));
  const __m128i bytes = _mm_cvttps_epi32(_mm_mul_ps(clamped, _mm_set1_ps(255.0f)));
  return std::uint32_t(_mm_cvtsi128_si32(bytes)) | std::uint32_t(_mm_extract_epi16(bytes, 2)) << 8 |
         std::uint32_t(_mm_extract_epi16(bytes, 4)) << 16;
}

Colour3f UnpackColour(std::uint32_t packed) {
  constexpr float scale = 0.003921569f;
  return {float(packed & 0xFF) * scale, float((packed >> 8) & 0xFF) * scale, float((packed >> 16) & 0xFF) * scale};
}

void BuildBumpFrame(const TK_3dVector& n, TK_3dVector& tangent, TK_3dVector& bitangent) {
  const TK_3dVector a(n.x, n.y, n.z + 1.0);
  tangent = TK_CrossProduct(a, n);
  if (!tangent.IsTiny(1e-12)) {
    tangent.Unitize();
    bitangent = Unit(TK_CrossProduct(n, tangent));
    return;
  }
  // n lies along the z axis.
  tangent = TK_3dVector(1, 0, 0);
  bitangent = TK_3dVector(0, n.z >= 0 ? 1 : -1, 0);
}

SurfaceShader::SurfaceShader(const TK_SimpleArray<TK_Light>& lights, std::span<RenderMeshEntry* const> meshes)
    : m_lights(lights), m_meshes(meshes) {}

Colour3f SurfaceShader::BackgroundColour(int x, int y) const {
  if (!background_image) return background;
  Colour3f c;
  background_image->GetPixel(x, background_image->Height() - 1 - y, c.red, c.green, c.blue);
  return c;
}

double SurfaceShader::ShadowFactor(const HitRecord& hit, int light_index) const {
  if (!LooksUpShadows()) return 1.0;
  for (int m = 0; m < shadows->MapCount(); ++m)
    if (shadows->LightIndexOfMap(m) == light_index)
      return shadows->LitFraction(m, hit, shadow_level == 1 ? kNormalShadowSamples : kBestShadowSamples);
  return 1.0;
}

void SurfaceShader::ResolveSurfaceColours(const HitRecord& hit, Colour3f& diffuse, Colour3f& specular,
                                          TK_3dVector& normal) const {
  if (Resolve(hit, diffuse, specular, normal)) normal.Unitize();
}

const RenderMeshEntry* SurfaceShader::MeshOf(const HitRecord& hit) const {
  return hit.mesh_index >= 0 && std::size_t(hit.mesh_index) < m_meshes.size() ? m_meshes[std::size_t(hit.mesh_index)]
                                                                             : nullptr;
}

bool SurfaceShader::Resolve(const HitRecord& hit, Colour3f& diffuse, Colour3f& specular, TK_3dVector& normal) const {
  const RenderMeshEntry* const mesh_entry = MeshOf(hit);
  // Made unit by the caller unless a bump map needs it so here.
  bool unit_later = ShadingDirection(mesh_entry, hit, normal);
  const CRenderMaterial* material = hit.material ? hit.material->Material() : nullptr;
  if (!material) {
    diffuse = specular = {};
    return unit_later;
  }
  diffuse = Fractions(material->Diffuse());
  specular = Fractions(material->Specular());

  // Interpolated once, by the first map that needs it.
  bool have_uv = false;
  TK_2dPoint uv;
  const auto texture_coordinate = [&]() -> const TK_2dPoint& {
    if (!have_uv) uv = TK_2dPoint(InterpolatedTextureCoordinate(hit));
    have_uv = true;
    return uv;
  };

  const MaterialMap& texture = material->m_texture_map;
  if (texture.bitmap) diffuse = Mix(diffuse, SampleMap(texture, texture_coordinate()), texture.amount);
  const MaterialMap& specular_map = material->m_specular_map;
  if (specular_map.bitmap)
    specular = Mix(specular, SampleMap(specular_map, texture_coordinate()), specular_map.amount);

  // Environment coordinates exist once the render has computed them for the
  // mesh; a hit of a mesh without them is left untinted.
  const MaterialMap& environment = material->m_environment_map;
  if (environment.bitmap && mesh_entry) {
    const RenderMeshEntry& mesh = *mesh_entry;
    const TK_SimpleArray<TK_2fPoint>& e = mesh.EnvironmentCoordinates();
    if (hit.face_index >= 0 && hit.face_index < mesh.FaceCount()) {
      const TK_MeshFace& face = mesh.Mesh().m_F[std::size_t(hit.face_index)];
      if (face.IsValid(e.Count())) {
        const TK_3fPoint& w = hit.weights;
        const TK_2fPoint ue = e[face.vi[0]] * w.x + e[face.vi[1]] * w.y + e[face.vi[2]] * w.z;
        diffuse = Mix(diffuse, SampleMap(environment, TK_2dPoint(ue)), environment.amount);
      }
    }
  }

  const MaterialMap& bump = material->m_bump_map;
  if (bump.bitmap) {
    if (unit_later) normal.Unitize();
    unit_later = false;
    Colour3f left, down, right, up;
    SampleMapNeighbours(bump, texture_coordinate(), left, down, right, up);
    const float slope_u = (Grey(right) - Grey(left)) * kBumpSlopeFactor;
    const float slope_v = (Grey(up) - Grey(down)) * kBumpSlopeFactor;
    TK_3dVector tangent, bitangent;
    BuildBumpFrame(normal, tangent, bitangent);
    normal = normal - (tangent * double(slope_u) + bitangent * double(slope_v)) * (bump.amount * kBumpScale);
    normal.Unitize();
  }
  return unit_later;
}

void SurfaceShader::LightSurface(const HitRecord& hit, Colour3f& colour, Colour3f& specular_out, bool no_shadows,
                                 bool no_specular) const {
  LitHits lanes;
  lanes.count = 1;
  PlainColours plain;
  FillLane(hit, Transparency(hit), no_shadows, no_specular, lanes, 0, plain);
  LightHits(m_lights, *this, lanes);
  colour = lanes.colour[0];
  specular_out = lanes.specular[0];
}

void SurfaceShader::FillLane(const HitRecord& hit, double transparency, bool no_shadows, bool no_specular,
                             LitHits& lanes, int k, PlainColours& plain) const {
  const unsigned bit = 1u << k;
  lanes.hits[k] = &hit;
  const CRenderMaterial* material = hit.material ? hit.material->Material() : nullptr;
  const auto put_normal = [&](const TK_3dVector& n) {
    lanes.normal[0][k] = n.x, lanes.normal[1][k] = n.y, lanes.normal[2][k] = n.z;
  };
  if (no_shadows) lanes.no_shadows |= bit;
  if (transparency > 0.0) lanes.two_sided |= bit;
  const auto put = [k](float (&field)[3][LitHits::kLanes], const Colour3f& c) {
    field[0][k] = c.red, field[1][k] = c.green, field[2][k] = c.blue;
  };
  // A material without colour maps gives all its hits the same colours.
  const bool plain_material = material && !material->m_texture_map.bitmap && !material->m_specular_map.bitmap &&
                              !material->m_environment_map.bitmap && !material->m_bump_map.bitmap;
  if (plain_material && plain.material == hit.material) {
    TK_3dVector normal;
    if (ShadingDirection(MeshOf(hit), hit, normal)) lanes.unitize |= bit;
    put_normal(normal);
    put(lanes.diffuse, plain.diffuse);
    put(lanes.highlight, plain.highlight);
    put(lanes.base, plain.base);
    lanes.exponent[k] = Exponent(*material, no_specular);
    return;
  }
  Colour3f diffuse, specular;
  TK_3dVector normal;
  if (Resolve(hit, diffuse, specular, normal)) lanes.unitize |= bit;
  put_normal(normal);
  Colour3f highlight, base;
  lanes.exponent[k] = 0.0;
  if (!material) {
    lanes.dark |= bit;
    lanes.no_shadows |= bit;
  } else {
    highlight = Narrow(specular * (material->m_specular_level * kSpecularLevelScale));
    lanes.exponent[k] = Exponent(*material, no_specular);
    base = ambient * diffuse;
    const double luminosity = material->m_luminosity;
    if (luminosity > 0.0) {
      const Colour3f glow = material->m_use_luminosity_color ? Fractions(material->m_luminosity_color) : diffuse;
      base = base + luminosity * glow;
    }
  }
  put(lanes.diffuse, diffuse);
  put(lanes.highlight, highlight);
  put(lanes.base, base);
  if (plain_material) plain = {hit.material, diffuse, highlight, base};
}

bool SurfaceShader::SelfBehind(const HitRecord* hits, int count) const {
  if (count < 2) return false;
  const int front_mesh = hits[0].mesh_index;
  if (hits[1].mesh_index == front_mesh) return true;
  if (Transparency(hits[1]) != 0.0) return false;
  for (int i = 2; i < count; ++i)
    if (hits[i].mesh_index == front_mesh) return true;
  return false;
}

// Each surface shows (1 - t) of its own light and t of the colour behind it,
// that colour quantised to 8 bits per channel first. Folded from the back
// (the first opaque hit, else the background) to the front instead of
// recursing once per hit, so that deep stacks of transparent layers cannot
// exhaust the stack. Level i (hits i..count-1) shades its first hit without
// shadows when SelfBehind of level i - 1 says so, and with specular light
// unless it is level 0 and no_specular is set.
std::uint32_t SurfaceShader::ShadeHits(const HitRecord* hits, int count, bool no_shadows, bool no_specular) const {
  return Composite(hits, count, no_shadows, no_specular, nullptr);
}

std::uint32_t SurfaceShader::ShadeHitsWithCoverage(const HitRecord* hits, int count, bool no_shadows,
                                                   bool no_specular) const {
  double transmittance = 1.0;
  const std::uint32_t colour = Composite(hits, count, no_shadows, no_specular, &transmittance);
  const double coverage = std::clamp(1.0 - transmittance, 0.0, 1.0);
  return colour | std::uint32_t(std::lround(coverage * 255.0)) << 24;
}

std::uint32_t SurfaceShader::Composite(const HitRecord* hits, int count, bool no_shadows, bool no_specular,
                                       double* transmittance) const {
  if (count < 0) count = 0;
  int back = 0;  // the first opaque hit, or count
  while (back < count && Transparency(hits[back]) != 0.0) ++back;

  std::uint32_t behind = 0;
  int next = back;  // the next hit to light, going front-wards
  if (back == count) {
    behind = PackColour(BackgroundColour(pixel_x, pixel_y));
    --next;
  }
  // Lit four hits at a time, then folded in order.
  while (next >= 0) {
    LitHits lanes;
    double t[LitHits::kLanes];
    lanes.count = std::min(next + 1, LitHits::kLanes);
    PlainColours plain;
    for (int k = 0; k < lanes.count; ++k) {
      const int i = next - k;
      // Only the level before the opaque hit scans further than one hit.
      const bool level_no_shadows = i == 0 ? no_shadows : SelfBehind(hits + i - 1, count - i + 1);
      t[k] = Transparency(hits[i]);
      FillLane(hits[i], t[k], level_no_shadows, i == 0 && no_specular, lanes, k, plain);
    }
    LightHits(m_lights, *this, lanes);
    for (int k = 0; k < lanes.count; ++k, --next) {
      if (next == back) {
        behind = PackColour(lanes.colour[k]);
        if (transmittance) *transmittance = 0.0;
        continue;
      }
      behind = PackColour(Over(lanes.colour[k], t[k], UnpackColour(behind)));
      if (transmittance) *transmittance *= t[k];
    }
  }
  return behind;
}

void SurfaceShader::ShadeSamples(const HitRecord* const lists[], const int counts[], int n, int first_x, bool coverage,
                                 std::uint32_t out[], PlainColours& plain) {
  // A sample whose nearest hit is opaque needs that hit's light alone; such
  // hits of the samples are lit together.
  n = std::clamp(n, 0, LitHits::kLanes);
  LitHits lanes;
  int sample_of_lane[LitHits::kLanes];
  for (int k = 0; k < n; ++k) {
    if (counts[k] > 0 && Transparency(lists[k][0]) == 0.0) {
      sample_of_lane[lanes.count] = k;
      FillLane(lists[k][0], 0.0, false, false, lanes, lanes.count++, plain);
      continue;
    }
    pixel_x = first_x + k;
    out[k] = coverage ? ShadeHitsWithCoverage(lists[k], counts[k], false, false)
                      : ShadeHits(lists[k], counts[k], false, false);
  }
  if (lanes.count == 0) return;
  LightHits(m_lights, *this, lanes);
  const std::uint32_t opaque = coverage ? 255u << 24 : 0u;
  for (int k = 0; k < lanes.count; ++k) out[sample_of_lane[k]] = PackColour(lanes.colour[k]) | opaque;
}
