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

TEST(DC, FillSolidRectClipsAndKeepsRowPadding) {
  COruDib dib;
  ASSERT_TRUE(dib.CreateDib(3, 3, 24, true, nullptr));  // 9 bytes used, 3 padding per row
  for (int row = 0; row < 3; ++row)
    for (int pad = 9; pad < 12; ++pad) dib.FindDIBBits()[row * 12 + pad] = 0xAB;
  const COLORREF red = MakeColorRef(255, 0, 0);
  EXPECT_TRUE(dib.DC().FillSolidRect(-2, -1, 4, 3, red));  // covers columns 0-1, rows 0-1
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(dib, x, y), x < 2 && y < 2 ? red : 0u) << x << y;
  EXPECT_TRUE(dib.DC().FillSolidRect(INT_MAX - 1, INT_MIN, INT_MAX, INT_MAX, red) &&
              dib.DC().FillSolidRect(1, 2, INT_MAX, INT_MAX, red));  // no overflow
  EXPECT_EQ(std::pair(PixelAt(dib, 2, 2), PixelAt(dib, 0, 2)), std::pair(red, COLORREF(0)));
  EXPECT_FALSE(dib.DC().FillSolidRect(0, 0, -1, 3, red));
  for (int row = 0; row < 3; ++row)
    for (int pad = 9; pad < 12; ++pad) EXPECT_EQ(dib.FindDIBBits()[row * 12 + pad], 0xAB);

  COruDib wide;  // 32 bits: the fourth byte is zeroed
  ASSERT_TRUE(wide.CreateDib(2, 1, 32, true, nullptr));
  wide.FindDIBBits()[3] = 0x77;
  wide.DC().FillSolidRect(0, 0, 2, 1, MakeColorRef(1, 2, 3));
  EXPECT_TRUE(wide.FindDIBBits()[3] == 0 && wide.FindDIBBits()[2] == 1);
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

TEST(DC, HalftoneAveragesACheckerboardToGrey) {
  for (int dstBits : {24, 32}) {
    COruDib board, small;
    ASSERT_TRUE(board.CreateDib(8, 8, 24, true, nullptr));
    for (int i = 0; i < 64; ++i) board.DC().FillSolidRect(i % 8, i / 8, 1, 1, (i + i / 8) % 2 ? 0xFFFFFF : 0);
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

}  // namespace
