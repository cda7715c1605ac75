#include "host/toolkit/Viewport.h"

#include <algorithm>
#include <cmath>
#include <numbers>

TK_OBJECT_IMPLEMENT(TK_Viewport, TK_Geometry, "8CCBF3B2-798F-4B4B-B98C-4563E7A0F2DD")

namespace {
bool Finite(const TK_3dVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool Finite(const TK_3dPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

bool FrustumUsable(TK::view_projection projection, double l, double r, double b, double t, double n, double f) {
  const bool finite = std::isfinite(l) && std::isfinite(r) && std::isfinite(b) && std::isfinite(t) &&
                      std::isfinite(n) && std::isfinite(f);
  return finite && l < r && b < t && n < f && (projection != TK::perspective || n > 0.0);
}

TK_Xform Rows(const double (&m)[4][4]) {
  TK_Xform x;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) x.m_xform[i][j] = m[i][j];
  return x;
}
}  // namespace

bool TK_Viewport::SetProjection(TK::view_projection projection) {
  if (projection != TK::parallel && projection != TK::perspective) return false;
  projection_ = projection;
  return true;
}

bool TK_Viewport::SetCameraLocation(const TK_3dPoint& location) {
  if (!Finite(location)) return false;
  location_ = location;
  return true;
}

bool TK_Viewport::SetCameraDirection(const TK_3dVector& direction) {
  if (!Finite(direction)) return false;
  direction_ = direction;
  return true;
}

bool TK_Viewport::SetCameraUp(const TK_3dVector& up) {
  if (!Finite(up)) return false;
  up_ = up;
  return true;
}

bool TK_Viewport::GetCameraFrame(TK_3dPoint& location, TK_3dVector& x, TK_3dVector& y, TK_3dVector& z) const {
  TK_3dVector d = direction_, u = up_;
  if (!d.Unitize() || !u.Unitize()) return false;
  TK_3dVector cx = TK_CrossProduct(d, u);
  // Unit vectors this close to parallel leave no usable right direction.
  if (cx.Length() < 1e-12 || !cx.Unitize()) return false;
  const TK_3dVector cz = -d;
  TK_3dVector cy = TK_CrossProduct(cz, cx);
  if (!cy.Unitize()) return false;
  location = location_;
  x = cx;
  y = cy;
  z = cz;
  return true;
}

TK_3dVector TK_Viewport::CameraX() const {
  TK_3dPoint l;
  TK_3dVector x, y, z;
  return GetCameraFrame(l, x, y, z) ? x : TK_3dVector();
}

TK_3dVector TK_Viewport::CameraY() const {
  TK_3dPoint l;
  TK_3dVector x, y, z;
  return GetCameraFrame(l, x, y, z) ? y : TK_3dVector();
}

TK_3dVector TK_Viewport::CameraZ() const {
  TK_3dPoint l;
  TK_3dVector x, y, z;
  return GetCameraFrame(l, x, y, z) ? z : TK_3dVector();
}

bool TK_Viewport::SetFrustum(double left, double right, double bottom, double top, double near, double far) {
  if (!FrustumUsable(projection_, left, right, bottom, top, near, far)) return false;
  left_ = left;
  right_ = right;
  bottom_ = bottom;
  top_ = top;
  near_ = near;
  far_ = far;
  return true;
}

void TK_Viewport::GetFrustum(double& left, double& right, double& bottom, double& top, double& near,
                             double& far) const {
  left = left_;
  right = right_;
  bottom = bottom_;
  top = top_;
  near = near_;
  far = far_;
}

bool TK_Viewport::IsFrustumValid() const {
  return FrustumUsable(projection_, left_, right_, bottom_, top_, near_, far_);
}

bool TK_Viewport::SetFrustumNearFar(double near, double far) {
  double s = 1.0;
  // Perspective sides live on the near plane: scaling them with near keeps
  // the view angles. Without a positive old near there is nothing to keep.
  if (projection_ == TK::perspective && near_ > 0.0 && std::isfinite(near_)) s = near / near_;
  return SetFrustum(left_ * s, right_ * s, bottom_ * s, top_ * s, near, far);
}

bool TK_Viewport::SetFrustumAspect(double aspect) {
  if (!(aspect > 0.0) || !std::isfinite(aspect)) return false;
  const double cx = 0.5 * (left_ + right_), cy = 0.5 * (bottom_ + top_);
  const double half = std::min(0.5 * (right_ - left_), 0.5 * (top_ - bottom_));
  if (!(half > 0.0)) return false;
  const double hw = aspect >= 1.0 ? half * aspect : half;
  const double hh = aspect >= 1.0 ? half : half / aspect;
  return SetFrustum(cx - hw, cx + hw, cy - hh, cy + hh, near_, far_);
}

bool TK_Viewport::SetCameraAngle(double half_angle) {
  if (!(half_angle > 0.0 && half_angle < 0.5 * std::numbers::pi) || !(near_ > 0.0)) return false;
  const double w = right_ - left_, h = top_ - bottom_;
  const double aspect = (w > 0.0 && h > 0.0 && std::isfinite(w / h)) ? w / h : 1.0;
  const double half = near_ * std::tan(half_angle);
  const double hw = aspect >= 1.0 ? half * aspect : half;
  const double hh = aspect >= 1.0 ? half : half / aspect;
  return SetFrustum(-hw, hw, -hh, hh, near_, far_);
}

bool TK_Viewport::SetScreenPort(double left, double right, double bottom, double top, double near, double far) {
  const double v[6] = {left, right, bottom, top, near, far};
  for (double x : v)
    if (!std::isfinite(x)) return false;
  std::copy(v, v + 6, port_);
  return true;
}

void TK_Viewport::GetScreenPort(double& left, double& right, double& bottom, double& top, double& near,
                                double& far) const {
  left = port_[0];
  right = port_[1];
  bottom = port_[2];
  top = port_[3];
  near = port_[4];
  far = port_[5];
}

double TK_Viewport::GetScreenPortAspect() const {
  const double h = std::fabs(port_[3] - port_[2]);
  return h > 0.0 ? std::fabs(port_[1] - port_[0]) / h : 0.0;
}

// One step between neighbouring systems (world 0, camera 1, clip 2, screen 3).
bool TK_Viewport::Step(int from, int to, TK_Xform& xform) const {
  if (from == TK::world || to == TK::world) {  // world <-> camera
    TK_3dPoint l;
    TK_3dVector x, y, z;
    if (!GetCameraFrame(l, x, y, z)) return false;
    const TK_3dVector lv(l.x, l.y, l.z);
    if (from == TK::world) {
      xform = Rows({{x.x, x.y, x.z, -TK_DotProduct(x, lv)},
                    {y.x, y.y, y.z, -TK_DotProduct(y, lv)},
                    {z.x, z.y, z.z, -TK_DotProduct(z, lv)},
                    {0, 0, 0, 1}});
    } else {
      xform = Rows({{x.x, y.x, z.x, l.x}, {x.y, y.y, z.y, l.y}, {x.z, y.z, z.z, l.z}, {0, 0, 0, 1}});
    }
    return true;
  }
  if (from == TK::camera || to == TK::camera) {  // camera <-> clip
    if (!IsFrustumValid()) return false;
    const double l = left_, r = right_, b = bottom_, t = top_, n = near_, f = far_;
    if (projection_ == TK::perspective) {
      // OpenGL's frustum matrix with the z row negated.
      const double A = 2 * n / (r - l), B = (r + l) / (r - l), C = 2 * n / (t - b), D = (t + b) / (t - b);
      const double E = (f + n) / (f - n), F = 2 * f * n / (f - n);
      if (from == TK::camera)
        xform = Rows({{A, 0, B, 0}, {0, C, D, 0}, {0, 0, E, F}, {0, 0, -1, 0}});
      else
        xform = Rows({{1 / A, 0, 0, B / A}, {0, 1 / C, 0, D / C}, {0, 0, 0, -1}, {0, 0, 1 / F, E / F}});
    } else if (projection_ == TK::parallel) {
      // OpenGL's orthographic matrix with the z row negated.
      if (from == TK::camera)
        xform = Rows({{2 / (r - l), 0, 0, -(r + l) / (r - l)},
                      {0, 2 / (t - b), 0, -(t + b) / (t - b)},
                      {0, 0, 2 / (f - n), (f + n) / (f - n)},
                      {0, 0, 0, 1}});
      else
        xform = Rows({{(r - l) / 2, 0, 0, (r + l) / 2},
                      {0, (t - b) / 2, 0, (t + b) / 2},
                      {0, 0, (f - n) / 2, -(f + n) / 2},
                      {0, 0, 0, 1}});
    } else {
      return false;
    }
    return true;
  }
  // clip <-> screen
  const double pl = port_[0], pr = port_[1], pb = port_[2], pt = port_[3], pn = port_[4], pf = port_[5];
  const bool unit_depth = pn == pf;  // clip z +1..-1 -> screen z 0..1
  if (from == TK::clip) {
    const double zs = unit_depth ? -0.5 : -(pf - pn) / 2, zt = unit_depth ? 0.5 : (pn + pf) / 2;
    xform = Rows({{(pr - pl) / 2, 0, 0, (pr + pl) / 2}, {0, (pt - pb) / 2, 0, (pt + pb) / 2}, {0, 0, zs, zt}, {0, 0, 0, 1}});
    return true;
  }
  if (pr == pl || pt == pb) return false;
  const double zs = unit_depth ? -2.0 : -2 / (pf - pn), zt = unit_depth ? 1.0 : (pf + pn) / (pf - pn);
  xform = Rows({{2 / (pr - pl), 0, 0, -(pr + pl) / (pr - pl)},
                {0, 2 / (pt - pb), 0, -(pt + pb) / (pt - pb)},
                {0, 0, zs, zt},
                {0, 0, 0, 1}});
  return true;
}

bool TK_Viewport::GetXform(TK::coordinate_system from, TK::coordinate_system to, TK_Xform& xform) const {
  const int a = from, b = to;
  if (a < TK::world || a > TK::screen || b < TK::world || b > TK::screen) return false;
  TK_Xform result;  // identity for from == to
  const int dir = b > a ? 1 : -1;
  for (int s = a; s != b; s += dir) {
    TK_Xform step;
    if (!Step(s, s + dir, step)) return false;
    result = step * result;
  }
  xform = result;
  return true;
}

bool TK_Viewport::GetNearPlane(TK_Plane& plane) const {
  TK_3dPoint l;
  TK_3dVector x, y, z;
  if (!GetCameraFrame(l, x, y, z) || !std::isfinite(near_)) return false;
  plane = TK_Plane(l - z * near_, x, y, z);
  return true;
}

bool TK_Viewport::Transform(const TK_Xform& xform) {
  const TK_3dPoint l = xform * location_;
  const TK_3dVector d = xform * direction_, u = xform * up_;
  if (!Finite(l) || !Finite(d) || !Finite(u)) return false;
  location_ = l;
  direction_ = d;
  up_ = u;
  return true;
}

TK_BoundingBox TK_Viewport::BoundingBox() const {
  TK_BoundingBox box;
  TK_Xform clip_to_world;
  if (!GetXform(TK::clip, TK::world, clip_to_world)) return box;
  for (int i = 0; i < 8; ++i)
    box.Union(clip_to_world * TK_3dPoint((i & 1) ? 1.0 : -1.0, (i & 2) ? 1.0 : -1.0, (i & 4) ? 1.0 : -1.0));
  return box;
}

bool TK_Viewport::operator==(const TK_Viewport& o) const {
  return projection_ == o.projection_ && location_ == o.location_ && direction_ == o.direction_ && up_ == o.up_ &&
         left_ == o.left_ && right_ == o.right_ && bottom_ == o.bottom_ && top_ == o.top_ && near_ == o.near_ &&
         far_ == o.far_ && std::equal(port_, port_ + 6, o.port_);
}
