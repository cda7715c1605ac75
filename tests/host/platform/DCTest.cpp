#include "host/platform/OruDib.h"

#include <gtest/gtest.h>

#include <climits>

#include "host/platform/DibPixels.h"

namespace {

// A distinct colour per pixel.
COLORREF Tag(int x, int y) { return MakeColorRef(std::uint8_t(x * 16 + y), std::uint8_t(y), 200); }

void FillTagged(COruDib& dib) {
  for (int y = 0; y < dib.Height(); ++y)
    for (int x = 0; x < dib.Width(); ++x) dib.DC().FillSolidRect(x, y, 1, 1, Tag(x, y));
}

void Checkerboard(COruDib& dib, int size) {
  ASSERT_TRUE(dib.CreateDib(size, size, 24, true, nullptr));
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      dib.DC().FillSolidRect(x, y, 1, 1, (x + y) % 2 ? MakeColorRef(255, 255, 255) : 0);
}

TEST(DC, FillSolidRectClipsAndKeepsRowPadding) {
  COruDib dib;
  ASSERT_TRUE(dib.CreateDib(3, 3, 24, true, nullptr));  // 9 bytes used, 3 padding per row
  for (int row = 0; row < 3; ++row)
    for (int pad = 9; pad < 12; ++pad) dib.FindDIBBits()[row * 12 + pad] = 0xAB;
  const COLORREF red = MakeColorRef(255, 0, 0);
  EXPECT_TRUE(dib.DC().FillSolidRect(-2, -1, 4, 3, red));  // covers columns 0-1, rows 0-1
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(dib, x, y), x < 2 && y < 2 ? red : 0u) << x << y;
  EXPECT_TRUE(dib.DC().FillSolidRect(INT_MAX - 1, INT_MIN, INT_MAX, INT_MAX, red));
  EXPECT_TRUE(dib.DC().FillSolidRect(1, 2, INT_MAX, INT_MAX, red));  // no overflow
  EXPECT_EQ(PixelAt(dib, 2, 2), red);
  EXPECT_EQ(PixelAt(dib, 0, 2), 0u);
  EXPECT_FALSE(dib.DC().FillSolidRect(0, 0, -1, 3, red));
  for (int row = 0; row < 3; ++row)
    for (int pad = 9; pad < 12; ++pad) EXPECT_EQ(dib.FindDIBBits()[row * 12 + pad], 0xAB);

  COruDib wide;  // 32 bits: the fourth byte is zeroed
  ASSERT_TRUE(wide.CreateDib(2, 1, 32, true, nullptr));
  wide.FindDIBBits()[3] = 0x77;
  wide.DC().FillSolidRect(0, 0, 2, 1, MakeColorRef(1, 2, 3));
  EXPECT_EQ(wide.FindDIBBits()[3], 0);
  EXPECT_EQ(wide.FindDIBBits()[2], 1);
}

TEST(DC, BitBltClipsToBothBitmapsInEveryFormat) {
  for (int srcBits : {24, 32})
    for (int dstBits : {24, 32}) {
      COruDib src, dst;
      ASSERT_TRUE(src.CreateDib(4, 3, srcBits, true, nullptr));
      ASSERT_TRUE(dst.CreateDib(5, 4, dstBits, true, nullptr));
      FillTagged(src);
      const COLORREF ground = MakeColorRef(9, 9, 9);
      dst.DC().FillSolidRect(0, 0, 5, 4, ground);
      // Hangs over the destination's top-left and the source's right edge.
      ASSERT_TRUE(dst.DC().BitBlt(-1, -1, 6, 4, &src.DC(), 1, 0, SRCCOPY));
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
          const int sx = x + 1 + 1, sy = y + 1;  // dest (x, y) shows source (x + 2, y + 1)
          const bool covered = x + 1 < 6 && y + 1 < 4 && sx < 4 && sy < 3;
          EXPECT_EQ(PixelAt(dst, x, y), covered ? Tag(sx, sy) : ground)
              << srcBits << "->" << dstBits << " at " << x << "," << y;
        }
    }
}

TEST(DC, BitBltOntoItselfCopiesTheOriginalPixels) {
  COruDib dib;
  ASSERT_TRUE(dib.CreateDib(4, 1, 24, true, nullptr));
  FillTagged(dib);
  ASSERT_TRUE(dib.DC().BitBlt(1, 0, 4, 1, &dib.DC(), 0, 0, SRCCOPY));
  EXPECT_EQ(PixelAt(dib, 0, 0), Tag(0, 0));
  for (int x = 1; x < 4; ++x) EXPECT_EQ(PixelAt(dib, x, 0), Tag(x - 1, 0));
}

TEST(DC, CopiesRefuseOtherOperationsAndUnselectedSources) {
  COruDib src, dst;
  ASSERT_TRUE(src.CreateDib(2, 2, 24, true, nullptr));
  ASSERT_TRUE(dst.CreateDib(2, 2, 24, true, nullptr));
  src.DC().FillSolidRect(0, 0, 2, 2, MakeColorRef(255, 255, 255));
  EXPECT_FALSE(dst.DC().BitBlt(0, 0, 2, 2, &src.DC(), 0, 0, 0x00EE0086));  // SRCPAINT
  EXPECT_FALSE(dst.DC().BitBlt(0, 0, 2, 2, nullptr, 0, 0, SRCCOPY));
  EXPECT_FALSE(dst.DC().StretchBlt(0, 0, 2, 2, &src.DC(), 0, 0, 0, 2, SRCCOPY));
  src.DCSelectBitmap(false);
  EXPECT_FALSE(dst.DC().BitBlt(0, 0, 2, 2, &src.DC(), 0, 0, SRCCOPY));
  EXPECT_FALSE(dst.DC().StretchBlt(0, 0, 2, 2, &src.DC(), 0, 0, 2, 2, SRCCOPY));
  EXPECT_EQ(PixelAt(dst, 0, 0), 0u);
}

TEST(DC, HalftoneAveragesACheckerboardToGrey) {
  for (int dstBits : {24, 32}) {
    COruDib board, small;
    Checkerboard(board, 8);
    ASSERT_TRUE(small.CreateDib(2, 2, dstBits, true, nullptr));
    small.DC().SetStretchBltMode(HALFTONE);
    ASSERT_TRUE(small.DC().StretchBlt(0, 0, 2, 2, &board.DC(), 0, 0, 8, 8, SRCCOPY));
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x) {
        const COLORREF c = PixelAt(small, x, y);
        for (int v : {GetRValue(c), GetGValue(c), GetBValue(c)}) EXPECT_NEAR(v, 127.5, 1.0);
      }
  }
}

TEST(DC, HalftoneWeighsPartlyCoveredPixels) {
  COruDib src, dst;
  ASSERT_TRUE(src.CreateDib(3, 1, 32, true, nullptr));
  for (int x = 0; x < 3; ++x) src.DC().FillSolidRect(x, 0, 1, 1, MakeColorRef(std::uint8_t(90 * x), 0, 0));
  ASSERT_TRUE(dst.CreateDib(2, 1, 24, true, nullptr));
  dst.DC().SetStretchBltMode(HALFTONE);
  ASSERT_TRUE(dst.DC().StretchBlt(0, 0, 2, 1, &src.DC(), 0, 0, 3, 1, SRCCOPY));
  EXPECT_EQ(GetRValue(PixelAt(dst, 0, 0)), 30);   // (0 + 90 / 2) / 1.5
  EXPECT_EQ(GetRValue(PixelAt(dst, 1, 0)), 150);  // (90 / 2 + 180) / 1.5
}

TEST(DC, HalftoneEdgesOutsideTheSourceDoNotDarken) {
  COruDib src, dst;
  ASSERT_TRUE(src.CreateDib(4, 4, 24, true, nullptr));
  const COLORREF tone = MakeColorRef(200, 100, 50);
  src.DC().FillSolidRect(0, 0, 4, 4, tone);
  ASSERT_TRUE(dst.CreateDib(3, 3, 24, true, nullptr));
  dst.DC().SetStretchBltMode(HALFTONE);
  // The source rectangle reaches 2 pixels past the right and bottom edges.
  ASSERT_TRUE(dst.DC().StretchBlt(0, 0, 3, 3, &src.DC(), 0, 0, 6, 6, SRCCOPY));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(dst, x, y), x < 2 && y < 2 ? tone : 0u) << x << y;
}

TEST(DC, NearestStretchIsTheDefaultAndKeepsPureColours) {
  COruDib board, small, large;
  EXPECT_EQ(small.DC().GetStretchBltMode(), COLORONCOLOR);
  EXPECT_EQ(small.DC().SetStretchBltMode(7), 0);  // unknown: refused, the old mode kept
  EXPECT_EQ(small.DC().SetStretchBltMode(COLORONCOLOR), COLORONCOLOR);
  Checkerboard(board, 8);
  ASSERT_TRUE(small.CreateDib(3, 3, 32, true, nullptr));
  ASSERT_TRUE(small.DC().StretchBlt(0, 0, 3, 3, &board.DC(), 0, 0, 8, 8, SRCCOPY));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) {
      const COLORREF c = PixelAt(small, x, y);
      EXPECT_TRUE(c == 0u || c == MakeColorRef(255, 255, 255)) << std::hex << c;
    }
  // Magnified 2x: each source pixel becomes a 2x2 block.
  ASSERT_TRUE(large.CreateDib(16, 16, 24, true, nullptr));
  ASSERT_TRUE(large.DC().StretchBlt(0, 0, 16, 16, &board.DC(), 0, 0, 8, 8, SRCCOPY));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(PixelAt(large, x, y), PixelAt(board, x / 2, y / 2));
}

TEST(DC, StretchBltClipsTheDestination) {
  COruDib src, dst;
  ASSERT_TRUE(src.CreateDib(2, 2, 24, true, nullptr));
  FillTagged(src);
  ASSERT_TRUE(dst.CreateDib(3, 3, 24, true, nullptr));
  for (int mode : {COLORONCOLOR, HALFTONE}) {
    dst.DC().SetStretchBltMode(mode);
    // 4x4 destination at (-2, 1): only its right half of rows 0-1 lands inside.
    ASSERT_TRUE(dst.DC().StretchBlt(-2, 1, 4, 4, &src.DC(), 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(PixelAt(dst, 0, 1), Tag(1, 0));
    EXPECT_EQ(PixelAt(dst, 1, 1), Tag(1, 0));
    EXPECT_EQ(PixelAt(dst, 0, 2), Tag(1, 0));
    EXPECT_EQ(PixelAt(dst, 2, 1), 0u);
    EXPECT_EQ(PixelAt(dst, 0, 0), 0u);
    ASSERT_TRUE(dst.DC().StretchBlt(INT_MIN, INT_MIN, INT_MAX, INT_MAX, &src.DC(), 0, 0, 2, 2,
                                    SRCCOPY));
  }
}

}  // namespace
