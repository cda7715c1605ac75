#pragma once
// CScreenProjection: the screen projection index of one render. Through the
// fitted main camera every triangle is reduced to its pixel rectangle and
// listed; BandCells file the list into pixel cells one band of rows at a
// time, and GatherHits tests a sample's ray against its cell only. After
// ProjectFaces the index is read only, so threads may share it, each with
// its own BandCells. It owns its camera, face list and one BandCells of its
// own; the mesh entries and the abort flag are the session's and must
// outlive it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "camera/FittedCamera.h"
#include "engine/BandCells.h"
#include "engine/FaceRef.h"
#include "engine/InclusiveRect.h"
#include "host/platform/WinTypes.h"
#include "shading/FaceProjection.h"
#include "shading/HitRecord.h"

class RenderMeshEntry;

// A triangle with its unclipped pixel rectangle. Rectangles here are
// inclusive on all four sides (right and bottom are pixels of it).
struct ProjectedFace {
  // A rectangle of at most this many pixels says which of its cells file
  // the face in `held`, so that filing never reads the triangle of the
  // small faces that dense meshes are made of.
  static constexpr long long kHeldPixels = 64;

  int mesh_index = 0;
  int face_index = 0;
  RECT rect;
  // Small rectangles: bit (y - top) * width + (x - left) is set where the
  // image pixel (x, y) lies within the triangle's margin (or the face has
  // no triangle).
  std::uint64_t held = 0;
  ScreenTriangle triangle;

  bool Small() const { return inclusive_rect::Area(rect) <= kHeldPixels; }
};

class CScreenProjection {
public:
  // The index through `camera` fitted to a width x height image and the
  // scene box (FittedCamera::Create); null when the camera is refused or
  // the abort flag is null.
  static std::unique_ptr<CScreenProjection> Create(const TK_Viewport& camera, int width, int height,
                                                   const std::atomic<bool>* abort, const TK_BoundingBox* scene_box);
  CScreenProjection(const CScreenProjection&) = delete;
  CScreenProjection& operator=(const CScreenProjection&) = delete;

  const FittedCamera& Camera() const { return m_camera; }

  // The index. Meshes go in the order of the session's mesh list, so that a
  // mesh's position here is its mesh index. False for a null mesh.
  bool AddMesh(const RenderMeshEntry* mesh);
  int MeshCount() const { return int(m_meshes.size()); }
  const RenderMeshEntry* Mesh(int index) const { return m_meshes[std::size_t(index)].entry; }
  // Lists every face whose rectangle meets the image and that may be seen,
  // projecting on up to `threads` threads (the list is the same for any
  // count). False when aborted.
  bool ProjectFaces(int threads = 1);
  const std::vector<ProjectedFace>& ProjectedFaces() const { return m_faces; }
  // The faces whose rectangles meet the image, listed or not: a face too
  // small to hold any pixel point is left out of the list, as it would be
  // filed in no cell.
  long long FacesInView() const { return (long long)m_faces.size() + m_faces_between_pixels; }
  // The listed faces' indices ordered by their first image row (then list order).
  const std::vector<int>& FacesByTopRow() const { return m_faces_by_top; }
  // How many of them start on rows 0 .. row.
  std::size_t FacesStartingBy(int row) const { return m_top_row_ends[std::size_t(row)]; }
  // The first image row of a listed face.
  int TopRow(const ProjectedFace& face) const { return face.rect.top < 0 ? 0 : face.rect.top; }
  bool Aborted() const { return m_abort->load(std::memory_order_relaxed); }

  // The index's own band of cells (BandCells::Prepare).
  bool PrepareBand(int first, int count) { return m_cells.Prepare(first, count); }
  int BandFirstRow() const { return m_cells.FirstRow(); }
  int BandRows() const { return m_cells.Rows(); }
  PixelCell Cell(int x, int y) const { return m_cells.Cell(x, y); }
  long long CellCapacityTotal() const { return m_cells.CapacityTotal(); }
  // A sample keeps at most this many hits, the nearest: behind thousands of
  // surfaces the rest are lost in the 8-bit colour, and a file of countless
  // coincident faces must not take memory without end.
  static constexpr std::size_t kMaxHitsPerSample = 4096;

  // Every hit of the ray through sample (x, y) with the faces of its cell,
  // in cell order; the count. With `sort`, the hits that can show, nearest
  // first: those behind the nearest hit are left out where that hit's
  // material is opaque everywhere and no other hit lies as near. Beyond
  // kMaxHitsPerSample hits only the nearest stay. y must lie within the band
  // of `cells` (or of the index's own). The list is cleared first and keeps
  // its capacity.
  int GatherHits(const BandCells& cells, int x, int y, std::vector<HitRecord>& hits, bool sort) const;
  // The same with the sample's ray made by the caller (Camera().PixelRay or
  // PixelRays); null where it has no direction, which meets no face.
  int GatherHits(const BandCells& cells, int x, int y, const PixelRayRecord* ray, std::vector<HitRecord>& hits,
                 bool sort) const {
    // A third of a typical image's samples meet nothing: no call for them.
    if (!ray && !m_fetch_ahead) {
      hits.clear();
      return 0;
    }
    return GatherCell(cells, x, y, ray, hits, sort);
  }
  int GatherHits(int x, int y, std::vector<HitRecord>& hits, bool sort) const {
    return GatherHits(m_cells, x, y, hits, sort);
  }

private:
  // The body of GatherHits, whose inline part answers the samples without
  // a ray where nothing is fetched ahead.
  int GatherCell(const BandCells& cells, int x, int y, const PixelRayRecord* ray, std::vector<HitRecord>& hits,
                 bool sort) const;
  CScreenProjection(const FittedCamera& camera, const std::atomic<bool>* abort);
  // Orders the listed faces for the bands.
  void SortFacesByTopRow();
  // Whether a face covering the whole image can be seen at all.
  bool MaySeeWholeImageFace(const RenderMeshEntry& mesh, int face) const;
  // Whether a cell would file the face: some pixel point of its rectangle
  // lies within the margin of its screen triangle (or it has none).
  bool HoldsAPixelPoint(const ProjectedFace& face) const;
  // The face's entry, or none when it cannot show in the image; `viewed`
  // holds the mesh's vertices as the camera sees them.
  std::optional<ProjectedFace> ProjectFace(int mesh_index, int face, const std::vector<ViewedPoint>& viewed) const;

  FittedCamera m_camera;
  int m_width = 0;   // the camera's image size
  int m_height = 0;
  const std::atomic<bool>* m_abort = nullptr;
  std::vector<ProjectedFace> m_faces;
  long long m_faces_between_pixels = 0;  // in view but not listed
  std::vector<int> m_faces_by_top;  // face indices by first row, then list order
  std::vector<std::size_t> m_top_row_ends;  // per image row: where its faces end in m_faces_by_top
  // Per mesh, what gathering reads of it for every face it tests, one load away.
  struct IndexedMesh {
    const RenderMeshEntry* entry;
    const FaceProjection* records;  // the entry's face records
    bool opaque;                    // its material is opaque everywhere
    bool two_sided;                 // its back faces are hit
  };
  std::vector<IndexedMesh> m_meshes;
  bool m_fetch_ahead = true;  // the listed faces' data outgrows the cache
  BandCells m_cells{*this};
};
