#include "host/toolkit/Viewport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "support/Near.h"

namespace {

constexpr double kPi = std::numbers::pi;

struct Pose {
  TK_3dPoint location;
  TK_3dVector direction;
  TK_3dVector up;
};

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
struct Frame {
  TK_3dVector x, y, z;
};
Frame ExpectedFrame(const Pose& pose) {
  TK_3dVector d = pose.direction, u = pose.up;
  d.Unitize();
  u.Unitize();
  Frame f;
  f.z = -d;
  f.x = TK_CrossProduct(d, u);
  f.x.Unitize();
  f.y = TK_CrossProduct(f.z, f.x);
  return f;
}

TK_Viewport MakeCamera(TK::view_projection projection, const Pose& pose, double l, double r, double b, double t,
                       double n, double f, double width, double height) {
  TK_Viewport vp;
  EXPECT_TRUE(vp.SetProjection(projection));
  EXPECT_TRUE(vp.SetCameraLocation(pose.location));
  EXPECT_TRUE(vp.SetCameraDirection(pose.direction));
  EXPECT_TRUE(vp.SetCameraUp(pose.up));
  EXPECT_TRUE(vp.SetFrustum(l, r, b, t, n, f));
  EXPECT_TRUE(vp.SetScreenPort(0, width, height, 0, 0, 0));
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

TEST(ViewportFrame, IsOrthonormalRightHandedAndFollowsDirectionAndUp) {
  TK_Viewport vp;
  TK_3dPoint l;
  TK_3dVector x, y, z;
  for (const Pose& pose : kPoses) {
    ASSERT_TRUE(vp.SetCameraLocation(pose.location));
    ASSERT_TRUE(vp.SetCameraDirection(pose.direction));
    ASSERT_TRUE(vp.SetCameraUp(pose.up));
    ASSERT_TRUE(vp.GetCameraFrame(l, x, y, z));
    EXPECT_EQ(l, pose.location);
    const Frame e = ExpectedFrame(pose);
    EXPECT_TRUE(Near(x, e.x, 1e-14) && Near(y, e.y, 1e-14) && Near(z, e.z, 1e-14));
    EXPECT_TRUE(Near(vp.CameraX(), x, 0) && Near(vp.CameraY(), y, 0) && Near(vp.CameraZ(), z, 0));
    // An up leaning toward the direction is straightened.
    EXPECT_NEAR(TK_DotProduct(x, y), 0.0, 1e-14);
    EXPECT_TRUE(Near(TK_CrossProduct(x, y), z, 1e-14));
    EXPECT_GT(TK_DotProduct(y, pose.up), 0.0);
    // Depth (L - P).Z is positive ahead of the camera.
    const TK_3dPoint ahead = pose.location + pose.direction * 3.0;
    EXPECT_NEAR(TK_DotProduct(pose.location - ahead, z), 3.0 * pose.direction.Length(), 1e-12);
  }
}

TEST(ViewportFrame, FailsForZeroOrParallelDirectionAndUp) {
  TK_Viewport vp;
  TK_3dPoint l;
  TK_3dVector x, y, z;
  TK_Xform m;
  TK_Plane plane;
  ASSERT_TRUE(vp.SetCameraDirection({0, 0, -2}));
  ASSERT_TRUE(vp.SetCameraUp({0, 0, 5}));
  EXPECT_FALSE(vp.GetCameraFrame(l, x, y, z));
  EXPECT_EQ(vp.CameraX(), TK_3dVector());
  EXPECT_FALSE(vp.GetXform(TK::world, TK::screen, m));
  EXPECT_FALSE(vp.GetNearPlane(plane));
  ASSERT_TRUE(vp.SetCameraUp({0, 1, 0}));
  ASSERT_TRUE(vp.SetCameraDirection({0, 0, 0}));
  EXPECT_FALSE(vp.GetCameraFrame(l, x, y, z));
  EXPECT_TRUE(vp.GetXform(TK::camera, TK::clip, m));  // the frustum part does not need the frame
  // Non-finite input is refused and leaves the camera as it was.
  EXPECT_FALSE(vp.SetCameraDirection({std::nan(""), 0, 0}));
  EXPECT_EQ(vp.CameraDirection(), TK_3dVector(0, 0, 0));
  EXPECT_FALSE(vp.SetCameraLocation({0, INFINITY, 0}));
  EXPECT_EQ(vp.CameraLocation(), TK_3dPoint(0, 0, 0));
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

TEST(ViewportScreen, PortDepthRangeMapsNearToPortNearAndThePortMayBeFlipped) {
  const Pose pose = kPoses[1];
  TK_Viewport vp = MakeCamera(TK::perspective, pose, -1, 1, -1, 1, 1, 10, 100, 100);
  const TK_3dPoint on_near = FromCamera(pose, 0.2, 0.1, -1), on_far = FromCamera(pose, 3, -2, -10);
  ASSERT_TRUE(vp.SetScreenPort(0, 100, 100, 0, 5, -3));  // clip +1..-1 -> near..far of the port
  TK_Xform w2s = Get(vp, TK::world, TK::screen);
  EXPECT_NEAR((w2s * on_near).z, 5.0, 1e-12);
  EXPECT_NEAR((w2s * on_far).z, -3.0, 1e-12);
  ASSERT_TRUE(vp.SetScreenPort(100, 0, 0, 100, 0, 0));
  EXPECT_TRUE(Near(Get(vp, TK::world, TK::screen) * FromCamera(pose, -1, -1, -1), TK_3dPoint(100, 0, 0), 1e-9));
  EXPECT_DOUBLE_EQ(vp.GetScreenPortAspect(), 1.0);
}

// The renderer hands camera-to-clip with the z row negated to OpenGL and
// reads depth back as 0 (near) .. 1 (far): both must agree with OpenGL's own
// glFrustum and glOrtho matrices.
TEST(ViewportOpenGL, NegatedZRowIsTheOpenGLProjection) {
  const double l = -0.7, r = 0.9, b = -0.4, t = 0.6, n = 0.5, f = 80;
  const double frustum[4][4] = {{2 * n / (r - l), 0, (r + l) / (r - l), 0},
                                {0, 2 * n / (t - b), (t + b) / (t - b), 0},
                                {0, 0, -(f + n) / (f - n), -2 * f * n / (f - n)},
                                {0, 0, -1, 0}};
  const double ortho[4][4] = {{2 / (r - l), 0, 0, -(r + l) / (r - l)},
                              {0, 2 / (t - b), 0, -(t + b) / (t - b)},
                              {0, 0, -2 / (f - n), -(f + n) / (f - n)},
                              {0, 0, 0, 1}};
  for (TK::view_projection projection : {TK::perspective, TK::parallel}) {
    TK_Xform c2c = Get(MakeCamera(projection, kPoses[2], l, r, b, t, n, f, 64, 64), TK::camera, TK::clip);
    for (int j = 0; j < 4; ++j) c2c[2][j] = -c2c[2][j];
    const auto& gl = projection == TK::perspective ? frustum : ortho;
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) EXPECT_NEAR(c2c[i][j], gl[i][j], 1e-13) << i << "," << j;
  }
}

TEST(ViewportRoundTrip, WorldScreenWorldAndEveryInverse) {
  const TK::coordinate_system systems[] = {TK::world, TK::camera, TK::clip, TK::screen};
  for (TK::view_projection projection : {TK::perspective, TK::parallel}) {
    for (const Pose& pose : kPoses) {
      const TK_Viewport vp = MakeCamera(projection, pose, -1.5, 0.5, -0.25, 1, 0.1, 1000, 1920, 1080);
      const TK_Xform w2s = Get(vp, TK::world, TK::screen), s2w = Get(vp, TK::screen, TK::world);
      for (const TK_3dPoint& p : FrustumSamples(vp, pose))
        EXPECT_TRUE(Near(s2w * (w2s * p), p, 1e-9 * (1.0 + p.DistanceTo(pose.location))));
      for (auto a : systems)
        for (auto b : systems) {
          TK_Xform prod = Get(vp, a, b) * Get(vp, b, a);
          // Homogeneous products may carry a common factor: normalise by [3][3].
          ASSERT_NE(prod[3][3], 0.0);
          const double w = prod[3][3];
          for (auto& row : prod.m_xform)
            for (double& e : row) e /= w;
          EXPECT_TRUE(prod.IsIdentity(1e-9)) << a << "->" << b;
        }
    }
  }
}

// The ray the renderer builds for a screen position: coefficients a..f from
// rows 0 and 1 (columns 0, 1, 3) of screen-to-clip, then clip-to-world of
// (cx, cy, +1) and (cx, cy, -1).
TEST(ViewportPixelRay, PassesThroughThePointThatProjectsThere) {
  for (TK::view_projection projection : {TK::perspective, TK::parallel}) {
    for (const Pose& pose : kPoses) {
      const TK_Viewport vp = MakeCamera(projection, pose, -1, 1.5, -0.5, 0.75, 0.25, 300, 1000, 400);
      const TK_Xform s2c = Get(vp, TK::screen, TK::clip), c2w = Get(vp, TK::clip, TK::world);
      const TK_Xform w2s = Get(vp, TK::world, TK::screen);
      const double a = s2c[0][0], b = s2c[0][1], c = s2c[0][3], d = s2c[1][0], e = s2c[1][1], f = s2c[1][3];
      const Frame fr = ExpectedFrame(pose);
      for (const TK_3dPoint& p : FrustumSamples(vp, pose)) {
        const TK_3dPoint s = w2s * p;
        const double cx = a * s.x + b * s.y + c, cy = d * s.x + e * s.y + f;
        const TK_3dPoint o = c2w * TK_3dPoint(cx, cy, 1.0), far = c2w * TK_3dPoint(cx, cy, -1.0);
        TK_3dVector dir = far - o;
        ASSERT_TRUE(dir.Unitize());
        // The ray starts on the near plane, runs away from the camera and
        // reaches p at a non-negative parameter.
        EXPECT_NEAR(TK_DotProduct(pose.location - o, fr.z), 0.25, 1e-9);
        EXPECT_LT(TK_DotProduct(dir, fr.z), 0.0);
        const double tp = TK_DotProduct(p - o, dir);
        EXPECT_GE(tp, -1e-9);
        EXPECT_LT((o + dir * tp).DistanceTo(p), 1e-9 * (1.0 + tp));
        if (projection == TK::parallel) {
          EXPECT_TRUE(Near(dir, -fr.z, 1e-12));
        }
      }
    }
  }
}

std::vector<double> FrustumOf(const TK_Viewport& vp) {
  double l, r, b, t, n, f;
  vp.GetFrustum(l, r, b, t, n, f);
  return {l, r, b, t, n, f};
}

TEST(ViewportFrustum, UnusableFrustaAreRefused) {
  TK_Viewport vp;
  const std::vector<double> before = FrustumOf(vp);
  EXPECT_FALSE(vp.SetFrustum(1, -1, -1, 1, 1, 10));   // left > right
  EXPECT_FALSE(vp.SetFrustum(-1, 1, 1, 1, 1, 10));    // no height
  EXPECT_FALSE(vp.SetFrustum(-1, 1, -1, 1, 10, 10));  // near == far
  EXPECT_FALSE(vp.SetFrustum(-1, 1, -1, 1, 0, 10));   // perspective needs near > 0
  EXPECT_FALSE(vp.SetFrustum(-1, 1, -1, 1, 1, INFINITY));
  EXPECT_FALSE(vp.SetFrustumNearFar(-2, -1));  // a scene wholly behind the camera
  EXPECT_FALSE(vp.SetFrustumAspect(0));
  EXPECT_FALSE(vp.SetCameraAngle(kPi / 2));
  EXPECT_FALSE(vp.SetCameraAngle(0));
  EXPECT_EQ(FrustumOf(vp), before);

  // A parallel view may start behind its location; a perspective one with
  // that frustum has no clip transform.
  ASSERT_TRUE(vp.SetProjection(TK::parallel));
  EXPECT_TRUE(vp.SetFrustum(-1, 1, -1, 1, -5, 10));
  ASSERT_TRUE(vp.SetProjection(TK::perspective));
  TK_Xform m;
  EXPECT_FALSE(vp.GetXform(TK::camera, TK::clip, m));
  EXPECT_FALSE(vp.SetProjection(TK::unknown));
}

TEST(ViewportFrustum, NearFarKeepsPerspectiveAnglesAndParallelExtent) {
  const Pose pose = kPoses[2];
  TK_Viewport vp = MakeCamera(TK::perspective, pose, -0.4, 0.6, -0.3, 0.3, 1, 100, 500, 300);
  const TK_3dPoint p = FromCamera(pose, 3, -2, -20);
  const TK_3dPoint before = Get(vp, TK::world, TK::screen) * p;
  ASSERT_TRUE(vp.SetFrustumNearFar(4, 30));
  const TK_3dPoint after = Get(vp, TK::world, TK::screen) * p;
  EXPECT_NEAR(after.x, before.x, 1e-9);
  EXPECT_NEAR(after.y, before.y, 1e-9);
  const std::vector<double> frustum = FrustumOf(vp);
  EXPECT_DOUBLE_EQ(frustum[0], -1.6);
  EXPECT_DOUBLE_EQ(frustum[3], 1.2);
  EXPECT_NEAR((Get(vp, TK::world, TK::clip) * FromCamera(pose, 0, 0, -4)).z, 1.0, 1e-12);
  EXPECT_NEAR((Get(vp, TK::world, TK::clip) * FromCamera(pose, 0, 0, -30)).z, -1.0, 1e-12);

  TK_Viewport ortho = MakeCamera(TK::parallel, pose, -4, 6, -3, 3, 1, 100, 500, 300);
  ASSERT_TRUE(ortho.SetFrustumNearFar(0.5, 2));
  EXPECT_EQ(FrustumOf(ortho), std::vector<double>({-4, 6, -3, 3, 0.5, 2}));
}

// Half-angle of the narrower side, whatever the aspect; the narrower side
// keeps it when the aspect changes afterwards.
TEST(ViewportFrustum, CameraAngleIsTheHalfAngleOfTheNarrowerSide) {
  const Pose pose = kPoses[0];
  const double a = 0.35, depth = 7, edge = std::tan(a) * depth;
  // Square port: a point at angle a off the axis, sideways or up, is on the edge.
  TK_Viewport square = MakeCamera(TK::perspective, pose, -1, 1, -1, 1, 0.5, 100, 256, 256);
  ASSERT_TRUE(square.SetCameraAngle(a));
  ASSERT_TRUE(square.SetFrustumAspect(square.GetScreenPortAspect()));
  TK_Xform w2s = Get(square, TK::world, TK::screen);
  EXPECT_NEAR((w2s * FromCamera(pose, edge, 0, -depth)).x, 256, 1e-9);
  EXPECT_NEAR((w2s * FromCamera(pose, 0, edge, -depth)).y, 0, 1e-9);

  // Wide port (2:1), angle set first on a square frustum: the height carries a.
  TK_Viewport wide = MakeCamera(TK::perspective, pose, -1, 1, -1, 1, 0.5, 100, 400, 200);
  ASSERT_TRUE(wide.SetCameraAngle(a));
  ASSERT_TRUE(wide.SetFrustumAspect(wide.GetScreenPortAspect()));
  w2s = Get(wide, TK::world, TK::screen);
  EXPECT_NEAR((w2s * FromCamera(pose, 0, edge, -depth)).y, 0, 1e-9);
  EXPECT_NEAR((w2s * FromCamera(pose, 2 * edge, 0, -depth)).x, 400, 1e-9);

  // Angle set on a wide frustum (3:1, the height narrower), then a tall port:
  // the width now carries a.
  TK_Viewport tall = MakeCamera(TK::perspective, pose, -3, 3, -1, 1, 0.5, 100, 100, 300);
  ASSERT_TRUE(tall.SetCameraAngle(a));
  const std::vector<double> frustum = FrustumOf(tall);
  EXPECT_NEAR(frustum[3], 0.5 * std::tan(a), 1e-15);
  EXPECT_NEAR(frustum[1], 1.5 * std::tan(a), 1e-15);
  ASSERT_TRUE(tall.SetFrustumAspect(tall.GetScreenPortAspect()));
  w2s = Get(tall, TK::world, TK::screen);
  EXPECT_NEAR((w2s * FromCamera(pose, edge, 0, -depth)).x, 100, 1e-9);
  EXPECT_NEAR((w2s * FromCamera(pose, 0, 3 * edge, -depth)).y, 0, 1e-9);
}

TEST(ViewportFrustum, AspectKeepsTheCentreAndTheShorterHalfSide) {
  TK_Viewport vp;
  ASSERT_TRUE(vp.SetFrustum(1, 5, -1, 2, 1, 10));  // centre (3, 0.5), half sides 2 and 1.5
  ASSERT_TRUE(vp.SetFrustumAspect(2.0));
  EXPECT_EQ(FrustumOf(vp), std::vector<double>({0, 6, -1, 2, 1, 10}));
  ASSERT_TRUE(vp.SetFrustumAspect(0.5));
  EXPECT_EQ(FrustumOf(vp), std::vector<double>({1.5, 4.5, -2.5, 3.5, 1, 10}));
}

TEST(ViewportPort, AspectAndDegeneratePorts) {
  TK_Viewport vp;
  ASSERT_TRUE(vp.SetScreenPort(0, 640, 480, 0, 0, 0));
  EXPECT_DOUBLE_EQ(vp.GetScreenPortAspect(), 640.0 / 480.0);
  // A port without pixels: clip-to-screen exists, its inverse does not.
  ASSERT_TRUE(vp.SetScreenPort(0, 0, 0, 0, 0, 0));
  EXPECT_EQ(vp.GetScreenPortAspect(), 0.0);
  TK_Xform m;
  EXPECT_TRUE(vp.GetXform(TK::world, TK::screen, m));
  EXPECT_FALSE(vp.GetXform(TK::screen, TK::world, m));
  EXPECT_FALSE(vp.SetScreenPort(0, NAN, 1, 0, 0, 0));
}

TEST(ViewportNearPlane, CentredOnTheAxisAtNearWithTheCameraFrame) {
  for (const Pose& pose : kPoses) {
    const TK_Viewport vp = MakeCamera(TK::perspective, pose, -1, 2, -1, 0.5, 3, 30, 100, 100);
    TK_Plane plane;
    ASSERT_TRUE(vp.GetNearPlane(plane));
    TK_3dVector d = pose.direction;
    d.Unitize();
    EXPECT_TRUE(Near(plane.PointAt(0, 0), pose.location + d * 3.0, 1e-12));
    const Frame fr = ExpectedFrame(pose);
    EXPECT_TRUE(Near(plane.xaxis, fr.x, 1e-14) && Near(plane.yaxis, fr.y, 1e-14) && Near(plane.zaxis, fr.z, 1e-14));
    // Every point of clip depth +1 lies on it.
    const TK_Xform c2w = Get(vp, TK::clip, TK::world);
    for (double cx : {-1.0, 0.3, 1.0}) EXPECT_NEAR(plane.DistanceTo(c2w * TK_3dPoint(cx, -cx, 1.0)), 0.0, 1e-12);
  }
}

TEST(ViewportBox, HoldsTheEightFrustumCorners) {
  TK_Viewport vp = MakeCamera(TK::perspective, kPoses[0], -1, 1, -0.5, 0.5, 1, 10, 10, 10);
  EXPECT_TRUE(Near(vp.BoundingBox().Min(), TK_3dPoint(-10, -5, -10), 1e-9));
  EXPECT_TRUE(Near(vp.BoundingBox().Max(), TK_3dPoint(10, 5, -1), 1e-9));
  ASSERT_TRUE(vp.SetProjection(TK::parallel));
  EXPECT_TRUE(Near(vp.BoundingBox().Min(), TK_3dPoint(-1, -0.5, -10), 1e-12));
  EXPECT_TRUE(Near(vp.BoundingBox().Max(), TK_3dPoint(1, 0.5, -1), 1e-12));
  ASSERT_TRUE(vp.Transform(TK_Xform::Translation({5, 0, 0})));
  EXPECT_NEAR(vp.BoundingBox().Center().x, 5.0, 1e-12);
  ASSERT_TRUE(vp.SetCameraUp({0, 0, 0}));
  EXPECT_FALSE(vp.BoundingBox().IsValid());
}

TEST(ViewportTransform, TurnsTheCameraWithoutChangingTheFrustum) {
  const TK_Viewport vp = MakeCamera(TK::perspective, kPoses[0], -1, 1, -1, 1, 1, 10, 10, 10);
  TK_Viewport moved = vp;
  ASSERT_TRUE(moved.Rotate(kPi / 2, {0, 1, 0}, {0, 0, -5}));
  EXPECT_TRUE(Near(moved.CameraLocation(), TK_3dPoint(5, 0, -5), 1e-12));
  EXPECT_TRUE(Near(moved.CameraDirection(), TK_3dVector(-1, 0, 0), 1e-15));
  EXPECT_TRUE(Near(moved.CameraUp(), TK_3dVector(0, 1, 0), 1e-15));
  EXPECT_EQ(FrustumOf(moved), FrustumOf(vp));
  EXPECT_FALSE(moved == vp);
  ASSERT_TRUE(moved.Rotate(-kPi / 2, {0, 1, 0}, {0, 0, -5}));
  EXPECT_TRUE(Near(moved.CameraLocation(), vp.CameraLocation(), 1e-12));
}

}  // namespace
