#include "shading/SurfaceShader.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "host/platform/OruDib.h"
#include "host/toolkit/Interval.h"
#include "host/toolkit/Material.h"
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

std::uint32_t PackChannel(float c) {
  if (!(c > 0.0f)) return 0;  // negatives and NaN
  if (c > 1.0f) c = 1.0f;
  return std::uint32_t(c * 255.0f);
}

// A colour's fractions as single precision holds them, from a table the
// compiler fills. Rounding them at run time gave GCC 12's vectoriser the
// chance to drop the rounding of two channels out of three where it packed
// them in pairs, changing the highlights' last bits with unrelated edits.
constexpr std::array<float, 256> kSingleFractions = [] {
  std::array<float, 256> f{};
  for (int i = 0; i < 256; ++i) f[std::size_t(i)] = float(TK_Color(i, 0, 0).FractionRed());
  return f;
}();

Colour3f Fractions(TK_Color c) {
  return {kSingleFractions[std::size_t(c.Red())], kSingleFractions[std::size_t(c.Green())],
          kSingleFractions[std::size_t(c.Blue())]};
}

Colour3f Mix(const Colour3f& a, const Colour3f& b, double amount) { return Narrow((1.0 - amount) * a + amount * b); }

float Grey(const Colour3f& c) { return (c.red + c.green + c.blue) * 0.33333334f; }

TK_3dVector Unit(TK_3dVector v) {
  v.Unitize();
  return v;
}

double Transparency(const HitRecord& hit) { return hit.material ? hit.material->SurfaceTransparency(&hit) : 0.0; }

// front x (1 - t) + behind x t, the front's share rounded first.
Colour3f Over(const Colour3f& front, double t, const Colour3f& behind) {
  const Colour3f own = Narrow(front * (1.0 - t));
  return own + behind * t;
}

}  // namespace

std::uint32_t PackColour(const Colour3f& colour) {
  return PackChannel(colour.red) | PackChannel(colour.green) << 8 | PackChannel(colour.blue) << 16;
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
  if (!shadows || shadow_level < 1 || shadow_level > 2) return 1.0;
  for (int m = 0; m < shadows->MapCount(); ++m)
    if (shadows->LightIndexOfMap(m) == light_index)
      return shadows->LitFraction(m, hit, shadow_level == 1 ? kNormalShadowSamples : kBestShadowSamples);
  return 1.0;
}

void SurfaceShader::ResolveSurfaceColours(const HitRecord& hit, Colour3f& diffuse, Colour3f& specular,
                                          TK_3dVector& normal) const {
  const RenderMeshEntry* const mesh_entry =
      hit.mesh_index >= 0 && std::size_t(hit.mesh_index) < m_meshes.size() ? m_meshes[std::size_t(hit.mesh_index)]
                                                                          : nullptr;
  // The ray tests leave the normal to the hits that are shaded.
  normal = mesh_entry ? mesh_entry->ShadingNormal(hit) : hit.normal;
  const CRenderMaterial* material = hit.material ? hit.material->Material() : nullptr;
  if (!material) {
    diffuse = specular = {};
    return;
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
    Colour3f left, down, right, up;
    SampleMapNeighbours(bump, texture_coordinate(), left, down, right, up);
    const float slope_u = (Grey(right) - Grey(left)) * kBumpSlopeFactor;
    const float slope_v = (Grey(up) - Grey(down)) * kBumpSlopeFactor;
    TK_3dVector tangent, bitangent;
    BuildBumpFrame(normal, tangent, bitangent);
    normal = normal - (tangent * double(slope_u) + bitangent * double(slope_v)) * (bump.amount * kBumpScale);
    normal.Unitize();
  }
}

void SurfaceShader::LightSurface(const HitRecord& hit, Colour3f& colour, Colour3f& specular_out, bool no_shadows,
                                 bool no_specular) const {
  Colour3f diffuse, specular;
  TK_3dVector normal;
  ResolveSurfaceColours(hit, diffuse, specular, normal);
  const CRenderMaterial* material = hit.material ? hit.material->Material() : nullptr;
  if (!material) {
    colour = specular_out = {};
    return;
  }
  const Colour3f highlight_colour = Narrow(specular * (material->m_specular_level * kSpecularLevelScale));
  const double exponent = no_specular ? 0.0 : kShineExponentScale * (material->Shine() / TK_Material::MaxShine());
  const bool two_sided = hit.material->SurfaceTransparency(&hit) > 0.0;
  Colour3f diffuse_light = ambient * diffuse;
  Colour3f specular_light;

  const double luminosity = material->m_luminosity;
  if (luminosity > 0.0) {
    const Colour3f glow = material->m_use_luminosity_color ? Fractions(material->m_luminosity_color) : diffuse;
    diffuse_light = diffuse_light + luminosity * glow;
  }

  const TK_3dVector point = hit.point;
  for (int i = 0; i < m_lights.Count(); ++i) {
    const TK_Light& light = m_lights[i];
    const double shadow = light.ShadowIntensity();
    const Colour3f light_colour = Fractions(light.Diffuse());
    bool shadowed = false;
    TK_3dVector to_light;
    double attenuation = 1.0;
    if (light.IsDirectionalLight()) {
      to_light = light.UnitTowardLight();
    } else {
      to_light = TK_3dVector(light.Location()) - point;
      const double distance = to_light.Length();
      to_light.UnitizeByLength(distance);
      double cos_off_axis = 0.0;
      if (light.IsSpotLight()) {
        cos_off_axis = -TK_DotProduct(to_light, light.Direction());
        if (light.SpotAngleCosine() >= cos_off_axis) continue;  // outside the cone
      }
      attenuation = light.Attenuation(distance);
      if (attenuation == 0.0) continue;
      if (light.IsSpotLight()) {
        // pow(c, 0) is 1 for every c: the default cone costs no power.
        if (light.SpotExponent() != 0.0) attenuation *= std::pow(cos_off_axis, light.SpotExponent());
        shadowed = shadow > 0.0;
      }
    }
    double n_dot_l = TK_DotProduct(normal, to_light);
    if (n_dot_l < 0.0) {
      if (!two_sided) continue;
      n_dot_l = std::fabs(n_dot_l);
    }
    if (shadowed && !no_shadows)
      attenuation *= TK_Interval(1.0 - shadow, 1.0).ParameterAt(ShadowFactor(hit, i));
    diffuse_light = diffuse_light + n_dot_l * attenuation * light_colour * diffuse;
    if (exponent != 0.0) {
      const TK_3dVector to_eye = Unit(hit.ray_origin - point);
      const TK_3dVector half = Unit(to_eye + to_light);
      const double n_dot_half = TK_DotProduct(normal, half);
      if (n_dot_half > 0.0) {
        const double highlight = std::pow(n_dot_half, exponent) * attenuation * light.Intensity();
        specular_light = specular_light + highlight * light_colour * highlight_colour;
      }
    }
  }
  colour = diffuse_light + specular_light;
  specular_out = specular_light;
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

  std::uint32_t behind;
  Colour3f q, unused;
  if (back == count) {
    behind = PackColour(BackgroundColour(pixel_x, pixel_y));
  } else {
    const bool level_no_shadows = back == 0 ? no_shadows : SelfBehind(hits + back - 1, count - back + 1);
    LightSurface(hits[back], q, unused, level_no_shadows, back == 0 && no_specular);
    behind = PackColour(q);
    if (transmittance) *transmittance = 0.0;
  }
  for (int i = back - 1; i >= 0; --i) {
    // Only the level before the opaque hit scans further than one hit.
    const bool level_no_shadows = i == 0 ? no_shadows : SelfBehind(hits + i - 1, count - i + 1);
    LightSurface(hits[i], q, unused, level_no_shadows, i == 0 && no_specular);
    const double t = Transparency(hits[i]);
    behind = PackColour(Over(q, t, UnpackColour(behind)));
    if (transmittance) *transmittance *= t;
  }
  return behind;
}
