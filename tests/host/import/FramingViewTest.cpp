#include "host/app/import/FramingView.h"

#include <gtest/gtest.h>

#include "host/toolkit/Xform.h"

namespace {

// Every corner of the box lands inside the view's clip cube.
void ExpectSeesBox(const TK_Viewport& vp, const TK_BoundingBox& box) {
  TK_Xform world_to_clip;
  ASSERT_TRUE(vp.GetXform(TK::world, TK::clip, world_to_clip));
  for (int i = 0; i < 8; ++i) {
    const TK_3dPoint c = world_to_clip * box.Corner(i);
    EXPECT_LE(std::fabs(c.x), 1.0) << "corner " << i;
    EXPECT_LE(std::fabs(c.y), 1.0) << "corner " << i;
    EXPECT_LE(c.z, 1.0) << "corner " << i << " is in front of the near plane";
    EXPECT_GE(c.z, -1.0) << "corner " << i << " is behind the far plane";
  }
}

struct Case {
  TK_BoundingBox box;
  TK_3dVector up;
  double aspect;
};

TEST(FramingView, SeesTheWholeBoxForAnyShapeUpAndAspect) {
  const Case cases[] = {
      {{TK_3dPoint(-1, -1, -1), TK_3dPoint(1, 1, 1)}, {0, 0, 1}, 4.0 / 3.0},
      {{TK_3dPoint(10, 20, 30), TK_3dPoint(11, 20.5, 80)}, {0, 0, 1}, 16.0 / 9.0},  // tall and far from the origin
      {{TK_3dPoint(-50, -50, 0), TK_3dPoint(50, 50, 0)}, {0, 0, 1}, 0.5},           // flat, portrait image
      {{TK_3dPoint(-1, 0, -3), TK_3dPoint(1, 2, 3)}, {0, 1, 0}, 1.0},               // y up
      {{TK_3dPoint(2, 2, 2), TK_3dPoint(2, 2, 2)}, {0, 1, 0}, 1.5},                 // a single point
      {{TK_3dPoint(-1e4, -1, -1), TK_3dPoint(1e4, 1, 1)}, {1, 0, 0}, 1.0},          // up along x
  };
  for (const Case& c : cases) {
    const TK_ScnView view = framing::FramingView(c.box, c.up, c.aspect);
    EXPECT_EQ(view.m_vp.Projection(), TK::perspective);
    ExpectSeesBox(view.m_vp, c.box);
    // A three-quarter view: looking down at the centre, not straight along an axis.
    TK_3dVector to_centre = c.box.Center() - view.m_vp.CameraLocation();
    TK_3dVector dir = view.m_vp.CameraDirection();
    to_centre.Unitize();
    dir.Unitize();
    EXPECT_NEAR(TK_DotProduct(dir, to_centre), 1.0, 1e-9);
    TK_3dVector up = c.up;
    up.Unitize();
    EXPECT_LT(TK_DotProduct(dir, up), -0.2);
    EXPECT_GT(TK_DotProduct(dir, up), -0.9);
    EXPECT_GT(TK_DotProduct(view.m_vp.CameraY(), up), 0.5) << "the image's up is the scene's up";
  }
}

TEST(FramingView, LooksFromTheFrontRight) {
  // z up: the camera stands at -y (the front) and +x (the right).
  const TK_ScnView z_up = framing::FramingView({TK_3dPoint(-1, -1, -1), TK_3dPoint(1, 1, 1)}, {0, 0, 1}, 1);
  EXPECT_GT(z_up.m_vp.CameraLocation().x, 0);
  EXPECT_LT(z_up.m_vp.CameraLocation().y, 0);
  EXPECT_GT(z_up.m_vp.CameraLocation().z, 0);
  // y up: the front is +z.
  const TK_ScnView y_up = framing::FramingView({TK_3dPoint(-1, -1, -1), TK_3dPoint(1, 1, 1)}, {0, 1, 0}, 1);
  EXPECT_GT(y_up.m_vp.CameraLocation().x, 0);
  EXPECT_GT(y_up.m_vp.CameraLocation().y, 0);
  EXPECT_GT(y_up.m_vp.CameraLocation().z, 0);
}

TEST(FramingView, AnEmptySceneGetsAUsableView) {
  const TK_ScnView view = framing::FramingView(TK_BoundingBox(), TK_3dVector(0, 0, 0), NAN);
  TK_Xform xform;
  EXPECT_TRUE(view.m_vp.GetXform(TK::world, TK::clip, xform));
  ExpectSeesBox(view.m_vp, {TK_3dPoint(-0.5, -0.5, -0.5), TK_3dPoint(0.5, 0.5, 0.5)});
}

TEST(FramingView, FitNearFarEnclosesTheBoxInDepth) {
  TK_Viewport vp;
  vp.SetCameraLocation(TK_3dPoint(0, 0, 10));
  vp.SetCameraDirection(TK_3dVector(0, 0, -1));
  const TK_BoundingBox box(TK_3dPoint(-1, -1, -2), TK_3dPoint(1, 1, 3));
  framing::FitNearFar(vp, box);
  EXPECT_LT(vp.FrustumNear(), 7.0);
  EXPECT_GT(vp.FrustumNear(), 6.5);
  EXPECT_GT(vp.FrustumFar(), 12.0);
  EXPECT_LT(vp.FrustumFar(), 12.5);
  // A box reaching behind the camera keeps a positive near plane.
  framing::FitNearFar(vp, TK_BoundingBox(TK_3dPoint(-1, -1, -5), TK_3dPoint(1, 1, 20)));
  EXPECT_GT(vp.FrustumNear(), 0.0);
  EXPECT_GT(vp.FrustumFar(), 15.0);
  // A box wholly behind the camera changes nothing.
  const double n = vp.FrustumNear(), f = vp.FrustumFar();
  framing::FitNearFar(vp, TK_BoundingBox(TK_3dPoint(-1, -1, 11), TK_3dPoint(1, 1, 12)));
  EXPECT_EQ(vp.FrustumNear(), n);
  EXPECT_EQ(vp.FrustumFar(), f);
}

}  // namespace
