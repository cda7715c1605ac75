#pragma once
// Lanes4: the four-lane vectors the pixel path's two-path code shares (the
// four-face test, the four-hit lighting). GCC vector extensions, inlined
// into both the baseline and the AVX2 function of each user, so that every
// lane rounds as scalar code does.

#include <emmintrin.h>

#include <cstring>

// The 256-bit vectors never cross a function's edge in their users (all is
// inlined into the two paths), so the warning that their passing convention
// differs with AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace lanes4 {

using Float4 = float __attribute__((vector_size(16)));
using Int4 = int __attribute__((vector_size(16)));
using Double4 = double __attribute__((vector_size(32)));
using Mask4 = long long __attribute__((vector_size(32)));

[[gnu::always_inline]] inline Double4 Splat(double x) { return Double4{x, x, x, x}; }
// Spelled lane by lane: GCC makes this one conversion where its vector
// conversion builtin takes two halves.
[[gnu::always_inline]] inline Double4 Wide(Float4 f) {
  return Double4{double(f[0]), double(f[1]), double(f[2]), double(f[3])};
}
// The lanes' sign bits, two by two: lane by lane took a dozen instructions.
[[gnu::always_inline]] inline unsigned Bits(Mask4 m) {
  __m128i halves[2];
  std::memcpy(halves, &m, sizeof halves);
  return unsigned(_mm_movemask_pd(_mm_castsi128_pd(halves[0]))) |
         unsigned(_mm_movemask_pd(_mm_castsi128_pd(halves[1]))) << 2;
}

}  // namespace lanes4
