// The pixel loops fed synthetic samples: each level's filter in closed form,
// the rows cast per band, aborts between bands, and the same image and
// progress from any number of threads.

#include "engine/PixelLoops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "engine/Sampling.h"

namespace {

// The sample at oversampled column x, row y: each differs from its neighbours in every channel,
// coverage (the top byte) included when the loop filters it.
std::uint32_t Sample(int x, int y, bool coverage = false) {
  return std::uint32_t((17 * x * y + 7 * x + 3 * y) % 256 | (5 * x + 29 * y + 60) % 256 << 8 |
                       (37 * x + 11 * y + 3) % 256 << 16 | (coverage ? (13 * x + 23 * y) % 256 << 24 : 0));
}

constexpr std::uint32_t kUntouched = 0xDEADBEEF;

struct LoopRun {
  LoopRun(int level, int width, int height, int band_height) : sizes{width, height, level, band_height} {
    image.assign(std::size_t(width) * std::size_t(height), kUntouched);
  }
  RenderStatus Go(int abort_at_announcement = -1, int refuse_band = -1) {
    const int factor = OversampleFactor(sizes.level);
    const PixelLoopStage stage{
        [&](int first, int count) {
          bands.emplace_back(first, count);
          return int(bands.size()) - 1 != refuse_band;
        },
        [&, factor](int y, std::uint32_t* row) {
          if (abort) return;  // as the session's shading stops
          // Every row cast lies in the band prepared last, inside the image.
          ASSERT_FALSE(bands.empty());
          EXPECT_TRUE(y >= bands.back().first && y < bands.back().first + bands.back().second) << y;
          EXPECT_LT(y, sizes.image_height * factor);
          cast.push_back(y);
          for (int x = 0; x < sizes.image_width * factor; ++x) row[x] = Sample(x, y, sizes.coverage);
        }};
    const PixelLoopRun run{sizes, 1, [&](int) { return stage; },
                           [&](int band_height, int band_index) { Announce(band_height, band_index, abort_at_announcement); },
                           {}};
    return RunPixelLoop(run, abort, PixelLoopTarget{image.data()});
  }
  // Progress claims only image rows already written, and never goes back.
  void Announce(int band_height, int band_index, int abort_at = -1) {
    const int claimed = band_height * band_index, written = WrittenRows();
    EXPECT_TRUE(claimed <= written && claimed >= progress) << claimed << " of " << written << " rows written";
    progress = claimed;
    payloads.emplace_back(band_height, band_index);
    abort = abort || announcements++ == abort_at;
  }
  int WrittenRows() const {
    int rows = 0;
    while (rows < sizes.image_height && Pixel(0, rows) != kUntouched) ++rows;
    return rows;
  }
  // Image row y counted from the top: the target's rows are bottom-up.
  std::uint32_t Pixel(int x, int y) const {
    return image[std::size_t(sizes.image_height - 1 - y) * std::size_t(sizes.image_width) + std::size_t(x)];
  }

  PixelLoopSizes sizes;
  std::atomic<bool> abort{false};
  std::vector<std::uint32_t> image;
  std::vector<std::pair<int, int>> bands;
  int announcements = 0;
  int progress = 0;
  std::vector<std::pair<int, int>> payloads;
  std::vector<int> cast;
};

// Which oversampled rows and columns image row k and column j read, by level.
struct Filter {
  int level;
  std::vector<int> weights;  // along a row, and along a column
  std::vector<int> (*rows)(int k, int last);
  std::vector<int> (*columns)(int j, int last);
};

using Rows = std::vector<int>;
Rows Same(int k, int) { return {k}; }
// 3 x 3 tent: 2k, 2k + 1, 2k + 2, the one past the end repeating the last.
Rows Tent3(int k, int last) { return {2 * k, 2 * k + 1, std::min(2 * k + 2, last)}; }

// Box: row 0 with row 1, then rows 2k - 1 and 2k + 1 (even rows skipped).
// 4 x 4 tent: rows 0..3, then the block's last row reused and 4k skipped.
const Filter kFilters[] = {
    {kAntialiasNone, {1}, Same, Same},
    {kAntialiasNormal, {1, 1}, [](int k, int) { return k == 0 ? Rows{0, 1} : Rows{2 * k - 1, 2 * k + 1}; },
     [](int j, int) { return Rows{2 * j, 2 * j + 1}; }},
    {kAntialiasBest, {1, 2, 1}, Tent3, Tent3},
    {kAntialiasBest4x4, {1, 2, 2, 1}, [](int k, int) { return k == 0 ? Rows{0, 1, 2, 3} : Rows{4 * k - 1, 4 * k + 1, 4 * k + 2, 4 * k + 3}; },
     [](int j, int) { return Rows{4 * j, 4 * j + 1, 4 * j + 2, 4 * j + 3}; }}};

class PixelLoopsByLevel : public ::testing::TestWithParam<Filter> {};

TEST_P(PixelLoopsByLevel, FilterTheirSamplesCastEachRowOnceAndStopAtAnAbortedBand) {
  const Filter& f = GetParam();
  const int width = 5, height = 7, factor = OversampleFactor(f.level), ow = width * factor, oh = height * factor;
  for (bool coverage : {false, true}) {
    LoopRun run(f.level, width, height, 4);  // many bands, rows reused across them
    run.sizes.coverage = coverage;
    ASSERT_EQ(run.Go(), RenderStatus::completed);
    int divisor = 0;  // the weights' sum, squared
    for (int w : f.weights) divisor += w;
    divisor *= divisor;
    std::vector<int> needed;
    for (int k = 0; k < height; ++k)
      for (int j = 0; j < width; ++j) {
        const Rows rows = f.rows(k, oh - 1), columns = f.columns(j, ow - 1);
        if (j == 0) needed.insert(needed.end(), rows.begin(), rows.end());
        std::uint32_t expected = 0;
        for (int shift = 0; shift < 32; shift += 8) {
          int sum = 0;
          for (std::size_t a = 0; a < rows.size(); ++a)
            for (std::size_t b = 0; b < columns.size(); ++b)
              sum += f.weights[a] * f.weights[b] * int(Sample(columns[b], rows[a], coverage) >> shift & 0xFF);
          expected |= std::uint32_t(sum / divisor) << shift;
        }
        ASSERT_EQ(run.Pixel(j, k), expected) << "pixel " << j << ", " << k << (coverage ? " with coverage" : "");
      }
    // Exactly the rows read are cast, each once, top to bottom.
    std::sort(needed.begin(), needed.end());
    needed.erase(std::unique(needed.begin(), needed.end()), needed.end());
    EXPECT_EQ(run.cast, needed);
  }

  // Level 0 aborts at its second announcement, the others at their first:
  // both the second band. The rows finished before it are kept.
  LoopRun aborted(f.level, width, height, 4);
  ASSERT_EQ(aborted.Go(f.level == kAntialiasNone ? 1 : 0), RenderStatus::aborted);
  const int finished = f.level == kAntialiasNone ? 4 : 2;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) EXPECT_EQ(aborted.Pixel(x, y) == kUntouched, y >= finished) << x << ", " << y;
  // A band that cannot be prepared ends the loop at once.
  LoopRun refused(f.level, width, height, 4);
  EXPECT_EQ(refused.Go(-1, 1), RenderStatus::aborted);
  EXPECT_EQ(refused.bands.size(), 2u);
}

// Any number of workers writes the image of one, announces the same bands in the same order
// (each once its rows are written) and publishes only finished rows.
TEST_P(PixelLoopsByLevel, GiveTheSameImageAndProgressOnAnyNumberOfThreadsAndProcesses) {
  const Filter& f = GetParam();
  const int width = 9, height = 61, factor = OversampleFactor(f.level);
  LoopRun one(f.level, width, height, 4);
  ASSERT_EQ(one.Go(), RenderStatus::completed);
  const auto go = [&](LoopRun& many, int threads, const RowShare& share) {
    std::atomic<int> rows_written{0};
    std::mutex announcing;  // the loop promises never to announce from two threads at once: try_lock checks it
    const PixelLoopRun run{
        many.sizes, threads,
        [&](int) {
          return PixelLoopStage{[](int, int) { return true; },
                                [&, factor](int y, std::uint32_t* row) {
                                  for (int x = 0; x < width * factor; ++x) row[x] = Sample(x, y);
                                }};
        },
        [&](int band_height, int band_index) {
          ASSERT_TRUE(announcing.try_lock());
          EXPECT_LE(band_height * band_index, rows_written.load());
          many.payloads.emplace_back(band_height, band_index);
          announcing.unlock();
        },
        share};
    ASSERT_EQ(RunPixelLoop(run, many.abort, PixelLoopTarget{many.image.data(), &rows_written}), RenderStatus::completed);
    EXPECT_EQ(rows_written.load(), height);
    EXPECT_EQ(many.payloads, one.payloads) << threads << " threads, process " << share.index << " of " << share.count;
  };
  for (int threads : {2, 3, 7}) {
    LoopRun many(f.level, width, height, 4);
    go(many, threads, {});
    EXPECT_EQ(many.image, one.image) << threads << " threads";
  }
  // Each process writes exactly the rows of its blocks, as the whole render has them.
  for (const int count : {2, 3}) {
    for (int index = 0; index < count; ++index) {
      const RowShare share{index, count, 5};
      LoopRun part(f.level, width, height, 4);
      go(part, 2, share);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
          ASSERT_EQ(part.Pixel(x, y), share.OwnsBlock(y / 5) ? one.Pixel(x, y) : kUntouched)
              << "process " << index << " of " << count << ", row " << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, PixelLoopsByLevel, ::testing::ValuesIn(kFilters),
                         [](const auto& info) { return "Level" + std::to_string(info.param.level); });

}  // namespace
