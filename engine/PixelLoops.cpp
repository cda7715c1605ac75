#include "engine/PixelLoops.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "engine/Sampling.h"
#include "host/toolkit/AllocationFailures.h"

// Line buffers are written into the image's memory as whole words: bytes
// blue, green, red, then coverage or 0 need the low byte first.
static_assert(std::endian::native == std::endian::little, "pixels are stored as little-endian words");

namespace {

// The filtered sample, each of the low `bytes` bytes on its own.
std::uint32_t FilterPixel(const std::uint32_t* const* rows, const int* columns, const FilterKernel& kernel, int bytes) {
  std::uint32_t pixel = 0;
  for (int shift = 0; shift < 8 * bytes; shift += 8) {
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
// Colour alone is 3 bytes, with coverage 4.
void FilterRow(const std::uint32_t* const* rows, const FilterKernel& kernel, int width, int bytes, std::uint32_t* out) {
  int columns[4];
  for (int j = 0; kernel.step * j < width; ++j) {
    for (int k = 0; k < kernel.columns; ++k) columns[k] = std::min(kernel.step * j + k, width - 1);
    out[j] = FilterPixel(rows, columns, kernel, bytes);
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

// A band announcement: the image rows that must be written first, and the
// payload's band height and index.
struct Announcement {
  int rows;
  int band_height;
  int band_index;
};

// The announcements of a level, in order: where the band-by-band loop made
// them, at the start of each band after the first (level 0: of every band),
// claiming the image rows written before it.
std::vector<Announcement> Announcements(int level, int image_height, int b) {
  const int oh = image_height * OversampleFactor(level);
  std::vector<Announcement> list;
  switch (level) {
    case kAntialiasNone:
      for (int y = 0; y < oh; y += b) list.push_back({y, b, y / b});
      break;
    case kAntialiasBest:
      for (int r = 2; r + 1 < oh; r += 2)
        if (r % b == 0) list.push_back({r / 2, b, (r + 1) / b / 2});
      break;
    case kAntialiasBest4x4:
      for (int r = 4; r + 1 < oh; r += 4)
        if (r % b == 0) list.push_back({r / 4, b, (r + 1) / b / 4});
      break;
    default:
      for (int r = 3; r < oh; r += 2)
        if ((r - 1) % b == 0) list.push_back({(r - 1) / 2, b, r / b / 2});
      break;
  }
  return list;
}

// What the workers share: which image rows are written, the published
// count of rows from the top, and the announcements that count allows.
class Progress {
public:
  Progress(const PixelLoopRun& run, PixelLoopTarget target)
      : m_run(run),
        m_target(target),
        m_written(std::size_t(run.sizes.image_height), false),
        m_announcements(Announcements(run.sizes.level, run.sizes.image_height,
                                      LoopBandHeight(run.sizes.level, run.sizes.band_height))) {
    Advance();
  }

  void RowWritten(int k) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_written[std::size_t(k)] = true;
    Advance();
  }

private:
  // Under the lock (or before the workers start).
  void Advance() {
    const int before = m_prefix;
    while (m_prefix < m_run.sizes.image_height && m_written[std::size_t(m_prefix)]) ++m_prefix;
    if (m_prefix != before && m_target.rows_written) m_target.rows_written->store(m_prefix, std::memory_order_release);
    while (m_next < m_announcements.size() && m_announcements[m_next].rows <= m_prefix) {
      const Announcement& a = m_announcements[m_next++];
      if (m_run.announce_band) m_run.announce_band(a.band_height, a.band_index);
    }
  }

  const PixelLoopRun& m_run;
  PixelLoopTarget m_target;
  std::mutex m_mutex;
  std::vector<bool> m_written;
  int m_prefix = 0;
  std::vector<Announcement> m_announcements;
  std::size_t m_next = 0;
};

// One worker: casts the oversampled rows its blocks of image rows read,
// filling the index with bands as it goes down, and filters them.
class PixelLoop {
public:
  PixelLoop(const PixelLoopSizes& sizes, const std::atomic<bool>& abort, std::atomic<bool>& failed,
            PixelLoopStage stage, PixelLoopTarget target, Progress& progress)
      : m_sizes(sizes),
        m_abort(abort),
        m_failed(failed),
        m_stage(std::move(stage)),
        m_target(target),
        m_progress(progress),
        m_width(sizes.image_width * OversampleFactor(sizes.level)),
        m_height(sizes.image_height * OversampleFactor(sizes.level)),
        m_band_height(LoopBandHeight(sizes.level, sizes.band_height)),
        m_bytes(sizes.coverage ? 4 : 3) {}

  // Image rows r0 .. r1 - 1; false when the run must stop.
  bool Block(int r0, int r1) {
    switch (m_sizes.level) {
      case kAntialiasNone: return SingleSample(r0, r1);
      case kAntialiasBest: return Tent3(r0, r1);
      case kAntialiasBest4x4: return Tent4(r0, r1);
      default: return Box(r0, r1);
    }
  }

private:
  bool Stopped() const { return m_abort.load(std::memory_order_relaxed) || m_failed.load(std::memory_order_relaxed); }
  // Image row y in the target's memory (bottom-up rows).
  std::uint32_t* TargetRow(int y) const {
    return m_target.bits + std::size_t(m_sizes.image_height - 1 - y) * std::size_t(m_sizes.image_width);
  }
  // Casts oversampled row y, first filling the band that starts there when
  // the current one does not hold it; false when that band is refused.
  bool Cast(int y, std::uint32_t* row) {
    if (y < m_band_first || y >= m_band_first + m_band_rows) {
      if (!m_stage.prepare_band(y, m_band_height + 1)) {
        m_failed = true;
        return false;
      }
      m_band_first = y;
      m_band_rows = m_band_height + 1;
    }
    m_stage.shade_row(y, row);
    return true;
  }
  // Image row k is in the target; a row the abort cut short is not.
  bool Written(int k) {
    if (Stopped()) return false;
    m_progress.RowWritten(k);
    return true;
  }

  bool SingleSample(int r0, int r1);
  bool Box(int r0, int r1);
  bool Tent3(int r0, int r1);
  bool Tent4(int r0, int r1);

  const PixelLoopSizes& m_sizes;
  const std::atomic<bool>& m_abort;
  std::atomic<bool>& m_failed;
  PixelLoopStage m_stage;
  PixelLoopTarget m_target;
  Progress& m_progress;
  int m_width;   // oversampled
  int m_height;  // oversampled
  int m_band_height;
  int m_bytes;  // filtered per sample
  int m_band_first = 0;
  int m_band_rows = 0;  // none yet
};

bool PixelLoop::SingleSample(int r0, int r1) {
  for (int y = r0; y < r1; ++y) {
    if (Stopped() || !Cast(y, TargetRow(y)) || !Written(y)) return false;
  }
  return true;
}

// Image row 0 boxes oversampled rows 0 and 1, image row k >= 1 rows 2k - 1
// and 2k + 1: each odd row serves two image rows and the even rows after
// row 0 are never cast.
bool PixelLoop::Box(int r0, int r1) {
  LineBuffers buffers(2, m_width);
  std::uint32_t* rows[2] = {buffers[0], buffers[1]};
  if (Stopped() || !Cast(r0 == 0 ? 0 : 2 * r0 - 1, rows[0])) return false;
  for (int k = r0; k < r1; ++k) {
    if (Stopped() || !Cast(2 * k + 1, rows[1]) || Stopped()) return false;
    FilterRow(rows, kBoxKernel, m_width, m_bytes, TargetRow(k));
    if (!Written(k)) return false;
    std::swap(rows[0], rows[1]);
  }
  return true;
}

// Image row k weighs oversampled rows 2k, 2k + 1 and 2k + 2. The last image
// row's bottom row (row H') is not cast: its middle row stands in for it, so
// that the bottom edge repeats the last samples as the right edge does.
bool PixelLoop::Tent3(int r0, int r1) {
  LineBuffers buffers(3, m_width);
  std::uint32_t* top = buffers[0];
  std::uint32_t* middle = buffers[1];
  std::uint32_t* bottom = buffers[2];
  if (Stopped() || !Cast(2 * r0, top)) return false;
  for (int k = r0; k < r1; ++k) {
    const int r = 2 * k;
    if (Stopped() || !Cast(r + 1, middle)) return false;
    const bool has_bottom = r + 2 < m_height;
    if (has_bottom && !Cast(r + 2, bottom)) return false;
    if (Stopped()) return false;
    const std::uint32_t* rows[3] = {top, middle, has_bottom ? bottom : middle};
    FilterRow(rows, kTent3Kernel, m_width, m_bytes, TargetRow(k));
    if (!Written(k)) return false;
    std::swap(top, bottom);  // row r + 2 is the next top row
  }
  return true;
}

// Image row 0 weighs oversampled rows 0 to 3, image row k >= 1 rows 4k - 1,
// 4k + 1, 4k + 2 and 4k + 3: the last row of each block is reused as the
// first of the next, and rows 4, 8, ... are never cast.
bool PixelLoop::Tent4(int r0, int r1) {
  LineBuffers buffers(4, m_width);
  std::uint32_t* rows[4] = {buffers[0], buffers[1], buffers[2], buffers[3]};
  if (Stopped() || !Cast(r0 == 0 ? 0 : 4 * r0 - 1, rows[0])) return false;
  for (int k = r0; k < r1; ++k) {
    const int r = 4 * k;
    if (Stopped()) return false;
    for (int i = 1; i < 4 && r + i < m_height; ++i)
      if (!Cast(r + i, rows[i])) return false;
    if (Stopped()) return false;
    FilterRow(rows, kTent4Kernel, m_width, m_bytes, TargetRow(k));
    if (!Written(k)) return false;
    std::swap(rows[0], rows[3]);
  }
  return true;
}

// Blocks of this many image rows share out the work of several workers:
// short enough for every worker to get a fair share of an uneven scene,
// long enough that recasting the rows at a block's edge costs little.
int BlockRows(const PixelLoopSizes& sizes) {
  return std::max(8, 2 * LoopBandHeight(sizes.level, sizes.band_height) / OversampleFactor(sizes.level));
}

}  // namespace

RenderStatus RunPixelLoop(const PixelLoopRun& run, const std::atomic<bool>& abort, PixelLoopTarget target) {
  const PixelLoopSizes& sizes = run.sizes;
  if (abort.load()) return RenderStatus::aborted;  // nothing cast, nothing announced
  std::atomic<bool> failed{false};
  Progress progress(run, target);
  const RowShare& share = run.share;
  const int block = !share.Whole() ? share.block : run.threads <= 1 ? sizes.image_height : BlockRows(sizes);
  // The blocks this process casts, in order; the others are done as far as progress goes.
  std::vector<int> owned;
  for (int b = 0; b * block < sizes.image_height; ++b) {
    if (share.OwnsBlock(b)) {
      owned.push_back(b);
      continue;
    }
    for (int k = b * block; k < std::min((b + 1) * block, sizes.image_height); ++k) progress.RowWritten(k);
  }
  const int blocks = int(owned.size());
  const int workers = std::clamp(run.threads, 1, std::max(blocks, 1));
  std::atomic<int> next_block{0};
  std::vector<PixelLoopStage> stages;
  for (int w = 0; w < workers; ++w) stages.push_back(run.make_stage(w));
  const auto work = [&](int w) {
    // Running out of memory in a worker stops the run, as a band refused does.
    try {
      PixelLoop loop(sizes, abort, failed, std::move(stages[std::size_t(w)]), target, progress);
      for (int i = next_block++; i < blocks; i = next_block++) {
        const int b = owned[std::size_t(i)];
        if (!loop.Block(b * block, std::min((b + 1) * block, sizes.image_height))) return;
      }
    } catch (const std::bad_alloc&) {
      KvNoteAllocationFailure();
      failed = true;
    }
  };
  {
    std::vector<std::jthread> helpers;
    try {
      for (int w = 1; w < workers; ++w) helpers.emplace_back(work, w);
    } catch (const std::system_error&) {
      // Fewer threads than asked for: the blocks go to those that started.
    }
    work(0);
  }
  return abort.load() || failed.load() ? RenderStatus::aborted : RenderStatus::completed;
}
