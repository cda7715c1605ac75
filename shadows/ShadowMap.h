#pragma once
// ShadowMap: a spot light's view of the scene as a depth image. The light
// camera and its transforms are the FittedCamera part; Build() draws the
// map's meshes with offscreen OpenGL and keeps, per pixel, the inverse
// distance of the nearest surface; LitFraction answers how much of the light
// reaches a shaded point. The map owns its depth image; meshes and the abort
// flag are the session's.

#include <atomic>
#include <cstdint>
#include <memory>

#include "camera/FittedCamera.h"
#include <vector>

class RenderMeshEntry;
struct HitRecord;

class ShadowMap : public FittedCamera {
public:
  // Depth bias of a map that scene setup has not given its own.
  static constexpr double kDefaultDepthBias = 0.00015;

  // A width x height map through the light camera, fitted to the scene box;
  // the near plane used for lookups is the fitted one. Null for a map
  // without pixels, a camera without a frame or a null abort flag.
  static std::unique_ptr<ShadowMap> Create(const TK_Viewport& light_camera, int width, int height, int light_index,
                                           const std::atomic<bool>* abort, const TK_BoundingBox* scene_box);

  // The meshes the map draws, in the session's order. False for a null mesh.
  bool AddMesh(const RenderMeshEntry* mesh);
  int MeshCount() const { return int(m_meshes.size()); }

  int LightIndex() const { return m_light_index; }
  double DepthBias() const { return m_depth_bias; }
  void SetDepthBias(double bias) { m_depth_bias = bias; }
  const TK_3dVector& ViewDirection() const { return m_view_direction; }
  double PlaneOffset() const { return m_plane_offset; }

  // Draws the meshes (fully transparent ones cast nothing) and reads the
  // depth back as 16-bit inverse distances: 65535 / distance, at most 65535,
  // 0 where no surface is. False, with no image kept, when no offscreen
  // OpenGL can be had or the render is aborted.
  bool Build();
  bool IsBuilt() const { return m_depth != nullptr; }
  // Row 0 is the bottom row of the map (OpenGL's read-back order); null
  // until built.
  const std::uint16_t* DepthImage() const { return m_depth.get(); }

  // Where the ray meets the near plane, as a map pixel; false when it meets
  // it at no positive parameter or outside the map.
  bool ProjectToMap(const TK_3dPoint& origin, const TK_3dVector& unit_direction, int& x, int& y) const;
  // The fraction of sample_count map samples around the hit's projection
  // that see the light (samples off the map count as shadowed). A map that
  // was never built shadows nothing: 1.
  double LitFraction(const HitRecord& hit, int sample_count) const;

private:
  ShadowMap(const TK_Viewport& light_camera, int width, int height, int light_index,
            const std::atomic<bool>* abort);
  // Draws the meshes' depth on the current context.
  void DrawMeshes() const;
  bool Aborted() const { return m_abort->load(std::memory_order_relaxed); }

  const std::atomic<bool>* m_abort;
  std::vector<const RenderMeshEntry*> m_meshes;
  double m_plane_offset = 0.0;
  TK_3dVector m_view_direction;
  int m_light_index = 0;
  std::unique_ptr<std::uint16_t[]> m_depth;
  double m_depth_bias = kDefaultDepthBias;
};
