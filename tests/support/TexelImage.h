#pragma once
// A small 32-bit bitmap whose every texel has its own colour, and that
// colour computed from the texel's column and bottom-up row alone, so that
// tests can tell exactly which texels a sample read.

#include "host/platform/OruDib.h"
#include "shading/Colour3f.h"

inline Colour3f Texel(int x, int y) {
  return {float(40 * x + y) / 255.0f, float(40 * y + x) / 255.0f, float(100 + 7 * x + 13 * y) / 255.0f};
}

inline bool FillTexelImage(COruDib& image, int width, int height) {
  if (!image.CreateDib(width, height, 32, true, nullptr)) return false;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      unsigned char* p = image.FindDIBBits() + y * image.GetStorageWidth() + x * 4;
      p[0] = static_cast<unsigned char>(100 + 7 * x + 13 * y);
      p[1] = static_cast<unsigned char>(40 * y + x);
      p[2] = static_cast<unsigned char>(40 * x + y);
    }
  return true;
}
