#pragma once
// FittedCamera: a camera fitted to an image of a given pixel size and to
// the scene's box, with its world, clip and screen transforms cached. It
// answers where a world point falls in pixels, which pixel rectangle a
// triangle covers and which ray passes through a screen position. A value:
// the render's main camera and every shadow map's light camera are one.

#include <cstdint>
#include <optional>
#include <vector>

#include "camera/ScreenTriangle.h"
#include "camera/SimdPath.h"
#include "host/platform/WinTypes.h"
#include "host/toolkit/BoundingBox.h"
#include "host/toolkit/Mesh.h"
#include "host/toolkit/Viewport.h"

// A ray: origin, then unit direction.
struct PixelRayRecord {
  TK_3dVector origin;
  TK_3dVector direction;
};

// The rays through neighbouring screen positions of a row, as PixelRay
// makes them; `ok` has bit i set where ray i has a direction.
struct PixelRayBlock {
  static constexpr int kRays = 16;
  PixelRayRecord rays[kRays];
  std::uint32_t ok = 0;
};

// A world point as a camera sees it: how far it lies in front of the near
// plane (negative behind it) and where it falls on the screen in pixels
// (meaningful only in front).
struct ViewedPoint {
  double ahead = 0;
  double x = 0, y = 0;
};

class FittedCamera : public TK_Viewport {
public:
  // Fits the camera to a width x height image and the scene box (near just
  // short of the box's nearest corner, far at its farthest). A camera
  // without a frame has no usable transforms: it is refused (none), as is
  // an image without pixels. A null or empty scene box keeps the camera's
  // own near and far.
  static std::optional<FittedCamera> Create(const TK_Viewport& camera, int width, int height,
                                            const TK_BoundingBox* scene_box);

  int ScreenWidth() const { return m_width; }
  int ScreenHeight() const { return m_height; }
  // Left 0, top 0, right width - 1, bottom height - 1: rectangles here are
  // inclusive on all four sides.
  const RECT& ImageRect() const { return m_image_rect; }

  // New near and far distances and the cached transforms that follow from
  // them. False (frustum as before) when the toolkit refuses the frustum.
  bool SetNearFar(double near, double far);
  // Pixel position of a world point, truncated toward zero; coordinates
  // beyond +-2^30 pixels (points near the eye plane) are held there.
  POINT ProjectPoint(const TK_3dPoint& point) const;
  // Pixels between the screen positions of `point` and `point + shift`
  // (both in front of the eye).
  double ScreenShift(const TK_3dPoint& point, const TK_3dVector& shift) const;
  // At most how many pixels a shift of one unit moves a point shown on the
  // image at least `distance` from the eye (perspective; any distance for a
  // parallel view).
  double PixelsPerUnitBound(double distance) const;
  // How far a world point lies in front of the near plane (negative behind it).
  double AheadOfNear(const TK_3dPoint& point) const { return -(m_world_to_camera * point).z - FrustumNear(); }
  ViewedPoint View(const TK_3dPoint& point) const;
  // Inclusive pixel rectangle of the part of a mesh's triangle in front of
  // the near plane; left > right (empty) when no part is. `viewed` holds
  // every vertex of the mesh as View sees it, so that a vertex shared by
  // many faces is transformed once. With `triangle`, a triangle wholly in
  // front also gets its screen triangle.
  RECT FaceScreenRect(const TK_Mesh& mesh, int face, const std::vector<ViewedPoint>& viewed,
                      ScreenTriangle* triangle = nullptr) const;
  // The ray through screen position (x, y) from the near plane toward the
  // far one. False when its direction cannot be made a unit vector.
  bool PixelRay(double x, double y, PixelRayRecord& ray) const;
  // PixelRay at (x + i, y) for each ray i of the block, bit for bit, four
  // lanes at once: one ray's divisions and root wait on each other, the
  // block's rays do not. Through the processor's path, or a named one where
  // it is supported.
  void PixelRays(double x, double y, PixelRayBlock& block) const;
  void PixelRays(SimdPath path, double x, double y, PixelRayBlock& block) const;

protected:
  // Unfitted; Fit must succeed before anything else is asked.
  FittedCamera(const TK_Viewport& camera, int width, int height);
  // Screen port and frustum aspect for the image, near and far for the box.
  bool Fit(const TK_BoundingBox* scene_box);

private:
  int m_width = 0;
  int m_height = 0;
  RECT m_image_rect;
  TK_Xform m_clip_to_world;
  TK_Xform m_world_to_screen;
  TK_Xform m_world_to_camera;
  TK_Xform m_camera_to_screen;
  double m_a = 0, m_b = 0, m_c = 0, m_d = 0, m_e = 0, m_f = 0;  // screen (x, y) to clip (x, y)
  // PixelsPerUnitBound's factors, which depend on the frustum alone.
  double m_pixels_per_unit = 0;  // on the near plane; times its distance for a perspective view
  double m_corner_cos2 = 1;      // squared cosine of the angle to the image's farthest corner
};
