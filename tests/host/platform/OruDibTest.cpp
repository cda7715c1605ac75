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
    EXPECT_EQ(p[0], 30);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);
    float r, g, b;
    ASSERT_TRUE(dib.GetPixel(3, 4 - 1 - 1, r, g, b));  // memory row from the bottom
    EXPECT_FLOAT_EQ(r, 10 / 255.0f);
    EXPECT_FLOAT_EQ(g, 20 / 255.0f);
    EXPECT_FLOAT_EQ(b, 30 / 255.0f);
    ASSERT_TRUE(dib.GetPixel(3, 1, r, g, b));  // the mirrored row is untouched
    EXPECT_EQ(r + g + b, 0.0f);
  }
}

TEST(OruDib, GetPixelGivesFractionsAndBlackOutside) {
  COruDib dib;
  ASSERT_TRUE(dib.CreateDib(2, 2, 24, true, nullptr));
  unsigned char* p = dib.FindDIBBits() + dib.GetStorageWidth() + 3;  // column 1, memory row 1
  p[0] = 51;
  p[1] = 102;
  p[2] = 255;
  float r = -1, g = -1, b = -1;
  ASSERT_TRUE(dib.GetPixel(1, 1, r, g, b));
  EXPECT_FLOAT_EQ(r, 1.0f);
  EXPECT_FLOAT_EQ(g, 0.4f);
  EXPECT_FLOAT_EQ(b, 0.2f);
  for (auto [x, y] : {std::pair{-1, 0}, {2, 0}, {0, -1}, {0, 2}, {1 << 30, 1}}) {
    r = g = b = 0.5f;
    EXPECT_FALSE(dib.GetPixel(x, y, r, g, b));
    EXPECT_EQ(r + g + b, 0.0f);
  }
  COruDib empty;
  r = 1;
  EXPECT_FALSE(empty.GetPixel(0, 0, r, g, b));
  EXPECT_EQ(r, 0.0f);
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
    EXPECT_FALSE(dib.HasPixels());
    EXPECT_EQ(dib.FindDIBBits(), nullptr);
    EXPECT_EQ(dib.Width() + dib.Height() + dib.GetStorageWidth(), 0);
    EXPECT_FALSE(dib.DC().IsSelected());
  }
}

TEST(OruDib, RecreatingTheSameSizeKeepsStorageAndClearsOnRequest) {
  COruDib dib;
  ASSERT_TRUE(dib.CreateDib(3, 2, 32, true, nullptr));
  const unsigned char* storage = dib.FindDIBBits();
  dib.DC().FillSolidRect(0, 0, 3, 2, MakeColorRef(1, 2, 3));
  ASSERT_TRUE(dib.CreateDib(3, 2, 32, false, nullptr));
  EXPECT_EQ(dib.FindDIBBits(), storage);
  EXPECT_EQ(dib.FindDIBBits()[0], 3);  // kept without clearing
  ASSERT_TRUE(dib.CreateDib(3, 2, 32, true, nullptr));
  EXPECT_EQ(dib.FindDIBBits(), storage);
  for (std::size_t i = 0; i < dib.StorageBytes(); ++i) ASSERT_EQ(dib.FindDIBBits()[i], 0);
  ASSERT_TRUE(dib.CreateDib(7, 5, 24, false, nullptr));  // new storage is zeroed anyway
  for (std::size_t i = 0; i < dib.StorageBytes(); ++i) ASSERT_EQ(dib.FindDIBBits()[i], 0);
}

TEST(OruDib, SurfaceDrawsOnlyWhileSelected) {
  COruDib dib;
  EXPECT_FALSE(dib.DCSelectBitmap(true));  // nothing to select
  ASSERT_TRUE(dib.CreateDib(2, 2, 24, true, nullptr));
  EXPECT_TRUE(dib.DC().IsSelected());
  EXPECT_FALSE(dib.DCSelectBitmap(false));
  EXPECT_FALSE(dib.DC().FillSolidRect(0, 0, 2, 2, MakeColorRef(255, 255, 255)));
  EXPECT_EQ(dib.FindDIBBits()[0], 0);
  EXPECT_TRUE(dib.DCSelectBitmap(true));
  EXPECT_TRUE(dib.DC().FillSolidRect(0, 0, 2, 2, MakeColorRef(255, 255, 255)));
  EXPECT_EQ(dib.FindDIBBits()[0], 255);
  dib.DestroyDib();
  EXPECT_FALSE(dib.HasPixels());
  EXPECT_FALSE(dib.DC().FillSolidRect(0, 0, 2, 2, 0));
}

TEST(ColorRef, PacksRedLowThenGreenThenBlue) {
  EXPECT_EQ(MakeColorRef(0x12, 0x34, 0x56), 0x563412u);
  EXPECT_EQ(GetRValue(0x563412), 0x12);
  EXPECT_EQ(GetGValue(0x563412), 0x34);
  EXPECT_EQ(GetBValue(0x563412), 0x56);
}

}  // namespace
