#include "shading/SurfaceShader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "shading/RenderMeshEntry.h"
#include "shading/TextureSampling.h"
#include "shading/ShadingFixture.h"
#include "support/TexelImage.h"

namespace {

constexpr double kTol = 1e-6;

void ExpectColour(const Colour3f& actual, double r, double g, double b) {
  EXPECT_NEAR(actual.red, r, kTol);
  EXPECT_NEAR(actual.green, g, kTol);
  EXPECT_NEAR(actual.blue, b, kTol);
}

void ExpectVector(const TK_3dVector& actual, const TK_3dVector& expected) {
  EXPECT_NEAR(actual.x, expected.x, kTol);
  EXPECT_NEAR(actual.y, expected.y, kTol);
  EXPECT_NEAR(actual.z, expected.z, kTol);
}

class Lighting : public ::testing::Test, protected ShadingFixture {
protected:
  void SetUp() override { shader.ambient = {0.1f, 0.2f, 0.3f}; }
  // Diffuse (1, 0.4, 0.2).
  const MaterialEntry& plain = Material(TK_Color(255, 102, 51), 0.0);
  Colour3f colour, specular;
  void Light(const HitRecord& hit, bool no_shadows = false, bool no_specular = false) {
    shader.LightSurface(hit, colour, specular, no_shadows, no_specular);
  }
};

TEST_F(Lighting, APointLightLightsByCosineAndAttenuationNotIntensity) {
  TK_Light& light = AddLight(TK::point_light, {0, 3, 4});  // L = (0, 0.6, 0.8) at distance 5
  light.SetAttenuation(1, 0.1, 0);                           // 1 / 1.5
  light.SetDiffuse(TK_Color(255, 51, 102));                   // (1, 0.2, 0.4)
  light.SetIntensity(7);
  Light(Hit(plain, {0, 0, 0}, {0, 0, 1}));
  const double ka = 0.8 / 1.5;
  ExpectColour(colour, 0.1 + ka, 0.2 * 0.4 + ka * 0.2 * 0.4, 0.3 * 0.2 + ka * 0.4 * 0.2);
  ExpectColour(specular, 0, 0, 0);
}

TEST_F(Lighting, ADirectionalLightIgnoresLocationAndAttenuation) {
  TK_Light& light = AddLight(TK::directional_light, {100, 100, 100}, {0, 0, -2});
  light.SetAttenuation(0, 0, 0);
  Light(Hit(plain, {0, 0, 0}, {0, 0.6, 0.8}));
  ExpectColour(colour, 0.1 + 0.8, 0.08 + 0.8 * 0.4, 0.06 + 0.8 * 0.2);
}

TEST_F(Lighting, ASpotLightLightsOnlyInsideItsCone) {
  const double cone = std::numbers::pi / 3;
  // Direction as stored, not made unit: c = 0.6 is inside a cone whose cosine is 0.5.
  TK_Light& spot = AddLight(TK::spot_light, {0, 0, 10}, {0, 0, -0.6});
  spot.SetSpotAngleRadians(cone);
  spot.SetSpotExponent(2);
  spot.SetAttenuation(0, 0.2, 0);  // 1 / 2 at distance 10
  Light(Hit(plain, {0, 0, 0}, {0, 0, 1}));
  const double a = 0.5 * 0.6 * 0.6;
  ExpectColour(colour, 0.1 + a, 0.08 + a * 0.4, 0.06 + a * 0.2);

  // c equal to the cone's cosine is outside: only ambient light remains.
  spot.SetDirection({0, 0, -std::cos(cone)});
  Light(Hit(plain, {0, 0, 0}, {0, 0, 1}));
  ExpectColour(colour, 0.1, 0.08, 0.06);
  spot.SetDirection({0, 0, -1});
  Light(Hit(plain, {20, 0, 0}, {0, 0, 1}));  // c = 10 / sqrt(500), far outside
  ExpectColour(colour, 0.1, 0.08, 0.06);
}

TEST_F(Lighting, ZeroAttenuationSkipsPointAndSpotLights) {
  AddLight(TK::point_light, {0, 0, 10}).SetAttenuation(0, 0, 0);
  AddLight(TK::spot_light, {0, 0, 10}).SetAttenuation(-1, 0, 0);
  Light(Hit(plain, {0, 0, 0}, {0, 0, 1}));
  ExpectColour(colour, 0.1, 0.08, 0.06);
}

TEST_F(Lighting, ABackFacingLightCountsOnlyOnATransparentSurface) {
  AddLight(TK::point_light, {0, 0, -10});
  Light(Hit(plain, {0, 0, 0}, {0, 0, 1}));
  ExpectColour(colour, 0.1, 0.08, 0.06);

  const MaterialEntry& glass = Material(TK_Color(255, 102, 51), 0.5);
  Light(Hit(glass, {0, 0, 0}, {0, 0, 1}));  // |N . L| = 1
  ExpectColour(colour, 1.1, 0.48, 0.26);
}

TEST_F(Lighting, SpecularFollowsTheHalfVectorIntensityAndLevel) {
  const MaterialEntry& shiny = Material(TK_Color(255, 102, 51), 0.0, 127.5);  // exponent 64
  Lent(shiny).SetSpecular(TK_Color(255, 0, 51));
  Lent(shiny).m_specular_level = 0.02;  // S' = 2 S
  TK_Light& light = AddLight(TK::point_light, {0, 3, 4});
  light.SetIntensity(3);
  const HitRecord hit = Hit(shiny, {0, 0, 0}, {0, 0, 1});  // V = (0, 0, 1)
  Light(hit);
  const double h = 1.8 / std::sqrt(3.6);  // N . unit((0, 0.6, 0.8) + (0, 0, 1))
  const double s = std::pow(h, 64.0) * 3 * 2;
  ExpectColour(specular, s, 0, s * 0.2);
  ExpectColour(colour, 0.1 + 0.8 + s, 0.08 + 0.8 * 0.4, 0.06 + 0.8 * 0.2 + s * 0.2);

  Light(hit, false, true);  // no specular
  ExpectColour(specular, 0, 0, 0);
  ExpectColour(colour, 0.9, 0.4, 0.22);

  // N . H exactly 0: L = (0, 1, 0), V = (1, 0, 0), N = (0, 0, 1).
  lights.Empty();
  AddLight(TK::point_light, {0, 5, 0});
  HitRecord grazing = hit;
  grazing.ray_origin = TK_3dVector(5, 0, 0);
  Light(grazing);
  ExpectColour(specular, 0, 0, 0);
}

TEST_F(Lighting, ShineZeroAddsNoSpecularEvenWithASpecularMap) {
  COruDib white;
  ASSERT_TRUE(white.CreateDib(4, 4, 32, true, nullptr));
  std::fill(white.FindDIBBits(), white.FindDIBBits() + white.StorageBytes(), 255);
  CRenderMaterial& m = Lent(plain);
  m.m_specular_map.bitmap = &white;
  m.m_specular_map.width_limit = m.m_specular_map.height_limit = 2;
  AddLight(TK::point_light, {0, 0, 10});
  Light(Hit(plain, {0, 0, 0}, {0, 0, 1}));
  ExpectColour(specular, 0, 0, 0);
  ExpectColour(colour, 1.1, 0.48, 0.26);
}

TEST_F(Lighting, LuminosityAddsTheDiffuseOrItsOwnColour) {
  CRenderMaterial& m = Lent(plain);
  m.m_luminosity = 0.5;
  Light(Hit(plain, {0, 0, 0}, {0, 0, 1}));
  ExpectColour(colour, 0.1 + 0.5, 0.08 + 0.2, 0.06 + 0.1);
  m.m_use_luminosity_color = true;
  m.m_luminosity_color = TK_Color(0, 255, 51);
  Light(Hit(plain, {0, 0, 0}, {0, 0, 1}));
  ExpectColour(colour, 0.1, 0.08 + 0.5, 0.06 + 0.1);
}

TEST_F(Lighting, OnlyShadowedSpotLightsAskForTheirLitFraction) {
  RecordingShadows maps;
  maps.light_of_map = {1, 0};
  shader.shadows = &maps;
  shader.shadow_level = 1;
  TK_Light& spot = AddLight(TK::spot_light, {0, 0, 10});
  spot.SetShadowIntensity(0.8);
  AddLight(TK::point_light, {0, 0, 10}).SetShadowIntensity(1);
  lights[1].SetDiffuse(TK_Color(0, 0, 0));
  const HitRecord hit = Hit(plain, {0, 0, 0}, {0, 0, 1});
  Light(hit);
  ASSERT_EQ(maps.asked.size(), 1u);  // the point light never asks
  EXPECT_EQ(maps.asked[0].map, 1);   // the spot light's map, found by its light index
  EXPECT_EQ(maps.asked[0].sample_count, 9);
  const double a = 0.5 * 0.2 + 0.5;  // lit fraction 0.5 within [1 - 0.8, 1]
  ExpectColour(colour, 0.1 + a, 0.08 + a * 0.4, 0.06 + a * 0.2);

  maps.asked.clear();
  Light(hit, true);  // no shadows
  EXPECT_TRUE(maps.asked.empty());
  ExpectColour(colour, 1.1, 0.48, 0.26);
  spot.SetShadowIntensity(0);
  Light(hit);
  EXPECT_TRUE(maps.asked.empty());
}

TEST(ShadowFactor, TheFirstMapOfTheLightAnswersAtTheLevelsSampleCount) {
  ShadingFixture f;
  const HitRecord hit = ShadingFixture::Hit(f.Material(TK_Color(), 0), {0, 0, 0}, {0, 0, 1});
  EXPECT_EQ(f.shader.ShadowFactor(hit, 0), 1.0);  // no lookup
  RecordingShadows maps;
  maps.light_of_map = {2, 0, 0};
  maps.answer = 0.25;
  f.shader.shadows = &maps;
  for (int level : {0, 3, -1}) {
    f.shader.shadow_level = level;
    EXPECT_EQ(f.shader.ShadowFactor(hit, 0), 1.0) << level;
  }
  EXPECT_TRUE(maps.asked.empty());
  f.shader.shadow_level = 1;
  EXPECT_EQ(f.shader.ShadowFactor(hit, 1), 1.0);  // a light without a map
  EXPECT_EQ(f.shader.ShadowFactor(hit, 0), 0.25);
  f.shader.shadow_level = 2;
  EXPECT_EQ(f.shader.ShadowFactor(hit, 0), 0.25);
  ASSERT_EQ(maps.asked.size(), 2u);
  EXPECT_EQ(maps.asked[0].map, 1);
  EXPECT_EQ(maps.asked[0].sample_count, 9);
  EXPECT_EQ(maps.asked[1].map, 1);
  EXPECT_EQ(maps.asked[1].sample_count, 81);
}

class Resolving : public ::testing::Test, protected ShadingFixture {
protected:
  void SetUp() override { ASSERT_TRUE(FillTexelImage(texels, 6, 5)); }  // nearest: W' 4, H' 3
  void Bind(MaterialMap& slot, const COruDib& image, double amount, int filter = 0) {
    slot.bitmap = &image;
    slot.width_limit = image.Width() - 2;
    slot.height_limit = image.Height() - 2;
    slot.amount = amount;
    slot.filter = filter;
  }
  // weights (0.5, 0.25, 0.25) over coordinates (0, 0), (1, 0), (0, 1): uv (0.25, 0.25).
  HitRecord At(const MaterialEntry& m) {
    HitRecord h = Hit(m, {0, 0, 0}, {0, 0, 1});
    h.weights = TK_3fPoint(0.5f, 0.25f, 0.25f);
    h.texture_coordinates[1] = TK_2fPoint(1, 0);
    h.texture_coordinates[2] = TK_2fPoint(0, 1);
    return h;
  }
  COruDib texels;
  const MaterialEntry& entry = Material(TK_Color(255, 102, 51), 0.0);
  Colour3f diffuse, specular;
  TK_3dVector normal;
};

TEST_F(Resolving, TextureAndSpecularMapsBlendByTheirAmounts) {
  CRenderMaterial& m = Lent(entry);
  m.SetSpecular(TK_Color(0, 255, 0));
  Bind(m.m_texture_map, texels, 0.25);
  Bind(m.m_specular_map, texels, 1.0);
  shader.ResolveSurfaceColours(At(entry), diffuse, specular, normal);
  const Colour3f t = Texel(1, 0);  // trunc(4 x 0.25), trunc(0.25 x 3)
  ExpectColour(diffuse, 0.75 + 0.25 * t.red, 0.75 * 0.4 + 0.25 * t.green, 0.75 * 0.2 + 0.25 * t.blue);
  ExpectColour(specular, t.red, t.green, t.blue);
  ExpectVector(normal, {0, 0, 1});
}

TEST_F(Resolving, TheEnvironmentMapTintsTheDiffuseAtInterpolatedCoordinates) {
  TK_Mesh mesh;
  ASSERT_TRUE(mesh.SetVertex(0, TK_3fPoint(0, 0, 0)));
  ASSERT_TRUE(mesh.SetVertex(1, TK_3fPoint(1, 0, 0)));
  ASSERT_TRUE(mesh.SetVertex(2, TK_3fPoint(0, 1, 0)));
  ASSERT_TRUE(mesh.SetVertex(3, TK_3fPoint(5, 5, 5)));
  ASSERT_TRUE(mesh.SetTriangle(0, 3, 0, 1));  // a face 0 that is not the one hit
  ASSERT_TRUE(mesh.SetTriangle(1, 2, 0, 1));
  mesh.m_N = {TK_3fVector(0.6f, 0, 0.8f), TK_3fVector(0, 0.6f, 0.8f), TK_3fVector(0, 0, 1), TK_3fVector(0, 0, 1)};
  auto mesh_entry = RenderMeshEntry::Create(mesh, &entry);
  ASSERT_NE(mesh_entry, nullptr);
  mesh_entry->ComputeEnvironmentCoordinates(TK_Xform(), TK::parallel);
  const TK_SimpleArray<TK_2fPoint>& e = mesh_entry->EnvironmentCoordinates();
  ASSERT_EQ(e.Count(), 4);
  RenderMeshEntry* meshes[] = {nullptr, mesh_entry.get()};
  SurfaceShader with_meshes(lights, meshes);

  Bind(Lent(entry).m_environment_map, texels, 0.5);
  HitRecord hit = At(entry);
  hit.mesh_index = 1;
  hit.face_index = 1;  // vertices 2, 0, 1
  const double ux = 0.5 * e[2].x + 0.25 * e[0].x + 0.25 * e[1].x;
  const double uy = 0.5 * e[2].y + 0.25 * e[0].y + 0.25 * e[1].y;
  ASSERT_TRUE(ux >= 0 && ux <= 1 && uy >= 0 && uy <= 1);
  const Colour3f t = Texel(int(4 * ux), int(uy * 3));
  with_meshes.ResolveSurfaceColours(hit, diffuse, specular, normal);
  ExpectColour(diffuse, 0.5 + 0.5 * t.red, 0.2 + 0.5 * t.green, 0.1 + 0.5 * t.blue);

  // Without environment coordinates for the hit (no mesh there, or a face
  // the mesh lacks) the map is left out rather than read out of bounds.
  for (int mesh_index : {0, 2}) {
    hit.mesh_index = mesh_index;
    with_meshes.ResolveSurfaceColours(hit, diffuse, specular, normal);
    ExpectColour(diffuse, 1, 0.4, 0.2);
  }
  hit.mesh_index = 1;
  hit.face_index = 7;
  with_meshes.ResolveSurfaceColours(hit, diffuse, specular, normal);
  ExpectColour(diffuse, 1, 0.4, 0.2);
}

TEST_F(Resolving, ABumpRampTiltsTheNormalAgainstItsSlope) {
  COruDib ramp;  // grey 20 x + 10 y in every channel
  ASSERT_TRUE(ramp.CreateDib(6, 5, 32, true, nullptr));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      for (int c = 0; c < 3; ++c)
        ramp.FindDIBBits()[y * ramp.GetStorageWidth() + x * 4 + c] = std::uint8_t(20 * x + 10 * y);
  Bind(Lent(entry).m_bump_map, ramp, 0.02);  // x 100 = 2
  // uv (0.25, 0.25): neighbours of pixel (1, 0); up and right exist, down is black.
  const double third = double(0.33333334f) * 3;
  const double du = (40 - 0) / 255.0 * third * 0.5;  // columns 2 and 0 of row 0
  const double dv = (30 - 0) / 255.0 * third * 0.5;  // row 1, and the preset black below row 0
  shader.ResolveSurfaceColours(At(entry), diffuse, specular, normal);
  // N = (0, 0, 1): tangent (1, 0, 0), bitangent (0, 1, 0).
  ExpectVector(normal, UnitOf({-2 * du, -2 * dv, 1}));

  HitRecord tilted = At(entry);
  tilted.normal = TK_3dVector(0, 0.6, 0.8);  // tangent (-1, 0, 0), bitangent (0, -0.8, 0.6)
  shader.ResolveSurfaceColours(tilted, diffuse, specular, normal);
  ExpectVector(normal, UnitOf({2 * du, 0.6 + 2 * dv * 0.8, 0.8 - 2 * dv * 0.6}));
}

TEST(BumpFrame, TurnsAboutZAndFallsBackAlongTheAxis) {
  TK_3dVector t, b;
  BuildBumpFrame({0, 0.6, 0.8}, t, b);
  ExpectVector(t, {-1, 0, 0});
  ExpectVector(b, {0, -0.8, 0.6});
  BuildBumpFrame(UnitOf({1, 2, 2}), t, b);
  ExpectVector(t, UnitOf({-2, 1, 0}));
  ExpectVector(b, UnitOf({-2, -4, 5}));  // N x T
  BuildBumpFrame({0, 0, 1}, t, b);
  EXPECT_EQ(t, TK_3dVector(1, 0, 0));
  EXPECT_EQ(b, TK_3dVector(0, 1, 0));
  BuildBumpFrame({0, 0, -1}, t, b);
  EXPECT_EQ(t, TK_3dVector(1, 0, 0));
  EXPECT_EQ(b, TK_3dVector(0, -1, 0));
  BuildBumpFrame({1e-13, 0, -1}, t, b);  // still tiny
  EXPECT_EQ(b, TK_3dVector(0, -1, 0));
}

TEST(SurfaceTransparency, TheMapScalesTheMaterialAndCutsHolesAtFullAmount) {
  ShadingFixture f;
  const MaterialEntry& entry = f.Material(TK_Color(), 0.4);
  CRenderMaterial& m = f.Lent(entry);
  HitRecord hit = ShadingFixture::Hit(entry, {0, 0, 0}, {0, 0, 1});
  EXPECT_DOUBLE_EQ(entry.SurfaceTransparency(&hit), 0.4);  // no map
  COruDib image;
  ASSERT_TRUE(image.CreateDib(4, 4, 32, true, nullptr));
  const auto paint = [&](std::uint8_t v) {
    std::fill(image.FindDIBBits(), image.FindDIBBits() + image.StorageBytes(), v);
  };
  MaterialMap& map = m.m_transparency_map;
  map.bitmap = &image;
  map.width_limit = map.height_limit = 2;

  paint(0);  // black at amount 1: a hole, whatever the material says
  EXPECT_EQ(entry.SurfaceTransparency(&hit), 1.0);
  EXPECT_EQ(entry.SurfaceTransparency(nullptr), 0.4);
  map.amount = 0.5;
  EXPECT_NEAR(entry.SurfaceTransparency(&hit), 0.5 * 0.4, 1e-7);
  map.amount = 1.0;
  paint(255);  // white: opaque
  EXPECT_NEAR(entry.SurfaceTransparency(&hit), 0.0, 1e-6);
  paint(51);  // grey 0.2: 0.8 of the material's
  EXPECT_NEAR(entry.SurfaceTransparency(&hit), 0.8 * 0.4, 1e-6);

  m.SetTransparency(0);
  paint(0);
  EXPECT_EQ(entry.SurfaceTransparency(&hit), 1.0);
  paint(51);
  EXPECT_EQ(entry.SurfaceTransparency(&hit), 0.0);
}

}  // namespace
