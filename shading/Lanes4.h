#pragma once
// Lanes4: the four-lane vectors the pixel path's two-path code shares (the
// four-face test, the four-hit lighting). GCC vector extensions, inlined
// into both the baseline and the AVX2 function of each user, so that every
// lane rounds as scalar code does; the few steps that want other
// instructions on each path come as BaselineSteps and Avx2Steps.

#include <immintrin.h>

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
// The steps whose best instructions differ between the two paths, the
// kernels' template argument. The baseline's work on 128-bit halves; a
// kernel over Avx2Steps must end up inside a function built for AVX2, which
// gnu::flatten on that function sees to. Every step is exact, so both give
// the same bits.
struct BaselineSteps {
  // The lanes' sign bits, two by two: lane by lane took a dozen instructions.
  [[gnu::always_inline]] static unsigned Bits(Mask4 m) {
    __m128i halves[2];
    std::memcpy(halves, &m, sizeof halves);
    return unsigned(_mm_movemask_pd(_mm_castsi128_pd(halves[0]))) |
           unsigned(_mm_movemask_pd(_mm_castsi128_pd(halves[1]))) << 2;
  }
  // Bit k set: lane k all ones.
  [[gnu::always_inline]] static Mask4 LaneMask(unsigned bits) {
    return Mask4{-(long long)(bits & 1), -(long long)(bits >> 1 & 1), -(long long)(bits >> 2 & 1),
                 -(long long)(bits >> 3 & 1)};
  }
  // Four 32-bit lane masks made 64-bit ones.
  [[gnu::always_inline]] static Mask4 Widen(Int4 m) { return __builtin_convertvector(m, Mask4); }
  [[gnu::always_inline]] static Double4 Splat(double x) { return lanes4::Splat(x); }
  // Correctly rounded in every lane, as std::sqrt is; spelled with the
  // intrinsics, since lane by lane each root kept its scalar call for errno.
  [[gnu::always_inline]] static Double4 Sqrt(Double4 v) {
    const __m128d low = _mm_sqrt_pd(__m128d{v[0], v[1]}), high = _mm_sqrt_pd(__m128d{v[2], v[3]});
    return Double4{low[0], low[1], high[0], high[1]};
  }
};

struct Avx2Steps {
  [[gnu::target("avx2")]] static unsigned Bits(Mask4 m) { return unsigned(_mm256_movemask_pd(__m256d(m))); }
  [[gnu::target("avx2")]] static Mask4 LaneMask(unsigned bits) {
    const __m256i each = _mm256_setr_epi64x(1, 2, 4, 8);
    return Mask4(_mm256_cmpeq_epi64(_mm256_and_si256(_mm256_set1_epi64x(bits), each), each));
  }
  [[gnu::target("avx2")]] static Mask4 Widen(Int4 m) { return Mask4(_mm256_cvtepi32_epi64(__m128i(m))); }
  [[gnu::target("avx2")]] static Double4 Sqrt(Double4 v) { return Double4(_mm256_sqrt_pd(__m256d(v))); }
  // One broadcast where the generic Splat takes two instructions.
  [[gnu::target("avx2")]] static Double4 Splat(double x) { return Double4(_mm256_set1_pd(x)); }
};

}  // namespace lanes4
