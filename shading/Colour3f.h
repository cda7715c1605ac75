#pragma once
// Colour3f: an RGB colour of single-precision fractions (0..1 in normal
// use), the colour type of sampling and shading. A plain value.

struct Colour3f {
  float red = 0.0f;
  float green = 0.0f;
  float blue = 0.0f;
  bool operator==(const Colour3f&) const = default;
};
