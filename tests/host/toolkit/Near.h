#pragma once
// Component-wise closeness of two points or vectors (any types with x, y, z),
// as an assertion result so that a failure names the caller's line.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

template <typename A, typename B>
::testing::AssertionResult Near(const A& a, const B& b, double tolerance) {
  const double off = std::max({std::fabs(double(a.x) - double(b.x)), std::fabs(double(a.y) - double(b.y)),
                               std::fabs(double(a.z) - double(b.z))});
  if (off <= tolerance) return ::testing::AssertionSuccess();  // NaN fails here too
  return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ") and (" << b.x << ", " << b.y
                                       << ", " << b.z << ") differ by " << off;
}
