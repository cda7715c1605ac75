#pragma once
// CScreenProjection: the screen projection index of one render. Through the
// fitted main camera every triangle is reduced to its pixel rectangle and
// filed into pixel cells one band of rows at a time; GatherHits then tests
// a sample's ray against its cell only. It owns its camera, cell grid and
// face list; the mesh entries and the abort flag are the session's and
// must outlive it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "camera/FittedCamera.h"
#include "host/platform/WinTypes.h"

class RenderMeshEntry;
struct HitRecord;

// One triangle of one mesh, as filed in a pixel cell.
struct FaceRef {
  int mesh_index = 0;
  int face_index = 0;
};

// A triangle with its unclipped pixel rectangle. Rectangles here are
// inclusive on all four sides (right and bottom are pixels of it).
struct ProjectedFace {
  int mesh_index = 0;
  int face_index = 0;
  RECT rect;
  bool done = false;  // no band below the last one filled can reach it
  ScreenTriangle triangle;
};

using PixelCell = std::vector<FaceRef>;

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
  const RenderMeshEntry* Mesh(int index) const { return m_meshes[std::size_t(index)]; }
  // Lists every face whose rectangle meets the image and that may be seen.
  // False when aborted.
  bool ProjectFaces();
  const std::vector<ProjectedFace>& ProjectedFaces() const { return m_faces; }
  // Files the listed faces into the cells of rows first .. first + count - 1
  // (cut at the image's bottom) that their rectangles cover, passing over
  // cells whose pixel point lies well outside the face's screen triangle: no
  // ray through it can meet the face. The first call fixes the grid's row
  // capacity; a later band of more rows is refused. False when aborted, when
  // first is outside the image, or for a band without rows.
  bool PrepareBand(int first, int count);
  int BandFirstRow() const { return m_band_first; }
  int BandRows() const { return m_band_rows; }
  // The cell of column x, row y; y must lie within the current band.
  const PixelCell& Cell(int x, int y) const {
    return m_grid[std::size_t(y - m_band_first) * std::size_t(m_width) + std::size_t(x)];
  }
  // Every hit of the ray through sample (x, y) with the faces of its cell,
  // in cell order, then nearest first when `sort` is set; the count. y must
  // lie within the current band. The list is cleared first and keeps its
  // capacity.
  int GatherHits(int x, int y, std::vector<HitRecord>& hits, bool sort) const;
  // Room for face references in all cells together: the cells' capacities.
  long long CellCapacityTotal() const;

private:
  CScreenProjection(const FittedCamera& camera, const std::atomic<bool>* abort);
  bool Aborted() const { return m_abort->load(std::memory_order_relaxed); }
  // Orders the listed faces for the bands.
  void SortFacesByTopRow();
  // The first image row of a listed face.
  int TopRow(const ProjectedFace& face) const { return face.rect.top < 0 ? 0 : face.rect.top; }
  // Whether a face covering the whole image can be seen at all.
  bool MaySeeWholeImageFace(const RenderMeshEntry& mesh, int face) const;

  FittedCamera m_camera;
  int m_width = 0;   // the camera's image size
  int m_height = 0;
  int m_band_rows = 0;
  int m_band_first = 0;
  const std::atomic<bool>* m_abort = nullptr;
  std::vector<PixelCell> m_grid;  // m_grid_rows rows of m_width cells, made by the first band
  int m_grid_rows = 0;
  std::vector<ProjectedFace> m_faces;
  // The bands' working lists: face indices by first row (then list order),
  // how many of them bands have reached, and one bit per listed face:
  // reached and not done.
  std::vector<int> m_faces_by_top;
  std::size_t m_entered = 0;
  std::vector<std::uint64_t> m_live;
  std::vector<const RenderMeshEntry*> m_meshes;
};
