#pragma once
// ScreenTriangle: a triangle on the screen as three edge lines in pixel
// units, kept to tell quickly that a pixel lies well outside it. A value.

// The edge lines are positive inside and taken relative to the pixel
// (ox, oy), so that single precision holds them near the screen. Only
// triangles wholly in front of the near plane and not too far off the
// screen have one (`valid`).
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
};
