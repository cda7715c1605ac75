// A screen triangle's kept run of a row against its pixel-by-pixel test.

#include "camera/ScreenTriangle.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Edge lines of every slope and size, zero and signed zero among them, rows
// through and far beside them: the run holds exactly the pixels Excludes
// keeps, which are therefore never split.
TEST(ScreenTriangle, KeptRunHoldsExactlyThePixelsNotExcluded) {
  std::mt19937 random(7);
  const float magnitudes[] = {0.0f, -0.0f, 1e-30f, 1e-7f, 0.3f, 1.0f, 37.5f, 1e4f, 1e12f, 1e24f};
  const auto coefficient = [&] {
    const float m = magnitudes[random() % std::size(magnitudes)];
    return (random() % 2 ? m : -m) * std::uniform_real_distribution<float>(0.5f, 2.0f)(random);
  };
  for (int trial = 0; trial < 4000; ++trial) {
    ScreenTriangle t;
    t.valid = trial % 50 != 0;
    t.ox = int(random() % 400) - 100, t.oy = int(random() % 400) - 100;
    for (int e = 0; e < 3; ++e) t.a[e] = coefficient(), t.b[e] = coefficient(), t.c[e] = coefficient();
    ASSERT_TRUE(t.HasRuns());
    const int first = int(random() % 300) - 50, last = first + int(random() % 200) - 5;
    const float margin = trial % 3 ? ScreenTriangle::kMargin : 0.0f;
    for (int y = -20; y < 220; y += 7) {
      const auto [begin, end] = t.KeptRun(y, first, last, margin);
      for (int x = first; x <= last; ++x)
        ASSERT_EQ(x >= begin && x < end, !t.Excludes(x, y, margin)) << "trial " << trial << " pixel " << x << ", " << y;
    }
  }
  ScreenTriangle huge;
  huge.valid = true, huge.a[1] = 1e30f;
  EXPECT_FALSE(huge.HasRuns());
}

}  // namespace
