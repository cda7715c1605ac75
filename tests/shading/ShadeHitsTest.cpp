#include "shading/SurfaceShader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "shading/ShadingFixture.h"
#include "support/TexelImage.h"

namespace {

constexpr std::uint32_t Packed(int r, int g, int b) { return std::uint32_t(r | g << 8 | b << 16); }

TEST(Packing, ClampsThenTruncatesEachChannel) {
  EXPECT_EQ(PackColour({1.0f, 0.999f, 0.0f}), Packed(255, 254, 0));
  EXPECT_EQ(PackColour({1.5f, -0.5f, 0.5f}), Packed(255, 0, 127));
  EXPECT_EQ(PackColour({std::nanf(""), 0.2f, 2e9f}), Packed(0, 51, 255));
  const Colour3f c = UnpackColour(Packed(255, 1, 0));
  EXPECT_FLOAT_EQ(c.red, 255 * 0.003921569f);
  EXPECT_FLOAT_EQ(c.green, 0.003921569f);
  EXPECT_EQ(c.blue, 0.0f);
}

class Compositing : public ::testing::Test, protected ShadingFixture {
protected:
  void SetUp() override {
    shader.ambient = {1, 1, 1};  // with no lights a surface shows its diffuse colour
    shader.background = {0, 0, 1};
  }
  std::uint32_t Shade(const std::vector<HitRecord>& hits) {
    return shader.ShadeHits(hits.data(), int(hits.size()), false, false);
  }
};

TEST_F(Compositing, NoHitsShowTheBackgroundColourOrImage) {
  shader.background = {1.5f, 0.5f, -0.2f};
  EXPECT_EQ(shader.ShadeHits(nullptr, 0, false, false), Packed(255, 127, 0));
  EXPECT_EQ(shader.ShadeHits(nullptr, -1, false, false), Packed(255, 127, 0));  // a bad count reads nothing
  COruDib image;
  ASSERT_TRUE(FillTexelImage(image, 3, 4));
  shader.background_image = &image;
  shader.pixel_x = 1;
  shader.pixel_y = 0;  // the top row of the image: memory row 3
  EXPECT_EQ(shader.ShadeHits(nullptr, 0, false, false), PackColour(Texel(1, 3)));
  shader.pixel_y = 3;
  shader.pixel_x = 2;
  EXPECT_EQ(shader.ShadeHits(nullptr, 0, false, false), PackColour(Texel(2, 0)));
  EXPECT_EQ(shader.BackgroundColour(2, 3), Texel(2, 0));
}

TEST_F(Compositing, AnOpaqueFrontHidesEverythingBehindIt) {
  RecordingShadows maps;
  shader.shadows = &maps;
  shader.shadow_level = 1;
  AddLight(TK::spot_light, {0, 0, 10});
  shader.ambient = {0.5f, 0.5f, 0.5f};
  const MaterialEntry& red = Material(TK_Color(255, 0, 0), 0.0);
  const MaterialEntry& glass = Material(TK_Color(0, 255, 0), 0.5);
  // 0.5 ambient + half the spot light (lit fraction 0.5, shadow intensity 1).
  EXPECT_EQ(Shade({Hit(red, {0, 0, 0}, {0, 0, 1}, 0, 1), Hit(glass, {0, 0, -1}, {0, 0, 1}, 1, 2)}),
            Packed(255, 0, 0));
  ASSERT_EQ(maps.asked.size(), 1u);
  EXPECT_EQ(maps.asked[0].depth, 1.0);
}

TEST_F(Compositing, ATransparentSurfaceLetsTheBackgroundThrough) {
  const MaterialEntry& red = Material(TK_Color(255, 0, 0), 0.25);
  // red 0.75 -> 191; blue 0.25 x 255 / 255 -> 63
  EXPECT_EQ(Shade({Hit(red, {0, 0, 0}, {0, 0, 1})}), Packed(191, 0, 63));
}

TEST_F(Compositing, TheColourBehindIsQuantisedBeforeItIsBlended) {
  shader.background = {0, 0, 0};
  const MaterialEntry& black_glass = Material(TK_Color(0, 0, 0), 0.999);
  const MaterialEntry& faint_red = Material(TK_Color(255, 0, 0), 0.002);
  // Behind: 0.998 packs to 254. In front: 0.999 x 254 / 255 = 0.99508 -> 253,
  // where unquantised 0.999 x 0.998 would give 254.
  EXPECT_EQ(Shade({Hit(black_glass, {0, 0, 0}, {0, 0, 1}, 0), Hit(faint_red, {0, 0, -1}, {0, 0, 1}, 1)}),
            Packed(253, 0, 0));
}

TEST_F(Compositing, ChannelsAreClampedAboveOneAndBelowZero) {
  shader.ambient = {-1.0f, 2.0f, 0.999f};
  const MaterialEntry& white = Material(TK_Color(255, 255, 255), 0.0);
  EXPECT_EQ(Shade({Hit(white, {0, 0, 0}, {0, 0, 1})}), Packed(0, 255, 254));
  shader.background = {2, -1, 0.5f};
  const MaterialEntry& clear = Material(TK_Color(255, 255, 255), 0.5);
  // The background packs clamped to (255, 0, 127), so red -0.5 + 0.5 x 1 = 0
  // (unclamped 2 would give 0.5); green 1 + 0; blue 0.4995 + 0.5 x 127 / 255 -> 190.
  EXPECT_EQ(Shade({Hit(clear, {0, 0, 0}, {0, 0, 1})}), Packed(0, 255, 190));
}

// Hits that a shadowed spot light reaches; the lookup records which of them
// were shaded with shadows.
class SelfBehind : public Compositing {
protected:
  void SetUp() override {
    Compositing::SetUp();
    shader.shadows = &maps;
    shader.shadow_level = 2;
    AddLight(TK::spot_light, {0, 0, 10});
  }
  HitRecord At(const MaterialEntry& m, int mesh, double depth) {
    return Hit(m, {0, 0, -depth}, {0, 0, 1}, mesh, depth);
  }
  std::vector<double> AskedDepths() {
    std::vector<double> d;
    for (const auto& q : maps.asked) d.push_back(q.depth);
    std::sort(d.begin(), d.end());
    return d;
  }
  RecordingShadows maps;
  const MaterialEntry& glass = Material(TK_Color(0, 255, 0), 0.5);
  const MaterialEntry& stone = Material(TK_Color(255, 0, 0), 0.0);
};

TEST_F(SelfBehind, TheSameMeshBehindIsShadedWithoutShadows) {
  Shade({At(glass, 0, 1), At(glass, 0, 2)});
  EXPECT_EQ(AskedDepths(), std::vector<double>({1}));
}

TEST_F(SelfBehind, AnotherTransparentMeshBehindKeepsItsShadows) {
  Shade({At(glass, 0, 1), At(glass, 1, 2), At(stone, 0, 3)});
  EXPECT_EQ(AskedDepths(), std::vector<double>({1, 2, 3}));
}

TEST_F(SelfBehind, AnotherOpaqueMeshLosesShadowsOnlyWhenTheFrontMeshComesLater) {
  Shade({At(glass, 0, 1), At(stone, 1, 2), At(stone, 0, 3)});
  EXPECT_EQ(AskedDepths(), std::vector<double>({1}));
  maps.asked.clear();
  Shade({At(glass, 0, 1), At(stone, 1, 2), At(stone, 2, 3)});
  EXPECT_EQ(AskedDepths(), std::vector<double>({1, 2}));
}

TEST_F(SelfBehind, EachLevelDecidesForTheHitBehindItAndTheFlagsReachOnlyTheFirstHit) {
  // Level 1 (mesh 1) sees mesh 1 again behind it; mesh 0 never returns.
  Shade({At(glass, 0, 1), At(glass, 1, 2), At(glass, 1, 3), At(glass, 2, 4)});
  EXPECT_EQ(AskedDepths(), std::vector<double>({1, 2, 4}));
  maps.asked.clear();
  const std::vector<HitRecord> hits{At(glass, 0, 1), At(glass, 1, 2)};
  shader.ShadeHits(hits.data(), 2, true, false);
  EXPECT_EQ(AskedDepths(), std::vector<double>({2}));
}

// The compositor written the plain recursive way, one level per hit.
std::uint32_t Recursive(const SurfaceShader& s, const HitRecord* h, int n, bool no_shadows, bool no_specular) {
  if (n == 0) return PackColour(s.BackgroundColour(s.pixel_x, s.pixel_y));
  const double t = h[0].material->SurfaceTransparency(&h[0]);
  Colour3f q, unused;
  s.LightSurface(h[0], q, unused, no_shadows, no_specular);
  if (t == 0) return PackColour(q);
  bool behind_flag = false;
  if (n > 1) {
    if (h[1].mesh_index == h[0].mesh_index) {
      behind_flag = true;
    } else if (h[1].material->SurfaceTransparency(&h[1]) == 0) {
      for (int i = 1; i < n; ++i) behind_flag = behind_flag || h[i].mesh_index == h[0].mesh_index;
    }
  }
  const Colour3f b = UnpackColour(Recursive(s, h + 1, n - 1, behind_flag, false));
  const auto mix = [t](float front, float back) { return float(float(front * (1.0 - t)) + back * t); };
  return PackColour({mix(q.red, b.red), mix(q.green, b.green), mix(q.blue, b.blue)});
}

struct FractionByPosition : RecordingShadows {
  double LitFraction(int, const HitRecord& hit, int) const override { return 0.5 + 0.5 * std::sin(hit.point.x * 7); }
};

TEST_F(Compositing, MatchesThePlainRecursiveFormBitForBit) {
  shader.ambient = {0.15f, 0.1f, 0.2f};
  shader.background = {0.3f, 0.6f, 0.9f};
  FractionByPosition maps;
  shader.shadows = &maps;
  shader.shadow_level = 1;
  AddLight(TK::spot_light, {0, 0, 10}).SetShadowIntensity(0.7);
  AddLight(TK::point_light, {4, -2, 3}).SetDiffuse(TK_Color(200, 180, 90));
  AddLight(TK::directional_light, {0, 0, 0}, {1, 1, -1}).SetDiffuse(TK_Color(60, 90, 255));
  COruDib holes;  // a transparency map with black, grey and white texels
  ASSERT_TRUE(holes.CreateDib(4, 4, 32, true, nullptr));
  for (std::size_t i = 0; i < holes.StorageBytes(); ++i) holes.FindDIBBits()[i] = std::uint8_t((i / 4) % 3 * 127);
  const MaterialEntry* pool[] = {&Material(TK_Color(250, 40, 10), 0.0, 90), &Material(TK_Color(20, 200, 60), 0.3, 30),
                                 &Material(TK_Color(90, 90, 250), 0.75, 200), &Material(TK_Color(255, 255, 0), 0.5)};
  MaterialMap& map = Lent(*pool[3]).m_transparency_map;
  map.bitmap = &holes;
  map.width_limit = map.height_limit = 2;
  map.filter = 0;

  std::mt19937 random(20261206);
  std::uniform_real_distribution<double> coordinate(-1, 1);
  std::vector<HitRecord> hits;
  int differing_flags = 0;
  for (int list = 0; list < 3000; ++list) {
    hits.clear();
    const int n = int(random() % 7);
    for (int i = 0; i < n; ++i) {
      HitRecord h = Hit(*pool[random() % 4], {coordinate(random), coordinate(random), -i - coordinate(random)},
                        UnitOf({coordinate(random), coordinate(random), 1.5}), int(random() % 3), i + 1.0);
      h.weights = TK_3fPoint(0.2f, 0.3f, 0.5f);
      h.texture_coordinates[1] = TK_2fPoint(float(coordinate(random)), float(coordinate(random)));
      h.texture_coordinates[2] = TK_2fPoint(float(coordinate(random)) * 3, 0.7f);
      hits.push_back(h);
    }
    const bool no_shadows = random() % 4 == 0, no_specular = random() % 4 == 0;
    const std::uint32_t expected = Recursive(shader, hits.data(), n, no_shadows, no_specular);
    ASSERT_EQ(shader.ShadeHits(hits.data(), n, no_shadows, no_specular), expected) << "list " << list;
    if (n > 1 && Recursive(shader, hits.data(), n, !no_shadows, no_specular) != expected) ++differing_flags;
  }
  EXPECT_GT(differing_flags, 100);  // the lists do exercise shadows
}

TEST_F(Compositing, AHundredThousandTransparentLayersNeedNoDeepStack) {
  shader.ambient = {0.6f, 0.3f, 0.9f};
  shader.background = {0, 1, 0};
  const MaterialEntry& glass = Material(TK_Color(255, 255, 255), 0.5);
  const MaterialEntry& stone = Material(TK_Color(255, 255, 255), 0.0);
  std::vector<HitRecord> hits(100000, Hit(glass, {0, 0, 0}, {0, 0, 1}));
  for (std::size_t i = 0; i < hits.size(); ++i) hits[i].mesh_index = int(i % 2);
  // Each layer halves the colour behind it: after a few dozen layers the
  // quantised result no longer changes, so a short stack gives the same.
  const std::uint32_t deep = Shade(hits);
  EXPECT_EQ(deep, Recursive(shader, hits.data(), 60, false, false));
  EXPECT_NE(deep, Recursive(shader, hits.data(), 1, false, false));

  // An opaque last hit: the quantised fold may settle elsewhere than over
  // the background, so compare with a short list ending the same way.
  hits.back().material = &stone;
  std::vector<HitRecord> tail(hits.end() - 60, hits.end());
  EXPECT_EQ(Shade(hits), Recursive(shader, tail.data(), 60, false, false));
}

}  // namespace
