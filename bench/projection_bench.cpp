// Screen projection index on a sphere of 1,000,000 triangles: time to list
// the faces, time of all bands, and the cells' memory at its peak, for bands
// of 32 and 4 rows at 1920 x 1080 and 1920 x 4320. Both images see the
// sphere at the same pixel size (about 760 pixels across), so the cells'
// memory should not depend on the image's height.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "engine/ScreenProjection.h"
#include "shading/MaterialEntry.h"
#include "shading/RenderMeshEntry.h"

namespace {

// A unit sphere of rings x segments quads, split into twice as many triangles.
TK_Mesh Sphere(int rings, int segments) {
  TK_Mesh mesh;
  int v = 0;
  for (int r = 0; r <= rings; ++r) {
    const double theta = M_PI * r / rings;
    for (int s = 0; s <= segments; ++s) {
      const double phi = 2 * M_PI * s / segments;
      mesh.SetVertex(v++, TK_3dPoint(std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)));
    }
  }
  int f = 0;
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < segments; ++s) {
      const int a = r * (segments + 1) + s, b = a + segments + 1;
      mesh.SetTriangle(f++, a, b, a + 1);
      mesh.SetTriangle(f++, a + 1, b, b + 1);
    }
  return mesh;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main() {
  MaterialEntry material(std::make_unique<CRenderMaterial>());
  const TK_Mesh sphere = Sphere(500, 1000);
  std::unique_ptr<RenderMeshEntry> entry = RenderMeshEntry::Create(sphere, &material);
  if (!entry) {
    std::fprintf(stderr, "cannot build the sphere\n");
    return 1;
  }
  TK_Viewport camera;
  camera.SetCameraLocation({0, 0, 3});
  camera.SetCameraDirection({0, 0, -1});
  camera.SetCameraUp({0, 1, 0});
  std::atomic<bool> abort{false};
  std::printf("sphere: %d triangles\n", entry->FaceCount());
  std::printf("%-11s %5s %8s %14s %14s %16s %14s\n", "image", "band", "listed", "ProjectFaces s", "PrepareBand s",
              "cell refs room", "cell bytes");
  long long memory[2][2] = {};
  for (int h = 0; h < 2; ++h) {
    const int height = h == 0 ? 1080 : 4320;
    // The narrower side spans the frustum's half side: scale it so that a
    // pixel covers the same angle in both images.
    const double half_side = 0.5 * std::min(1920, height) / 1080.0;
    TK_Viewport fitted = camera;
    fitted.SetFrustum(-half_side, half_side, -half_side, half_side, 1, 1000);
    for (int b = 0; b < 2; ++b) {
      const int band = b == 0 ? 32 : 4;
      auto projection = CScreenProjection::Create(fitted, 1920, height, &abort, &entry->BoundingBox());
      if (!projection || !projection->AddMesh(entry.get())) return 1;
      const auto t0 = std::chrono::steady_clock::now();
      if (!projection->ProjectFaces()) return 1;
      const auto t1 = std::chrono::steady_clock::now();
      for (int y = 0; y < height; y += band)
        if (!projection->PrepareBand(std::max(y - 1, 0), band + 1)) return 1;
      const auto t2 = std::chrono::steady_clock::now();
      // The cells' array only ever keeps or grows its room, so the last band's is the peak.
      const long long room = projection->CellCapacityTotal();
      const long long bytes = room * static_cast<long long>(sizeof(FaceRef)) +
                              1920LL * (band + 1) * static_cast<long long>(sizeof(std::size_t));
      std::printf("1920x%-6d %5d %8d %14.3f %14.3f %16lld %14lld\n", height, band,
                  int(projection->ProjectedFaces().size()), Seconds(t1 - t0), Seconds(t2 - t1), room, bytes);
      memory[h][b] = bytes;
    }
  }
  for (int b = 0; b < 2; ++b)
    std::printf("band %2d: cell bytes 1920x4320 / 1920x1080 = %.3f\n", b == 0 ? 32 : 4,
                double(memory[1][b]) / double(memory[0][b]));
  return 0;
}
