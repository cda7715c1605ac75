// Lighting hits together: every lane gives the bits it gives alone, on both
// processor paths, and the shader's several-sample entry gives the colours
// of shading each sample by itself.

#include "shading/LightBatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "shading/ShadingFixture.h"

namespace {

bool SameBits(const Colour3f& a, const Colour3f& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class LightingTogether : public ::testing::Test, protected ShadingFixture {
protected:
  void SetUp() override {
    shader.shadows = &maps;
    shader.shadow_level = 1;
    maps.light_of_map = {2};  // the spot's
    AddLight(TK::directional_light, {0, 0, 0}, {0.3, -0.2, -1});
    AddLight(TK::point_light, {2, 1, 3}).SetAttenuation(0.5, 0.2, 0.05);
    TK_Light& spot = AddLight(TK::spot_light, {-1, 0, 4}, {0.2, 0, -1});
    spot.SetSpotAngleRadians(0.5), spot.SetSpotExponent(3), spot.SetShadowIntensity(0.7);
    spot.SetDiffuse(TK_Color(200, 180, 90));
  }
  RecordingShadows maps;
};

// Random lanes reach every branch: unit and ready normals, zero normals,
// light from behind on one and two sides, outside the cone, no highlight,
// no shadow lookups and no material.
TEST_F(LightingTogether, EveryLaneGivesItsOwnBitsOnBothPaths) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_real_distribution<float> fraction(0.0f, 1.0f);
  std::vector<HitRecord> hits(4);
  const MaterialEntry& plain = Material(TK_Color(200, 100, 50), 0.0);
  int lit = 0, highlighted = 0;
  for (int round = 0; round < 400; ++round) {
    LitHits lanes;
    lanes.count = 1 + round % 4;
    for (int k = 0; k < lanes.count; ++k) {
      hits[std::size_t(k)] = Hit(plain, {unit(random), unit(random), unit(random)}, {});
      hits[std::size_t(k)].ray_origin = {unit(random), unit(random), 5 + unit(random)};
      lanes.hits[k] = &hits[std::size_t(k)];
      const int kind = int(random() % 8);
      for (int c = 0; c < 3; ++c) {
        lanes.normal[c][k] = kind == 0 ? 0.0 : (c == 2 ? 1.5 : 0.0) + unit(random);
        lanes.diffuse[c][k] = fraction(random);
        lanes.highlight[c][k] = 3 * fraction(random);
        lanes.base[c][k] = 0.2f * fraction(random);
      }
      lanes.exponent[k] = kind == 1 ? 0.0 : 1 + 100 * fraction(random);
      const unsigned bit = 1u << k;
      lanes.unitize |= kind != 2 ? bit : 0;
      lanes.two_sided |= kind == 3 || kind == 4 ? bit : 0;
      lanes.no_shadows |= kind == 5 ? bit : 0;
      lanes.dark |= kind == 6 ? bit : 0;
    }
    LitHits baseline = lanes, avx2 = lanes;
    LightHits(SimdPath::baseline, lights, shader, baseline);
    LightHits(SimdPath::avx2, lights, shader, avx2);
    for (int k = 0; k < lanes.count; ++k) {
      LitHits alone = lanes;  // lane k moved to lane 0, alone
      alone.count = 1;
      alone.hits[0] = lanes.hits[k];
      for (int c = 0; c < 3; ++c) {
        alone.normal[c][0] = lanes.normal[c][k];
        alone.diffuse[c][0] = lanes.diffuse[c][k];
        alone.highlight[c][0] = lanes.highlight[c][k];
        alone.base[c][0] = lanes.base[c][k];
      }
      alone.exponent[0] = lanes.exponent[k];
      alone.unitize = lanes.unitize >> k & 1, alone.two_sided = lanes.two_sided >> k & 1;
      alone.no_shadows = lanes.no_shadows >> k & 1, alone.dark = lanes.dark >> k & 1;
      LightHits(lights, shader, alone);
      ASSERT_TRUE(SameBits(baseline.colour[k], avx2.colour[k]) && SameBits(baseline.colour[k], alone.colour[0]) &&
                  SameBits(baseline.specular[k], avx2.specular[k]) &&
                  SameBits(baseline.specular[k], alone.specular[0]))
          << "round " << round << " lane " << k;
      lit += baseline.colour[k].red > baseline.base[0][k];
      highlighted += baseline.specular[k].red > 0;
    }
  }
  EXPECT_GT(lit, 200);  // the rounds reach light and highlight alike
  EXPECT_GT(highlighted, 100);
  EXPECT_FALSE(maps.asked.empty());
}

// Empty, opaque, textured and see-through samples side by side, with and
// without coverage: each gets the word it gets shaded alone (neighbours of
// one plain material share its colours, also from call to call, of a
// textured one do not).
TEST_F(LightingTogether, SamplesShadedTogetherGetTheirOwnColours) {
  shader.ambient = {0.1f, 0.2f, 0.3f};
  shader.background = {0.5f, 0.25f, 0.75f};
  const MaterialEntry& opaque = Material(TK_Color(255, 102, 51), 0.0, 90);
  const MaterialEntry& glass = Material(TK_Color(51, 102, 255), 0.6, 40);
  const MaterialEntry& textured = Material(TK_Color(255, 255, 255), 0.0, 20);
  const MaterialEntry& clay = Material(TK_Color(90, 200, 120), 0.0, 10);
  COruDib image;
  ASSERT_TRUE(FillImage(image, 8, 8));
  MaterialMap& map = Lent(textured).m_texture_map;
  Bind(map, image);
  map.tiling_u = map.tiling_v = 1;
  const auto at = [&](float u, float v) {
    HitRecord h = Hit(textured, {u, v, 0}, {0, 0, -1});  // lit by the ambient light alone: the texel shows
    h.texture_coordinates[0] = {u, v};
    return h;
  };
  const std::vector<std::vector<HitRecord>> samples = {
      {at(0.1f, 0.2f)},
      {at(0.7f, 0.4f)},
      {at(0.3f, 0.9f)},
      {Hit(opaque, {0, 0, 0}, {0, 0.6, 0.8})},
      {},
      {Hit(glass, {0, 0, 0}, {0, 0, 1}), Hit(opaque, {0, 0, -1}, {0.6, 0, 0.8}, 1, 2)},
      {Hit(opaque, {0.5, 0.2, 0}, {0, 0, 1})},
      {Hit(clay, {0.2, 0.1, 0}, {0, 0, -1})},  // the ambient light alone
      {Hit(glass, {0, 0, 0}, {0, 0, 1})},
      {Hit(opaque, {0.1, 0.3, 0}, {0.3, 0.3, 0.9}), Hit(glass, {0, 0, -1}, {0, 0, 1}, 1, 2)},
  };
  SurfaceShader::PlainColours plain;  // kept across calls, as along a row
  for (bool coverage : {false, true})
    for (std::size_t first = 0; first + 4 <= samples.size(); ++first) {
      const HitRecord* lists[4];
      int counts[4];
      for (std::size_t k = 0; k < 4; ++k) {
        lists[k] = samples[first + k].data();
        counts[k] = int(samples[first + k].size());
      }
      std::uint32_t together[4];
      shader.ShadeSamples(lists, counts, 4, 10, coverage, together, plain);
      for (int k = 0; k < 4; ++k) {
        shader.pixel_x = 10 + k;
        const std::uint32_t alone = coverage ? shader.ShadeHitsWithCoverage(lists[k], counts[k], false, false)
                                             : shader.ShadeHits(lists[k], counts[k], false, false);
        EXPECT_EQ(together[k], alone) << "first " << first << " sample " << k << (coverage ? " with coverage" : "");
      }
    }
}

}  // namespace
