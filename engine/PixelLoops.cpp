#include "engine/PixelLoops.h"

#include <algorithm>
#include <bit>
#include <memory>
#include <new>
#include <utility>

#include "engine/RenderSession.h"
#include "engine/ScreenProjection.h"
#include "host/platform/Messages.h"
#include "host/sdk/RenderStatus.h"
#include "shading/HitRecord.h"
#include "shading/SurfaceShader.h"

// Line buffers are written into the image's memory as whole words: bytes
// blue, green, red, 0 need the low byte first.
static_assert(std::endian::native == std::endian::little, "pixels are stored as little-endian words");

namespace {

// Integer weights of a filter over rows x columns samples, row-major.
struct Kernel {
  int rows;
  int columns;
  const int* weights;
  int divisor;
};

constexpr int kBoxWeights[] = {1, 1, 1, 1};
constexpr int kTent3Weights[] = {1, 2, 1, 2, 4, 2, 1, 2, 1};
constexpr int kTent4Weights[] = {1, 2, 2, 1, 2, 4, 4, 2, 2, 4, 4, 2, 1, 2, 2, 1};
constexpr Kernel kBox{2, 2, kBoxWeights, 4};
constexpr Kernel kTent3{3, 3, kTent3Weights, 16};
constexpr Kernel kTent4{4, 4, kTent4Weights, 36};

// The filtered sample, each of the three low bytes on its own.
std::uint32_t FilterPixel(const std::uint32_t* const* rows, const int* columns, const Kernel& kernel) {
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
void FilterRow(const std::uint32_t* const* rows, const Kernel& kernel, int step, int width, std::uint32_t* out) {
  int columns[4];
  for (int j = 0; step * j < width; ++j) {
    for (int k = 0; k < kernel.columns; ++k) columns[k] = std::min(step * j + k, width - 1);
    out[j] = FilterPixel(rows, columns, kernel);
  }
}

// A packed colour (red in the low byte) as an image word (blue in the low byte).
std::uint32_t ImageWord(std::uint32_t packed) {
  return (packed & 0xFF) << 16 | (packed & 0xFF00) | (packed >> 16 & 0xFF);
}

// `count` line buffers of `width` samples in one block, freed with it.
class LineBuffers {
public:
  LineBuffers(int count, int width) : m_width(std::size_t(width)) {
    m_block.reset(new (std::nothrow) std::uint32_t[std::size_t(count) * m_width]());
  }
  explicit operator bool() const { return m_block != nullptr; }
  std::uint32_t* operator[](int i) const { return m_block.get() + std::size_t(i) * m_width; }

private:
  std::size_t m_width;
  std::unique_ptr<std::uint32_t[]> m_block;
};

}  // namespace

PixelLoops::PixelLoops(CRenderSession& session, CScreenProjection& projection, SurfaceShader& shader,
                       COruDib& target)
    : m_session(session),
      m_projection(projection),
      m_shader(shader),
      m_target(target),
      m_width(session.OversampledWidth()),
      m_height(session.OversampledHeight()),
      m_band_height(session.BandHeight()) {}

RenderStatus PixelLoops::Run(int antialias_level) {
  switch (antialias_level) {
    case 0: return SingleSampleLoop();
    case 2: return Tent3Loop();
    case 3: return Tent4Loop();
    default: return BoxLoop();
  }
}

bool PixelLoops::Aborted() const { return m_session.AbortFlag()->load(std::memory_order_relaxed); }

void PixelLoops::AnnounceBand(int band_height, int band_index) {
  m_session.NotifyView(RenderStatus::progress, PackBandProgress(band_height, band_index));
}

std::uint32_t* PixelLoops::TargetRow(int y) const {
  const std::size_t width = std::size_t(m_target.Width());
  unsigned char* row = m_target.FindDIBBits() + (std::size_t(m_target.Height() - 1 - y) * width) * 4;
  return reinterpret_cast<std::uint32_t*>(row);
}

void PixelLoops::RenderRow(int y, std::uint32_t* buffer) {
  TK_SimpleArray<HitRecord> hits;  // per row: its capacity serves every sample of the row
  m_shader.pixel_y = y;
  for (int x = 0; x < m_width; ++x) {
    if (Aborted()) return;
    m_shader.pixel_x = x;
    const int count = m_projection.GatherHits(x, y, hits, true);
    buffer[x] = ImageWord(m_shader.ShadeHits(hits.Array(), count, false, false));
  }
}

RenderStatus PixelLoops::SingleSampleLoop() {
  const int b = m_band_height;
  for (int y = 0; y < m_height; ++y) {
    if (Aborted()) break;
    if (y % b == 0) {
      if (!m_projection.PrepareBand(std::max(y - 1, 0), b + 1)) return RenderStatus::aborted;
      AnnounceBand(b, y / b);
    }
    RenderRow(y, TargetRow(y));
  }
  return Finished();
}

// Image row 0 boxes oversampled rows 0 and 1, image row k >= 1 rows 2k - 1
// and 2k + 1: each odd row serves two image rows and the even rows after
// row 0 are never cast.
RenderStatus PixelLoops::BoxLoop() {
  const int b = m_band_height;
  LineBuffers buffers(2, m_width);
  if (!buffers) return RenderStatus::aborted;
  std::uint32_t* rows[2] = {buffers[0], buffers[1]};
  if (!m_projection.PrepareBand(0, b + 1)) return RenderStatus::aborted;
  RenderRow(0, rows[0]);
  for (int r = 1; r < m_height; r += 2) {
    if (Aborted()) break;
    if (r != 1 && (r - 1) % b == 0) {
      if (!m_projection.PrepareBand(r - 1, b + 1)) return RenderStatus::aborted;
      AnnounceBand(b, r / b / 2);
    }
    RenderRow(r, rows[1]);
    if (Aborted()) break;  // the row's samples are incomplete: it is not written
    FilterRow(rows, kBox, 2, m_width, TargetRow((r - 1) / 2));
    std::swap(rows[0], rows[1]);
  }
  return Finished();
}

// Image row k weighs oversampled rows 2k, 2k + 1 and 2k + 2. The last image
// row's bottom row (row H') is not cast: its middle row stands in for it, so
// that the bottom edge repeats the last samples as the right edge does.
RenderStatus PixelLoops::Tent3Loop() {
  const int b = m_band_height;
  LineBuffers buffers(3, m_width);
  if (!buffers) return RenderStatus::aborted;
  std::uint32_t* top = buffers[0];
  std::uint32_t* middle = buffers[1];
  std::uint32_t* bottom = buffers[2];
  if (!m_projection.PrepareBand(0, b + 1)) return RenderStatus::aborted;
  RenderRow(0, top);
  for (int r = 0; r + 1 < m_height; r += 2) {
    if (Aborted()) break;
    if (r != 0 && r % b == 0) {
      if (!m_projection.PrepareBand(r, b + 1)) return RenderStatus::aborted;
      AnnounceBand(b, (r + 1) / b / 2);
    }
    RenderRow(r + 1, middle);
    const bool has_bottom = r + 2 < m_height;
    if (has_bottom) RenderRow(r + 2, bottom);
    if (Aborted()) break;
    const std::uint32_t* rows[3] = {top, middle, has_bottom ? bottom : middle};
    FilterRow(rows, kTent3, 2, m_width, TargetRow(r / 2));
    std::swap(top, bottom);  // row r + 2 is the next top row
  }
  return Finished();
}

// Image row 0 weighs oversampled rows 0 to 3, image row k >= 1 rows 4k - 1,
// 4k + 1, 4k + 2 and 4k + 3: the last row of each block is reused as the
// first of the next, and rows 4, 8, ... are never cast.
RenderStatus PixelLoops::Tent4Loop() {
  const int b = m_band_height / 4 * 4 + 4;
  LineBuffers buffers(4, m_width);
  if (!buffers) return RenderStatus::aborted;
  std::uint32_t* rows[4] = {buffers[0], buffers[1], buffers[2], buffers[3]};
  if (!m_projection.PrepareBand(0, b + 1)) return RenderStatus::aborted;
  RenderRow(0, rows[0]);
  for (int r = 0; r + 1 < m_height; r += 4) {
    if (Aborted()) break;
    if (r != 0 && r % b == 0) {
      if (!m_projection.PrepareBand(r, b + 1)) return RenderStatus::aborted;
      AnnounceBand(b, (r + 1) / b / 4);
    }
    for (int i = 1; i < 4 && r + i < m_height; ++i) RenderRow(r + i, rows[i]);
    if (Aborted()) break;
    FilterRow(rows, kTent4, 4, m_width, TargetRow(r / 4));
    std::swap(rows[0], rows[3]);
  }
  return Finished();
}
