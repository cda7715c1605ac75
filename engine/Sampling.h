#pragma once
// Sampling: what an antialiasing level means to the pixel loops, defined
// once: how far it oversamples, how it filters samples into a pixel, and the
// band height its loop fills the screen projection index with.

#include "host/toolkit/ScnRenderSettings.h"

// Integer weights of a filter over rows x columns samples, row-major, and
// the divisor of their weighted sum.
struct FilterKernel {
  int rows;
  int columns;
  const int* weights;
  int divisor;
  // Image pixel j filters sample columns step * j onward.
  int step;
};

namespace sampling {

inline constexpr int kBoxWeights[] = {1, 1, 1, 1};
inline constexpr int kTent3Weights[] = {1, 2, 1, 2, 4, 2, 1, 2, 1};
inline constexpr int kTent4Weights[] = {1, 2, 2, 1, 2, 4, 4, 2, 2, 4, 4, 2, 1, 2, 2, 1};

}  // namespace sampling

inline constexpr FilterKernel kBoxKernel{2, 2, sampling::kBoxWeights, 4, 2};
inline constexpr FilterKernel kTent3Kernel{3, 3, sampling::kTent3Weights, 16, 2};
inline constexpr FilterKernel kTent4Kernel{4, 4, sampling::kTent4Weights, 36, 4};

// The level a render runs at: the stored levels as they are; any other
// value like its nearest sensible level, above the highest as the highest,
// negative as normal.
constexpr int EffectiveAntialiasLevel(int stored) {
  return stored > kMaxAntialiasLevel ? kMaxAntialiasLevel : stored < 0 ? kAntialiasNormal : stored;
}

// Samples per image pixel side: 1, 2 for both the box and the 3 x 3 tent, 4.
constexpr int OversampleFactor(int level) {
  return level == kAntialiasNone ? 1 : level == kAntialiasBest4x4 ? 4 : 2;
}

// The 4 x 4 loop casts whole blocks of 4 rows per band: its band is the
// session's rounded down to a multiple of 4, plus 4 (36 or 8 for 32 or 4).
constexpr int LoopBandHeight(int level, int band_height) {
  return level == kAntialiasBest4x4 ? band_height / 4 * 4 + 4 : band_height;
}
