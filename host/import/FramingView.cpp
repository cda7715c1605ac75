#include "host/import/FramingView.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace framing {

TK_ScnView FramingView(const TK_BoundingBox& box_in, const TK_3dVector& up_in, double aspect) {
  TK_BoundingBox box = box_in;
  if (!box.IsValid()) box = TK_BoundingBox(TK_3dPoint(-0.5, -0.5, -0.5), TK_3dPoint(0.5, 0.5, 0.5));
  TK_3dVector up = up_in;
  if (!up.Unitize()) up = TK_3dVector(0, 0, 1);
  if (!(aspect > 0.0) || !std::isfinite(aspect)) aspect = 4.0 / 3.0;

  // Front and right of the scene: for +z up the front looks from -y (the
  // modeller's front view), for +y up from +z; any other up gets a frame of
  // its own.
  TK_3dVector front = std::fabs(up.z) > 0.9 ? TK_3dVector(0, -1, 0) : TK_3dVector(0, 0, 1);
  front = front - up * TK_DotProduct(front, up);
  front.Unitize();
  TK_3dVector right = TK_CrossProduct(up, front);
  right.Unitize();
  TK_3dVector offset = right * 0.8 + front * 1.0 + up * 0.7;
  offset.Unitize();

  const TK_3dPoint centre = box.Center();
  const double radius = std::max(0.5 * (box.Max() - box.Min()).Length(), 1e-3);
  const double half_angle = kHalfAngleDegrees * std::numbers::pi / 180.0;
  const double distance = radius / std::sin(half_angle);

  TK_ScnView view;
  view.m_name = L"Framing";
  TK_Viewport& vp = view.m_vp;
  vp.SetProjection(TK::perspective);
  vp.SetCameraLocation(centre + offset * distance);
  vp.SetCameraDirection(offset * -1.0);
  vp.SetCameraUp(up);
  vp.SetFrustumAspect(aspect);
  vp.SetCameraAngle(half_angle);
  vp.SetFrustumNearFar(std::max(distance - 1.05 * radius, distance * 1e-3), distance + 1.05 * radius);
  return view;
}

void FitNearFar(TK_Viewport& vp, const TK_BoundingBox& box) {
  TK_3dPoint location;
  TK_3dVector x, y, z;
  if (!box.IsValid() || !vp.GetCameraFrame(location, x, y, z)) return;
  double nearest = INFINITY, farthest = -INFINITY;
  for (int i = 0; i < 8; ++i) {
    const double depth = TK_DotProduct(location - box.Corner(i), z);
    nearest = std::min(nearest, depth);
    farthest = std::max(farthest, depth);
  }
  if (!(farthest > 0)) return;
  const double margin = 0.02 * (farthest - nearest) + 1e-6 * farthest;
  farthest += margin;
  nearest = std::max(nearest - margin, farthest * 1e-4);
  vp.SetFrustumNearFar(nearest, farthest);
}

}  // namespace framing
