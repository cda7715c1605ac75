#include "shadows/ShadowMap.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>

#include "host/platform/GLDisplay.h"
#include "host/platform/OffscreenGLContext.h"
#include "settings/RenderMaterial.h"
#include "shading/HitRecord.h"
#include "shading/MaterialEntry.h"
#include "shading/RenderMeshEntry.h"
#include "shadows/EglPixelFormats.h"
#include "shadows/PixelFormatCatalogue.h"

namespace {

// Loads a toolkit transform (row-major, column vectors) into the matrix of
// `mode`, keeping the caller's matrix mode.
void LoadMatrix(GLenum mode, const TK_Xform& xform) {
  GLint saved_mode = GL_MODELVIEW;
  glGetIntegerv(GL_MATRIX_MODE, &saved_mode);
  glMatrixMode(mode);
  double column_major[16];
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) column_major[column * 4 + row] = xform[row][column];
  glLoadMatrixd(column_major);
  glMatrixMode(GLenum(saved_mode));
}

// 65535 / distance in 16 bits; 0 for no surface at all.
std::uint16_t InverseDistance(double distance) {
  const double v = 65535.0 / distance;
  return v >= 65535.0 ? std::uint16_t(65535) : std::uint16_t(v);
}

}  // namespace

ShadowMap::ShadowMap(const TK_Viewport& light_camera, int width, int height, int light_index,
                     const std::atomic<bool>* abort)
    : FittedCamera(light_camera, width, height), m_abort(abort), m_light_index(light_index) {}

std::unique_ptr<ShadowMap> ShadowMap::Create(const TK_Viewport& light_camera, int width, int height,
                                             int light_index, const std::atomic<bool>* abort,
                                             const TK_BoundingBox* scene_box) {
  if (!abort || width < 1 || height < 1) return nullptr;
  std::unique_ptr<ShadowMap> map(new ShadowMap(light_camera, width, height, light_index, abort));
  if (!map->Fit(scene_box)) return nullptr;
  map->m_view_direction = map->CameraDirection();
  map->m_view_direction.Unitize();
  TK_Plane near_plane;
  if (!map->GetNearPlane(near_plane)) return nullptr;
  map->m_plane_offset = -TK_DotProduct(TK_3dVector(near_plane.PointAt(0, 0) - TK_3dPoint()), map->m_view_direction);
  return map;
}

bool ShadowMap::AddMesh(const RenderMeshEntry* mesh) {
  if (!mesh) return false;
  m_meshes.push_back(mesh);
  return true;
}

bool ShadowMap::Build() {
  m_depth.reset();
  const int width = ScreenWidth();
  const int height = ScreenHeight();
  // The offscreen target. A pbuffer of the bitmap format's config stands in
  // for the bitmap and its device context: the format index alone chooses
  // the surface, so the bitmap depth the catalogue found plays no part.
  const PixelFormatRecord format = FindPixelFormat(kGenericBitmap);
  if (format.format_index == 0) return false;
  if (!KvOffscreenGLContext::RoomToStart()) throw std::bad_alloc();
  const KvGLDisplay display;
  std::unique_ptr<KvOffscreenGLContext> context = CreateEglOffscreenContext(display, format.format_index, width, height);
  if (!context) return false;

  DrawMeshes();

  const std::size_t pixels = std::size_t(width) * std::size_t(height);
  auto depth = std::make_unique<std::uint16_t[]>(pixels);
  auto read_back = std::make_unique<float[]>(pixels);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, read_back.get());
  context.reset();

  TK_Xform screen_to_world;
  if (!GetXform(TK::screen, TK::world, screen_to_world)) return false;
  const TK_3dPoint light = CameraLocation();
  for (int y = 0; y < height; ++y) {
    if (Aborted()) return false;
    const float* z_row = read_back.get() + std::size_t(y) * std::size_t(width);
    std::uint16_t* out = depth.get() + std::size_t(y) * std::size_t(width);
    for (int x = 0; x < width; ++x) {
      const float z = z_row[x];
      out[x] = z == 1.0f ? 0 : InverseDistance(light.DistanceTo(screen_to_world * TK_3dPoint(x, y, z)));
    }
  }
  m_depth = std::move(depth);
  return true;
}

void ShadowMap::DrawMeshes() const {
  glViewport(0, 0, ScreenWidth(), ScreenHeight());
  TK_Xform world_to_camera, camera_to_clip;
  GetXform(TK::world, TK::camera, world_to_camera);
  GetXform(TK::camera, TK::clip, camera_to_clip);
  // Clip z runs +1 at near to -1 at far here; OpenGL's the other way.
  for (int column = 0; column < 4; ++column) camera_to_clip[2][column] = -camera_to_clip[2][column];
  LoadMatrix(GL_MODELVIEW, world_to_camera);
  LoadMatrix(GL_PROJECTION, camera_to_clip);

  glRenderMode(GL_RENDER);
  glClearColor(0, 0, 0, 0);
  glDepthRange(-1.0, 1.0);
  glClearDepth(1.0);
  glDepthFunc(GL_LESS);
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glCullFace(GL_BACK);
  glFrontFace(GL_CCW);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glShadeModel(GL_FLAT);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  for (int m = 0; m < MeshCount(); ++m) {
    if (Aborted()) break;
    const RenderMeshEntry& entry = *m_meshes[std::size_t(m)];
    // Only the material's own transparency counts: a fully transparent
    // surface casts nothing, any other a full shadow.
    const MaterialEntry* material = entry.Material();
    if (material && material->Material() && material->Material()->Transparency() == 1.0) continue;
    const TK_Mesh& mesh = entry.Mesh();
    if (mesh.FaceCount() == 0) continue;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, mesh.m_V.data());
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_INDEX_ARRAY);
    glDisableClientState(GL_EDGE_FLAG_ARRAY);
    // Four indices a face; a triangle's repeated third makes a degenerate quad.
    glDrawElements(GL_QUADS, 4 * mesh.FaceCount(), GL_UNSIGNED_INT, mesh.m_F.data());
    glDisableClientState(GL_VERTEX_ARRAY);
  }
}

bool ShadowMap::ProjectToMap(const TK_3dPoint& origin, const TK_3dVector& unit_direction, int& x, int& y) const {
  const TK_3dVector o = origin - TK_3dPoint();
  const double t = -(TK_DotProduct(m_view_direction, o) + m_plane_offset) / TK_DotProduct(m_view_direction, unit_direction);
  if (!(t > 0)) return false;  // behind, on the plane, parallel or undefined
  const POINT p = ProjectPoint(origin + unit_direction * t);
  x = p.x;
  y = p.y;
  return x >= 0 && x < ScreenWidth() && y >= 0 && y < ScreenHeight();
}

double ShadowMap::LitFraction(const HitRecord& hit, int sample_count) const {
  if (!m_depth) return 1.0;
  const int n = sample_count < 1 ? 1 : sample_count;
  const TK_3dPoint point(hit.point.x, hit.point.y, hit.point.z);
  const TK_3dVector to_light = CameraLocation() - point;
  const double distance = to_light.Length();
  TK_3dVector l = to_light;
  if (!l.Unitize()) return 0.0;  // the point is the light itself
  int x = 0, y = 0;
  if (!ProjectToMap(point, l, x, y)) return 0.0;

  const double slope = 2.0 * std::fabs(TK_DotProduct(-hit.ray_direction, l));
  const int k = int(std::sqrt(double(n)));
  const int x0 = x - k / 2;
  const int y0 = y - k / 2;
  const double point_value = 1.0 / distance + m_depth_bias;
  const int width = ScreenWidth();
  const int height = ScreenHeight();
  int lit = 0;
  for (int yy = std::max(y0, 0); yy < std::min(y0 + k, height); ++yy) {
    const std::uint16_t* row = m_depth.get() + std::size_t(height - 1 - yy) * std::size_t(width);
    for (int xx = std::max(x0, 0); xx < std::min(x0 + k, width); ++xx) {
      const double occluder = row[xx] == 0 ? std::numeric_limits<double>::infinity() : 65535.0 / row[xx];
      if (1.0 / (occluder + slope) < point_value) ++lit;
    }
  }
  return double(lit) / n;
}
