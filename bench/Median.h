#pragma once
// The median of a benchmark's paired ratios or times: the figure the
// benchmarks report for a noisy, shared machine. Zero for no values.

#include <algorithm>
#include <vector>

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}
