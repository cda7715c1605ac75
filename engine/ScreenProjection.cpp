#include "engine/ScreenProjection.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/InclusiveRect.h"
#include "host/platform/InParts.h"
#include "shading/HitRecord.h"
#include "engine/FaceCopies.h"
#include "shading/MaterialEntry.h"
#include "shading/RenderMeshEntry.h"

namespace {

using inclusive_rect::Area;
using inclusive_rect::Intersect;
using inclusive_rect::IsEmpty;

TK_3dPoint Wide(const TK_3fPoint& p) { return TK_3dPoint(p.x, p.y, p.z); }

// The most pixels by which the exact ray test can meet a face beyond its
// screen triangle. The test meets the ray with the face's stored plane
// (single-precision unit normal and offset), which misses the face's
// corners by up to `gap`, and checks the point projected along the
// dominant axis: a point up to gap / |n_dominant| off the ray, which the
// screen shows shifted by at most that displacement's projection at the
// corners. Doubled for the gap's growth across the face and the test's
// double-precision rounding, itself added relative to the magnitudes
// involved. Far from the origin, seen from near, this reaches pixels.
double ExactTestReach(const RenderMeshEntry& mesh, int face, const FittedCamera& camera) {
  const TK_Mesh& m = mesh.Mesh();
  const FaceProjection& fp = mesh.Projection(face);
  const TK_3dVector n = fp.Normal();
  const TK_MeshFace& f = m.m_F[std::size_t(face)];
  const TK_3dPoint& eye = camera.CameraLocation();
  TK_3dPoint corner[3];
  double gap = 0.0, magnitude = std::fabs(eye.x) + std::fabs(eye.y) + std::fabs(eye.z);
  for (int i = 0; i < 3; ++i) {
    corner[i] = Wide(m.m_V[std::size_t(f.vi[i])]);
    gap = std::max(gap, std::fabs(TK_DotProduct(TK_3dVector(corner[i].x, corner[i].y, corner[i].z), n) +
                                  double(fp.plane_offset)));
    magnitude = std::max(magnitude, std::fabs(corner[i].x) + std::fabs(corner[i].y) + std::fabs(corner[i].z));
  }
  gap = 2.0 * gap + 1e-13 * magnitude;
  const double dominant = std::fabs(fp.dominant_axis == 0 ? n.x : fp.dominant_axis == 1 ? n.y : n.z);
  if (!(dominant > 0.0)) return 0.0;  // a face without a normal meets no ray
  // Most faces: the plane's distance from the eye bounds the face's, and so
  // the pixels a unit shift can move any hit on it.
  const double plane_distance = std::fabs(TK_DotProduct(TK_3dVector(eye.x, eye.y, eye.z), n) + double(fp.plane_offset)) - gap;
  if (plane_distance > 0.0 && 2.0 * gap / dominant * camera.PixelsPerUnitBound(plane_distance) <= ScreenTriangle::kMargin / 4)
    return 0.0;
  TK_3dVector shift(0, 0, 0);
  (fp.dominant_axis == 0 ? shift.x : fp.dominant_axis == 1 ? shift.y : shift.z) = gap / dominant;
  // Rays start at the near plane: a face crossing it is measured where it does.
  double ahead[3];
  for (int i = 0; i < 3; ++i) ahead[i] = camera.AheadOfNear(corner[i]);
  double reach = 0.0;
  for (int i = 0; i < 3; ++i) {
    if (ahead[i] >= 0.0) reach = std::max(reach, camera.ScreenShift(corner[i], shift));
    const int j = (i + 1) % 3;
    if ((ahead[i] >= 0.0) != (ahead[j] >= 0.0)) {
      const double s = ahead[i] / (ahead[i] - ahead[j]);
      const TK_3dPoint cut = corner[i] + (corner[j] - corner[i]) * s;
      reach = std::max(reach, camera.ScreenShift(cut, shift));
    }
  }
  return 2.0 * reach;
}

// The nearest kMaxHitsPerSample hits, nearest first, hits of equal depth in
// the order of the cell (the order of their meshes and faces), so that the
// hits kept and their order do not depend on when the list was cut.
void KeepNearestHits(std::vector<HitRecord>& hits) {
  const auto before = [](const HitRecord& a, const HitRecord& b) {
    return std::tie(a.depth, a.mesh_index, a.face_index) < std::tie(b.depth, b.mesh_index, b.face_index);
  };
  const auto nth = hits.begin() + std::ptrdiff_t(CScreenProjection::kMaxHitsPerSample);
  std::nth_element(hits.begin(), nth, hits.end(), before);
  hits.erase(nth, hits.end());
  std::sort(hits.begin(), hits.end(), before);
}

}  // namespace

CScreenProjection::CScreenProjection(const FittedCamera& camera, const std::atomic<bool>* abort)
    : m_camera(camera),
      m_width(camera.ScreenWidth()),
      m_height(camera.ScreenHeight()),
      m_abort(abort),
      m_top_row_ends(std::size_t(m_height), 0) {}

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
  m_meshes.push_back(
      {mesh, mesh->Projections(), !mesh->Material() || mesh->Material()->AlwaysOpaque(), mesh->ShadesBackFaces()});
  return true;
}

bool CScreenProjection::MaySeeWholeImageFace(const RenderMeshEntry& mesh, int face) const {
  const TK_Mesh& m = mesh.Mesh();
  const TK_3dVector normal = mesh.Projection(face).Normal();
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

std::optional<ProjectedFace> CScreenProjection::ProjectFace(int mesh_index, int face,
                                                             const std::vector<ViewedPoint>& viewed) const {
  const RenderMeshEntry& mesh = *Mesh(mesh_index);
  ScreenTriangle triangle;
  RECT rect = m_camera.FaceScreenRect(mesh.Mesh(), face, viewed, &triangle);
  if (IsEmpty(rect)) return std::nullopt;
  // Where the exact test can meet the face beyond the margin, the face
  // takes it in every cell its reach covers.
  if (const double reach = ExactTestReach(mesh, face, m_camera); reach > ScreenTriangle::kMargin / 2) {
    triangle.valid = false;
    const int grow = int(std::min(std::ceil(reach), 1e6));
    rect = RECT{rect.left - grow, rect.top - grow, rect.right + grow, rect.bottom + grow};
  }
  const RECT visible = Intersect(rect, m_camera.ImageRect());
  if (IsEmpty(visible)) return std::nullopt;
  // A huge projection: its rectangle says nothing, its side does.
  if (visible == m_camera.ImageRect() && !MaySeeWholeImageFace(mesh, face)) return std::nullopt;
  ProjectedFace projected{mesh_index, face, rect, 0, triangle};
  if (projected.Small()) {
    const int width = rect.right - rect.left + 1;
    for (int y = visible.top; y <= visible.bottom; ++y)
      for (int x = visible.left; x <= visible.right; ++x)
        if (!triangle.Excludes(x, y, ScreenTriangle::kMargin))
          projected.held |= std::uint64_t(1) << ((y - rect.top) * width + (x - rect.left));
  }
  return projected;
}

bool CScreenProjection::HoldsAPixelPoint(const ProjectedFace& face) const {
  // Large faces are not worth the test: nearly all of them hold one.
  constexpr long long kLargest = 16;
  const RECT r = Intersect(face.rect, m_camera.ImageRect());
  if (!face.triangle.valid || Area(r) > kLargest) return true;
  if (face.Small()) return face.held != 0;
  for (int y = r.top; y <= r.bottom; ++y)
    for (int x = r.left; x <= r.right; ++x)
      if (!face.triangle.Excludes(x, y, ScreenTriangle::kMargin)) return true;
  return false;
}

bool CScreenProjection::ProjectFaces(int threads) {
  m_faces.clear();
  m_faces_between_pixels = 0;
  // Room for every face, up to a bound that any machine's memory allows
  // (the pages the list never reaches are never touched), while growing it
  // by doubling would copy it and hold two copies at its peak.
  constexpr std::size_t kReservedFaces = std::size_t(1) << 23;
  std::size_t all_faces = 0;
  for (const IndexedMesh& mesh : m_meshes) all_faces += std::size_t(mesh.entry->FaceCount());
  m_faces.reserve(std::min(all_faces, kReservedFaces));
  std::vector<ViewedPoint> viewed;
  for (int mesh_index = 0; mesh_index < MeshCount(); ++mesh_index) {
    const RenderMeshEntry& mesh = *Mesh(mesh_index);
    // Copies of a face beyond those that can show are not filed.
    FaceCopies copies(mesh.Mesh());
    const bool opaque = !mesh.Material() || mesh.Material()->AlwaysOpaque();
    const int showing_copies = opaque ? 1 : int(kMaxHitsPerSample);
    // A face between the pixel points is counted by the copies all the
    // same, so that the faces listed are those a list of every face would
    // file in some cell.
    const auto file = [&](const ProjectedFace& p, bool holds_a_point) {
      const bool shows = copies.EarlierCopies(p.face_index) < showing_copies;
      if (!holds_a_point) ++m_faces_between_pixels;
      else if (shows) m_faces.push_back(p);
    };
    // The vertices, then the faces a block at a time, are projected in
    // parts, one per thread. This thread files its part of a block as it
    // goes; the other parts wait in buffers of their own and are filed
    // after it, in face order, so that the list is that of one thread and
    // the buffers never hold more than a block. Meshes of fewer than 16384
    // faces a thread are not worth one.
    const int faces = mesh.FaceCount();
    const int parts = ThreadsWorth(std::size_t(faces), 16384, threads);
    viewed.resize(mesh.Mesh().m_V.size());
    InParts(0, viewed.size(), parts, [&](int, std::size_t begin, std::size_t end) {
      for (std::size_t v = begin; v < end; ++v) viewed[v] = m_camera.View(Wide(mesh.Mesh().m_V[v]));
    });
    constexpr int kBlock = 65536;
    std::vector<std::vector<std::pair<ProjectedFace, bool>>> buffers(static_cast<std::size_t>(parts));
    for (int block = 0; block < faces; block += kBlock) {
      InParts(std::size_t(block), std::min(std::size_t(faces), std::size_t(block) + kBlock), parts,
              [&](int part, std::size_t begin, std::size_t end) {
                for (std::size_t face = begin; face < end; ++face) {
                  if ((face & 1023) == 0 && Aborted()) return;
                  const std::optional<ProjectedFace> p = ProjectFace(mesh_index, int(face), viewed);
                  if (!p) continue;
                  const bool holds_a_point = HoldsAPixelPoint(*p);
                  if (part == 0) file(*p, holds_a_point);
                  else buffers[std::size_t(part)].emplace_back(*p, holds_a_point);
                }
              });
      if (Aborted()) return false;
      for (auto& buffer : buffers) {
        for (const auto& [p, holds_a_point] : buffer) file(p, holds_a_point);
        buffer.clear();
      }
    }
  }
  std::vector<ViewedPoint>().swap(viewed);
  SortFacesByTopRow();
  // What shading reads of a listed face (its record, corner indices,
  // normals and texture coordinates) is about this much; faces that fit
  // the core's own cache together are not fetched ahead, which would cost
  // instructions and save no waiting.
  constexpr std::size_t kBytesPerFace = 128, kCacheBytes = std::size_t(1) << 20;
  m_fetch_ahead = m_faces.size() * kBytesPerFace > kCacheBytes;
  return true;
}

void CScreenProjection::SortFacesByTopRow() {
  m_cells.Reset();
  // A counting sort: stable, so each row's faces keep their list order.
  // Each row's count becomes its end, each end the start of the next row.
  std::vector<std::size_t>& ends = m_top_row_ends;
  ends.assign(std::size_t(m_height), 0);
  for (const ProjectedFace& face : m_faces) ++ends[std::size_t(TopRow(face))];
  for (std::size_t row = 1; row < ends.size(); ++row) ends[row] += ends[row - 1];
  m_faces_by_top.assign(m_faces.size(), 0);
  std::vector<std::size_t> next(ends.size(), 0);
  std::copy(ends.begin(), ends.end() - 1, next.begin() + 1);
  for (std::size_t i = 0; i < m_faces.size(); ++i) m_faces_by_top[next[std::size_t(TopRow(m_faces[i]))]++] = int(i);
}

int CScreenProjection::GatherHits(const BandCells& cells, int x, int y, std::vector<HitRecord>& hits,
                                  bool sort) const {
  PixelRayRecord ray;
  return GatherHits(cells, x, y, m_camera.PixelRay(x, y, ray) ? &ray : nullptr, hits, sort);
}

int CScreenProjection::GatherCell(const BandCells& cells, int x, int y, const PixelRayRecord* sample_ray,
                                  std::vector<HitRecord>& hits, bool sort) const {
  hits.clear();
  // A face's record is read for a row or two and never again, so nearly
  // every first read waits on memory: the records of a cell a few samples
  // on are sent for while this cell's are tested.
  // Their corners' data is sent for nearer, once the records have come.
  constexpr int kFetchAhead = 6, kFetchCornersAhead = 3;
  if (m_fetch_ahead && x + kFetchAhead < cells.Width())
    for (const FaceRef& ref : cells.Cell(x + kFetchAhead, y))
      m_meshes[std::size_t(ref.mesh_index)].entry->FetchFace(ref.face_index);
  if (m_fetch_ahead && x + kFetchCornersAhead < cells.Width())
    for (const FaceRef& ref : cells.Cell(x + kFetchCornersAhead, y))
      m_meshes[std::size_t(ref.mesh_index)].entry->FetchCorners(ref.face_index);
  const PixelCell cell = cells.Cell(x, y);
  if (cell.empty() || !sample_ray) return 0;
  const PixelRayRecord& ray = *sample_ray;
  // Sorted hits shade from the first on, so when the nearest hit is of an
  // always-opaque material nothing behind it shows: faces are met only up to
  // the nearest such hit so far. Should a hit that may let light through lie
  // no farther, what is behind the opaque one matters after all (shading
  // looks past it for the mesh in front), and the cell is gathered again in
  // full. Unsorted lists are always full.
  const double kAll = std::numeric_limits<double>::infinity();
  double nearest_opaque = kAll, nearest_other = kAll;
  bool passed_over = false;
  const auto gather = [&](bool limited) __attribute__((always_inline)) {
    // The faces' arithmetic four at a time; what it means for each face
    // the ray meets (how far, which side, which material) is decided in the
    // cell's order. A face met beyond the limit is passed over.
    for (std::size_t first = 0; first < cell.size(); first += 4) {
      const std::size_t count = std::min<std::size_t>(4, cell.size() - first);
      // Lanes past the cell's end repeat its last face.
      const FaceProjection* records[4];
      const auto record = [&](std::size_t k) {
        const FaceRef& ref = cell[first + k];
        return m_meshes[std::size_t(ref.mesh_index)].records + ref.face_index;
      };
      records[0] = record(0);
      records[1] = count > 1 ? record(1) : records[0];
      records[2] = count > 2 ? record(2) : records[1];
      records[3] = count > 3 ? record(3) : records[2];
      FaceQuadTest test;
      TestFaces(ray.origin, ray.direction, records, test);
      for (unsigned lanes = test.meets & ((1u << count) - 1); lanes != 0; lanes &= lanes - 1) {
        const int k = std::countr_zero(lanes);
        const double depth = test.depth[k];
        if (limited && depth > nearest_opaque) {
          passed_over = true;
          continue;
        }
        const FaceRef& ref = cell[first + std::size_t(k)];
        const IndexedMesh& mesh = m_meshes[std::size_t(ref.mesh_index)];
        if ((test.back >> k & 1) != 0 && !mesh.two_sided) continue;
        if (limited && mesh.opaque && depth < std::min(nearest_opaque, nearest_other) && !hits.empty()) {
          // Nearer than all met so far, which it hides: they are passed
          // over, as they would have been had this face come first.
          hits.clear();
          passed_over = true;
        }
        mesh.entry->RecordHit(hits, ref.mesh_index, ref.face_index, ray.origin, ray.direction, test, k);
        double& nearest = mesh.opaque ? nearest_opaque : nearest_other;
        nearest = std::min(nearest, depth);
        if (hits.size() >= 2 * kMaxHitsPerSample) KeepNearestHits(hits);
      }
    }
  };
  gather(sort);
  if (passed_over && nearest_other <= nearest_opaque) {
    hits.clear();
    gather(false);
  }
  if (hits.size() > kMaxHitsPerSample) KeepNearestHits(hits);
  if (sort && hits.size() > 1) SortHitsNearestFirst(hits);
  return int(hits.size());
}


