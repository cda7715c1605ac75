#include "engine/ScreenProjection.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "shading/HitRecord.h"
#include "shading/MaterialEntry.h"
#include "shading/RenderMeshEntry.h"

namespace {

// Screen coordinates are held within this many pixels before truncation, so
// that points near the eye plane never overflow an int.
constexpr double kScreenLimit = 1073741824.0;  // 2^30

int TruncateToPixel(double v) {
  if (!(v > -kScreenLimit)) v = -kScreenLimit;  // NaN too
  if (v > kScreenLimit) v = kScreenLimit;
  return int(v);
}

RECT EmptyRect() { return RECT{0, 0, -1, -1}; }

bool IsEmpty(const RECT& r) { return r.left > r.right || r.top > r.bottom; }

// Intersection of two inclusive rectangles; empty when they do not meet.
RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

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

// Pixels a cell's point must lie outside a face's screen triangle before the
// face is left out of the cell: beyond the rounding of the single-precision
// edge lines (at most about 1/100 pixel within kScreenTriangleReach) and far
// beyond that of the exact test.
constexpr float kScreenTriangleMargin = 1.0f / 32.0f;
constexpr double kScreenTriangleReach = 70000.0;

ScreenTriangle MakeScreenTriangle(const TK_Xform& world_to_screen, const TK_3dPoint (&world)[3]) {
  ScreenTriangle t;
  TK_3dPoint s[3];
  for (int i = 0; i < 3; ++i) s[i] = world_to_screen * world[i];
  // Single-precision edge lines hold their rounding well inside the margin
  // only near the screen (sides up to 65536 oversampled pixels); faces
  // reaching farther, and faces seen edge-on, always take the exact test.
  for (const TK_3dPoint& p : s)
    if (!(std::fabs(p.x) < kScreenTriangleReach) || !(std::fabs(p.y) < kScreenTriangleReach)) return t;
  const double area = (s[1].x - s[0].x) * (s[2].y - s[0].y) - (s[1].y - s[0].y) * (s[2].x - s[0].x);
  if (!(std::fabs(area) > 1e-6)) return t;
  t.ox = int(s[0].x);
  t.oy = int(s[0].y);
  const double side = area > 0 ? 1.0 : -1.0;
  for (int i = 0; i < 3; ++i) {
    const TK_3dPoint& p = s[i];
    const TK_3dPoint& q = s[(i + 1) % 3];
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

CScreenProjection::CScreenProjection(const TK_Viewport& camera, int width, int height,
                                     const std::atomic<bool>* abort)
    : TK_Viewport(camera), m_width(width), m_height(height), m_image_rect{0, 0, width - 1, height - 1},
      m_abort(abort) {}

CScreenProjection::~CScreenProjection() = default;

std::unique_ptr<CScreenProjection> CScreenProjection::Create(const TK_Viewport& camera, int width, int height,
                                                             const std::atomic<bool>* abort,
                                                             const TK_BoundingBox* scene_box) {
  if (!abort || width < 1 || height < 1) return nullptr;
  std::unique_ptr<CScreenProjection> projection(new (std::nothrow) CScreenProjection(camera, width, height, abort));
  if (!projection || !projection->Fit(scene_box)) return nullptr;
  return projection;
}

bool CScreenProjection::Fit(const TK_BoundingBox* scene_box) {
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

bool CScreenProjection::SetNearFar(double near, double far) {
  if (!SetFrustumNearFar(near, far)) return false;
  TK_Xform clip_to_world, world_to_screen, screen_to_world, screen_to_clip, world_to_camera, camera_to_screen;
  if (!GetXform(TK::clip, TK::world, clip_to_world) || !GetXform(TK::world, TK::screen, world_to_screen) ||
      !GetXform(TK::screen, TK::world, screen_to_world) || !GetXform(TK::screen, TK::clip, screen_to_clip) ||
      !GetXform(TK::world, TK::camera, world_to_camera) || !GetXform(TK::camera, TK::screen, camera_to_screen))
    return false;
  m_clip_to_world = clip_to_world;
  m_world_to_screen = world_to_screen;
  m_screen_to_world = screen_to_world;
  m_world_to_camera = world_to_camera;
  m_camera_to_screen = camera_to_screen;
  m_a = screen_to_clip[0][0];
  m_b = screen_to_clip[0][1];
  m_c = screen_to_clip[0][3];
  m_d = screen_to_clip[1][0];
  m_e = screen_to_clip[1][1];
  m_f = screen_to_clip[1][3];
  return true;
}

POINT CScreenProjection::ProjectPoint(const TK_3dPoint& point) const {
  const TK_3dPoint q = m_world_to_screen * point;
  return POINT{TruncateToPixel(q.x), TruncateToPixel(q.y)};
}

RECT CScreenProjection::FaceScreenRect(const RenderMeshEntry& mesh, int face, ScreenTriangle* triangle) const {
  const TK_Mesh& m = mesh.Mesh();
  if (face < 0 || face >= m.FaceCount()) return EmptyRect();
  const TK_MeshFace& f = m.m_F[std::size_t(face)];
  TK_3dPoint world[3], camera[3];
  double ahead[3];  // distance in front of the near plane
  const double near = FrustumNear();
  bool all_ahead = true;
  for (int i = 0; i < 3; ++i) {
    world[i] = Wide(m.m_V[std::size_t(f.vi[i])]);
    camera[i] = m_world_to_camera * world[i];
    ahead[i] = -camera[i].z - near;
    all_ahead = all_ahead && ahead[i] >= 0;
  }
  RECT rect = EmptyRect();
  if (all_ahead) {
    for (int i = 0; i < 3; ++i) Bound(rect, ProjectPoint(world[i]), i == 0);
    if (triangle) *triangle = MakeScreenTriangle(m_world_to_screen, world);
    return rect;
  }
  // Projecting a vertex behind the eye flips it: bound only the part of the
  // triangle in front of the near plane (one to four vertices).
  int count = 0;
  auto add = [&](const TK_3dPoint& p) {
    const TK_3dPoint q = m_camera_to_screen * p;
    Bound(rect, POINT{TruncateToPixel(q.x), TruncateToPixel(q.y)}, count++ == 0);
  };
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    if (ahead[i] >= 0) add(camera[i]);
    if ((ahead[i] >= 0) != (ahead[j] >= 0)) {
      const double t = ahead[i] / (ahead[i] - ahead[j]);
      add(camera[i] + (camera[j] - camera[i]) * t);
    }
  }
  return rect;
}

bool CScreenProjection::PixelRay(double x, double y, PixelRayRecord& ray) const {
  const double cx = m_a * x + m_b * y + m_c;
  const double cy = m_d * x + m_e * y + m_f;
  const TK_3dPoint origin = m_clip_to_world * TK_3dPoint(cx, cy, 1.0);
  const TK_3dPoint far = m_clip_to_world * TK_3dPoint(cx, cy, -1.0);
  ray.origin = TK_3dVector(origin);
  ray.direction = far - origin;
  return ray.direction.Unitize();
}

bool CScreenProjection::AddMesh(const RenderMeshEntry* mesh) { return mesh && m_meshes.Append(mesh); }

bool CScreenProjection::MaySeeWholeImageFace(const RenderMeshEntry& mesh, int face) const {
  const TK_Mesh& m = mesh.Mesh();
  if (!m.HasFaceNormals()) return true;
  const TK_3fVector& nf = m.m_FN[std::size_t(face)];
  const TK_3dVector normal(nf.x, nf.y, nf.z);
  // Positive when the eye (or, for a parallel view, the viewer) is on the
  // front side; an edge-on or degenerate face shows nothing.
  const double facing = Projection() == TK::perspective
                            ? TK_DotProduct(CameraLocation() - Wide(m.m_V[std::size_t(m.m_F[std::size_t(face)].vi[0])]),
                                            normal)
                            : -TK_DotProduct(CameraDirection(), normal);
  if (facing > 0) return true;
  const CRenderMaterial* material = mesh.Material() ? mesh.Material()->Material() : nullptr;
  const bool two_sided = !material || material->m_two_sided;
  return two_sided && facing < 0;
}

bool CScreenProjection::ProjectFaces() {
  m_faces.Empty();
  for (int mesh_index = 0; mesh_index < m_meshes.Count(); ++mesh_index) {
    const RenderMeshEntry& mesh = *m_meshes[mesh_index];
    for (int face = 0; face < mesh.FaceCount(); ++face) {
      if (Aborted()) return false;
      ScreenTriangle triangle;
      const RECT rect = FaceScreenRect(mesh, face, &triangle);
      const RECT visible = Intersect(rect, m_image_rect);
      if (IsEmpty(rect) || IsEmpty(visible)) continue;
      // A huge projection: its rectangle says nothing, its side does.
      if (visible == m_image_rect && !MaySeeWholeImageFace(mesh, face)) continue;
      if (!m_faces.Append(ProjectedFace{mesh_index, face, rect, false, triangle})) return false;
    }
  }
  return SortFacesByTopRow();
}

bool CScreenProjection::SortFacesByTopRow() {
  m_entered = 0;
  try {
    m_live.assign((std::size_t(m_faces.Count()) + 63) / 64, 0);
    // A counting sort: stable, so each row's faces keep their list order.
    std::vector<int> starts(std::size_t(m_height) + 1, 0);
    for (const ProjectedFace& face : m_faces) ++starts[std::size_t(TopRow(face)) + 1];
    for (std::size_t row = 1; row < starts.size(); ++row) starts[row] += starts[row - 1];
    m_faces_by_top.assign(std::size_t(m_faces.Count()), 0);
    for (int i = 0; i < m_faces.Count(); ++i) m_faces_by_top[std::size_t(starts[std::size_t(TopRow(m_faces[i]))]++)] = i;
  } catch (const std::bad_alloc&) {
    m_faces_by_top.clear();
    m_live.clear();
    return false;
  }
  return true;
}

bool CScreenProjection::PrepareBand(int first, int count) {
  if (Aborted()) return false;
  const std::size_t cells = std::size_t(m_grid_rows) * std::size_t(m_width);
  for (std::size_t i = 0; i < cells; ++i) m_grid[i].Empty();
  if (first < 0 || first >= m_height || count < 1) return false;
  if (!m_grid) {
    m_grid.reset(new (std::nothrow) PixelCell[std::size_t(count) * std::size_t(m_width)]);
    if (!m_grid) return false;
    m_grid_rows = count;
  }
  const int rows = std::min(count, m_height - first);
  if (rows > m_grid_rows) return false;
  m_band_first = first;
  m_band_rows = rows;

  const RECT band{0, first, m_width - 1, first + rows - 1};
  // Only faces whose first row the bands have reached can meet this band;
  // they are filed in list order, as a pass over the whole list would.
  while (m_entered < m_faces_by_top.size() && TopRow(m_faces[m_faces_by_top[m_entered]]) <= band.bottom) {
    const auto index = std::size_t(m_faces_by_top[m_entered++]);
    m_live[index / 64] |= std::uint64_t(1) << (index % 64);
  }
  for (std::size_t word = 0; word < m_live.size(); ++word) {
    for (std::uint64_t bits = m_live[word]; bits != 0; bits &= bits - 1) {
      if (Aborted()) return false;
      const std::size_t index = word * 64 + std::size_t(std::countr_zero(bits));
      ProjectedFace& face = m_faces[int(index)];
      const RECT part = Intersect(face.rect, band);
      if (IsEmpty(part)) continue;
      const FaceRef ref{face.mesh_index, face.face_index};
      for (int y = part.top; y <= part.bottom; ++y) {
        PixelCell* row = &m_grid[std::size_t(y - first) * std::size_t(m_width)];
        for (int x = part.left; x <= part.right; ++x)
          if (!face.triangle.Excludes(x, y, kScreenTriangleMargin) && !row[x].Append(ref)) return false;
      }
      // A rectangle ending on the band's last row is filed again by the next
      // band, which holds that row too.
      if (face.rect.bottom < band.bottom) {
        face.done = true;
        m_live[word] &= ~(std::uint64_t(1) << (index % 64));
      }
    }
  }
  return true;
}

int CScreenProjection::GatherHits(int y, int x, TK_SimpleArray<HitRecord>& hits, bool sort) const {
  hits.Empty();
  const PixelCell& cell = Cell(x, y);
  if (cell.Count() == 0) return 0;
  PixelRayRecord ray;
  if (!PixelRay(x, y, ray)) return 0;  // no direction: no face can be met
  // Fresh after every hit: a mesh without texture coordinates must not
  // inherit those of an earlier hit. A miss leaves only depth, flag and point
  // behind, which the next test writes before anything reads them.
  HitRecord working;
  InitHitRecord(working);
  for (const FaceRef& ref : cell) {
    const RenderMeshEntry* mesh = m_meshes[ref.mesh_index];
    working.ray_origin = ray.origin;
    working.ray_direction = ray.direction;
    working.mesh_index = ref.mesh_index;
    working.face_index = ref.face_index;
    working.material = mesh->Material();
    if (!mesh->IntersectFace(working)) continue;
    if (!hits.Append(working)) break;
    InitHitRecord(working);
  }
  if (sort && hits.Count() >= 2)
    std::qsort(hits.Array(), std::size_t(hits.Count()), sizeof(HitRecord), CompareHitDepth);
  return hits.Count();
}

long long CScreenProjection::CellCapacityTotal() const {
  long long total = 0;
  const std::size_t cells = std::size_t(m_grid_rows) * std::size_t(m_width);
  for (std::size_t i = 0; i < cells; ++i) total += m_grid[i].Capacity();
  return total;
}
