#pragma once
// The two builds of the pixel path's four-lane arithmetic: the x86-64
// baseline one, and AVX2 without fused multiply-adds, so that both round
// every lane as scalar code does and give the same bits. The processor is
// asked once, on first use; the AVX2 path runs only where it answers yes.

enum class SimdPath { baseline, avx2 };

// AVX2 where this processor has it, else the baseline.
SimdPath ChosenSimdPath();
// `path`, or the baseline where AVX2 is not to be had.
SimdPath SupportedSimdPath(SimdPath path);
