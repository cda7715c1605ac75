#pragma once
// A camera of the toolkit: projection, camera frame, view frustum and screen
// port, with the transforms between world, camera, clip and screen
// coordinates. A value; CScreenProjection derives from it.
//
// Conventions the renderer relies on:
// - Camera frame: Z = -unit(direction), X = unit(direction x up), Y = Z x X.
//   Camera coordinates are right-handed; the camera looks down -Z, so the
//   depth of a world point P in front of the camera is (L - P) . Z > 0.
// - Frustum: left, right, bottom, top, near, far. For a perspective view
//   left..top are measured on the near plane (camera units at distance near);
//   for a parallel view they are the view's extent in world units. A usable
//   frustum has left < right, bottom < top, near < far, and near > 0 when
//   perspective.
// - Clip coordinates run from -1 to 1 on every axis; the near plane maps to
//   clip z = +1 and the far plane to clip z = -1 (OpenGL's normalised device
//   coordinates with z negated; clip z is linear in depth for parallel views).
//   Camera-to-clip is the full homogeneous matrix (bottom row 0, 0, -1, 0 for
//   perspective), so negating its z row gives OpenGL's projection matrix.
// - Screen port (left, right, bottom, top, near, far): clip x -1..1 maps to
//   left..right, clip y -1..1 to bottom..top, clip z +1..-1 to near..far;
//   SetScreenPort(0, width, height, 0, 0, 0) thus gives pixels with y growing
//   downward from 0 at the top. A port whose near and far are equal maps clip
//   z +1..-1 to screen z 0..1, so that an OpenGL depth read back (0 at near,
//   1 at far) goes straight through the screen-to-world transform.

#include "host/toolkit/Geometry.h"
#include "host/toolkit/Plane.h"
#include "host/toolkit/TK.h"

class TK_Viewport : public TK_Geometry {
  TK_OBJECT_DECLARE(TK_Viewport)
public:
  // Perspective, at the origin looking down -z with +y up; frustum
  // -0.5..0.5 square at near 1, far 1000; an empty screen port (no pixels).
  TK_Viewport() = default;
  ~TK_Viewport() override = default;

  TK::view_projection Projection() const { return projection_; }
  // Only parallel and perspective are accepted; the frustum numbers are kept.
  bool SetProjection(TK::view_projection projection);

  // The camera setters store any finite value (a zero direction or up is
  // kept, and GetCameraFrame then answers false); non-finite values are refused.
  const TK_3dPoint& CameraLocation() const { return location_; }
  const TK_3dVector& CameraDirection() const { return direction_; }
  const TK_3dVector& CameraUp() const { return up_; }
  bool SetCameraLocation(const TK_3dPoint& location);
  bool SetCameraDirection(const TK_3dVector& direction);
  bool SetCameraUp(const TK_3dVector& up);
  // False when direction or up is zero or they are parallel.
  bool GetCameraFrame(TK_3dPoint& location, TK_3dVector& x, TK_3dVector& y, TK_3dVector& z) const;
  // Axes of the camera frame; zero vectors when there is no frame.
  TK_3dVector CameraX() const;
  TK_3dVector CameraY() const;
  TK_3dVector CameraZ() const;

  // Every frustum setter refuses an unusable result (answer false, frustum unchanged).
  bool SetFrustum(double left, double right, double bottom, double top, double near, double far);
  void GetFrustum(double& left, double& right, double& bottom, double& top, double& near, double& far) const;
  double FrustumNear() const { return near_; }
  double FrustumFar() const { return far_; }
  bool IsFrustumValid() const;
  // New near and far. A perspective frustum's sides scale with near so that
  // the view angles stay; a parallel frustum's sides are kept.
  bool SetFrustumNearFar(double near, double far);
  // Makes (right - left) / (top - bottom) equal to aspect, keeping the
  // frustum's centre: the shorter of the two half sides stays and becomes
  // the half side of the new narrower direction, the other is sized to fit.
  // The view angle of the narrower side (SetCameraAngle) is thereby kept.
  bool SetFrustumAspect(double aspect);
  // Makes a symmetric frustum, keeping its aspect, whose narrower side spans
  // the half-angle a (0 < a < pi/2) at the near plane: half side near*tan(a).
  // A spot light's cone with half-angle a thus fits a square shadow map.
  bool SetCameraAngle(double half_angle);

  // Any finite port is stored; screen-to-clip needs left != right and bottom != top.
  bool SetScreenPort(double left, double right, double bottom, double top, double near, double far);
  void GetScreenPort(double& left, double& right, double& bottom, double& top, double& near, double& far) const;
  // |right - left| / |top - bottom|; 0 for a port without height.
  double GetScreenPortAspect() const;

  // The transform taking coordinates of system from to system to. False when
  // the camera frame, the frustum or the port does not allow it.
  bool GetXform(TK::coordinate_system from, TK::coordinate_system to, TK_Xform& xform) const;
  // The near plane: origin on the view axis at distance near from the camera
  // location, axes the camera frame (zaxis = CameraZ, toward the camera).
  bool GetNearPlane(TK_Plane& plane) const;

  // Moves location and turns direction and up; the frustum and port stay.
  bool Transform(const TK_Xform& xform) override;
  // The box of the eight frustum corners in world coordinates; empty when
  // the viewport has no clip-to-world transform.
  TK_BoundingBox BoundingBox() const override;

  bool operator==(const TK_Viewport& o) const;

private:
  bool Step(int from, int to, TK_Xform& xform) const;

  TK::view_projection projection_ = TK::perspective;
  TK_3dPoint location_{0, 0, 0};
  TK_3dVector direction_{0, 0, -1};
  TK_3dVector up_{0, 1, 0};
  double left_ = -0.5, right_ = 0.5, bottom_ = -0.5, top_ = 0.5, near_ = 1.0, far_ = 1000.0;
  double port_[6] = {0, 0, 0, 0, 0, 0};  // left, right, bottom, top, near, far
};
