#include "host/platform/BitmapSurface.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "host/platform/DC.h"
#include "host/platform/DisplayImage.h"
#include "host/platform/OruDib.h"

namespace {

bool Contains(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

}  // namespace

KvBitmapSurface::KvBitmapSurface(COruDib& target, const RECT& paint_area)
    : target_(target), area_(paint_area), clip_(paint_area) {}

void KvBitmapSurface::SetStretchMode(int mode) { target_.DC().SetStretchBltMode(mode); }

void KvBitmapSurface::StretchImage(const RECT& d, const KvDisplayImage& image) {
  if (!image.HasPixels()) return;
  // The copy itself is not clipped: what lies outside the clip is put back.
  const bool clipped = !(clip_ == RECT{0, 0, target_.Width(), target_.Height()}) || hole_.right > hole_.left;
  std::vector<unsigned char> before;
  if (clipped) before.assign(target_.FindDIBBits(), target_.FindDIBBits() + target_.StorageBytes());
  target_.DC().StretchBlt(d.left, d.top, d.right - d.left, d.bottom - d.top, &image.Bitmap().DC(), 0, 0,
                          image.Width(), image.Height(), SRCCOPY);
  if (!clipped) return;
  const int bytes = target_.BitsPerPixel() / 8;
  for (int y = 0; y < target_.Height(); ++y)
    for (int x = 0; x < target_.Width(); ++x) {
      if (Inside(x, y)) continue;
      const std::size_t at = std::size_t(target_.Height() - 1 - y) * target_.GetStorageWidth() + std::size_t(x) * bytes;
      std::copy_n(before.begin() + std::ptrdiff_t(at), bytes, target_.FindDIBBits() + at);
    }
}

void KvBitmapSurface::ClipTo(const RECT& clip) {
  clip_ = clip;
  hole_ = RECT{};
}

void KvBitmapSurface::ClipToExcluding(const RECT& clip, const RECT& hole) {
  clip_ = clip;
  hole_ = hole;
}

bool KvBitmapSurface::Inside(int x, int y) const {
  return Contains(area_, x, y) && Contains(clip_, x, y) && !Contains(hole_, x, y);
}

void KvBitmapSurface::Put(int x, int y, COLORREF colour) {
  if (Inside(x, y)) target_.DC().FillSolidRect(x, y, 1, 1, colour);
}

void KvBitmapSurface::FillSolid(const RECT& a, COLORREF colour) {
  if (hole_.right <= hole_.left) {  // one rectangle: filled at once
    const int left = std::max({a.left, area_.left, clip_.left}), top = std::max({a.top, area_.top, clip_.top});
    const int right = std::min({a.right, area_.right, clip_.right});
    const int bottom = std::min({a.bottom, area_.bottom, clip_.bottom});
    if (right > left && bottom > top) target_.DC().FillSolidRect(left, top, right - left, bottom - top, colour);
    return;
  }
  for (int y = a.top; y < a.bottom; ++y)
    for (int x = a.left; x < a.right; ++x) Put(x, y, colour);
}

void KvBitmapSurface::FillPattern(const RECT& a, const KvPixmap& pattern) {
  if (pattern.IsEmpty()) return;
  for (int y = a.top; y < a.bottom; ++y)
    for (int x = a.left; x < a.right; ++x) {
      const std::uint32_t argb = pattern.At(x % pattern.width, y % pattern.height);
      Put(x, y, MakeColorRef(std::uint8_t(argb >> 16), std::uint8_t(argb >> 8), std::uint8_t(argb)));
    }
}

void KvBitmapSurface::FrameRect(const RECT& r, COLORREF colour) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  for (int x = r.left; x < r.right; ++x) {
    Put(x, r.top, colour);
    Put(x, r.bottom - 1, colour);
  }
  for (int y = r.top; y < r.bottom; ++y) {
    Put(r.left, y, colour);
    Put(r.right - 1, y, colour);
  }
}

void KvBitmapSurface::Line(POINT from, POINT to, COLORREF colour) {
  // Horizontal and vertical lines are all a view draws; others step along
  // their longer axis.
  const int dx = to.x - from.x, dy = to.y - from.y;
  const int steps = std::max(std::abs(dx), std::abs(dy));
  for (int i = 0; i < steps; ++i)
    Put(from.x + (steps ? dx * i / steps : 0), from.y + (steps ? dy * i / steps : 0), colour);
}
