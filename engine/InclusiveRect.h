#pragma once
// Rectangles of pixels inclusive on all four sides (right and bottom are
// pixels of them), as the screen projection index files faces.

#include <algorithm>

#include "host/platform/WinTypes.h"

namespace inclusive_rect {

inline bool IsEmpty(const RECT& r) { return r.left > r.right || r.top > r.bottom; }

// Pixels in a rectangle that is not empty.
inline long long Area(const RECT& r) { return (long long)(r.right - r.left + 1) * (r.bottom - r.top + 1); }

// Intersection of two rectangles; empty when they do not meet.
inline RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

}  // namespace inclusive_rect
