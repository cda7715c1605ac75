#include "shading/TextureSampling.h"

#include <cmath>

#include "host/platform/OruDib.h"

namespace {

// Truncation toward zero. Values beyond +-2^30 (and NaN) cannot be a pixel
// position of any image and would overflow int, so they are pinned first;
// the wrap rules then fold them into the image like any other position.
int Trunc(double c) {
  constexpr double limit = 1073741824.0;
  if (!(c == c)) return 0;
  if (c > limit) c = limit;
  if (c < -limit) c = -limit;
  return int(c);
}

// Wrapped coordinates land in 1..m, unwrapped ones in 0..m.
int WrapNearest(int c, int m) {
  if (c > m) return c % m + 1;
  if (c < 0) return (-c) % m + 1;
  return c;
}

int WrapFiltered(int c, int m) {
  if (c > m) return c % m;
  if (c < 0) return (-c) % m;
  return c;
}

bool Usable(const MaterialMap& slot) {
  return slot.bitmap && slot.width_limit >= 1 && slot.height_limit >= 1;
}

// Only a pixel inside the image overwrites `out`.
void ReadPixel(const COruDib& bitmap, int x, int y, Colour3f& out) {
  Colour3f c;
  if (bitmap.GetPixel(x, y, c.red, c.green, c.blue)) out = c;
}

Colour3f Pixel(const COruDib& bitmap, int x, int y) {
  Colour3f c;
  bitmap.GetPixel(x, y, c.red, c.green, c.blue);
  return c;
}

void NearestPosition(const MaterialMap& slot, const TK_2dPoint& uv, int& x, int& y) {
  y = WrapNearest(Trunc(uv.y * slot.tiling_v * slot.height_limit + slot.offset_v), slot.height_limit);
  x = WrapNearest(Trunc(slot.width_limit * slot.tiling_u * uv.x + slot.offset_u), slot.width_limit);
}

Colour3f SampleFiltered(const MaterialMap& slot, const TK_2dPoint& uv) {
  const int w1 = slot.width_limit + 1;
  const int h1 = slot.height_limit + 1;
  const float fx = float(w1 * slot.tiling_u * uv.x + slot.offset_u);
  const float fy = float(uv.y * slot.tiling_v * h1 + slot.offset_v);
  int x0 = Trunc(fx);
  int y0 = Trunc(fy);
  // Negative positions truncate toward zero, so these fractions are then
  // negative and the weights extrapolate.
  const float ax = fx - float(x0);
  const float ay = fy - float(y0);
  int x1 = WrapFiltered(x0 + 1, w1);
  int y1 = WrapFiltered(y0 + 1, h1);
  x0 = WrapFiltered(x0, w1);
  y0 = WrapFiltered(y0, h1);
  const COruDib& b = *slot.bitmap;
  const Colour3f c00 = Pixel(b, x0, y0), c10 = Pixel(b, x1, y0), c01 = Pixel(b, x0, y1), c11 = Pixel(b, x1, y1);
  const auto blend = [ax, ay](float v00, float v10, float v01, float v11) {
    return v00 * (1.0f - ax) * (1.0f - ay) + v10 * ax * (1.0f - ay) + v01 * (1.0f - ax) * ay + v11 * ax * ay;
  };
  return {blend(c00.red, c10.red, c01.red, c11.red), blend(c00.green, c10.green, c01.green, c11.green),
          blend(c00.blue, c10.blue, c01.blue, c11.blue)};
}

}  // namespace

Colour3f SampleMap(const MaterialMap& slot, const TK_2dPoint& uv) {
  if (!Usable(slot)) return {};
  if (slot.filter == 1) return SampleFiltered(slot, uv);
  int x = 0, y = 0;
  NearestPosition(slot, uv, x, y);
  return Pixel(*slot.bitmap, x, y);
}

void SampleMapNeighbours(const MaterialMap& slot, const TK_2dPoint& uv, Colour3f& left, Colour3f& down,
                         Colour3f& right, Colour3f& up) {
  if (!Usable(slot)) return;
  int x = 0, y = 0;
  NearestPosition(slot, uv, x, y);
  if (slot.filter != 1) {
    // The neighbours are not wrapped: column or row -1 keeps the preset.
    const COruDib& b = *slot.bitmap;
    ReadPixel(b, x - 1, y, left);
    ReadPixel(b, x, y - 1, down);
    ReadPixel(b, x + 1, y, right);
    ReadPixel(b, x, y + 1, up);
    return;
  }
  // Two pixels away at the nearest form's scale: filtered bumps difference
  // samples four pixels apart.
  const double su = slot.width_limit * slot.tiling_u;
  const double sv = slot.height_limit * slot.tiling_v;
  left = SampleFiltered(slot, {(x - 2 - slot.offset_u) / su, uv.y});
  down = SampleFiltered(slot, {uv.x, (y - 2 - slot.offset_v) / sv});
  right = SampleFiltered(slot, {(x + 2 - slot.offset_u) / su, uv.y});
  up = SampleFiltered(slot, {uv.x, (y + 2 - slot.offset_v) / sv});
}
