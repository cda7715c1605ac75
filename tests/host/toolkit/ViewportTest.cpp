#include "host/toolkit/Viewport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "host/toolkit/Near.h"

namespace {

struct Pose { TK_3dPoint location; TK_3dVector direction, up; };

// Unit and non-unit directions, ups not perpendicular to the direction, and
// cameras looking along and across the axes.
const Pose kPoses[] = {
    {{0, 0, 0}, {0, 0, -1}, {0, 1, 0}},
    {{10, -4, 3}, {-1, 0.5, -0.25}, {0, 0, 1}},
    {{-3, 8, 20}, {0.2, -3, -1}, {1, 1, 1}},
    {{5, 5, 5}, {1, 0, 0}, {0, 0, 7}},
    {{0.5, -100, 2}, {0, 1, 0}, {0, 0.3, 1}},
};

// The camera frame as the viewport documents it, computed independently.
struct Frame { TK_3dVector x, y, z; };
Frame ExpectedFrame(const Pose& pose) {
  TK_3dVector d = pose.direction, u = pose.up;
  d.Unitize();
  u.Unitize();
  TK_3dVector x = TK_CrossProduct(d, u);
  x.Unitize();
  return {x, TK_CrossProduct(-d, x), -d};
}

TK_Viewport MakeCamera(TK::view_projection projection, const Pose& pose, double l, double r, double b, double t,
                       double n, double f, double width, double height) {
  TK_Viewport vp;
  EXPECT_TRUE(vp.SetProjection(projection) && vp.SetCameraLocation(pose.location) &&
              vp.SetCameraDirection(pose.direction) && vp.SetCameraUp(pose.up) && vp.SetFrustum(l, r, b, t, n, f) &&
              vp.SetScreenPort(0, width, height, 0, 0, 0));
  return vp;
}

TK_Xform Get(const TK_Viewport& vp, TK::coordinate_system from, TK::coordinate_system to) {
  TK_Xform x;
  EXPECT_TRUE(vp.GetXform(from, to, x));
  return x;
}

// A world point from camera coordinates (the camera looks down -z).
TK_3dPoint FromCamera(const Pose& pose, double cx, double cy, double cz) {
  const Frame f = ExpectedFrame(pose);
  return pose.location + f.x * cx + f.y * cy + f.z * cz;
}

// Points spread through the frustum, corners included: fractions across the
// view (-1..1) at depths from near to far.
std::vector<TK_3dPoint> FrustumSamples(const TK_Viewport& vp, const Pose& pose) {
  double l, r, b, t, n, f;
  vp.GetFrustum(l, r, b, t, n, f);
  std::vector<TK_3dPoint> points;
  for (double sx : {-1.0, -0.3, 0.0, 0.45, 1.0})
    for (double sy : {-1.0, -0.3, 0.0, 0.45, 1.0})
      for (double d : {n, 0.5 * (n + f), 0.9 * f + 0.1 * n, f}) {
        const double scale = vp.Projection() == TK::perspective ? d / n : 1.0;
        points.push_back(FromCamera(pose, (0.5 * (l + r) + sx * 0.5 * (r - l)) * scale,
                                    (0.5 * (b + t) + sy * 0.5 * (t - b)) * scale, -d));
      }
  return points;
}

// World to clip and screen against the pinhole and orthographic formulas,
// for several poses, an off-centre frustum, a non-square port, and (parallel)
// a frustum that starts behind the camera.
TEST(ViewportProjection, WorldToClipAndScreenFollowTheProjectionFormulas) {
  const struct {
    TK::view_projection projection;
    double l, r, b, t, n, f, W, H;
  } setups[] = {{TK::perspective, -0.8, 1.2, -0.5, 0.625, 2, 50, 640, 360},
                {TK::parallel, -7, 5, -10, 10, -5, 40, 300, 500}};
  for (const auto& s : setups) {
    const bool perspective = s.projection == TK::perspective;
    for (const Pose& pose : kPoses) {
      const TK_Viewport vp = MakeCamera(s.projection, pose, s.l, s.r, s.b, s.t, s.n, s.f, s.W, s.H);
      const TK_Xform w2s = Get(vp, TK::world, TK::screen), w2c = Get(vp, TK::world, TK::clip);
      const Frame fr = ExpectedFrame(pose);
      for (const TK_3dPoint& p : FrustumSamples(vp, pose)) {
        const TK_3dVector v = p - pose.location;
        const double depth = -TK_DotProduct(v, fr.z);
        const double k = perspective ? s.n / depth : 1.0;  // onto the near plane
        const double xn = TK_DotProduct(v, fr.x) * k, yn = TK_DotProduct(v, fr.y) * k;
        const TK_3dPoint c = w2c * p, sc = w2s * p;
        EXPECT_NEAR(c.x, 2 * (xn - s.l) / (s.r - s.l) - 1, 1e-12);
        EXPECT_NEAR(c.y, 2 * (yn - s.b) / (s.t - s.b) - 1, 1e-12);
        EXPECT_NEAR(sc.x, s.W * (xn - s.l) / (s.r - s.l), 1e-9);
        EXPECT_NEAR(sc.y, s.H * (1.0 - (yn - s.b) / (s.t - s.b)), 1e-9);  // y grows downward
        // Clip z: +1 on the near plane, -1 on the far one; hyperbolic in
        // depth for perspective, linear for parallel.
        const double cz = perspective ? 2 * s.f * s.n / ((s.f - s.n) * depth) - (s.f + s.n) / (s.f - s.n)
                                      : 1.0 - 2.0 * (depth - s.n) / (s.f - s.n);
        EXPECT_NEAR(c.z, cz, 1e-12);
        EXPECT_NEAR(sc.z, 0.5 * (1.0 - c.z), 1e-12);
      }
    }
  }
}

}  // namespace
