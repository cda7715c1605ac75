#pragma once
// A small picture that a window shows but no document holds: an icon, a
// cursor, a brush pattern. Top-down rows of 0xAARRGGBB words; alpha 0 is
// transparent. A value type; resources build them, toolkits draw them.

#include <cstdint>
#include <vector>

#include "host/platform/WinTypes.h"

struct KvPixmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> argb;  // width * height words, row by row from the top

  bool IsEmpty() const { return width <= 0 || height <= 0; }
  std::uint32_t At(int x, int y) const { return argb[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// An icon in several sizes, largest first.
struct KvIcon {
  std::vector<KvPixmap> sizes;
};

// A mouse cursor: its picture and the pixel that points.
struct KvCursorShape {
  KvPixmap picture;
  POINT hot_spot;
};

// The opaque word of a COLORREF.
constexpr std::uint32_t OpaqueArgb(COLORREF c) {
  return 0xFF000000u | (std::uint32_t(GetRValue(c)) << 16) | (std::uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}
