#pragma once
// ScreenTriangle: a triangle on the screen as three edge lines in pixel
// units, kept to tell quickly that a pixel lies well outside it. A value.

// The edge lines are positive inside and taken relative to the pixel
// (ox, oy), so that single precision holds them near the screen. Only
// triangles wholly in front of the near plane and not too far off the
// screen have one (`valid`).

#include <cmath>
#include <utility>

struct ScreenTriangle {
  // Pixels a point must lie outside before a face is left out of its cell:
  // beyond the rounding of the single-precision edge lines (at most about
  // 1/100 pixel where the camera makes them) and of the exact ray test,
  // whose reach beyond the triangle the projection bounds per face.
  static constexpr float kMargin = 1.0f / 32.0f;

  int ox = 0, oy = 0;
  float a[3] = {0, 0, 0}, b[3] = {0, 0, 0}, c[3] = {0, 0, 0};
  bool valid = false;
  // Whether screen point (x, y) lies more than `margin` pixels outside.
  bool Excludes(int x, int y, float margin) const {
    const float fx = float(x - ox), fy = float(y - oy);
    return valid && (a[0] * fx + b[0] * fy + c[0] < -margin || a[1] * fx + b[1] * fy + c[1] < -margin ||
                     a[2] * fx + b[2] * fy + c[2] < -margin);
  }
  // Whether KeptRun may be used: no coefficient so large (or not a number)
  // that a sum could overflow, for any pixel offset an int holds.
  bool HasRuns() const {
    constexpr float kSafe = 1e25f;
    for (int e = 0; e < 3; ++e)
      if (!(std::fabs(a[e]) <= kSafe && std::fabs(b[e]) <= kSafe && std::fabs(c[e]) <= kSafe)) return false;
    return true;
  }
  // The pixels of row y from `first` to `last` that Excludes keeps, which
  // are one run: each edge's value, rounded as there, moves one way along a
  // row, so each edge cuts the run at one end. The end is solved for, then
  // moved pixel by pixel to where Excludes puts it. Returned as [begin,
  // end), empty when begin >= end. Needs HasRuns().
  std::pair<int, int> KeptRun(int y, int first, int last, float margin) const {
    int begin = first, end = last + 1;
    if (!valid) return {begin, end};
    const float fy = float(y - oy);
    for (int e = 0; e < 3 && begin < end; ++e) {
      const auto out = [&](int x) { return a[e] * float(x - ox) + b[e] * fy + c[e] < -margin; };
      if (a[e] == 0.0f) {
        if (out(begin)) end = begin;
        continue;
      }
      // Any start within [begin, end] reaches the same end below: the cut,
      // truncated, is near it.
      const double cut = double(ox) + (double(-margin) - (double(b[e]) * fy + c[e])) / a[e];
      int x = !(cut > begin) ? begin : !(cut < end) ? end : int(cut);
      if (a[e] > 0.0f) {  // out up to the cut, kept from there on
        while (x > begin && !out(x - 1)) --x;
        while (x < end && out(x)) ++x;
        begin = x;
      } else {  // kept up to the cut, out from there on
        while (x > begin && out(x - 1)) --x;
        while (x < end && !out(x)) ++x;
        end = x;
      }
    }
    return {begin, end};
  }
};
