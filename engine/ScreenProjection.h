#pragma once
// CScreenProjection: a camera fitted to an image of a given pixel size, with
// its world, clip and screen transforms cached, pixel rays, and the screen
// projection index (every triangle reduced to its pixel rectangle, filed
// into pixel cells one band of rows at a time). It owns its cell grid and
// face list; the mesh entries, the abort flag and the scene box are the
// session's and must outlive it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "host/platform/WinTypes.h"
#include "host/toolkit/SimpleArray.h"
#include "host/toolkit/Viewport.h"

class RenderMeshEntry;
struct HitRecord;

// A ray: origin, then unit direction.
struct PixelRayRecord {
  TK_3dVector origin;
  TK_3dVector direction;
};

// One triangle of one mesh, as filed in a pixel cell.
struct FaceRef {
  int mesh_index = 0;
  int face_index = 0;
};

// A face's triangle on the screen as three edge lines in pixel units,
// positive inside, relative to the pixel (ox, oy). Only faces wholly in
// front of the near plane have one (`valid`).
struct ScreenTriangle {
  int ox = 0, oy = 0;
  float a[3] = {0, 0, 0}, b[3] = {0, 0, 0}, c[3] = {0, 0, 0};
  bool valid = false;
  // Whether screen point (x, y) lies more than `margin` pixels outside.
  bool Excludes(int x, int y, float margin) const {
    const float fx = float(x - ox), fy = float(y - oy);
    return valid && (a[0] * fx + b[0] * fy + c[0] < -margin || a[1] * fx + b[1] * fy + c[1] < -margin ||
                     a[2] * fx + b[2] * fy + c[2] < -margin);
  }
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

using PixelCell = TK_SimpleArray<FaceRef>;

class CScreenProjection : public TK_Viewport {
public:
  // Fits the camera to a width x height image and the scene box (near just
  // short of the box's nearest corner, far at its farthest). A camera
  // without a frame has no usable transforms: it is refused (null), as are
  // an image without pixels and a null abort flag. An empty scene box keeps
  // the camera's own near and far.
  static std::unique_ptr<CScreenProjection> Create(const TK_Viewport& camera, int width, int height,
                                                   const std::atomic<bool>* abort, const TK_BoundingBox* scene_box);
  ~CScreenProjection() override;
  CScreenProjection(const CScreenProjection&) = delete;
  CScreenProjection& operator=(const CScreenProjection&) = delete;

  int ScreenWidth() const { return m_width; }
  int ScreenHeight() const { return m_height; }
  const RECT& ImageRect() const { return m_image_rect; }

  // New near and far distances and the cached transforms that follow from
  // them. False (frustum as before) when the toolkit refuses the frustum.
  bool SetNearFar(double near, double far);
  // Pixel position of a world point, truncated toward zero; coordinates
  // beyond +-2^30 pixels (points near the eye plane) are held there.
  POINT ProjectPoint(const TK_3dPoint& point) const;
  // Inclusive pixel rectangle of the part of a triangle in front of the
  // near plane; left > right (empty) when no part is.
  RECT FaceScreenRect(const RenderMeshEntry& mesh, int face) const { return FaceScreenRect(mesh, face, nullptr); }
  // The ray through screen position (x, y) from the near plane toward the
  // far one. False when its direction cannot be made a unit vector.
  bool PixelRay(double x, double y, PixelRayRecord& ray) const;

  // The index. Meshes go in the order of the session's mesh list, so that a
  // mesh's position here is its mesh index. False when memory runs out.
  bool AddMesh(const RenderMeshEntry* mesh);
  int MeshCount() const { return m_meshes.Count(); }
  const RenderMeshEntry* Mesh(int index) const { return m_meshes[index]; }
  // Lists every face whose rectangle meets the image and that may be seen.
  // False when aborted or when memory runs out.
  bool ProjectFaces();
  const TK_SimpleArray<ProjectedFace>& ProjectedFaces() const { return m_faces; }
  // Files the listed faces into the cells of rows first .. first + count - 1
  // (cut at the image's bottom) that their rectangles cover, passing over
  // cells whose pixel point lies well outside the face's screen triangle: no
  // ray through it can meet the face. The first call fixes the grid's row
  // capacity; a later band of more rows is refused. False when aborted, when
  // first is outside the image, or when there is no grid.
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
  // capacity; should it fail to grow, the hits it holds are the answer.
  int GatherHits(int y, int x, TK_SimpleArray<HitRecord>& hits, bool sort) const;
  // Room for face references in all cells together: the cells' capacities.
  long long CellCapacityTotal() const;

protected:
  // For subclasses (shadow maps), which are made like Create makes a
  // projection: construct, then Fit; a false Fit means no usable transforms.
  CScreenProjection(const TK_Viewport& camera, int width, int height, const std::atomic<bool>* abort);
  // Screen port and frustum aspect for the image, near and far for the box.
  bool Fit(const TK_BoundingBox* scene_box);
  bool Aborted() const { return m_abort->load(std::memory_order_relaxed); }

private:
  // The rectangle and, when given, the screen triangle of a face.
  RECT FaceScreenRect(const RenderMeshEntry& mesh, int face, ScreenTriangle* triangle) const;
  // Orders the listed faces for the bands; false when memory runs out.
  bool SortFacesByTopRow();
  // The first image row of a listed face.
  int TopRow(const ProjectedFace& face) const { return face.rect.top < 0 ? 0 : face.rect.top; }
  // Whether a face covering the whole image can be seen at all.
  bool MaySeeWholeImageFace(const RenderMeshEntry& mesh, int face) const;

  int m_width = 0;
  int m_height = 0;
  int m_band_rows = 0;
  int m_band_first = 0;
  RECT m_image_rect;
  const std::atomic<bool>* m_abort = nullptr;
  TK_Xform m_clip_to_world;
  TK_Xform m_screen_to_world;
  TK_Xform m_world_to_screen;
  TK_Xform m_world_to_camera;
  TK_Xform m_camera_to_screen;
  std::unique_ptr<PixelCell[]> m_grid;
  int m_grid_rows = 0;
  TK_SimpleArray<ProjectedFace> m_faces;
  // The bands' working lists: face indices by first row (then list order),
  // how many of them bands have reached, and one bit per listed face:
  // reached and not done.
  std::vector<int> m_faces_by_top;
  std::size_t m_entered = 0;
  std::vector<std::uint64_t> m_live;
  TK_SimpleArray<const RenderMeshEntry*> m_meshes;
  double m_a = 0, m_b = 0, m_c = 0, m_d = 0, m_e = 0, m_f = 0;  // screen (x, y) to clip (x, y)
};
