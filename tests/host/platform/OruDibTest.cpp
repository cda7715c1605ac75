#include "host/platform/OruDib.h"

#include <gtest/gtest.h>

#include "host/platform/DibPixels.h"

namespace {

TEST(OruDib, RowsArePaddedToFourBytesAndTheTopImageRowIsLastInMemory) {
  const struct { int width, bits, stride; } rows[] = {{5, 24, 16}, {5, 32, 20}, {4, 24, 12}};
  for (const auto& r : rows) {
    COruDib dib;
    ASSERT_TRUE(dib.CreateDib(r.width, 3, r.bits, true, nullptr));
    EXPECT_EQ(dib.GetStorageWidth(), r.stride) << r.width << "x" << r.bits;
    EXPECT_EQ(dib.StorageBytes(), 3u * r.stride);
  }
  for (int bits : {24, 32}) {
    COruDib dib;
    ASSERT_TRUE(dib.CreateDib(5, 4, bits, true, nullptr));
    // Drawing is top-down; the pixel bytes are bottom-up, blue first.
    ASSERT_TRUE(dib.DC().FillSolidRect(3, 1, 1, 1, MakeColorRef(10, 20, 30)));
    const unsigned char* p = dib.FindDIBBits() + (4 - 1 - 1) * dib.GetStorageWidth() + 3 * bits / 8;
    EXPECT_EQ(std::tuple(p[0], p[1], p[2]), std::tuple(30, 20, 10));
    float r, g, b;
    ASSERT_TRUE(dib.GetPixel(3, 4 - 1 - 1, r, g, b));  // memory row from the bottom
    EXPECT_FLOAT_EQ(r, 10 / 255.0f);
    EXPECT_FLOAT_EQ(g, 20 / 255.0f);
    EXPECT_FLOAT_EQ(b, 30 / 255.0f);
    ASSERT_TRUE(dib.GetPixel(3, 1, r, g, b));  // the mirrored row is untouched
    EXPECT_EQ(r + g + b, 0.0f);
  }
}

TEST(OruDib, BadCreationLeavesTheBitmapEmpty) {
  int palette[256] = {};
  const struct {
    int w, h, bits;
    const void* palette;
  } bad[] = {{0, 4, 24, nullptr},  {4, -1, 32, nullptr}, {4, 4, 8, nullptr},
             {4, 4, 16, nullptr},  {4, 4, 24, palette},  {COruDib::kMaxSide + 1, 1, 24, nullptr},
             {60000, 60000, 32, nullptr}};  // 14 GB: beyond the storage cap
  for (const auto& c : bad) {
    COruDib dib;
    ASSERT_TRUE(dib.CreateDib(3, 3, 32, true, nullptr));
    EXPECT_FALSE(dib.CreateDib(c.w, c.h, c.bits, true, c.palette)) << c.w << "x" << c.h;
    EXPECT_TRUE(!dib.HasPixels() && !dib.FindDIBBits() && !dib.DC().IsSelected());
    EXPECT_EQ(dib.Width() + dib.Height() + dib.GetStorageWidth(), 0);
  }
}

}  // namespace
