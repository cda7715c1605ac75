// Classification and scoring of pixel formats over descriptor lists made
// here, and the catalogue built on the machine's headless OpenGL.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "shadows/PixelFormatCatalogue.h"

namespace {

constexpr std::uint32_t kAccelerated = PFD_SUPPORT_OPENGL | PFD_DRAW_TO_WINDOW | PFD_DOUBLEBUFFER;
constexpr std::uint32_t kGeneric = kAccelerated | PFD_GENERIC_FORMAT;
constexpr std::uint32_t kBitmap = PFD_SUPPORT_OPENGL | PFD_DRAW_TO_BITMAP | PFD_GENERIC_FORMAT;
constexpr std::uint32_t kSingleWindow = PFD_SUPPORT_OPENGL | PFD_DRAW_TO_WINDOW;

PixelFormatDescriptor Descriptor(std::uint32_t flags, int color, int depth, int alpha = 0, int stencil = 0) {
  PixelFormatDescriptor d;
  d.flags = flags;
  d.color_bits = color;
  d.depth_bits = depth;
  d.alpha_bits = alpha;
  d.stencil_bits = stencil;
  return d;
}

PixelFormatRecord Record(int kind, std::uint32_t flags, int color, int depth, int alpha = 0, int stencil = 0) {
  PixelFormatRecord r;
  r.kind = kind;
  r.flags = std::int32_t(flags);
  r.color_bits = color;
  r.depth_bits = depth;
  r.alpha_bits = alpha;
  r.stencil_bits = stencil;
  return r;
}

const PixelFormatBitmapTest kAnyBitmap = [](const PixelFormatRecord&, int) { return true; };

std::vector<int> Kinds(const std::vector<PixelFormatRecord>& catalogue) {
  std::vector<int> kinds;
  for (const PixelFormatRecord& r : catalogue) kinds.push_back(r.kind);
  return kinds;
}

}  // namespace

TEST(PixelFormatScore, ReferenceFormatScoresEveryTerm) {
  EXPECT_EQ(ScorePixelFormat(Record(0, kReferencePixelFormatFlags, 32, 16), 32), 60 + 15 + 15 + 6 + 4 + 2);
  // Other flags: two per bit shared with the reference; 24 of 32 colour
  // bits: three per byte; deeper depth, alpha and stencil score less.
  EXPECT_EQ(ScorePixelFormat(Record(0, kAccelerated, 24, 24, 8, 8), 32), 60 + 2 * 3 + 9 + 2 + 1 + 0);
  EXPECT_EQ(ScorePixelFormat(Record(1, kGeneric, 8, 0), 32), 40 + 2 * 3 + 1 + 0 + 4 + 2);
}

TEST(PixelFormatScore, KindsAndBitmapColourTerm) {
  EXPECT_EQ(ScorePixelFormat(Record(3, kSingleWindow, 32, 16), 32), 8 + 4 + 15 + 6 + 4 + 2);
  EXPECT_EQ(ScorePixelFormat(Record(3, kSingleWindow | PFD_GENERIC_FORMAT, 32, 16), 32), 0 + 4 + 15 + 6 + 4 + 2);
  // Bitmap formats score by their distance from the screen depth.
  EXPECT_EQ(ScorePixelFormat(Record(2, kBitmap, 16, 16), 32), 30 + 2 + 4 * 2 + 6 + 4 + 2);
  EXPECT_EQ(ScorePixelFormat(Record(2, kBitmap, 24, 16), 32), 30 + 2 + 4 * 3 + 6 + 4 + 2);
  // Far from it the quotient is negative and truncates towards zero: -5 / 8 is 0.
  EXPECT_EQ(ScorePixelFormat(Record(2, kBitmap, 69, 16), 32), 30 + 2 + 0 + 6 + 4 + 2);
  EXPECT_EQ(ScorePixelFormat(Record(2, kBitmap, 80, 16), 32), 30 + 2 - 4 * 2 + 6 + 4 + 2);
}

TEST(PixelFormatCatalogue, EmptyAndUnusableFormatsGiveAnEmptyCatalogue) {
  EXPECT_TRUE(ClassifyPixelFormats({}, kAnyBitmap, 32).empty());
  PixelFormatDescriptor colour_index = Descriptor(kAccelerated, 32, 16);
  colour_index.pixel_type = PFD_TYPE_COLORINDEX;
  const std::vector<PixelFormatDescriptor> unusable = {
      Descriptor(kAccelerated & ~PFD_SUPPORT_OPENGL, 32, 16),   // no OpenGL
      colour_index,
      Descriptor(kAccelerated, 32, 0),                           // no depth buffer
      Descriptor(kAccelerated, 8, 16),                           // too few colours
      Descriptor(kBitmap & ~PFD_GENERIC_FORMAT, 32, 16),         // accelerated bitmap
      Descriptor(kBitmap | PFD_SWAP_COPY, 32, 16),               // bitmap with swap copy
      Descriptor(kBitmap, 4, 16),                                // bitmap below 8 bits
      Descriptor(kSingleWindow, 32, 4),                          // window depth below 8
  };
  const std::vector<PixelFormatRecord> catalogue = ClassifyPixelFormats(unusable, kAnyBitmap, 32);
  EXPECT_TRUE(catalogue.empty());
  // No format at all: index 0, which shadow maps take as "none".
  EXPECT_EQ(FindPixelFormat(catalogue, kGenericBitmap).format_index, 0);
  EXPECT_EQ(FindPixelFormat(catalogue, kAcceleratedDoubleBuffered).format_index, 0);
}

TEST(PixelFormatCatalogue, ClassifiesKindsInOrderWithOneBasedIndices) {
  const std::vector<PixelFormatDescriptor> list = {
      Descriptor(kSingleWindow, 32, 16),                 // 1: kind 3
      Descriptor(kBitmap, 32, 16),                       // 2: kind 2
      Descriptor(kGeneric | PFD_SWAP_COPY, 32, 16),      // 3: kind 1
      Descriptor(kAccelerated, 32, 24),                  // 4: kind 0
  };
  const std::vector<PixelFormatRecord> catalogue = ClassifyPixelFormats(list, kAnyBitmap, 32);
  ASSERT_EQ(catalogue.size(), 4u);
  EXPECT_EQ(Kinds(catalogue), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(catalogue[0].format_index, 4);
  EXPECT_EQ(catalogue[1].format_index, 3);
  EXPECT_EQ(catalogue[2].format_index, 2);
  EXPECT_EQ(catalogue[3].format_index, 1);
  EXPECT_EQ(catalogue[0].depth_bits, 24);
  EXPECT_EQ(catalogue[0].flags, std::int32_t(kAccelerated));
  // Other kinds keep their colour bits as bitmap colour bits.
  EXPECT_EQ(catalogue[0].bitmap_color_bits, 32);
  EXPECT_EQ(catalogue[3].bitmap_color_bits, 32);
  EXPECT_EQ(catalogue[0].score, ScorePixelFormat(catalogue[0], 32));
}

TEST(PixelFormatCatalogue, GenericOnlySystemFallsBackToBestGenericFormat) {
  const std::vector<PixelFormatDescriptor> list = {
      Descriptor(kGeneric, 16, 16),
      Descriptor(kGeneric | PFD_SWAP_COPY, 32, 16),  // best: swap copy, screen depth
      Descriptor(kGeneric, 24, 32, 8, 8),
  };
  const std::vector<PixelFormatRecord> catalogue = ClassifyPixelFormats(list, kAnyBitmap, 32);
  ASSERT_EQ(catalogue.size(), 3u);
  EXPECT_EQ(Kinds(catalogue), (std::vector<int>{1, 1, 1}));
  const PixelFormatRecord found = FindPixelFormat(catalogue, kAcceleratedDoubleBuffered);
  EXPECT_EQ(found.kind, kGenericDoubleBuffered);
  EXPECT_EQ(found.format_index, 2);
  // No bitmap kind either: the same first record.
  EXPECT_EQ(FindPixelFormat(catalogue, kGenericBitmap).format_index, 2);
}

TEST(PixelFormatCatalogue, AcceleratedOnlySystemHasNoGenericKinds) {
  const std::vector<PixelFormatDescriptor> list = {
      Descriptor(kAccelerated, 24, 16),
      Descriptor(kAccelerated | PFD_SWAP_COPY, 32, 16),
      Descriptor(kSingleWindow, 32, 24),
  };
  const std::vector<PixelFormatRecord> catalogue = ClassifyPixelFormats(list, kAnyBitmap, 32);
  EXPECT_EQ(Kinds(catalogue), (std::vector<int>{0, 0, 3}));
  // The swap-copy format (class 1) and the other (class 2) share one list,
  // ranked by score.
  EXPECT_EQ(catalogue[0].format_index, 2);
  EXPECT_EQ(FindPixelFormat(catalogue, kGenericBitmap).format_index, 2);
  EXPECT_EQ(FindPixelFormat(catalogue, kSingleBufferedWindow).format_index, 3);
}

TEST(PixelFormatCatalogue, KeepsAtMostThreeBestPerKind) {
  std::vector<PixelFormatDescriptor> list;
  for (int depth : {8, 16, 24, 32, 64}) {
    list.push_back(Descriptor(kAccelerated, 32, depth));
    list.push_back(Descriptor(kGeneric, 32, depth));
    list.push_back(Descriptor(kBitmap, 32, depth));
    list.push_back(Descriptor(kSingleWindow, 32, depth));
  }
  const std::vector<PixelFormatRecord> catalogue = ClassifyPixelFormats(list, kAnyBitmap, 32);
  ASSERT_EQ(catalogue.size(), 12u);
  EXPECT_EQ(Kinds(catalogue), (std::vector<int>{0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
  for (int group = 0; group < 4; ++group) {
    // Depth 16 scores best; the rest follow, never better than the one before.
    EXPECT_EQ(catalogue[std::size_t(group * 3)].depth_bits, 16) << "kind " << group;
    for (int i = 1; i < 3; ++i)
      EXPECT_GE(catalogue[std::size_t(group * 3 + i - 1)].score, catalogue[std::size_t(group * 3 + i)].score);
    // Depth 8 scores least of all kinds that accept it and is left out.
    for (int i = 0; i < 3; ++i) EXPECT_NE(catalogue[std::size_t(group * 3 + i)].depth_bits, 8);
  }
}

TEST(PixelFormatCatalogue, BitmapTestPicksFirstWorkingDepth) {
  const std::vector<PixelFormatDescriptor> list = {Descriptor(kBitmap, 24, 16), Descriptor(kBitmap, 32, 16),
                                                   Descriptor(kBitmap, 16, 16)};
  std::vector<std::pair<int, int>> calls;
  // Only 24-bit bitmaps work for the first two formats; none for the third.
  const PixelFormatBitmapTest test = [&calls](const PixelFormatRecord& record, int bits) {
    calls.emplace_back(record.format_index, bits);
    return record.format_index != 3 && bits == 24;
  };
  const std::vector<PixelFormatRecord> catalogue = ClassifyPixelFormats(list, test, 32);
  ASSERT_EQ(catalogue.size(), 3u);
  // Best score first (32 bits, then 24, then 16 colour bits); depths in the
  // order 32, 24, 16 until one works.
  EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{2, 32}, {2, 24}, {1, 32}, {1, 24}, {3, 32}, {3, 24}, {3, 16}}));
  auto by_index = [&catalogue](int index) {
    return *std::find_if(catalogue.begin(), catalogue.end(),
                         [index](const PixelFormatRecord& r) { return r.format_index == index; });
  };
  const PixelFormatRecord own_depth = by_index(1), other_depth = by_index(2), none = by_index(3);
  EXPECT_EQ(own_depth.bitmap_color_bits, 24);
  EXPECT_EQ(own_depth.score, ScorePixelFormat(own_depth, 32) + 5);
  EXPECT_EQ(other_depth.bitmap_color_bits, 24);
  EXPECT_EQ(other_depth.score, ScorePixelFormat(other_depth, 32) + 2);
  // A bitmap format that takes no depth keeps 0 and loses 10.
  EXPECT_EQ(none.bitmap_color_bits, 0);
  EXPECT_EQ(none.score, ScorePixelFormat(none, 32) - 10);
  EXPECT_EQ(catalogue.back().format_index, 3);
}

TEST(PixelFormatCatalogue, BitmapFormatsThatCannotRankAreNotTried) {
  // Four strong bitmap formats (depth 16) and three weak ones (colour bits
  // far from the screen depth, no depth bonus, alpha, stencil).
  std::vector<PixelFormatDescriptor> list;
  for (int i = 0; i < 3; ++i) list.push_back(Descriptor(kBitmap, 8, 24, 8, 8));
  for (int i = 0; i < 4; ++i) list.push_back(Descriptor(kBitmap, 32, 16));
  int tries = 0;
  const PixelFormatBitmapTest test = [&tries](const PixelFormatRecord& record, int) {
    ++tries;
    return record.format_index != 4;  // the first strong one takes no depth
  };
  const std::vector<PixelFormatRecord> catalogue = ClassifyPixelFormats(list, test, 32);
  ASSERT_EQ(catalogue.size(), 3u);
  for (const PixelFormatRecord& r : catalogue) {
    EXPECT_EQ(r.color_bits, 32);
    EXPECT_NE(r.format_index, 4);
    EXPECT_EQ(r.bitmap_color_bits, 32);
  }
  // The failing one takes three tries, the other strong ones one each; the
  // weak ones (a score below the third best even with the bonus) none.
  EXPECT_EQ(tries, 3 + 3);
}

TEST(PixelFormatCatalogue, FailedBitmapFormatLosesItsPlace) {
  // Two formats that draw and one better one that does not: after the test
  // the failing one falls behind both, still kept as the third.
  const std::vector<PixelFormatDescriptor> list = {Descriptor(kBitmap, 32, 16), Descriptor(kBitmap, 24, 16),
                                                   Descriptor(kBitmap, 24, 24)};
  const PixelFormatBitmapTest test = [](const PixelFormatRecord& record, int) { return record.format_index != 1; };
  const std::vector<PixelFormatRecord> catalogue = ClassifyPixelFormats(list, test, 32);
  ASSERT_EQ(catalogue.size(), 3u);
  EXPECT_EQ(catalogue[0].format_index, 2);
  EXPECT_EQ(catalogue[1].format_index, 3);
  EXPECT_EQ(catalogue[2].format_index, 1);
}
