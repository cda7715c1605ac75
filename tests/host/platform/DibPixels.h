#pragma once
// Pixels of a bitmap read straight from its bytes: rows bottom-up, padded to
// four bytes, blue first. Tests use these rather than the class's own reads.

#include <cstddef>

#include "host/platform/OruDib.h"

// Byte offset of top-down image pixel (x, y) as the renderer computes it.
inline std::size_t PixelOffset(const COruDib& dib, int x, int y) {
  return std::size_t(dib.Height() - 1 - y) * dib.GetStorageWidth() + std::size_t(x) * (dib.BitsPerPixel() / 8);
}

// Top-down pixel (x, y) as a COLORREF.
inline COLORREF PixelAt(const COruDib& dib, int x, int y) {
  const unsigned char* p = dib.FindDIBBits() + PixelOffset(dib, x, y);
  return MakeColorRef(p[2], p[1], p[0]);
}
