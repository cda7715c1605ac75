// Pixel formats: the catalogue's classification, scoring and choice over
// descriptor lists made here, and the catalogue built from the machine's
// headless OpenGL.

#include <gtest/gtest.h>

#include "host/platform/GLDisplay.h"
#include "shadows/EglPixelFormats.h"
#include "shadows/PixelFormatCatalogue.h"

namespace {

constexpr std::uint32_t kAccelerated = PFD_SUPPORT_OPENGL | PFD_DRAW_TO_WINDOW | PFD_DOUBLEBUFFER;
constexpr std::uint32_t kGeneric = kAccelerated | PFD_GENERIC_FORMAT;
constexpr std::uint32_t kBitmap = PFD_SUPPORT_OPENGL | PFD_DRAW_TO_BITMAP | PFD_GENERIC_FORMAT;
constexpr std::uint32_t kWindow = PFD_SUPPORT_OPENGL | PFD_DRAW_TO_WINDOW;

PixelFormatDescriptor Descriptor(std::uint32_t flags, int color, int depth, int alpha = 0, int stencil = 0) {
  return {.flags = flags, .color_bits = color, .alpha_bits = alpha, .depth_bits = depth, .stencil_bits = stencil};
}

const PixelFormatBitmapTest kAnyBitmap = [](const PixelFormatRecord&, int) { return true; };

std::vector<int> Field(const std::vector<PixelFormatRecord>& catalogue, int PixelFormatRecord::*field) {
  std::vector<int> values;
  for (const PixelFormatRecord& r : catalogue) values.push_back(r.*field);
  return values;
}

TEST(PixelFormatCatalogue, EachDescriptorFallsInTheFirstClassItMeetsAndScoresByTheReference) {
  const struct { const char* what; PixelFormatDescriptor descriptor; int kind, score = 0; } cases[] = {  // kind -1: dropped
      {"the reference", Descriptor(kAccelerated | PFD_SWAP_COPY, 32, 16), 0, 60 + 15 + 15 + 6 + 4 + 2},
      {"accelerated: 2 a shared flag, 3 a colour byte", Descriptor(kAccelerated, 24, 24, 8, 8), 0, 60 + 6 + 9 + 2 + 1},
      {"generic with swap copy", Descriptor(kGeneric | PFD_SWAP_COPY, 32, 16), 1, 40 + 8 + 15 + 6 + 4 + 2},
      {"generic", Descriptor(kGeneric, 16, 32), 1, 40 + 6 + 6 + 2 + 4 + 2},
      {"bitmap: 4 per byte of closeness to the screen", Descriptor(kBitmap, 16, 16), 2, 30 + 2 + 8 + 6 + 4 + 2},
      {"bitmap far from the screen: -5 / 8 is 0", Descriptor(kBitmap, 69, 16), 2, 30 + 2 + 0 + 6 + 4 + 2},
      {"bitmap farther: -16 / 8", Descriptor(kBitmap, 80, 16), 2, 30 + 2 - 8 + 6 + 4 + 2},
      {"single-buffered window, shallow depth", Descriptor(kWindow, 32, 8), 3, 8 + 4 + 15 + 0 + 4 + 2},
      {"generic single-buffered window", Descriptor(kWindow | PFD_GENERIC_FORMAT, 16, 16), 3, 0 + 4 + 6 + 6 + 4 + 2},
      {"no OpenGL", Descriptor(kAccelerated & ~PFD_SUPPORT_OPENGL, 32, 16), -1},
      {"colour index", {.flags = kAccelerated, .pixel_type = PFD_TYPE_COLORINDEX, .color_bits = 32, .depth_bits = 16},
       -1},
      {"no depth buffer", Descriptor(kAccelerated, 32, 0), -1},
      {"too few colours", Descriptor(kAccelerated, 8, 16), -1},
      {"accelerated bitmap", Descriptor(kBitmap & ~PFD_GENERIC_FORMAT, 32, 16), -1},
      {"bitmap with swap copy", Descriptor(kBitmap | PFD_SWAP_COPY, 32, 16), -1},
      {"bitmap below 8 bits", Descriptor(kBitmap, 4, 16), -1},
      {"window depth below 8", Descriptor(kWindow, 32, 4), -1},
  };
  for (const auto& c : cases) {
    const std::vector<PixelFormatRecord> catalogue = ClassifyPixelFormats({c.descriptor}, kAnyBitmap, 32);
    ASSERT_EQ(catalogue.size(), c.kind < 0 ? 0u : 1u) << c.what;
    if (c.kind < 0) continue;
    EXPECT_EQ(std::tuple(catalogue[0].kind, catalogue[0].format_index, ScorePixelFormat(catalogue[0], 32)),
              std::tuple(c.kind, 1, c.score)) << c.what;
    // A bitmap format earns 5 more when it draws at its own depth (32 is tried first), else 2.
    EXPECT_EQ(catalogue[0].score, c.score + (c.kind != 2 ? 0 : c.descriptor.color_bits == 32 ? 5 : 2)) << c.what;
  }
}

TEST(PixelFormatCatalogue, KeepsTheBestThreeOfEachKindInKindOrderAndFallsBackOnTheFirst) {
  // Five formats of each kind scoring 1, 5, 12, 3 and 8 (depth, alpha and stencil terms).
  std::vector<PixelFormatDescriptor> list;
  for (const auto& [depth, alpha, stencil] : {std::tuple{8, 8, 8}, {24, 8, 0}, {16, 0, 0}, {24, 8, 8}, {24, 0, 0}})
    for (std::uint32_t flags : {kWindow, kBitmap, kGeneric, kAccelerated})
      list.push_back(Descriptor(flags, 32, depth, alpha, stencil));
  const std::vector<PixelFormatRecord> catalogue = ClassifyPixelFormats(list, kAnyBitmap, 32);
  EXPECT_EQ(Field(catalogue, &PixelFormatRecord::kind), (std::vector<int>{0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
  EXPECT_EQ(Field(catalogue, &PixelFormatRecord::format_index),  // one-based
            (std::vector<int>{12, 20, 8, 11, 19, 7, 10, 18, 6, 9, 17, 5}));
  // A missing kind falls back to the first record, none at all to index 0.
  const std::vector<PixelFormatRecord> generic_only = ClassifyPixelFormats(
      {Descriptor(kGeneric, 16, 16), Descriptor(kGeneric | PFD_SWAP_COPY, 32, 16), Descriptor(kGeneric, 24, 32, 8, 8)},
      kAnyBitmap, 32);
  for (int kind : {kAcceleratedDoubleBuffered, kGenericBitmap})
    EXPECT_EQ(FindPixelFormat(generic_only, kind).format_index, 2);
  EXPECT_EQ(FindPixelFormat(ClassifyPixelFormats({Descriptor(kAccelerated, 24, 16), Descriptor(kWindow, 32, 24)},
                                                 kAnyBitmap, 32), kSingleBufferedWindow).format_index, 2);
  EXPECT_EQ(FindPixelFormat({}, kGenericBitmap).format_index, 0);  // shadow maps take 0 as "none"
}

TEST(PixelFormatCatalogue, BitmapFormatsTakeTheFirstDepthThatDrawsAndLoseTenWithoutOne) {
  std::vector<std::pair<int, int>> calls;
  // 24-bit bitmaps draw for the first two formats, none for the third; tried best first at 32, 24, 16 bits.
  const PixelFormatBitmapTest test = [&calls](const PixelFormatRecord& record, int bits) {
    return calls.emplace_back(record.format_index, bits), record.format_index != 3 && bits == 24;
  };
  const std::vector<PixelFormatRecord> catalogue = ClassifyPixelFormats(
      {Descriptor(kBitmap, 24, 16), Descriptor(kBitmap, 32, 16), Descriptor(kBitmap, 16, 16)}, test, 32);
  EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{2, 32}, {2, 24}, {1, 32}, {1, 24}, {3, 32}, {3, 24}, {3, 16}}));
  EXPECT_EQ(Field(catalogue, &PixelFormatRecord::format_index), (std::vector<int>{2, 1, 3}));  // ranked again
  EXPECT_EQ(Field(catalogue, &PixelFormatRecord::bitmap_color_bits), (std::vector<int>{24, 24, 0}));
  std::vector<int> bonus;  // +5 at its own depth, +2 at another, -10 at none
  for (const PixelFormatRecord& r : catalogue) bonus.push_back(r.score - ScorePixelFormat(r, 32));
  EXPECT_EQ(bonus, (std::vector<int>{2, 5, -10}));
}

TEST(PixelFormatCatalogue, TheModuleCatalogueBuildsOnceFromTheDisplay) {
  EXPECT_TRUE(BuildPixelFormatCatalogue());
  const int count = PixelFormatCount();
  EXPECT_TRUE(BuildPixelFormatCatalogue() && PixelFormatCount() == count && count <= 12);
  const KvGLDisplay display;
  if (!display.IsValid()) GTEST_SKIP() << "no headless OpenGL display on this machine";
  ASSERT_EQ(DescribeEglPixelFormats(display).size(), display.Configs().size());
  EXPECT_FALSE(EglPixelFormatDrawsOffscreen(display, 0) ||
               EglPixelFormatDrawsOffscreen(display, int(display.Configs().size()) + 1));
  const PixelFormatRecord bitmap = FindPixelFormat(kGenericBitmap);
  if (bitmap.kind != kGenericBitmap) GTEST_SKIP() << "no software bitmap format here";
  EXPECT_TRUE(bitmap.format_index > 0 && bitmap.bitmap_color_bits == 32 &&
              EglPixelFormatDrawsOffscreen(display, bitmap.format_index));
}

}  // namespace
