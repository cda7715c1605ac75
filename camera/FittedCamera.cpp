#include "camera/FittedCamera.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <limits>

// The four-lane vectors below stay inside this file's functions, so the
// warning that their passing convention differs with AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

// Screen coordinates are held within this many pixels before truncation, so
// that points near the eye plane never overflow an int.
constexpr double kScreenLimit = 1073741824.0;  // 2^30

// Single-precision edge lines hold their rounding (at most about 1/100
// pixel) well inside the index's margin only within this many pixels.
constexpr double kScreenTriangleReach = 70000.0;

int TruncateToPixel(double v) {
  if (!(v > -kScreenLimit)) v = -kScreenLimit;  // NaN too
  if (v > kScreenLimit) v = kScreenLimit;
  return int(v);
}

RECT EmptyRect() { return RECT{0, 0, -1, -1}; }

void Bound(RECT& r, const POINT& p, bool first) {
  if (first) {
    r = RECT{p.x, p.y, p.x, p.y};
    return;
  }
  r.left = std::min(r.left, p.x);
  r.top = std::min(r.top, p.y);
  r.right = std::max(r.right, p.x);
  r.bottom = std::max(r.bottom, p.y);
}

TK_3dPoint Wide(const TK_3fPoint& p) { return TK_3dPoint(p.x, p.y, p.z); }

// The screen triangle of corners wholly in front of the near plane.
ScreenTriangle MakeScreenTriangle(const ViewedPoint (&s)[3]) {
  ScreenTriangle t;
  // Faces reaching farther than the edge lines hold, and faces seen
  // edge-on, get none and always take the exact test.
  for (const ViewedPoint& p : s)
    if (!(std::fabs(p.x) < kScreenTriangleReach) || !(std::fabs(p.y) < kScreenTriangleReach)) return t;
  const double area = (s[1].x - s[0].x) * (s[2].y - s[0].y) - (s[1].y - s[0].y) * (s[2].x - s[0].x);
  if (!(std::fabs(area) > 1e-6)) return t;
  t.ox = int(s[0].x);
  t.oy = int(s[0].y);
  const double side = area > 0 ? 1.0 : -1.0;
  for (int i = 0; i < 3; ++i) {
    const ViewedPoint& p = s[i];
    const ViewedPoint& q = s[(i + 1) % 3];
    const double a = -(q.y - p.y) * side, b = (q.x - p.x) * side;
    const double length = std::sqrt(a * a + b * b);
    if (!(length > 1e-9) || !std::isfinite(length)) return t;
    t.a[i] = float(a / length);
    t.b[i] = float(b / length);
    t.c[i] = float(-(a * (p.x - t.ox) + b * (p.y - t.oy)) / length);
  }
  t.valid = true;
  return t;
}

}  // namespace

FittedCamera::FittedCamera(const TK_Viewport& camera, int width, int height)
    : TK_Viewport(camera), m_width(width), m_height(height), m_image_rect{0, 0, width - 1, height - 1} {}

std::optional<FittedCamera> FittedCamera::Create(const TK_Viewport& camera, int width, int height,
                                                 const TK_BoundingBox* scene_box) {
  FittedCamera fitted(camera, width, height);
  if (!fitted.Fit(scene_box)) return std::nullopt;
  return fitted;
}

bool FittedCamera::Fit(const TK_BoundingBox* scene_box) {
  TK_3dPoint location;
  TK_3dVector x, y, z;
  if (m_width < 1 || m_height < 1 || !GetCameraFrame(location, x, y, z)) return false;
  SetScreenPort(0, m_width, m_height, 0, 0, 0);
  SetFrustumAspect(GetScreenPortAspect());

  if (scene_box && scene_box->IsValid()) {
    double nearest = 0, farthest = 0;
    for (int i = 0; i < 8; ++i) {
      const double depth = TK_DotProduct(location - scene_box->Corner(i), z);
      nearest = i == 0 ? depth : std::min(nearest, depth);
      farthest = i == 0 ? depth : std::max(farthest, depth);
    }
    // The rays start on the near plane and a hit needs a positive ray
    // parameter: a near plane through the nearest corner would lose a face
    // lying there, so it stops just short of it.
    double near = 0.9999 * nearest;
    if (near <= 0) near = farthest * 0.001;
    if (SetNearFar(near, farthest)) return true;
  }
  // No box, or a box the frustum cannot take (wholly behind the camera):
  // the camera's own near and far.
  return SetNearFar(FrustumNear(), FrustumFar());
}

bool FittedCamera::SetNearFar(double near, double far) {
  if (!SetFrustumNearFar(near, far)) return false;
  TK_Xform clip_to_world, world_to_screen, screen_to_world, screen_to_clip, world_to_camera, camera_to_screen;
  if (!GetXform(TK::clip, TK::world, clip_to_world) || !GetXform(TK::world, TK::screen, world_to_screen) ||
      !GetXform(TK::screen, TK::world, screen_to_world) || !GetXform(TK::screen, TK::clip, screen_to_clip) ||
      !GetXform(TK::world, TK::camera, world_to_camera) || !GetXform(TK::camera, TK::screen, camera_to_screen))
    return false;
  m_clip_to_world = clip_to_world;
  m_world_to_screen = world_to_screen;
  m_world_to_camera = world_to_camera;
  m_camera_to_screen = camera_to_screen;
  m_a = screen_to_clip[0][0];
  m_b = screen_to_clip[0][1];
  m_c = screen_to_clip[0][3];
  m_d = screen_to_clip[1][0];
  m_e = screen_to_clip[1][1];
  m_f = screen_to_clip[1][3];
  // A shift at distance d off the axis by angle a moves a point by at most
  // shift / (d cos^2 a) on a screen at unit depth; a is largest at the
  // image's corners.
  double l, r, b, t, n, f;
  GetFrustum(l, r, b, t, n, f);
  const double sx = m_width / std::fabs(r - l), sy = m_height / std::fabs(t - b);  // pixels per unit on the near plane
  const double tan_x = std::max(std::fabs(l), std::fabs(r)) / n, tan_y = std::max(std::fabs(b), std::fabs(t)) / n;
  m_corner_cos2 = 1.0 / (1.0 + tan_x * tan_x + tan_y * tan_y);
  m_pixels_per_unit = Projection() == TK::perspective ? std::max(sx, sy) * n : std::max(sx, sy);
  return true;
}

POINT FittedCamera::ProjectPoint(const TK_3dPoint& point) const {
  const TK_3dPoint q = m_world_to_screen * point;
  return POINT{TruncateToPixel(q.x), TruncateToPixel(q.y)};
}

double FittedCamera::PixelsPerUnitBound(double distance) const {
  if (Projection() != TK::perspective) return m_pixels_per_unit;
  return m_pixels_per_unit / (distance * m_corner_cos2);
}

double FittedCamera::ScreenShift(const TK_3dPoint& point, const TK_3dVector& shift) const {
  const TK_3dPoint a = m_world_to_screen * point, b = m_world_to_screen * (point + shift);
  return std::hypot(b.x - a.x, b.y - a.y);
}

ViewedPoint FittedCamera::View(const TK_3dPoint& point) const {
  const TK_3dPoint s = m_world_to_screen * point;
  return ViewedPoint{AheadOfNear(point), s.x, s.y};
}

RECT FittedCamera::FaceScreenRect(const TK_Mesh& mesh, int face, const std::vector<ViewedPoint>& viewed,
                                  ScreenTriangle* triangle) const {
  if (face < 0 || face >= mesh.FaceCount()) return EmptyRect();
  const TK_MeshFace& f = mesh.m_F[std::size_t(face)];
  ViewedPoint corner[3];
  bool all_ahead = true;
  for (int i = 0; i < 3; ++i) {
    corner[i] = viewed[std::size_t(f.vi[i])];
    all_ahead = all_ahead && corner[i].ahead >= 0;
  }
  RECT rect = EmptyRect();
  if (all_ahead) {
    for (int i = 0; i < 3; ++i) Bound(rect, POINT{TruncateToPixel(corner[i].x), TruncateToPixel(corner[i].y)}, i == 0);
    if (triangle) *triangle = MakeScreenTriangle(corner);
    return rect;
  }
  // Projecting a vertex behind the eye flips it: bound only the part of the
  // triangle in front of the near plane (one to four vertices).
  TK_3dPoint camera[3];
  for (int i = 0; i < 3; ++i) camera[i] = m_world_to_camera * Wide(mesh.m_V[std::size_t(f.vi[i])]);
  int count = 0;
  auto add = [&](const TK_3dPoint& p) {
    const TK_3dPoint q = m_camera_to_screen * p;
    Bound(rect, POINT{TruncateToPixel(q.x), TruncateToPixel(q.y)}, count++ == 0);
  };
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    const double ahead_i = corner[i].ahead, ahead_j = corner[j].ahead;
    if (ahead_i >= 0) add(camera[i]);
    if ((ahead_i >= 0) != (ahead_j >= 0)) {
      const double t = ahead_i / (ahead_i - ahead_j);
      add(camera[i] + (camera[j] - camera[i]) * t);
    }
  }
  return rect;
}

namespace {

// Four lanes of the steps of PixelRay, AVX2 without FMA: a fused multiply-add
// would round once where PixelRay rounds twice. Everything here is inlined
// into the one AVX2 function.
#define DM_AVX2 [[gnu::target("avx2"), gnu::always_inline]] inline

using Double4 = double __attribute__((vector_size(32)));
using Mask4 = long long __attribute__((vector_size(32)));

DM_AVX2 Double4 Splat(double x) { return Double4{x, x, x, x}; }

// The transform's product with (cx, cy, z), lane by lane.
DM_AVX2 void Transform(const TK_Xform& xform, Double4 cx, Double4 cy, double z, Double4 out[3]) {
  const auto& m = xform.m_xform;
  Double4 row[4];
  for (int i = 0; i < 4; ++i) row[i] = Splat(m[i][0]) * cx + Splat(m[i][1]) * cy + Splat(m[i][2] * z) + Splat(m[i][3]);
  const Mask4 divide = (row[3] != Splat(0.0)) & (row[3] != Splat(1.0));
  const Double4 w = divide ? row[3] : Splat(1.0);
  for (int i = 0; i < 3; ++i) out[i] = row[i] / w;
}

// The steps of PixelRay and of the transform and Unitize it calls, in their
// order, so each lane rounds as they do. Dividing by 1 changes nothing, so
// a lane whose w is 0 or 1 (which the transform leaves undivided) divides by 1.
// `screen_to_clip` holds a to f of clip (x, y) = (a x + b y + c, d x + e y + f).
// The rays are those at x + first + lane, that sum rounded once, as PixelRay's caller rounds it.
DM_AVX2 void FourRays(const double (&screen_to_clip)[6], const TK_Xform& clip_to_world, double x, int first,
                      double y, PixelRayRecord rays[4], std::uint32_t& ok_bits) {
  const auto [a, b, c, d, e, f] = screen_to_clip;
  const Double4 xs = Splat(x) + Double4{double(first), double(first + 1), double(first + 2), double(first + 3)};
  const Double4 cx = Splat(a) * xs + Splat(b * y) + Splat(c);
  const Double4 cy = Splat(d) * xs + Splat(e * y) + Splat(f);
  Double4 origin[3], far[3];
  Transform(clip_to_world, cx, cy, 1.0, origin);
  Transform(clip_to_world, cx, cy, -1.0, far);
  Double4 direction[3];
  for (int i = 0; i < 3; ++i) direction[i] = far[i] - origin[i];
  // Unitize: a length that is positive and finite (sqrt rounds correctly,
  // as std::sqrt does), then times its reciprocal.
  const Double4 length =
      _mm256_sqrt_pd(direction[0] * direction[0] + direction[1] * direction[1] + direction[2] * direction[2]);
  const Mask4 ok = (length > Splat(0.0)) & (length <= Splat(std::numeric_limits<double>::max()));
  const Double4 inverse = Splat(1.0) / length;
  for (int i = 0; i < 3; ++i) direction[i] = direction[i] * inverse;
  ok_bits = 0;
  for (int lane = 0; lane < 4; ++lane) {
    rays[lane] = {{origin[0][lane], origin[1][lane], origin[2][lane]},
                  {direction[0][lane], direction[1][lane], direction[2][lane]}};
    ok_bits |= std::uint32_t(ok[lane] & 1) << lane;
  }
}

// The block's quads one after another: nothing links them, so the
// processor works on the next while the last one's divisions finish.
[[gnu::target("avx2")]] void BlockRaysAvx2(const double (&screen_to_clip)[6], const TK_Xform& clip_to_world, double x,
                                           double y, PixelRayBlock& block) {
  block.ok = 0;
  for (int first = 0; first < PixelRayBlock::kRays; first += 4) {
    std::uint32_t ok = 0;
    FourRays(screen_to_clip, clip_to_world, x, first, y, block.rays + first, ok);
    block.ok |= ok << first;
  }
}

#undef DM_AVX2

}  // namespace

void FittedCamera::PixelRays(double x, double y, PixelRayBlock& block) const {
  PixelRays(ChosenSimdPath(), x, y, block);
}

// Without AVX2 one ray at a time: two-lane registers gain nothing on the divisions.
void FittedCamera::PixelRays(SimdPath path, double x, double y, PixelRayBlock& block) const {
  if (SupportedSimdPath(path) == SimdPath::avx2)
    return BlockRaysAvx2({m_a, m_b, m_c, m_d, m_e, m_f}, m_clip_to_world, x, y, block);
  block.ok = 0;
  for (int i = 0; i < PixelRayBlock::kRays; ++i)
    if (PixelRay(x + i, y, block.rays[i])) block.ok |= std::uint32_t(1) << i;
}

bool FittedCamera::PixelRay(double x, double y, PixelRayRecord& ray) const {
  const double cx = m_a * x + m_b * y + m_c;
  const double cy = m_d * x + m_e * y + m_f;
  const TK_3dPoint origin = m_clip_to_world * TK_3dPoint(cx, cy, 1.0);
  const TK_3dPoint far = m_clip_to_world * TK_3dPoint(cx, cy, -1.0);
  ray.origin = TK_3dVector(origin);
  ray.direction = far - origin;
  return ray.direction.Unitize();
}
