#include "engine/PixelLoops.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "engine/Sampling.h"

// Line buffers are written into the image's memory as whole words: bytes
// blue, green, red, 0 need the low byte first.
static_assert(std::endian::native == std::endian::little, "pixels are stored as little-endian words");

namespace {

// The filtered sample, each of the three low bytes on its own.
std::uint32_t FilterPixel(const std::uint32_t* const* rows, const int* columns, const FilterKernel& kernel) {
  std::uint32_t pixel = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int sum = 0;
    for (int i = 0; i < kernel.rows; ++i)
      for (int k = 0; k < kernel.columns; ++k)
        sum += kernel.weights[i * kernel.columns + k] * int((rows[i][columns[k]] >> shift) & 0xFF);
    pixel |= std::uint32_t(sum / kernel.divisor) << shift;
  }
  return pixel;
}

// Image pixel j filters columns step * j onward. The 3 x 3 tent of the last
// pixel reaches one column past the row: that column repeats the row's
// last sample, so the edge is weighted like any other pixel's own samples.
void FilterRow(const std::uint32_t* const* rows, const FilterKernel& kernel, int width, std::uint32_t* out) {
  int columns[4];
  for (int j = 0; kernel.step * j < width; ++j) {
    for (int k = 0; k < kernel.columns; ++k) columns[k] = std::min(kernel.step * j + k, width - 1);
    out[j] = FilterPixel(rows, columns, kernel);
  }
}

// `count` line buffers of `width` samples in one block, freed with it.
class LineBuffers {
public:
  LineBuffers(int count, int width) : m_width(std::size_t(width)), m_block(std::size_t(count) * m_width) {}
  std::uint32_t* operator[](int i) { return m_block.data() + std::size_t(i) * m_width; }

private:
  std::size_t m_width;
  std::vector<std::uint32_t> m_block;
};

// One run of a loop over the oversampled grid.
class PixelLoop {
public:
  PixelLoop(const PixelLoopSizes& sizes, const std::atomic<bool>& abort, const PixelLoopStage& stage,
            PixelLoopTarget target)
      : m_sizes(sizes),
        m_abort(abort),
        m_stage(stage),
        m_target(target),
        m_width(sizes.image_width * OversampleFactor(sizes.level)),
        m_height(sizes.image_height * OversampleFactor(sizes.level)),
        m_band_height(LoopBandHeight(sizes.level, sizes.band_height)) {}

  RenderStatus Run() {
    switch (m_sizes.level) {
      case kAntialiasNone: return SingleSampleLoop();
      case kAntialiasBest: return Tent3Loop();
      case kAntialiasBest4x4: return Tent4Loop();
      default: return BoxLoop();
    }
  }

private:
  bool Aborted() const { return m_abort.load(std::memory_order_relaxed); }
  RenderStatus Finished() const { return Aborted() ? RenderStatus::aborted : RenderStatus::completed; }
  // Rows 0 .. y of the image are written.
  void Written(int y) const {
    if (m_target.rows_written) m_target.rows_written->store(y + 1, std::memory_order_release);
  }
  // Image row y in the target's memory (bottom-up rows).
  std::uint32_t* TargetRow(int y) const {
    return m_target.bits + std::size_t(m_sizes.image_height - 1 - y) * std::size_t(m_sizes.image_width);
  }

  RenderStatus SingleSampleLoop();
  RenderStatus BoxLoop();
  RenderStatus Tent3Loop();
  RenderStatus Tent4Loop();

  const PixelLoopSizes& m_sizes;
  const std::atomic<bool>& m_abort;
  const PixelLoopStage& m_stage;
  PixelLoopTarget m_target;
  int m_width;   // oversampled
  int m_height;  // oversampled
  int m_band_height;
};

RenderStatus PixelLoop::SingleSampleLoop() {
  const int b = m_band_height;
  for (int y = 0; y < m_height; ++y) {
    if (Aborted()) break;
    if (y % b == 0) {
      if (!m_stage.prepare_band(std::max(y - 1, 0), b + 1)) return RenderStatus::aborted;
      m_stage.announce_band(b, y / b);
    }
    m_stage.shade_row(y, TargetRow(y));
    if (!Aborted()) Written(y);  // a row cut short by the abort is not
  }
  return Finished();
}

// Image row 0 boxes oversampled rows 0 and 1, image row k >= 1 rows 2k - 1
// and 2k + 1: each odd row serves two image rows and the even rows after
// row 0 are never cast.
RenderStatus PixelLoop::BoxLoop() {
  const int b = m_band_height;
  LineBuffers buffers(2, m_width);
  std::uint32_t* rows[2] = {buffers[0], buffers[1]};
  if (!m_stage.prepare_band(0, b + 1)) return RenderStatus::aborted;
  m_stage.shade_row(0, rows[0]);
  for (int r = 1; r < m_height; r += 2) {
    if (Aborted()) break;
    if (r != 1 && (r - 1) % b == 0) {
      if (!m_stage.prepare_band(r - 1, b + 1)) return RenderStatus::aborted;
      m_stage.announce_band(b, r / b / 2);
    }
    m_stage.shade_row(r, rows[1]);
    if (Aborted()) break;  // the row's samples are incomplete: it is not written
    FilterRow(rows, kBoxKernel, m_width, TargetRow((r - 1) / 2));
    Written((r - 1) / 2);
    std::swap(rows[0], rows[1]);
  }
  return Finished();
}

// Image row k weighs oversampled rows 2k, 2k + 1 and 2k + 2. The last image
// row's bottom row (row H') is not cast: its middle row stands in for it, so
// that the bottom edge repeats the last samples as the right edge does.
RenderStatus PixelLoop::Tent3Loop() {
  const int b = m_band_height;
  LineBuffers buffers(3, m_width);
  std::uint32_t* top = buffers[0];
  std::uint32_t* middle = buffers[1];
  std::uint32_t* bottom = buffers[2];
  if (!m_stage.prepare_band(0, b + 1)) return RenderStatus::aborted;
  m_stage.shade_row(0, top);
  for (int r = 0; r + 1 < m_height; r += 2) {
    if (Aborted()) break;
    if (r != 0 && r % b == 0) {
      if (!m_stage.prepare_band(r, b + 1)) return RenderStatus::aborted;
      m_stage.announce_band(b, (r + 1) / b / 2);
    }
    m_stage.shade_row(r + 1, middle);
    const bool has_bottom = r + 2 < m_height;
    if (has_bottom) m_stage.shade_row(r + 2, bottom);
    if (Aborted()) break;
    const std::uint32_t* rows[3] = {top, middle, has_bottom ? bottom : middle};
    FilterRow(rows, kTent3Kernel, m_width, TargetRow(r / 2));
    Written(r / 2);
    std::swap(top, bottom);  // row r + 2 is the next top row
  }
  return Finished();
}

// Image row 0 weighs oversampled rows 0 to 3, image row k >= 1 rows 4k - 1,
// 4k + 1, 4k + 2 and 4k + 3: the last row of each block is reused as the
// first of the next, and rows 4, 8, ... are never cast.
RenderStatus PixelLoop::Tent4Loop() {
  const int b = m_band_height;
  LineBuffers buffers(4, m_width);
  std::uint32_t* rows[4] = {buffers[0], buffers[1], buffers[2], buffers[3]};
  if (!m_stage.prepare_band(0, b + 1)) return RenderStatus::aborted;
  m_stage.shade_row(0, rows[0]);
  for (int r = 0; r + 1 < m_height; r += 4) {
    if (Aborted()) break;
    if (r != 0 && r % b == 0) {
      if (!m_stage.prepare_band(r, b + 1)) return RenderStatus::aborted;
      m_stage.announce_band(b, (r + 1) / b / 4);
    }
    for (int i = 1; i < 4 && r + i < m_height; ++i) m_stage.shade_row(r + i, rows[i]);
    if (Aborted()) break;
    FilterRow(rows, kTent4Kernel, m_width, TargetRow(r / 4));
    Written(r / 4);
    std::swap(rows[0], rows[3]);
  }
  return Finished();
}

}  // namespace

RenderStatus RunPixelLoop(const PixelLoopSizes& sizes, const std::atomic<bool>& abort, const PixelLoopStage& stage,
                          PixelLoopTarget target) {
  return PixelLoop(sizes, abort, stage, target).Run();
}
