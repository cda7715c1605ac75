#include "host/platform/DC.h"

#include "host/platform/OruDib.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// A bitmap's pixels seen top-down. A copy of the bytes stands in for the
// source when a bitmap is copied onto itself.
struct Pixels {
  const unsigned char* bits = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;
  int bytes = 0;  // per pixel: 3 or 4

  const unsigned char* Row(int y) const {
    return bits + std::size_t(height - 1 - y) * std::size_t(stride);
  }
};

Pixels ViewOf(const COruDib& dib) {
  return {dib.FindDIBBits(), dib.Width(), dib.Height(), dib.GetStorageWidth(),
          dib.BitsPerPixel() / 8};
}

unsigned char* RowOf(COruDib& dib, int y) {
  return dib.FindDIBBits() + std::size_t(dib.Height() - 1 - y) * std::size_t(dib.GetStorageWidth());
}

void Put(unsigned char* p, int bytes, unsigned char b, unsigned char g, unsigned char r) {
  p[0] = b;
  p[1] = g;
  p[2] = r;
  if (bytes == 4) p[3] = 0;
}

// The half-open range [lo, hi) of offsets d in [0, count) for which both
// a + d lies in [0, limitA) and b + d lies in [0, limitB).
struct Range {
  int lo;
  int hi;
  bool Empty() const { return lo >= hi; }
};

Range Overlap(std::int64_t count, std::int64_t a, std::int64_t limitA, std::int64_t b,
              std::int64_t limitB) {
  const std::int64_t lo = std::max<std::int64_t>({0, -a, -b});
  const std::int64_t hi = std::min<std::int64_t>({count, limitA - a, limitB - b});
  if (lo >= hi) return {0, 0};
  return {int(lo), int(hi)};  // both within [0, count] now
}

// Along one axis, where `count` destination pixels show `sourceCount` source
// pixels starting at `source`: the source cells each destination index in
// [first, last) covers, weighted by how much of the cell it covers. Cells
// outside [0, sourceLimit) are dropped.
struct Taps {
  std::vector<int> start;  // taps of destination index i: [start[i], start[i + 1])
  std::vector<int> cell;
  std::vector<float> weight;
};

Taps AreaTaps(int count, std::int64_t source, int sourceCount, int sourceLimit, int first,
              int last) {
  Taps t;
  t.start.reserve(std::size_t(last - first) + 1);
  const double scale = double(sourceCount) / double(count);
  for (int i = first; i < last; ++i) {
    t.start.push_back(int(t.cell.size()));
    const double a = double(source) + double(i) * scale;
    const double b = double(source) + double(i + 1) * scale;
    const std::int64_t from = std::max<std::int64_t>(std::int64_t(std::floor(a)), 0);
    const std::int64_t to = std::min<std::int64_t>(std::int64_t(std::ceil(b)), sourceLimit);
    for (std::int64_t c = from; c < to; ++c) {
      const double w = std::min(b, double(c + 1)) - std::max(a, double(c));
      if (w > 1e-9) {
        t.cell.push_back(int(c));
        t.weight.push_back(float(w));
      }
    }
  }
  t.start.push_back(int(t.cell.size()));
  return t;
}

// Nearest source cell of destination index i, or -1 outside the source.
int NearestCell(std::int64_t i, int count, std::int64_t source, int sourceCount, int sourceLimit) {
  const std::int64_t c = source + ((2 * i + 1) * sourceCount) / (2 * std::int64_t(count));
  return c >= 0 && c < sourceLimit ? int(c) : -1;
}

}  // namespace

bool CDC::IsSelected() const { return selected_ && bitmap_.HasPixels(); }

int CDC::SetStretchBltMode(int mode) {
  if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
  const int previous = mode_;
  mode_ = mode;
  return previous;
}

bool CDC::FillSolidRect(int x, int y, int width, int height, COLORREF colour) {
  if (!IsSelected() || width <= 0 || height <= 0) return false;
  const Range cols = Overlap(width, x, bitmap_.Width(), x, bitmap_.Width());
  const Range rows = Overlap(height, y, bitmap_.Height(), y, bitmap_.Height());
  if (cols.Empty() || rows.Empty()) return true;
  const int bytes = bitmap_.BitsPerPixel() / 8;
  for (int dy = rows.lo; dy < rows.hi; ++dy) {
    unsigned char* row = RowOf(bitmap_, y + dy);
    for (int dx = cols.lo; dx < cols.hi; ++dx)
      Put(row + std::size_t(x + dx) * bytes, bytes, GetBValue(colour), GetGValue(colour),
          GetRValue(colour));
  }
  return true;
}

bool CDC::BitBlt(int x, int y, int width, int height, const CDC* source, int sx, int sy,
                 DWORD rop) {
  if (!IsSelected() || !source || !source->IsSelected() || rop != SRCCOPY || width <= 0 ||
      height <= 0)
    return false;
  Pixels src = ViewOf(source->bitmap_);
  std::vector<unsigned char> snapshot;
  if (&source->bitmap_ == &bitmap_) {
    snapshot.assign(src.bits, src.bits + bitmap_.StorageBytes());
    src.bits = snapshot.data();
  }
  const Range cols = Overlap(width, x, bitmap_.Width(), sx, src.width);
  const Range rows = Overlap(height, y, bitmap_.Height(), sy, src.height);
  if (cols.Empty() || rows.Empty()) return true;
  const int bytes = bitmap_.BitsPerPixel() / 8;
  for (int dy = rows.lo; dy < rows.hi; ++dy) {
    unsigned char* out = RowOf(bitmap_, y + dy) + std::size_t(x + cols.lo) * bytes;
    const unsigned char* in = src.Row(sy + dy) + std::size_t(sx + cols.lo) * src.bytes;
    if (bytes == src.bytes) {
      std::memcpy(out, in, std::size_t(cols.hi - cols.lo) * bytes);
      continue;
    }
    for (int n = cols.lo; n < cols.hi; ++n, out += bytes, in += src.bytes)
      Put(out, bytes, in[0], in[1], in[2]);
  }
  return true;
}

bool CDC::StretchBlt(int x, int y, int width, int height, const CDC* source, int sx, int sy,
                     int sourceWidth, int sourceHeight, DWORD rop) {
  if (!IsSelected() || !source || !source->IsSelected() || rop != SRCCOPY || width <= 0 ||
      height <= 0 || sourceWidth <= 0 || sourceHeight <= 0)
    return false;
  Pixels src = ViewOf(source->bitmap_);
  std::vector<unsigned char> snapshot;
  if (&source->bitmap_ == &bitmap_) {
    snapshot.assign(src.bits, src.bits + bitmap_.StorageBytes());
    src.bits = snapshot.data();
  }
  const Range cols = Overlap(width, x, bitmap_.Width(), x, bitmap_.Width());
  const Range rows = Overlap(height, y, bitmap_.Height(), y, bitmap_.Height());
  if (cols.Empty() || rows.Empty()) return true;
  const int bytes = bitmap_.BitsPerPixel() / 8;

  if (mode_ != HALFTONE) {
    std::vector<int> cellX(std::size_t(cols.hi - cols.lo));
    for (int i = cols.lo; i < cols.hi; ++i)
      cellX[std::size_t(i - cols.lo)] = NearestCell(i, width, sx, sourceWidth, src.width);
    for (int j = rows.lo; j < rows.hi; ++j) {
      const int cy = NearestCell(j, height, sy, sourceHeight, src.height);
      if (cy < 0) continue;
      const unsigned char* in = src.Row(cy);
      unsigned char* out = RowOf(bitmap_, y + j);
      for (int i = cols.lo; i < cols.hi; ++i) {
        const int cx = cellX[std::size_t(i - cols.lo)];
        if (cx < 0) continue;
        const unsigned char* p = in + std::size_t(cx) * src.bytes;
        Put(out + std::size_t(x + i) * bytes, bytes, p[0], p[1], p[2]);
      }
    }
    return true;
  }

  const Taps tx = AreaTaps(width, sx, sourceWidth, src.width, cols.lo, cols.hi);
  const Taps ty = AreaTaps(height, sy, sourceHeight, src.height, rows.lo, rows.hi);
  for (int j = rows.lo; j < rows.hi; ++j) {
    const int jj = j - rows.lo;
    unsigned char* out = RowOf(bitmap_, y + j);
    for (int i = cols.lo; i < cols.hi; ++i) {
      const int ii = i - cols.lo;
      double b = 0, g = 0, r = 0, total = 0;
      for (int a = ty.start[jj]; a < ty.start[jj + 1]; ++a) {
        const unsigned char* in = src.Row(ty.cell[a]);
        for (int c = tx.start[ii]; c < tx.start[ii + 1]; ++c) {
          const double w = double(ty.weight[a]) * tx.weight[c];
          const unsigned char* p = in + std::size_t(tx.cell[c]) * src.bytes;
          b += w * p[0];
          g += w * p[1];
          r += w * p[2];
          total += w;
        }
      }
      if (total <= 0) continue;
      const auto byte = [total](double v) {
        return static_cast<unsigned char>(std::min(255.0, v / total + 0.5));
      };
      Put(out + std::size_t(x + i) * bytes, bytes, byte(b), byte(g), byte(r));
    }
  }
  return true;
}
