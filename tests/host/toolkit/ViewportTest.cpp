#include "host/toolkit/Viewport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;

struct Pose {
  TK_3dPoint location;
  TK_3dVector direction;
  TK_3dVector up;
};

// Poses with unit and non-unit directions, ups not perpendicular to the
// direction, and cameras looking along and across the axes.
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

// A world point from camera coordinates (camera looks down -z).
TK_3dPoint FromCamera(const Pose& pose, double cx, double cy, double cz) {
  const Frame f = ExpectedFrame(pose);
  return pose.location + f.x * cx + f.y * cy + f.z * cz;
}

void ExpectNearPoint(const TK_3dPoint& a, const TK_3dPoint& b, double tol) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

void ExpectNearVector(const TK_3dVector& a, const TK_3dVector& b, double tol) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

// Points spread through the frustum, given in camera coordinates as
// fractions across the view (-1..1) and a depth between near and far.
std::vector<TK_3dPoint> FrustumSamples(const TK_Viewport& vp, const Pose& pose) {
  double l, r, b, t, n, f;
  vp.GetFrustum(l, r, b, t, n, f);
  std::vector<TK_3dPoint> points;
  const double fractions[] = {-0.9, -0.3, 0.0, 0.45, 1.0};
  const double depths[] = {n, 0.5 * (n + f), 0.9 * f + 0.1 * n, f};
  for (double sx : fractions)
    for (double sy : fractions)
      for (double d : depths) {
        const double scale = vp.Projection() == TK::perspective ? d / n : 1.0;
        const double cx = (0.5 * (l + r) + sx * 0.5 * (r - l)) * scale;
        const double cy = (0.5 * (b + t) + sy * 0.5 * (t - b)) * scale;
        points.push_back(FromCamera(pose, cx, cy, -d));
      }
  return points;
}

TEST(ViewportFrame, FollowsDirectionAndUp) {
  TK_Viewport vp;
  TK_3dPoint l;
  TK_3dVector x, y, z;
  // Looking down +x with +z up: right is -y.
  ASSERT_TRUE(vp.SetCameraLocation({1, 2, 3}));
  ASSERT_TRUE(vp.SetCameraDirection({4, 0, 0}));
  ASSERT_TRUE(vp.SetCameraUp({0, 0, 2}));
  ASSERT_TRUE(vp.GetCameraFrame(l, x, y, z));
  EXPECT_EQ(l, TK_3dPoint(1, 2, 3));
  ExpectNearVector(x, {0, -1, 0}, 1e-15);
  ExpectNearVector(y, {0, 0, 1}, 1e-15);
  ExpectNearVector(z, {-1, 0, 0}, 1e-15);
  ExpectNearVector(vp.CameraX(), x, 0);
  ExpectNearVector(vp.CameraY(), y, 0);
  ExpectNearVector(vp.CameraZ(), z, 0);

  // An up that leans toward the direction is straightened; the frame stays
  // orthonormal and right-handed, and depth (L - P).Z is positive ahead.
  for (const Pose& pose : kPoses) {
    ASSERT_TRUE(vp.SetCameraLocation(pose.location));
    ASSERT_TRUE(vp.SetCameraDirection(pose.direction));
    ASSERT_TRUE(vp.SetCameraUp(pose.up));
    ASSERT_TRUE(vp.GetCameraFrame(l, x, y, z));
    const Frame e = ExpectedFrame(pose);
    ExpectNearVector(x, e.x, 1e-14);
    ExpectNearVector(y, e.y, 1e-14);
    ExpectNearVector(z, e.z, 1e-14);
    EXPECT_NEAR(TK_DotProduct(x, y), 0.0, 1e-14);
    EXPECT_NEAR(y.Length(), 1.0, 1e-14);
    ExpectNearVector(TK_CrossProduct(x, y), z, 1e-14);
    EXPECT_GT(TK_DotProduct(y, pose.up), 0.0);
    const TK_3dPoint ahead = pose.location + pose.direction * 3.0;
    EXPECT_NEAR(TK_DotProduct(pose.location - ahead, z), 3.0 * pose.direction.Length(), 1e-12);
  }
}

TEST(ViewportFrame, FailsForZeroOrParallelDirectionAndUp) {
  TK_Viewport vp;
  TK_3dPoint l;
  TK_3dVector x, y, z;
  ASSERT_TRUE(vp.SetCameraDirection({0, 0, -2}));
  ASSERT_TRUE(vp.SetCameraUp({0, 0, 5}));
  EXPECT_FALSE(vp.GetCameraFrame(l, x, y, z));
  EXPECT_EQ(vp.CameraX(), TK_3dVector());
  TK_Xform m;
  EXPECT_FALSE(vp.GetXform(TK::world, TK::screen, m));
  TK_Plane plane;
  EXPECT_FALSE(vp.GetNearPlane(plane));
  ASSERT_TRUE(vp.SetCameraUp({0, 1, 0}));
  ASSERT_TRUE(vp.SetCameraDirection({0, 0, 0}));
  EXPECT_FALSE(vp.GetCameraFrame(l, x, y, z));
  // The frustum part of the chain does not need the frame.
  EXPECT_TRUE(vp.GetXform(TK::camera, TK::clip, m));
  // Non-finite input is refused and leaves the camera as it was.
  EXPECT_FALSE(vp.SetCameraDirection({std::nan(""), 0, 0}));
  EXPECT_EQ(vp.CameraDirection(), TK_3dVector(0, 0, 0));
  EXPECT_FALSE(vp.SetCameraLocation({0, INFINITY, 0}));
  EXPECT_EQ(vp.CameraLocation(), TK_3dPoint(0, 0, 0));
}

// The perspective mapping against the pinhole formula, for several poses,
// an off-centre frustum and a non-square port.
TEST(ViewportPerspective, WorldToScreenIsThePinholeProjection) {
  const double W = 640, H = 360, l = -0.8, r = 1.2, b = -0.5, t = 0.625, n = 2, f = 50;
  for (const Pose& pose : kPoses) {
    const TK_Viewport vp = MakeCamera(TK::perspective, pose, l, r, b, t, n, f, W, H);
    const TK_Xform w2s = Get(vp, TK::world, TK::screen);
    const TK_Xform w2c = Get(vp, TK::world, TK::clip);
    const Frame fr = ExpectedFrame(pose);
    for (const TK_3dPoint& p : FrustumSamples(vp, pose)) {
      const TK_3dVector v = p - pose.location;
      const double xc = TK_DotProduct(v, fr.x), yc = TK_DotProduct(v, fr.y), depth = -TK_DotProduct(v, fr.z);
      const double xn = xc * n / depth, yn = yc * n / depth;  // on the near plane
      const TK_3dPoint s = w2s * p;
      EXPECT_NEAR(s.x, W * (xn - l) / (r - l), 1e-9);
      EXPECT_NEAR(s.y, H * (1.0 - (yn - b) / (t - b)), 1e-9);  // y grows downward
      // Clip z: +1 on the near plane, -1 on the far plane, hyperbolic between.
      const TK_3dPoint c = w2c * p;
      EXPECT_NEAR(c.z, 2 * f * n / ((f - n) * depth) - (f + n) / (f - n), 1e-12);
      EXPECT_NEAR(s.z, 0.5 * (1.0 - c.z), 1e-12);
    }
  }
}

TEST(ViewportParallel, WorldToScreenIsTheOrthographicProjection) {
  const double W = 300, H = 500, l = -7, r = 5, b = -10, t = 10, n = -5, f = 40;
  for (const Pose& pose : kPoses) {
    const TK_Viewport vp = MakeCamera(TK::parallel, pose, l, r, b, t, n, f, W, H);
    const TK_Xform w2s = Get(vp, TK::world, TK::screen);
    const TK_Xform w2c = Get(vp, TK::world, TK::clip);
    const Frame fr = ExpectedFrame(pose);
    for (const TK_3dPoint& p : FrustumSamples(vp, pose)) {
      const TK_3dVector v = p - pose.location;
      const double xc = TK_DotProduct(v, fr.x), yc = TK_DotProduct(v, fr.y), depth = -TK_DotProduct(v, fr.z);
      const TK_3dPoint s = w2s * p;
      EXPECT_NEAR(s.x, W * (xc - l) / (r - l), 1e-9);
      EXPECT_NEAR(s.y, H * (1.0 - (yc - b) / (t - b)), 1e-9);
      EXPECT_NEAR((w2c * p).z, 1.0 - 2.0 * (depth - n) / (f - n), 1e-12);  // linear in depth
    }
  }
}

TEST(ViewportClip, NearPlaneIsPlusOneFarPlaneMinusOneAndCornersMatchThePort) {
  const double W = 800, H = 200;
  for (TK::view_projection projection : {TK::perspective, TK::parallel}) {
    for (const Pose& pose : kPoses) {
      const TK_Viewport vp = MakeCamera(projection, pose, -2, 1, -0.5, 1.5, 1, 9, W, H);
      const TK_Xform w2c = Get(vp, TK::world, TK::clip), w2s = Get(vp, TK::world, TK::screen);
      const double k = projection == TK::perspective ? 9.0 : 1.0;  // far corners spread in perspective
      // Near top-left corner: clip (-1, +1, +1), screen (0, 0, 0).
      const TK_3dPoint near_tl = FromCamera(pose, -2, 1.5, -1);
      ExpectNearPoint(w2c * near_tl, {-1, 1, 1}, 1e-12);
      ExpectNearPoint(w2s * near_tl, {0, 0, 0}, 1e-9);
      // Far bottom-right corner: clip (+1, -1, -1), screen (W, H, 1).
      const TK_3dPoint far_br = FromCamera(pose, 1 * k, -0.5 * k, -9);
      ExpectNearPoint(w2c * far_br, {1, -1, -1}, 1e-12);
      ExpectNearPoint(w2s * far_br, {W, H, 1}, 1e-9);
    }
  }
}

TEST(ViewportScreen, PortDepthRangeMapsNearToPortNearAndEqualNearFarToZeroOne) {
  const Pose pose = kPoses[1];
  TK_Viewport vp = MakeCamera(TK::perspective, pose, -1, 1, -1, 1, 1, 10, 100, 100);
  const TK_3dPoint on_near = FromCamera(pose, 0.2, 0.1, -1), on_far = FromCamera(pose, 3, -2, -10);
  TK_Xform w2s = Get(vp, TK::world, TK::screen);
  EXPECT_NEAR((w2s * on_near).z, 0.0, 1e-12);
  EXPECT_NEAR((w2s * on_far).z, 1.0, 1e-12);
  // A port with its own depth range: clip +1..-1 -> near..far of the port.
  ASSERT_TRUE(vp.SetScreenPort(0, 100, 100, 0, 5, -3));
  w2s = Get(vp, TK::world, TK::screen);
  EXPECT_NEAR((w2s * on_near).z, 5.0, 1e-12);
  EXPECT_NEAR((w2s * on_far).z, -3.0, 1e-12);
  // The port may be flipped horizontally as well.
  ASSERT_TRUE(vp.SetScreenPort(100, 0, 0, 100, 0, 0));
  w2s = Get(vp, TK::world, TK::screen);
  ExpectNearPoint(w2s * FromCamera(pose, -1, -1, -1), {100, 0, 0}, 1e-9);
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
    const TK_Viewport vp = MakeCamera(projection, kPoses[2], l, r, b, t, n, f, 64, 64);
    TK_Xform c2c = Get(vp, TK::camera, TK::clip);
    for (int j = 0; j < 4; ++j) c2c[2][j] = -c2c[2][j];
    const auto& gl = projection == TK::perspective ? frustum : ortho;
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) EXPECT_NEAR(c2c[i][j], gl[i][j], 1e-13) << i << "," << j;
  }
}

TEST(ViewportOpenGL, ReadBackDepthThroughScreenToWorldLandsOnTheSurface) {
  const double W = 256, H = 128, n = 0.5, f = 120;
  for (const Pose& pose : kPoses) {
    const TK_Viewport vp = MakeCamera(TK::perspective, pose, -0.3, 0.3, -0.15, 0.15, n, f, W, H);
    const TK_Xform s2w = Get(vp, TK::screen, TK::world), w2s = Get(vp, TK::world, TK::screen);
    for (double depth : {0.5, 1.0, 2.0, 37.0, 119.0}) {
      const TK_3dPoint p = FromCamera(pose, 0.1 * depth, -0.05 * depth, -depth);
      // What OpenGL stores: window depth (ndc + 1) / 2 of its own projection.
      const double ndc = (f + n) / (f - n) - 2 * f * n / ((f - n) * depth);
      const double gl_depth = 0.5 * (ndc + 1.0);
      const TK_3dPoint s = w2s * p;
      EXPECT_NEAR(s.z, gl_depth, 1e-12);
      const TK_3dPoint back = s2w * TK_3dPoint(s.x, s.y, gl_depth);
      ExpectNearPoint(back, p, 1e-9 * depth);
      EXPECT_NEAR(back.DistanceTo(pose.location), p.DistanceTo(pose.location), 1e-9 * depth);
    }
  }
}

TEST(ViewportRoundTrip, WorldScreenWorldAndEveryInverse) {
  const TK::coordinate_system systems[] = {TK::world, TK::camera, TK::clip, TK::screen};
  for (TK::view_projection projection : {TK::perspective, TK::parallel}) {
    for (const Pose& pose : kPoses) {
      const TK_Viewport vp = MakeCamera(projection, pose, -1.5, 0.5, -0.25, 1, 0.1, 1000, 1920, 1080);
      const TK_Xform w2s = Get(vp, TK::world, TK::screen), s2w = Get(vp, TK::screen, TK::world);
      for (const TK_3dPoint& p : FrustumSamples(vp, pose)) {
        const double scale = 1.0 + p.DistanceTo(pose.location);
        ExpectNearPoint(s2w * (w2s * p), p, 1e-9 * scale);
      }
      for (auto a : systems)
        for (auto b : systems) {
          const TK_Xform ab = Get(vp, a, b), ba = Get(vp, b, a);
          TK_Xform prod = ab * ba;
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
        // The ray starts on the near plane and runs away from the camera ...
        EXPECT_NEAR(TK_DotProduct(pose.location - o, fr.z), 0.25, 1e-9);
        EXPECT_LT(TK_DotProduct(dir, fr.z), 0.0);
        // ... and reaches p at a non-negative parameter.
        const double tp = TK_DotProduct(p - o, dir);
        EXPECT_GE(tp, -1e-9);
        const TK_3dPoint closest = o + dir * tp;
        EXPECT_LT(closest.DistanceTo(p), 1e-9 * (1.0 + tp));
        if (projection == TK::parallel) ExpectNearVector(dir, -fr.z, 1e-12);
      }
    }
  }
}

TEST(ViewportFrustum, UnusableFrustaAreRefused) {
  TK_Viewport vp;
  double l, r, b, t, n, f;
  vp.GetFrustum(l, r, b, t, n, f);
  EXPECT_FALSE(vp.SetFrustum(1, -1, -1, 1, 1, 10));   // left > right
  EXPECT_FALSE(vp.SetFrustum(-1, 1, 1, 1, 1, 10));    // no height
  EXPECT_FALSE(vp.SetFrustum(-1, 1, -1, 1, 10, 10));  // near == far
  EXPECT_FALSE(vp.SetFrustum(-1, 1, -1, 1, 0, 10));   // perspective needs near > 0
  EXPECT_FALSE(vp.SetFrustum(-1, 1, -1, 1, 1, INFINITY));
  EXPECT_FALSE(vp.SetFrustumNearFar(-2, -1));  // a scene wholly behind the camera
  EXPECT_FALSE(vp.SetFrustumAspect(0));
  EXPECT_FALSE(vp.SetCameraAngle(kPi / 2));
  EXPECT_FALSE(vp.SetCameraAngle(0));
  double l2, r2, b2, t2, n2, f2;
  vp.GetFrustum(l2, r2, b2, t2, n2, f2);
  EXPECT_EQ(std::vector<double>({l, r, b, t, n, f}), std::vector<double>({l2, r2, b2, t2, n2, f2}));

  // A parallel view may start behind its location.
  ASSERT_TRUE(vp.SetProjection(TK::parallel));
  EXPECT_TRUE(vp.SetFrustum(-1, 1, -1, 1, -5, 10));
  // ... and a perspective one with that frustum has no clip transform.
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
  double l, r, b, t, n, f;
  vp.GetFrustum(l, r, b, t, n, f);
  EXPECT_DOUBLE_EQ(l, -1.6);
  EXPECT_DOUBLE_EQ(t, 1.2);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(f, 30);
  EXPECT_NEAR((Get(vp, TK::world, TK::clip) * FromCamera(pose, 0, 0, -4)).z, 1.0, 1e-12);
  EXPECT_NEAR((Get(vp, TK::world, TK::clip) * FromCamera(pose, 0, 0, -30)).z, -1.0, 1e-12);

  TK_Viewport ortho = MakeCamera(TK::parallel, pose, -4, 6, -3, 3, 1, 100, 500, 300);
  ASSERT_TRUE(ortho.SetFrustumNearFar(0.5, 2));
  ortho.GetFrustum(l, r, b, t, n, f);
  EXPECT_EQ(std::vector<double>({l, r, b, t, n, f}), std::vector<double>({-4, 6, -3, 3, 0.5, 2}));
}

// Half-angle of the narrower side, whatever the aspect; the narrower side
// keeps it when the aspect changes afterwards.
TEST(ViewportFrustum, CameraAngleIsTheHalfAngleOfTheNarrowerSide) {
  const Pose pose = kPoses[0];
  const double a = 0.35;
  const double depth = 7;
  // Square port: a point at angle a off the axis, up or sideways, is on the edge.
  TK_Viewport square = MakeCamera(TK::perspective, pose, -1, 1, -1, 1, 0.5, 100, 256, 256);
  ASSERT_TRUE(square.SetCameraAngle(a));
  ASSERT_TRUE(square.SetFrustumAspect(square.GetScreenPortAspect()));
  TK_Xform w2s = Get(square, TK::world, TK::screen);
  EXPECT_NEAR((w2s * FromCamera(pose, std::tan(a) * depth, 0, -depth)).x, 256, 1e-9);
  EXPECT_NEAR((w2s * FromCamera(pose, 0, std::tan(a) * depth, -depth)).y, 0, 1e-9);
  EXPECT_NEAR((w2s * FromCamera(pose, -std::tan(a) * depth, 0, -depth)).x, 0, 1e-9);

  // Wide port (2:1), angle set first on a square frustum: the height carries a.
  TK_Viewport wide = MakeCamera(TK::perspective, pose, -1, 1, -1, 1, 0.5, 100, 400, 200);
  ASSERT_TRUE(wide.SetCameraAngle(a));
  ASSERT_TRUE(wide.SetFrustumAspect(wide.GetScreenPortAspect()));
  w2s = Get(wide, TK::world, TK::screen);
  EXPECT_NEAR((w2s * FromCamera(pose, 0, std::tan(a) * depth, -depth)).y, 0, 1e-9);
  EXPECT_NEAR((w2s * FromCamera(pose, 2 * std::tan(a) * depth, 0, -depth)).x, 400, 1e-9);

  // Angle set on a wide frustum, then a tall port: the width now carries a.
  TK_Viewport tall = MakeCamera(TK::perspective, pose, -3, 3, -1, 1, 0.5, 100, 100, 300);
  ASSERT_TRUE(tall.SetCameraAngle(a));
  double l, r, b, t, n, f;
  tall.GetFrustum(l, r, b, t, n, f);
  EXPECT_NEAR(t, n * std::tan(a), 1e-15);  // height is the narrower side of 3:1
  EXPECT_NEAR(r, 3 * n * std::tan(a), 1e-15);
  ASSERT_TRUE(tall.SetFrustumAspect(tall.GetScreenPortAspect()));
  w2s = Get(tall, TK::world, TK::screen);
  EXPECT_NEAR((w2s * FromCamera(pose, std::tan(a) * depth, 0, -depth)).x, 100, 1e-9);
  EXPECT_NEAR((w2s * FromCamera(pose, 0, 3 * std::tan(a) * depth, -depth)).y, 0, 1e-9);
}

TEST(ViewportFrustum, AspectKeepsTheCentreAndTheShorterHalfSide) {
  TK_Viewport vp;
  ASSERT_TRUE(vp.SetFrustum(1, 5, -1, 2, 1, 10));  // centre (3, 0.5), half sides 2 and 1.5
  ASSERT_TRUE(vp.SetFrustumAspect(2.0));
  double l, r, b, t, n, f;
  vp.GetFrustum(l, r, b, t, n, f);
  EXPECT_DOUBLE_EQ(l, 0.0);
  EXPECT_DOUBLE_EQ(r, 6.0);
  EXPECT_DOUBLE_EQ(b, -1.0);
  EXPECT_DOUBLE_EQ(t, 2.0);
  ASSERT_TRUE(vp.SetFrustumAspect(0.5));
  vp.GetFrustum(l, r, b, t, n, f);
  EXPECT_DOUBLE_EQ(l, 1.5);
  EXPECT_DOUBLE_EQ(r, 4.5);
  EXPECT_DOUBLE_EQ(b, -2.5);
  EXPECT_DOUBLE_EQ(t, 3.5);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(f, 10);
}

TEST(ViewportPort, AspectAndDegeneratePorts) {
  TK_Viewport vp;
  ASSERT_TRUE(vp.SetScreenPort(0, 640, 480, 0, 0, 0));
  EXPECT_DOUBLE_EQ(vp.GetScreenPortAspect(), 640.0 / 480.0);
  double l, r, b, t, n, f;
  vp.GetScreenPort(l, r, b, t, n, f);
  EXPECT_EQ(std::vector<double>({l, r, b, t, n, f}), std::vector<double>({0, 640, 480, 0, 0, 0}));
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
    ExpectNearPoint(plane.PointAt(0, 0), pose.location + d * 3.0, 1e-12);
    const Frame fr = ExpectedFrame(pose);
    ExpectNearVector(plane.xaxis, fr.x, 1e-14);
    ExpectNearVector(plane.yaxis, fr.y, 1e-14);
    ExpectNearVector(plane.zaxis, fr.z, 1e-14);
    // Every point of clip depth +1 lies on it.
    const TK_Xform c2w = Get(vp, TK::clip, TK::world);
    for (double cx : {-1.0, 0.3, 1.0})
      EXPECT_NEAR(plane.DistanceTo(c2w * TK_3dPoint(cx, -cx, 1.0)), 0.0, 1e-12);
  }
}

TEST(ViewportBox, HoldsTheEightFrustumCorners) {
  const Pose pose = kPoses[0];
  TK_Viewport vp = MakeCamera(TK::perspective, pose, -1, 1, -0.5, 0.5, 1, 10, 10, 10);
  TK_BoundingBox box = vp.BoundingBox();
  ASSERT_TRUE(box.IsValid());
  ExpectNearPoint(box.Min(), {-10, -5, -10}, 1e-9);
  ExpectNearPoint(box.Max(), {10, 5, -1}, 1e-9);
  ASSERT_TRUE(vp.SetProjection(TK::parallel));
  box = vp.BoundingBox();
  ExpectNearPoint(box.Min(), {-1, -0.5, -10}, 1e-12);
  ExpectNearPoint(box.Max(), {1, 0.5, -1}, 1e-12);
  // Moving the camera moves the box.
  ASSERT_TRUE(vp.Transform(TK_Xform::Translation({5, 0, 0})));
  EXPECT_NEAR(vp.BoundingBox().Center().x, 5.0, 1e-12);
  ASSERT_TRUE(vp.SetCameraUp({0, 0, 0}));
  EXPECT_FALSE(vp.BoundingBox().IsValid());
}

TEST(ViewportTransform, TurnsTheCameraWithoutChangingTheFrustum) {
  TK_Viewport vp = MakeCamera(TK::perspective, kPoses[0], -1, 1, -1, 1, 1, 10, 10, 10);
  TK_Viewport moved = vp;
  ASSERT_TRUE(moved.Rotate(kPi / 2, {0, 1, 0}, {0, 0, -5}));
  ExpectNearPoint(moved.CameraLocation(), {5, 0, -5}, 1e-12);
  ExpectNearVector(moved.CameraDirection(), {-1, 0, 0}, 1e-15);
  ExpectNearVector(moved.CameraUp(), {0, 1, 0}, 1e-15);
  EXPECT_FALSE(moved == vp);
  ASSERT_TRUE(moved.Rotate(-kPi / 2, {0, 1, 0}, {0, 0, -5}));
  ExpectNearPoint(moved.CameraLocation(), vp.CameraLocation(), 1e-12);
  EXPECT_TRUE(TK_Viewport::Cast(static_cast<TK_Object*>(&moved)) != nullptr);
}

}  // namespace
