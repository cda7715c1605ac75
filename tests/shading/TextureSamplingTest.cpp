#include "shading/TextureSampling.h"

#include <gtest/gtest.h>

#include <cmath>

#include "host/platform/KavraDib.h"
#include "support/TempDir.h"
#include "shading/MaterialEntry.h"
#include "support/TexelImage.h"

namespace {

// A slot bound to `image` the way the material cache binds it.
MaterialMap Bound(const COruDib& image, int filter) {
  MaterialMap slot;
  slot.enabled = true;
  slot.filter = filter;
  slot.bitmap = &image;
  slot.width_limit = image.Width() - 2;
  slot.height_limit = image.Height() - 2;
  return slot;
}

// a (1 - ax)(1 - ay) + b ax (1 - ay) + c (1 - ax) ay + d ax ay, channel by channel.
Colour3f Weighted(Colour3f a, Colour3f b, Colour3f c, Colour3f d, float ax, float ay) {
  const float wa = (1 - ax) * (1 - ay), wb = ax * (1 - ay), wc = (1 - ax) * ay, wd = ax * ay;
  return {a.red * wa + b.red * wb + c.red * wc + d.red * wd, a.green * wa + b.green * wb + c.green * wc + d.green * wd,
          a.blue * wa + b.blue * wb + c.blue * wc + d.blue * wd};
}

void ExpectColour(const Colour3f& actual, const Colour3f& expected) {
  EXPECT_NEAR(actual.red, expected.red, 1e-6);
  EXPECT_NEAR(actual.green, expected.green, 1e-6);
  EXPECT_NEAR(actual.blue, expected.blue, 1e-6);
}

class Sampling : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(FillTexelImage(image, 6, 5)); }  // W' 4, H' 3; W1 5, H1 4
  COruDib image;
};

TEST_F(Sampling, NearestReadsTheTruncatedPixelAndWrapsOutside) {
  MaterialMap slot = Bound(image, 0);
  EXPECT_EQ(SampleMap(slot, {0.5, 0.5}), Texel(2, 1));    // trunc(4 x 0.5), trunc(0.5 x 3)
  EXPECT_EQ(SampleMap(slot, {1.0, 1.0}), Texel(4, 3));    // u = 1 reaches W', never the last column
  EXPECT_EQ(SampleMap(slot, {1.5, 0.0}), Texel(3, 0));    // 6 > 4: 6 mod 4 + 1
  EXPECT_EQ(SampleMap(slot, {-0.75, -0.5}), Texel(4, 2));  // -3: 3 mod 4 + 1; -1: 1 mod 3 + 1
  EXPECT_EQ(SampleMap(slot, {-0.25, 0.0}), Texel(2, 0));  // -1 mirrors to 2, not 1

  slot.tiling_u = 2.0;  // 0.75 x 2 x 4 = 6 wraps to 3: the image repeats
  EXPECT_EQ(SampleMap(slot, {0.75, 0.0}), Texel(3, 0));
  EXPECT_EQ(SampleMap(slot, {0.25, 0.0}), Texel(2, 0));

  slot.tiling_u = 1.0;  // offsets count in pixels
  slot.offset_u = 1.0;
  slot.offset_v = 2.0;
  EXPECT_EQ(SampleMap(slot, {0.25, 0.0}), Texel(2, 2));
  EXPECT_EQ(SampleMap(slot, {1.0, 0.5}), Texel(2, 3));  // 5 mod 4 + 1 = 2; trunc(3.5) = 3
}

TEST_F(Sampling, FilteredBlendsFourPixelsWithTheFilteredWrap) {
  const MaterialMap slot = Bound(image, 1);
  // fx 2.5, fy 2: halfway between columns 2 and 3 on row 2.
  ExpectColour(SampleMap(slot, {0.5, 0.5}), Weighted(Texel(2, 2), Texel(3, 2), Texel(2, 3), Texel(3, 3), 0.5f, 0.0f));
  // fx 2.5, fy 1.25.
  ExpectColour(SampleMap(slot, {0.5, 0.3125}),
               Weighted(Texel(2, 1), Texel(3, 1), Texel(2, 2), Texel(3, 2), 0.5f, 0.25f));
  // u = 1 reaches the last column W1 = 5.
  ExpectColour(SampleMap(slot, {1.0, 0.0}), Texel(5, 0));
  // x0 = W1 = 5 stays, x1 = 6 wraps to 1 (not 0).
  ExpectColour(SampleMap(slot, {1.1, 0.0}), Weighted(Texel(5, 0), Texel(1, 0), Texel(5, 1), Texel(1, 1), 0.5f, 0.0f));
  // fx -3 mirrors to 3 mod 5 = 3 (no + 1 in this form).
  ExpectColour(SampleMap(slot, {-0.6, 0.0}), Texel(3, 0));
  // fx -3.5: x0 -3 -> 3, x1 -2 -> 2, and the fraction -0.5 extrapolates.
  ExpectColour(SampleMap(slot, {-0.7, 0.0}), Weighted(Texel(3, 0), Texel(2, 0), Texel(3, 1), Texel(2, 1), -0.5f, 0.0f));
  // fx -0.5 truncates to 0: 1.5 of column 0 less 0.5 of column 1.
  ExpectColour(SampleMap(slot, {-0.1, 0.0}), Weighted(Texel(0, 0), Texel(1, 0), Texel(0, 1), Texel(1, 1), -0.5f, 0.0f));

  MaterialMap shifted = slot;  // tiling 2 and a one-pixel offset: fx 2 x 5 x 0.55 + 1 = 6.5 -> 1, 2
  shifted.tiling_u = 2.0;
  shifted.offset_u = 1.0;
  shifted.offset_v = 2.0;  // fy 2
  ExpectColour(SampleMap(shifted, {0.55, 0.0}),
               Weighted(Texel(1, 2), Texel(2, 2), Texel(1, 3), Texel(2, 3), 0.5f, 0.0f));
}

TEST(SamplingNeighbours, NearestReadsTheFourAdjacentPixelsUnwrapped) {
  COruDib image;
  ASSERT_TRUE(FillTexelImage(image, 6, 6));  // W' = H' = 4
  const MaterialMap slot = Bound(image, 0);
  Colour3f left, down, right, up;
  SampleMapNeighbours(slot, {0.5, 0.5}, left, down, right, up);
  EXPECT_EQ(left, Texel(1, 2));
  EXPECT_EQ(down, Texel(2, 1));
  EXPECT_EQ(right, Texel(3, 2));
  EXPECT_EQ(up, Texel(2, 3));

  // At u = v = 1 the right and upper neighbours are the last column and row.
  SampleMapNeighbours(slot, {1.0, 1.0}, left, down, right, up);
  EXPECT_EQ(right, Texel(5, 4));
  EXPECT_EQ(up, Texel(4, 5));

  // Column and row -1 lie outside: the caller's preset survives there.
  const Colour3f preset{0.25f, 0.5f, 0.75f};
  left = down = right = up = preset;
  SampleMapNeighbours(slot, {0.0, 0.0}, left, down, right, up);
  EXPECT_EQ(left, preset);
  EXPECT_EQ(down, preset);
  EXPECT_EQ(right, Texel(1, 0));
  EXPECT_EQ(up, Texel(0, 1));
}

TEST(SamplingNeighbours, FilteredSamplesTwoPixelsAwayAtTheNearestScale) {
  COruDib image;
  ASSERT_TRUE(FillTexelImage(image, 6, 6));  // W' = H' = 4, W1 = H1 = 5
  const MaterialMap slot = Bound(image, 1);
  Colour3f left, down, right, up;
  // Nearest x = y = 2; left (0, 0.5) -> fx 0, fy 2.5; right (1, 0.5) -> fx 5;
  // down (0.5, 0) -> fx 2.5, fy 0; up (0.5, 1) -> fy 5.
  SampleMapNeighbours(slot, {0.5, 0.5}, left, down, right, up);
  ExpectColour(left, Weighted(Texel(0, 2), Texel(1, 2), Texel(0, 3), Texel(1, 3), 0.0f, 0.5f));
  ExpectColour(right, Weighted(Texel(5, 2), Texel(1, 2), Texel(5, 3), Texel(1, 3), 0.0f, 0.5f));
  ExpectColour(down, Weighted(Texel(2, 0), Texel(3, 0), Texel(2, 1), Texel(3, 1), 0.5f, 0.0f));
  ExpectColour(up, Weighted(Texel(2, 5), Texel(3, 5), Texel(2, 1), Texel(3, 1), 0.5f, 0.0f));
}

TEST(SamplingLimits, ImagesBelowThreePixelsAreLeftUnbound) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  const auto write = [&](const char* name, int w, int h) {
    CKavraDib image;
    ASSERT_TRUE(image.CreateDib(w, h, 24, true, nullptr));
    ASSERT_TRUE(image.WriteToFile(TK_wString::FromUtf8((dir / name).string())));
  };
  write("narrow.bmp", 2, 5);
  write("low.bmp", 5, 2);
  write("least.bmp", 3, 3);
  auto material = std::make_unique<CRenderMaterial>();
  const auto use = [&](MaterialMap& slot, const char* name) {
    slot.enabled = true;
    slot.file_name = TK_wString::FromUtf8((dir / name).string());
  };
  use(material->m_texture_map, "narrow.bmp");
  use(material->m_bump_map, "low.bmp");
  use(material->m_specular_map, "least.bmp");
  MaterialEntry entry(std::move(material));
  for (int s : {CRenderMaterial::texture_slot, CRenderMaterial::bump_slot}) {
    const MaterialMap& slot = entry.Material()->Map(s);
    EXPECT_EQ(slot.bitmap, nullptr);
    EXPECT_EQ(slot.width_limit, 0);
    EXPECT_EQ(slot.height_limit, 0);
  }
  const MaterialMap& least = entry.Material()->m_specular_map;
  ASSERT_NE(least.bitmap, nullptr);
  EXPECT_EQ(least.width_limit, 1);
  EXPECT_EQ(least.height_limit, 1);
}

TEST(SamplingLimits, AnUnusableSlotGivesBlackAndKeepsThePresets) {
  COruDib image;
  ASSERT_TRUE(FillTexelImage(image, 2, 2));
  for (int filter : {0, 1}) {
    MaterialMap slot = Bound(image, filter);  // limits 0: every wrap would divide by zero
    EXPECT_EQ(SampleMap(slot, {1.5, -2.0}), Colour3f{});
    const Colour3f preset{0.5f, 0.5f, 0.5f};
    Colour3f left = preset, down = preset, right = preset, up = preset;
    SampleMapNeighbours(slot, {0.5, 0.5}, left, down, right, up);
    EXPECT_EQ(left, preset);
    EXPECT_EQ(up, preset);
    slot.bitmap = nullptr;
    slot.width_limit = slot.height_limit = 4;
    EXPECT_EQ(SampleMap(slot, {0.5, 0.5}), Colour3f{});
  }
}

TEST(SamplingLimits, TheSmallestImageAndWildCoordinatesStayInside) {
  COruDib image;
  ASSERT_TRUE(FillTexelImage(image, 3, 3));  // limits 1
  const MaterialMap nearest = Bound(image, 0);
  EXPECT_EQ(SampleMap(nearest, {2.5, 0.0}), Texel(1, 0));  // 2 mod 1 + 1
  // Positions beyond int range are pinned before truncation, then wrapped.
  EXPECT_EQ(SampleMap(nearest, {1e300, 0.5}), Texel(1, 0));
  EXPECT_EQ(SampleMap(nearest, {-1e300, 0.5}), Texel(1, 0));
  EXPECT_EQ(SampleMap(nearest, {std::nan(""), 0.5}), Texel(0, 0));
  // A large position within range wraps exactly: 2 x 3e8 = 6e8 mod 2 = 0.
  const MaterialMap filtered = Bound(image, 1);
  ExpectColour(SampleMap(filtered, {3e8, 0.0}), Texel(0, 0));
}

}  // namespace
