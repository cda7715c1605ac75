// Surface shading: the lighting model against its closed form, map blends,
// bump and transparency maps, and the front-to-back compositor.

#include "shading/SurfaceShader.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <numbers>

#include "shading/RenderMeshEntry.h"
#include "shading/ShadingFixture.h"

namespace {

// Diffuse (1, 0.4, 0.2) under ambient (0.1, 0.2, 0.3), seen from straight above.
class Lighting : public ::testing::Test, protected ShadingFixture {
protected:
  void SetUp() override { shader.ambient = {0.1f, 0.2f, 0.3f}; }
  Colour3f Light(const HitRecord& hit, bool no_shadows = false, bool no_specular = false) {
    return shader.LightSurface(hit, colour, specular, no_shadows, no_specular), colour;
  }
  static Colour3f Lit(double f) { return Rgb(0.1 + f, 0.08 + 0.4 * f, 0.06 + 0.2 * f); }  // diffuse factor f
  const MaterialEntry& plain = Material(TK_Color(255, 102, 51), 0.0);
  const HitRecord hit = Hit(plain, {0, 0, 0}, {0, 0, 1});
  Colour3f colour, specular;
};

class LambertAndSpecular : public Lighting, public ::testing::WithParamInterface<int> {};

// A directional light at angle theta from the normal: diffuse cos(theta), and
// specular cos(theta / 2)^64 from the half vector, times intensity and level.
TEST_P(LambertAndSpecular, FollowTheirClosedFormAtEveryAngle) {
  const double theta = GetParam() * 9.0 * std::numbers::pi / 180, cosine = std::cos(theta);
  TK_Light& light = AddLight(TK::directional_light, {100, 0, 0}, {-std::sin(theta), 0, -cosine});
  light.SetDiffuse(TK_Color(255, 51, 102)), light.SetIntensity(3);  // (1, 0.2, 0.4)
  for (double transparency : {0.0, 0.5}) {
    const MaterialEntry& shiny = Material(TK_Color(255, 102, 51), transparency, 127.5);  // exponent 64
    Lent(shiny).SetSpecular(TK_Color(255, 0, 51)), Lent(shiny).m_specular_level = 0.02;  // S' = 2 S
    // Opaque surfaces ignore a light from behind; transparent ones take |cos|.
    const double k = cosine >= 0 ? cosine : transparency > 0 ? -cosine : 0;
    for (bool no_specular : {false, true}) {
      const double s = k > 0 && !no_specular ? std::pow(std::cos(theta / 2), 64) * 3 * 2 : 0;
      SCOPED_TRACE(testing::Message() << "transparency " << transparency << (no_specular ? ", no specular" : ""));
      Light(Hit(shiny, {0, 0, 0}, {0, 0, 1}), false, no_specular);
      EXPECT_TRUE(Near(specular, Rgb(s, 0, 0.08 * s), 1e-5));
      EXPECT_TRUE(Near(colour, Rgb(0.1 + k + s, 0.08 + 0.08 * k, 0.06 + 0.08 * k + 0.08 * s), 1e-5));
    }
  }
  // Turned half round about x by its own transform, the light comes from the other side.
  ASSERT_TRUE(light.Transform(TK_Xform::Rotation(std::numbers::pi, {1, 0, 0}, {0, 0, 0})));
  for (double transparency : {0.0, 0.5}) {
    const double k = -cosine >= 0 ? -cosine : transparency > 0 ? cosine : 0;
    Light(Hit(Material(TK_Color(255, 102, 51), transparency, 127.5), {0, 0, 0}, {0, 0, 1}), false, true);
    EXPECT_TRUE(Near(colour, Rgb(0.1 + k, 0.08 + 0.08 * k, 0.06 + 0.08 * k), 1e-5)) << "turned, transparency " << transparency;
  }
}
INSTANTIATE_TEST_SUITE_P(TwentyAngles, LambertAndSpecular, ::testing::Range(0, 20));

TEST_F(Lighting, AttenuationConeFacingAndLuminosityDecideTheDiffuse) {
  const double cone = std::numbers::pi / 3;
  const std::tuple<const char*, std::function<void(TK_Light&)>, double> cases[] = {
      {"point: cosine 0.8, 1 / (1 + 0.1 d) at d = 5, intensity unused",
       [](TK_Light& l) { l.SetLocation({0, 3, 4}); l.SetAttenuation(1, 0.1, 0); l.SetIntensity(7); }, 0.8 / 1.5},
      {"spot: c = 0.6 from the stored direction, c^2 / (0.2 d)", [cone](TK_Light& l) {
         l.SetStyle(TK::spot_light);
         l.SetDirection({0, 0, -0.6});
         l.SetSpotAngleRadians(cone);
         l.SetSpotExponent(2);
         l.SetAttenuation(0, 0.2, 0);
       }, 0.5 * 0.36},
      {"spot of exponent 0: no falloff within the cone", [cone](TK_Light& l) {
         l.SetStyle(TK::spot_light), l.SetDirection({0, 0, -0.6}), l.SetSpotAngleRadians(cone);
         l.SetAttenuation(0, 0.2, 0);
       }, 0.5},
      {"spot: c equal to the cone's cosine is outside", [cone](TK_Light& l) { l.SetStyle(TK::spot_light),
         l.SetDirection({0, 0, -std::cos(cone)}), l.SetSpotAngleRadians(cone); }, 0},
      {"point: behind an opaque surface", [](TK_Light& l) { l.SetLocation({0, 0, -10}); }, 0},
  };
  for (const auto& [what, set, factor] : cases) {
    lights.Empty();
    set(AddLight(TK::point_light, {0, 0, 10}));
    EXPECT_TRUE(Near(Light(hit), Lit(factor))) << what;
  }
  lights.Empty();
  Lent(plain).m_luminosity = 0.5;  // adds the diffuse colour, or its own
  EXPECT_TRUE(Near(Light(hit), Lit(0.5)));
  Lent(plain).m_use_luminosity_color = true;
  Lent(plain).m_luminosity_color = TK_Color(0, 255, 51);
  EXPECT_TRUE(Near(Light(hit), Rgb(0.1, 0.08 + 0.5, 0.06 + 0.1)));
}

TEST_F(Lighting, OnlyShadowedSpotLightsAskTheirMapAtTheLevelsSampleCount) {
  RecordingShadows maps;
  maps.light_of_map = {1, 0};  // light 0's map is the second
  shader.shadows = &maps;
  shader.shadow_level = 1;
  AddLight(TK::spot_light, {0, 0, 10}).SetShadowIntensity(0.8);
  AddLight(TK::point_light, {0, 0, 10}).SetShadowIntensity(1);
  lights[1].SetDiffuse(TK_Color(0, 0, 0));
  EXPECT_TRUE(Near(Light(hit), Lit(0.5 * 0.2 + 0.5)));  // lit fraction 0.5 within [1 - 0.8, 1]
  EXPECT_TRUE(Near(Light(hit, true), Lit(1)));          // no shadows
  shader.shadow_level = 2;  // 81 samples at level 2, no shadows at level 0
  EXPECT_EQ(shader.ShadowFactor(hit, 0), 0.5);
  shader.shadow_level = 0;
  EXPECT_EQ(shader.ShadowFactor(hit, 0), 1.0);
  shader.shadow_level = 1, lights[0].SetShadowIntensity(0);  // not consulted
  Light(hit);
  EXPECT_EQ(maps.asked, (std::vector<std::pair<int, int>>{{1, 9}, {1, 81}}));  // the point light never asks
}

class Resolving : public ::testing::Test, protected ShadingFixture {
protected:
  void SetUp() override { ASSERT_TRUE(FillImage(texels, 6, 5)); }  // nearest limits 4 and 3
  // Weights (0.5, 0.25, 0.25) over coordinates (0, 0), (1, 0), (0, 1): uv (0.25, 0.25).
  HitRecord At(TK_3dVector normal = {0, 0, 1}) {
    HitRecord h = Hit(entry, {0, 0, 0}, normal);
    h.weights = TK_3fPoint(0.5f, 0.25f, 0.25f);
    h.texture_coordinates[1] = {1, 0};
    h.texture_coordinates[2] = {0, 1};
    return h;
  }
  TK_3dVector Resolve(const HitRecord& hit, const SurfaceShader* with = nullptr) {
    return (with ? *with : shader).ResolveSurfaceColours(hit, diffuse, specular, normal), normal;
  }
  COruDib texels;
  const MaterialEntry& entry = Material(TK_Color(255, 102, 51), 0.4);
  CRenderMaterial& m = Lent(entry);
  Colour3f diffuse, specular;
  TK_3dVector normal;
};

TEST_F(Resolving, MapsBlendByTheirAmountsBumpsTiltAndTransparencyCutsHoles) {
  m.SetSpecular(TK_Color(0, 255, 0));
  Bind(m.m_texture_map, texels, 0.25);
  Bind(m.m_specular_map, texels, 1.0);
  const Colour3f t = Texel(1, 0);  // trunc(4 x 0.25), trunc(0.25 x 3)
  EXPECT_EQ(Resolve(At()), TK_3dVector(0, 0, 1));
  EXPECT_TRUE(Near(diffuse, Rgb(0.75 + 0.25 * t.red, 0.3 + 0.25 * t.green, 0.15 + 0.25 * t.blue)));
  EXPECT_TRUE(Near(specular, t));
  // The environment map reads the face's sphere-mapped coordinates, not uv. Parallel:
  // r = (2 mz mx, 2 mz my, 2 mz^2 - 1), s = 4, 2.56, 0, 1.44; the translation takes no part.
  TK_Mesh mesh;
  for (int i = 0; i < 4; ++i) mesh.SetVertex(i, std::array<TK_3fPoint, 4>{{{0, 0, -5}, {3, 0, -4}, {}, {5, 5, 5}}}[i]);
  mesh.SetTriangle(0, 0, 1, 2);
  mesh.m_N = {{0, 0, 1}, {0.6f, 0, 0.8f}, {1, 0, 0}, {0, -0.8f, 0.6f}};
  auto mesh_entry = RenderMeshEntry::Create(mesh, &entry);
  ASSERT_TRUE(mesh_entry);
  mesh_entry->ComputeEnvironmentCoordinates(TK_Xform::Translation(TK_3dVector(10, -20, 30)), TK::parallel);
  const TK_SimpleArray<TK_2fPoint>& e = mesh_entry->EnvironmentCoordinates();
  ASSERT_EQ(e.Count(), 4);
  EXPECT_LT(std::hypot(e[1].x - 0.8, e[1].y - 0.5) + std::hypot(e[3].x - 0.5, e[3].y - 0.1), 1e-6);
  RenderMeshEntry* meshes[] = {mesh_entry.get()};
  const SurfaceShader with_mesh(lights, meshes);
  m.m_texture_map = MaterialMap();
  Bind(m.m_environment_map, texels, 0.5);
  const Colour3f v = Texel(2, 1);  // the weights give (0.575, 0.5)
  Resolve(At(), &with_mesh);
  EXPECT_TRUE(Near(diffuse, Rgb(0.5 + 0.5 * v.red, 0.2 + 0.5 * v.green, 0.1 + 0.5 * v.blue)));
  HitRecord elsewhere = At();
  Resolve((elsewhere.face_index = 7, elsewhere), &with_mesh);  // no coordinates there: left out, not read past
  EXPECT_TRUE(Near(diffuse, Rgb(1, 0.4, 0.2)));
  // Perspective, eye at the origin: r = e - 2 (e . m) m; a vertex at the eye gets the centre.
  mesh_entry->ComputeEnvironmentCoordinates(TK_Xform(), TK::perspective);
  EXPECT_TRUE(e[0] == TK_2fPoint(0.5f, 0.5f) && e[2] == e[0]);      // head-on: r = (0, 0, 1)
  EXPECT_NEAR(e[1].x, 0.5 + 0.5 * 0.936 / std::sqrt(1.296), 1e-6);  // r = (0.936, 0, -0.352)

  SCOPED_TRACE("a bump map tilts the normal against its slope on any frame");
  COruDib ramp;
  ASSERT_TRUE(FillImage(ramp, 6, 6, 0, 20, 10));
  Bind(m.m_bump_map, ramp, 0.02);  // x 100 = 2
  // The tilt's size on +z shows in the engine's bump render. On any normal: a
  // right-handed orthonormal frame, and a unit result leaning against the slope.
  for (const TK_3dVector& n : {TK_3dVector(0, 0.6, 0.8), TK_3dVector(0, 0, -1), TK_3dVector(-0.48, 0.64, 0.6)}) {
    TK_3dVector t, b;
    BuildBumpFrame(n, t, b);
    EXPECT_LT(std::abs(t.Length() - 1) + std::abs(TK_DotProduct(t, n)) + (b - TK_CrossProduct(n, t)).Length(), 1e-12);
    const TK_3dVector bumped = Resolve(At(n));
    EXPECT_TRUE(std::abs(bumped.Length() - 1) < 1e-12 && TK_DotProduct(bumped, t) < 0 && TK_DotProduct(bumped, b) < 0);
  }

  SCOPED_TRACE("the transparency map scales the material and cuts holes at full amount");
  COruDib image;
  const HitRecord hit = At();
  // Grey, amount, the material's transparency, expected.
  const double cases[][4] = {{0, 1, .4, 1}, {0, .5, .4, .2}, {255, 1, .4, 0}, {51, 1, .4, .32}, {51, 1, 0, 0}};
  for (const auto& c : cases) {
    ASSERT_TRUE(FillImage(image, 4, 4, int(c[0])));
    Bind(m.m_transparency_map, image, c[1]);
    m.SetTransparency(c[2]);
    EXPECT_NEAR(entry.SurfaceTransparency(&hit), c[3], 1e-6) << c[0] << " " << c[1] << " " << c[2];
    EXPECT_EQ(entry.SurfaceTransparency(nullptr), c[2]);  // without a hit: the material's own
  }
}

constexpr std::uint32_t Packed(int r, int g, int b) { return std::uint32_t(r | g << 8 | b << 16); }

// No lights and white ambient: a surface shows its diffuse colour. Blue background.
class Compositing : public ::testing::Test, protected ShadingFixture {
protected:
  void SetUp() override { shader.ambient = {1, 1, 1}, shader.background = {0, 0, 1}; }
  std::uint32_t Shade(const std::vector<HitRecord>& hits, bool no_shadows = false) {
    return shader.ShadeHits(hits.data(), int(hits.size()), no_shadows, false);
  }
  HitRecord Layer(TK_Color colour, double transparency, int mesh = 0, double depth = 1) {
    return Hit(Material(colour, transparency), {0, 0, -depth}, {0, 0, 1}, mesh, depth);
  }
};

// The front's share is rounded to single precision before what shows
// through is added: a grey layer over white stays grey, every channel as
// that rounding gives it (unrounded, 91 under a quarter's transparency
// would give 132).
TEST_F(Compositing, TheFrontsShareIsRoundedBeforeWhatShowsThroughIsAdded) {
  shader.background = {1, 1, 1};
  for (const auto& [grey, expected] : {std::pair(91, 131), std::pair(107, 143)})
    EXPECT_EQ(Shade({Layer(TK_Color(grey, grey, grey), 0.25)}), Packed(expected, expected, expected)) << grey;
}

TEST_F(Compositing, QuantisesBehindFollowsTheDeepStackClosedFormAndDropsShadowsBehindTheFrontMesh) {
  EXPECT_EQ(PackColour({std::nanf(""), 0.999f, 2e9f}), Packed(0, 254, 255));
  EXPECT_EQ(PackColour({-0.0f, -1e-30f, INFINITY}), Packed(0, 0, 255));
  EXPECT_EQ(PackColour({1.0f, 0.5f, 0.0039f}), Packed(255, 127, 0));
  EXPECT_TRUE(Near(UnpackColour(Packed(255, 1, 0)), Rgb(255 * 0.003921569f, 0.003921569f, 0)));
  // Behind: 0.998 packs to 254. In front: 0.999 x 254 / 255 -> 253, where
  // the unquantised 0.999 x 0.998 would give 254.
  shader.background = {0, 0, 0};
  EXPECT_EQ(Shade({Layer(TK_Color(0, 0, 0), 0.999, 0), Layer(TK_Color(255, 0, 0), 0.002, 1)}), Packed(253, 0, 0));
  // Clamped before blending: red -0.5 + 0.5 x 1 = 0, not -0.5 + 0.5 x 2.
  shader.ambient = {-1.0f, 2.0f, 0.999f};
  shader.background = {2, -1, 0.5f};
  EXPECT_EQ(Shade({Layer(TK_Color(255, 255, 255), 0.5)}), Packed(0, 255, 190));
  COruDib image;  // or the background image's pixel, rows stored bottom-up
  ASSERT_TRUE(FillImage(image, 3, 4));
  shader.background_image = &image;
  shader.pixel_x = 1;
  shader.pixel_y = 0;
  EXPECT_EQ(Shade({}), PackColour(Texel(1, 3)));
  shader.background_image = nullptr;

  // n layers of transparency t and colour c over a background b give
  // c (1 - t^n) + b t^n, less what quantising behind each layer loses: under
  // one unit per layer, damped by t, so under 1 / (1 - t) units in all.
  SCOPED_TRACE("a deep stack of equal layers");
  shader.ambient = {0.6f, 0.3f, 0.9f};
  shader.background = {0, 1, 0.2f};
  const double t = 0.75;
  const HitRecord glass = Layer(TK_Color(255, 255, 255), t);
  for (int n : {1, 2, 3, 8, 40, 100000}) {
    std::vector<HitRecord> hits(std::size_t(n), glass);
    for (int i = 0; i < n; ++i) hits[std::size_t(i)].mesh_index = i % 2;
    const Colour3f got = UnpackColour(Shade(hits));
    const double tn = std::pow(t, n), actual[] = {got.red, got.green, got.blue};
    const double expected[] = {0.6 * (1 - tn), 0.3 * (1 - tn) + tn, 0.9 * (1 - tn) + 0.2 * tn};
    for (int c = 0; c < 3; ++c)
      EXPECT_TRUE(actual[c] <= expected[c] + 1e-6 && actual[c] > expected[c] - 1 / (1 - t) / 255) << n << ", " << c;
  }

  SCOPED_TRACE("surfaces behind lose shadows only when they show the front mesh again");  // asked depths
  RecordingShadows maps;
  shader.shadows = &maps;
  shader.shadow_level = 2;
  AddLight(TK::spot_light, {0, 0, 10});
  const struct {  // hits: transparency and mesh, at depths 1, 2, ...
    const char* what; std::vector<std::pair<double, int>> hits; bool no_shadows; std::vector<double> shadowed;
  } cases[] = {
      {"the same mesh behind", {{0.5, 0}, {0.5, 0}}, false, {1}},
      {"another transparent mesh keeps its shadows", {{0.5, 0}, {0.5, 1}, {0, 0}}, false, {1, 2, 3}},
      {"another opaque mesh, the front mesh later", {{0.5, 0}, {0, 1}, {0, 0}}, false, {1}},
      {"another opaque mesh, the front mesh never again", {{0.5, 0}, {0, 1}, {0, 2}}, false, {1, 2}},
      {"each level decides for the hit behind it", {{0.5, 0}, {0.5, 1}, {0.5, 1}, {0.5, 2}}, false, {1, 2, 4}},
      {"the caller's flag reaches the first hit only", {{0.5, 0}, {0.5, 1}}, true, {2}},
  };
  for (const auto& c : cases) {
    std::vector<HitRecord> hits;
    for (const auto& [t, mesh] : c.hits) hits.push_back(Layer(TK_Color(0, 255, 0), t, mesh, double(hits.size() + 1)));
    maps.asked_depths.clear();
    Shade(hits, c.no_shadows);
    std::sort(maps.asked_depths.begin(), maps.asked_depths.end());
    EXPECT_EQ(maps.asked_depths, c.shadowed) << c.what;
  }
}

}  // namespace
