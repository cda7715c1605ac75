#pragma once
// Colour3f: an RGB colour of single-precision fractions (0..1 in normal
// use), the colour type of sampling and shading. A plain value.
//
// Arithmetic keeps the precision the lighting formulas were written in: sums
// and products of two Colour3f stay single precision; a double scale makes a
// Colour3d, whose sums and products stay double until they are added to a
// Colour3f (or narrowed), which rounds once, at the end.

#include <array>
#include <cstddef>

#include "host/toolkit/Color.h"

struct Colour3f {
  float red = 0.0f;
  float green = 0.0f;
  float blue = 0.0f;
  bool operator==(const Colour3f&) const = default;
};

struct Colour3d {
  double red = 0.0;
  double green = 0.0;
  double blue = 0.0;
};

constexpr Colour3f operator+(const Colour3f& a, const Colour3f& b) {
  return {a.red + b.red, a.green + b.green, a.blue + b.blue};
}
constexpr Colour3f operator*(const Colour3f& a, const Colour3f& b) {
  return {a.red * b.red, a.green * b.green, a.blue * b.blue};
}

constexpr Colour3d operator*(double k, const Colour3f& c) { return {k * c.red, k * c.green, k * c.blue}; }
constexpr Colour3d operator*(const Colour3f& c, double k) { return {c.red * k, c.green * k, c.blue * k}; }
constexpr Colour3d operator*(const Colour3d& a, const Colour3f& b) {
  return {a.red * b.red, a.green * b.green, a.blue * b.blue};
}
constexpr Colour3d operator+(const Colour3d& a, const Colour3d& b) {
  return {a.red + b.red, a.green + b.green, a.blue + b.blue};
}
// Added in double precision, rounded to single precision once.
constexpr Colour3f operator+(const Colour3f& a, const Colour3d& b) {
  return {float(a.red + b.red), float(a.green + b.green), float(a.blue + b.blue)};
}
constexpr Colour3f Narrow(const Colour3d& c) { return {float(c.red), float(c.green), float(c.blue)}; }

// A colour's fractions as single precision holds them, from a table the
// compiler fills. Rounding them at run time gave GCC 12's vectoriser the
// chance to drop the rounding of two channels out of three where it packed
// them in pairs, changing the highlights' last bits with unrelated edits.
inline constexpr std::array<float, 256> kSingleFractions = [] {
  std::array<float, 256> f{};
  for (int i = 0; i < 256; ++i) f[std::size_t(i)] = float(TK_Color(i, 0, 0).FractionRed());
  return f;
}();

inline Colour3f Fractions(TK_Color c) {
  return {kSingleFractions[std::size_t(c.Red())], kSingleFractions[std::size_t(c.Green())],
          kSingleFractions[std::size_t(c.Blue())]};
}
