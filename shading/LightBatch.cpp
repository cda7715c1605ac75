#include "shading/LightBatch.h"

#include <emmintrin.h>

#include <cmath>
#include <limits>

#include "host/toolkit/Interval.h"
#include "shading/Lanes4.h"
#include "shading/SurfaceShader.h"

namespace {

using namespace lanes4;

constexpr int kLanes = LitHits::kLanes;

[[gnu::always_inline]] inline Double4 Load(const double (&v)[kLanes]) { return Double4{v[0], v[1], v[2], v[3]}; }
// Spelled lane by lane, as Wide is: one conversion.
[[gnu::always_inline]] inline Float4 Narrow(Double4 d) {
  return Float4{float(d[0]), float(d[1]), float(d[2]), float(d[3])};
}
[[gnu::always_inline]] inline Float4 LoadF(const float (&v)[kLanes]) { return Float4{v[0], v[1], v[2], v[3]}; }
struct Vec {
  Double4 x, y, z;
};
[[gnu::always_inline]] inline Double4 Dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
// Scaled by 1 / length where the length is positive and finite, else as it
// was; `length` gets the root.
template <class Steps>
[[gnu::always_inline]] inline Vec Unit(const Vec& v, Mask4 lanes, Double4& length) {
  length = Steps::Sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  const Mask4 ok = lanes & (length > Splat(0.0)) & (length < Splat(std::numeric_limits<double>::infinity()));
  const Double4 inv = Splat(1.0) / length;
  return {ok ? v.x * inv : v.x, ok ? v.y * inv : v.y, ok ? v.z * inv : v.z};
}
template <class Steps>
[[gnu::always_inline]] inline Vec Unit(const Vec& v) {
  Double4 length;
  return Unit<Steps>(v, Steps::LaneMask(0xF), length);
}

struct Rgb {
  Float4 r, g, b;
};
// c + k x colour x other, the products in double precision, the sum rounded
// to single once; only in the lanes of `lanes`.
[[gnu::always_inline]] inline void AddLight(Rgb& c, Mask4 lanes, Double4 k, const Colour3f& colour, const Rgb& other) {
  const Double4 r = Wide(c.r), g = Wide(c.g), b = Wide(c.b);
  // Selected before the rounding: a lane left alone goes back to the float
  // it came from exactly.
  c.r = Narrow(lanes ? r + k * double(colour.red) * Wide(other.r) : r);
  c.g = Narrow(lanes ? g + k * double(colour.green) * Wide(other.g) : g);
  c.b = Narrow(lanes ? b + k * double(colour.blue) * Wide(other.b) : b);
}

template <class Steps>
void Light(const TK_SimpleArray<TK_Light>& lights, const SurfaceShader& shader, LitHits& in) {
  // Lanes past the count repeat the first: their results are not read.
  for (int k = in.count; k < kLanes; ++k) {
    in.hits[k] = in.hits[0];
    for (int c = 0; c < 3; ++c) {
      in.normal[c][k] = in.normal[c][0];
      in.diffuse[c][k] = in.diffuse[c][0];
      in.highlight[c][k] = in.highlight[c][0];
      in.base[c][k] = in.base[c][0];
    }
    in.exponent[k] = in.exponent[0];
  }
  const unsigned used = (1u << in.count) - 1;
  Vec point, origin;
  for (int k = 0; k < kLanes; ++k) {
    point.x[k] = in.hits[k]->point.x, point.y[k] = in.hits[k]->point.y, point.z[k] = in.hits[k]->point.z;
    origin.x[k] = in.hits[k]->ray_origin.x, origin.y[k] = in.hits[k]->ray_origin.y;
    origin.z[k] = in.hits[k]->ray_origin.z;
  }
  Double4 ignored;
  const Vec normal =
      Unit<Steps>({Load(in.normal[0]), Load(in.normal[1]), Load(in.normal[2])}, Steps::LaneMask(in.unitize), ignored);
  const Rgb diffuse{LoadF(in.diffuse[0]), LoadF(in.diffuse[1]), LoadF(in.diffuse[2])};
  const Rgb highlight_colour{LoadF(in.highlight[0]), LoadF(in.highlight[1]), LoadF(in.highlight[2])};
  const Double4 exponent = Load(in.exponent);
  const Mask4 two_sided = Steps::LaneMask(in.two_sided);
  const Mask4 shiny = exponent != Steps::Splat(0.0);
  Rgb diffuse_light{LoadF(in.base[0]), LoadF(in.base[1]), LoadF(in.base[2])};
  Rgb specular_light{Float4{}, Float4{}, Float4{}};

  for (int i = 0; i < lights.Count(); ++i) {
    const TK_Light& light = lights[i];
    const Colour3f light_colour = Fractions(light.Diffuse());
    Mask4 lit = Steps::LaneMask(used);
    Vec to_light;
    Double4 attenuation = Steps::Splat(1.0);
    bool shadowed = false;
    if (light.IsDirectionalLight()) {
      const TK_3dVector& t = light.UnitTowardLight();
      to_light = {Steps::Splat(t.x), Steps::Splat(t.y), Steps::Splat(t.z)};
    } else {
      const TK_3dPoint& l = light.Location();
      Double4 distance;
      to_light = Unit<Steps>({Steps::Splat(l.x) - point.x, Steps::Splat(l.y) - point.y, Steps::Splat(l.z) - point.z},
                             Steps::LaneMask(0xF), distance);
      Double4 cos_off_axis = Steps::Splat(0.0);
      if (light.IsSpotLight()) {
        const TK_3dVector& d = light.Direction();
        cos_off_axis = -Dot(to_light, {Steps::Splat(d.x), Steps::Splat(d.y), Steps::Splat(d.z)});
        lit &= ~(Steps::Splat(light.SpotAngleCosine()) >= cos_off_axis);  // outside the cone
      }
      const TK_3dVector c = light.AttenuationCoefficients();
      const Double4 denominator =
          Steps::Splat(c.x) + Steps::Splat(c.y) * distance + Steps::Splat(c.z) * distance * distance;
      attenuation = denominator > Steps::Splat(0.0) ? Steps::Splat(1.0) / denominator : Steps::Splat(0.0);
      lit &= ~(attenuation == Steps::Splat(0.0));
      if (light.IsSpotLight()) {
        // pow(c, 0) is 1 for every c: the default cone costs no power.
        if (light.SpotExponent() != 0.0)
          for (int k = 0; k < kLanes; ++k)
            if (lit[k]) attenuation[k] *= std::pow(cos_off_axis[k], light.SpotExponent());
        // A lit fraction of 1 leaves the attenuation as it is: no lookup.
        shadowed = light.ShadowIntensity() > 0.0 && shader.LooksUpShadows();
      }
    }
    Double4 n_dot_l = Dot(normal, to_light);
    const Mask4 behind = n_dot_l < Steps::Splat(0.0);
    lit &= ~(behind & ~two_sided);
    n_dot_l = behind ? -n_dot_l : n_dot_l;
    if (shadowed) {
      const TK_Interval shade(1.0 - light.ShadowIntensity(), 1.0);
      const unsigned lookups = Steps::Bits(lit) & ~in.no_shadows;
      for (int k = 0; k < kLanes; ++k)
        if (lookups >> k & 1) attenuation[k] *= shade.ParameterAt(shader.ShadowFactor(*in.hits[k], i));
    }
    AddLight(diffuse_light, lit, n_dot_l * attenuation, light_colour, diffuse);
    const Mask4 specular = lit & shiny;
    if (!Steps::Bits(specular)) continue;
    const Vec to_eye = Unit<Steps>({origin.x - point.x, origin.y - point.y, origin.z - point.z});
    const Vec half = Unit<Steps>({to_eye.x + to_light.x, to_eye.y + to_light.y, to_eye.z + to_light.z});
    const Double4 n_dot_half = Dot(normal, half);
    const Mask4 toward = specular & (n_dot_half > Steps::Splat(0.0));
    Double4 power = Steps::Splat(0.0);
    for (int k = 0; k < kLanes; ++k)
      if (toward[k]) power[k] = std::pow(n_dot_half[k], exponent[k]);
    AddLight(specular_light, toward, power * attenuation * Steps::Splat(light.Intensity()), light_colour,
             highlight_colour);
  }
  const Float4 r = diffuse_light.r + specular_light.r, g = diffuse_light.g + specular_light.g,
               b = diffuse_light.b + specular_light.b;
  for (int k = 0; k < in.count; ++k) {
    const bool dark = in.dark >> k & 1;
    in.colour[k] = dark ? Colour3f{} : Colour3f{r[k], g[k], b[k]};
    in.specular[k] = dark ? Colour3f{} : Colour3f{specular_light.r[k], specular_light.g[k], specular_light.b[k]};
  }
}

[[gnu::flatten]] void LightBaseline(const TK_SimpleArray<TK_Light>& lights, const SurfaceShader& shader,
                                    LitHits& hits) {
  Light<BaselineSteps>(lights, shader, hits);
}

// AVX2 without FMA, as the four-face test: a fused multiply-add would round
// once where the baseline rounds twice.
[[gnu::target("avx2"), gnu::flatten]] void LightAvx2(const TK_SimpleArray<TK_Light>& lights,
                                                      const SurfaceShader& shader, LitHits& hits) {
  Light<Avx2Steps>(lights, shader, hits);
}

using LightFunction = void (*)(const TK_SimpleArray<TK_Light>&, const SurfaceShader&, LitHits&);

LightFunction PathLight(SimdPath path) { return SupportedSimdPath(path) == SimdPath::avx2 ? LightAvx2 : LightBaseline; }

const LightFunction kChosenLight = PathLight(ChosenSimdPath());

}  // namespace

void LightHits(const TK_SimpleArray<TK_Light>& lights, const SurfaceShader& shader, LitHits& hits) {
  kChosenLight(lights, shader, hits);
}

void LightHits(SimdPath path, const TK_SimpleArray<TK_Light>& lights, const SurfaceShader& shader, LitHits& hits) {
  PathLight(path)(lights, shader, hits);
}
