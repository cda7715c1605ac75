#include "engine/ScreenProjection.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "shading/HitRecord.h"
#include "shading/MaterialEntry.h"
#include "shading/RenderMeshEntry.h"

namespace {

bool IsEmpty(const RECT& r) { return r.left > r.right || r.top > r.bottom; }

// Intersection of two inclusive rectangles; empty when they do not meet.
RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

TK_3dPoint Wide(const TK_3fPoint& p) { return TK_3dPoint(p.x, p.y, p.z); }

// Pixels a cell's point must lie outside a face's screen triangle before the
// face is left out of the cell: beyond the rounding of the single-precision
// edge lines (at most about 1/100 pixel where the camera makes them) and far
// beyond that of the exact test.
constexpr float kScreenTriangleMargin = 1.0f / 32.0f;

}  // namespace

CScreenProjection::CScreenProjection(const FittedCamera& camera, const std::atomic<bool>* abort)
    : m_camera(camera), m_width(camera.ScreenWidth()), m_height(camera.ScreenHeight()), m_abort(abort) {}

std::unique_ptr<CScreenProjection> CScreenProjection::Create(const TK_Viewport& camera, int width, int height,
                                                             const std::atomic<bool>* abort,
                                                             const TK_BoundingBox* scene_box) {
  if (!abort) return nullptr;
  std::optional<FittedCamera> fitted = FittedCamera::Create(camera, width, height, scene_box);
  if (!fitted) return nullptr;
  return std::unique_ptr<CScreenProjection>(new CScreenProjection(*fitted, abort));
}

bool CScreenProjection::AddMesh(const RenderMeshEntry* mesh) {
  if (!mesh) return false;
  m_meshes.push_back(mesh);
  return true;
}

bool CScreenProjection::MaySeeWholeImageFace(const RenderMeshEntry& mesh, int face) const {
  const TK_Mesh& m = mesh.Mesh();
  if (!m.HasFaceNormals()) return true;
  const TK_3fVector& nf = m.m_FN[std::size_t(face)];
  const TK_3dVector normal(nf.x, nf.y, nf.z);
  // Positive when the eye (or, for a parallel view, the viewer) is on the
  // front side; an edge-on or degenerate face shows nothing.
  const double facing = m_camera.Projection() == TK::perspective
                            ? TK_DotProduct(m_camera.CameraLocation() - Wide(m.m_V[std::size_t(m.m_F[std::size_t(face)].vi[0])]),
                                            normal)
                            : -TK_DotProduct(m_camera.CameraDirection(), normal);
  if (facing > 0) return true;
  const CRenderMaterial* material = mesh.Material() ? mesh.Material()->Material() : nullptr;
  const bool two_sided = !material || material->m_two_sided;
  return two_sided && facing < 0;
}

bool CScreenProjection::ProjectFaces() {
  m_faces.clear();
  for (int mesh_index = 0; mesh_index < MeshCount(); ++mesh_index) {
    const RenderMeshEntry& mesh = *Mesh(mesh_index);
    for (int face = 0; face < mesh.FaceCount(); ++face) {
      if (Aborted()) return false;
      ScreenTriangle triangle;
      const RECT rect = m_camera.FaceScreenRect(mesh.Mesh(), face, &triangle);
      const RECT visible = Intersect(rect, m_camera.ImageRect());
      if (IsEmpty(rect) || IsEmpty(visible)) continue;
      // A huge projection: its rectangle says nothing, its side does.
      if (visible == m_camera.ImageRect() && !MaySeeWholeImageFace(mesh, face)) continue;
      m_faces.push_back(ProjectedFace{mesh_index, face, rect, false, triangle});
    }
  }
  SortFacesByTopRow();
  return true;
}

void CScreenProjection::SortFacesByTopRow() {
  m_entered = 0;
  m_live.assign((m_faces.size() + 63) / 64, 0);
  // A counting sort: stable, so each row's faces keep their list order.
  std::vector<int> starts(std::size_t(m_height) + 1, 0);
  for (const ProjectedFace& face : m_faces) ++starts[std::size_t(TopRow(face)) + 1];
  for (std::size_t row = 1; row < starts.size(); ++row) starts[row] += starts[row - 1];
  m_faces_by_top.assign(m_faces.size(), 0);
  for (std::size_t i = 0; i < m_faces.size(); ++i)
    m_faces_by_top[std::size_t(starts[std::size_t(TopRow(m_faces[i]))]++)] = int(i);
}

bool CScreenProjection::PrepareBand(int first, int count) {
  if (Aborted()) return false;
  for (PixelCell& cell : m_grid) cell.clear();
  if (first < 0 || first >= m_height || count < 1) return false;
  if (m_grid.empty()) {
    m_grid.resize(std::size_t(count) * std::size_t(m_width));
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
      ProjectedFace& face = m_faces[index];
      const RECT part = Intersect(face.rect, band);
      if (IsEmpty(part)) continue;
      const FaceRef ref{face.mesh_index, face.face_index};
      for (int y = part.top; y <= part.bottom; ++y) {
        PixelCell* row = &m_grid[std::size_t(y - first) * std::size_t(m_width)];
        for (int x = part.left; x <= part.right; ++x)
          if (!face.triangle.Excludes(x, y, kScreenTriangleMargin)) row[x].push_back(ref);
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

int CScreenProjection::GatherHits(int x, int y, std::vector<HitRecord>& hits, bool sort) const {
  hits.clear();
  const PixelCell& cell = Cell(x, y);
  if (cell.empty()) return 0;
  PixelRayRecord ray;
  if (!m_camera.PixelRay(x, y, ray)) return 0;  // no direction: no face can be met
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
    hits.push_back(working);
    InitHitRecord(working);
  }
  if (sort && hits.size() >= 2) std::qsort(hits.data(), hits.size(), sizeof(HitRecord), CompareHitDepth);
  return int(hits.size());
}

long long CScreenProjection::CellCapacityTotal() const {
  long long total = 0;
  for (const PixelCell& cell : m_grid) total += (long long)cell.capacity();
  return total;
}
