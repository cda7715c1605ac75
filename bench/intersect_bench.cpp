// Ray–triangle tests per call, IntersectFace and QuickIntersectFace beside a
// textbook Möller–Trumbore test over the same camera rays and candidate
// faces; the four-face test's arithmetic per face through each of its
// paths (the one-face tests fill its four lanes with their one face, so
// they pay for four: the pixel loop tests a cell's faces four at a time);
// and the cost in time and memory of building a large mesh entry.
//
// Candidates are chosen as the render chooses them: every face whose screen
// rectangle covers the pixel. The reference sorts each (ray, face) pair into
// the hit or the miss set; all three tests then run over both sets.

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "camera/FittedCamera.h"
#include "host/toolkit/Viewport.h"
#include "shading/MaterialEntry.h"
#include "shading/RenderMeshEntry.h"

namespace {

struct Pair {
  TK_3dVector origin, direction;
  int face;
};

// A UV sphere of radius 1 at the origin with vertex normals and texture
// coordinates; rows x columns quads, the poles' quads degenerate on one side.
TK_Mesh Sphere(int rows, int columns) {
  TK_Mesh mesh;
  for (int r = 0; r <= rows; ++r) {
    const double theta = std::numbers::pi * r / rows;
    for (int c = 0; c <= columns; ++c) {
      const double phi = 2 * std::numbers::pi * c / columns;
      const TK_3fPoint p(float(std::sin(theta) * std::cos(phi)), float(std::cos(theta)),
                         float(std::sin(theta) * std::sin(phi)));
      mesh.m_V.push_back(p);
      mesh.m_N.emplace_back(p.x, p.y, p.z);
      mesh.m_T.emplace_back(float(c) / float(columns), float(r) / float(rows));
    }
  }
  const int stride = columns + 1;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      const int a = r * stride + c;
      mesh.m_F.push_back(TK_MeshFace{{a, a + 1, a + stride + 1, a + stride + 1}});
      mesh.m_F.push_back(TK_MeshFace{{a, a + stride + 1, a + stride, a + stride}});
    }
  return mesh;
}

// Double-precision Möller–Trumbore without culling, reading the face's three
// vertices from the mesh.
bool MollerTrumbore(const TK_Mesh& mesh, const Pair& p, double& t, double& u, double& v) {
  const TK_MeshFace& f = mesh.m_F[std::size_t(p.face)];
  const TK_3fPoint& a = mesh.m_V[std::size_t(f.vi[0])];
  const TK_3fPoint& b = mesh.m_V[std::size_t(f.vi[1])];
  const TK_3fPoint& c = mesh.m_V[std::size_t(f.vi[2])];
  const TK_3dVector v0(a.x, a.y, a.z);
  const TK_3dVector e1 = TK_3dVector(b.x, b.y, b.z) - v0;
  const TK_3dVector e2 = TK_3dVector(c.x, c.y, c.z) - v0;
  const TK_3dVector pvec = TK_CrossProduct(p.direction, e2);
  const double det = TK_DotProduct(e1, pvec);
  if (std::fabs(det) < 1e-12) return false;
  const double inv = 1.0 / det;
  const TK_3dVector tvec = p.origin - v0;
  u = TK_DotProduct(tvec, pvec) * inv;
  if (u < 0.0 || u > 1.0) return false;
  const TK_3dVector qvec = TK_CrossProduct(tvec, e1);
  v = TK_DotProduct(p.direction, qvec) * inv;
  if (v < 0.0 || u + v > 1.0) return false;
  t = TK_DotProduct(e2, qvec) * inv;
  return t > 0.0;
}

struct Scene {
  TK_Mesh mesh;
  CRenderMaterial settings;
  std::unique_ptr<MaterialEntry> material;
  std::unique_ptr<RenderMeshEntry> entry;
  std::vector<Pair> hits, misses;

  Scene() {
    mesh = Sphere(100, 100);  // 20,000 triangles
    material = std::make_unique<MaterialEntry>(&settings);
    entry = RenderMeshEntry::Create(mesh, material.get());

    const int width = 320, height = 240;
    TK_Viewport camera;
    camera.SetCameraLocation(TK_3dPoint(0.4, 0.3, 3.0));
    camera.SetCameraDirection(TK_3dVector(-0.4, -0.3, -3.0));
    camera.SetCameraUp(TK_3dVector(0, 1, 0));
    camera.SetScreenPort(0, width, height, 0, 0, 0);
    camera.SetFrustumAspect(camera.GetScreenPortAspect());
    camera.SetCameraAngle(0.3);
    camera.SetFrustumNearFar(1.0, 6.0);
    TK_Xform clip_to_world, world_to_screen;
    camera.GetXform(TK::clip, TK::world, clip_to_world);
    camera.GetXform(TK::world, TK::screen, world_to_screen);

    // Faces filed under the pixels their screen rectangles cover.
    std::vector<std::vector<int>> cells(std::size_t(width) * height);
    for (int i = 0; i < entry->FaceCount(); ++i) {
      const TK_MeshFace& f = entry->Mesh().m_F[std::size_t(i)];
      int x0 = width, y0 = height, x1 = -1, y1 = -1;
      for (int k = 0; k < 3; ++k) {
        const TK_3dPoint s = world_to_screen * TK_3dPoint(entry->Mesh().m_V[std::size_t(f.vi[k])]);
        x0 = std::min(x0, int(s.x));
        x1 = std::max(x1, int(s.x));
        y0 = std::min(y0, int(s.y));
        y1 = std::max(y1, int(s.y));
      }
      for (int y = std::max(y0, 0); y <= std::min(y1, height - 1); ++y)
        for (int x = std::max(x0, 0); x <= std::min(x1, width - 1); ++x)
          cells[std::size_t(y) * width + std::size_t(x)].push_back(i);
    }
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const double cx = 2.0 * x / width - 1.0, cy = 1.0 - 2.0 * y / height;
        const TK_3dPoint o = clip_to_world * TK_3dPoint(cx, cy, 1.0);
        const TK_3dPoint far = clip_to_world * TK_3dPoint(cx, cy, -1.0);
        TK_3dVector d = far - o;
        d.Unitize();
        for (int face : cells[std::size_t(y) * width + std::size_t(x)]) {
          Pair p{TK_3dVector(o.x, o.y, o.z), d, face};
          double t, u, v;
          (MollerTrumbore(entry->Mesh(), p, t, u, v) ? hits : misses).push_back(p);
        }
      }
  }
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

const std::vector<Pair>& Pairs(const benchmark::State& state) {
  return state.range(0) ? TheScene().hits : TheScene().misses;
}

void Report(benchmark::State& state, std::size_t pairs, std::size_t found) {
  const double calls = double(state.iterations()) * double(pairs);
  state.counters["per_call"] = benchmark::Counter(calls, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["pairs"] = double(pairs);
  state.counters["hit_share"] = pairs ? double(found) / double(pairs) : 0.0;
  state.SetLabel(state.range(0) ? "hits" : "misses");
}

// One ray test of the entry over the pairs, with one working record as hit
// gathering keeps.
template <class Test> void BM_RayTest(benchmark::State& state, const Test& test) {
  const Scene& scene = TheScene();
  const std::vector<Pair>& pairs = Pairs(state);
  std::size_t found = 0;
  HitRecord r;
  r.material = scene.material.get();
  for (auto _ : state) {
    found = 0;
    for (const Pair& p : pairs) {
      r.ray_origin = p.origin;
      r.ray_direction = p.direction;
      r.face_index = p.face;
      found += test(*scene.entry, r);
      benchmark::DoNotOptimize(r);
    }
  }
  Report(state, pairs.size(), found);
}
void BM_IntersectFace(benchmark::State& state) {
  BM_RayTest(state, [](const RenderMeshEntry& entry, HitRecord& r) { return entry.IntersectFace(r); });
}
void BM_QuickIntersectFace(benchmark::State& state) {
  BM_RayTest(state, [](const RenderMeshEntry& entry, HitRecord& r) { return entry.QuickIntersectFace(r); });
}

void BM_MollerTrumbore(benchmark::State& state) {
  const Scene& scene = TheScene();
  const std::vector<Pair>& pairs = Pairs(state);
  std::size_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (const Pair& p : pairs) {
      double t = 0, u = 0, v = 0;
      found += MollerTrumbore(scene.entry->Mesh(), p, t, u, v);
      benchmark::DoNotOptimize(t);
      benchmark::DoNotOptimize(u);
      benchmark::DoNotOptimize(v);
    }
  }
  Report(state, pairs.size(), found);
}

// The arithmetic alone, four candidates of the set a call against the
// first one's ray, as the pixel loop tests a cell's faces.
void BM_TestFaces(benchmark::State& state, SimdPath path) {
  const Scene& scene = TheScene();
  const std::vector<Pair>& pairs = Pairs(state);
  const std::size_t quads = pairs.size() / 4;
  std::size_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (std::size_t i = 0; i < 4 * quads; i += 4) {
      const FaceProjection* const faces[4] = {
          &scene.entry->Projection(pairs[i].face), &scene.entry->Projection(pairs[i + 1].face),
          &scene.entry->Projection(pairs[i + 2].face), &scene.entry->Projection(pairs[i + 3].face)};
      FaceQuadTest test;
      TestFaces(path, pairs[i].origin, pairs[i].direction, faces, test);
      found += std::size_t(std::popcount(test.inside));
      benchmark::DoNotOptimize(test);
    }
  }
  Report(state, 4 * quads, found);
}

// The rays through every pixel of a 640x480 image, one at a time (PixelRay)
// or a block at a time (PixelRays) through a path, per ray.
void BM_PixelRays(benchmark::State& state, std::optional<SimdPath> block_through) {
  TK_Viewport view;
  view.SetCameraLocation(TK_3dPoint(0.4, 0.3, 3.0));
  view.SetCameraDirection(TK_3dVector(-0.4, -0.3, -3.0));
  view.SetCameraUp(TK_3dVector(0, 1, 0));
  const TK_BoundingBox box(TK_3dPoint(-1, -1, -1), TK_3dPoint(1, 1, 1));
  const auto camera = FittedCamera::Create(view, 640, 480, &box);
  const bool block = block_through.has_value();
  for (auto _ : state)
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; x += PixelRayBlock::kRays)
        if (block) {
          PixelRayBlock rays;
          camera->PixelRays(*block_through, x, y, rays);
          benchmark::DoNotOptimize(rays);
        } else {
          for (int i = 0; i < PixelRayBlock::kRays; ++i) {
            PixelRayRecord ray;
            benchmark::DoNotOptimize(camera->PixelRay(x + i, y, ray));
            benchmark::DoNotOptimize(ray);
          }
        }
  state.counters["per_ray"] = benchmark::Counter(double(state.iterations()) * 640 * 480,
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetLabel(!block                              ? "one at a time"
                 : *block_through == SimdPath::avx2 ? "a block at a time, avx2"
                                                    : "a block at a time");
}

// Shared machines disturb single runs: each test is repeated, and the
// fastest repetition (the "_min" row) is the figure to compare.
double Fastest(const std::vector<double>& v) { return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end()); }
void Repeated(benchmark::internal::Benchmark* b) {
  b->Arg(0)->Arg(1)->Repetitions(7)->ReportAggregatesOnly(true)->ComputeStatistics("min", Fastest);
}
BENCHMARK(BM_IntersectFace)->Apply(Repeated);
BENCHMARK(BM_MollerTrumbore)->Apply(Repeated);
BENCHMARK(BM_QuickIntersectFace)->Apply(Repeated);
BENCHMARK_CAPTURE(BM_TestFaces, baseline, SimdPath::baseline)->Apply(Repeated);
BENCHMARK_CAPTURE(BM_TestFaces, avx2, SimdPath::avx2)->Apply(Repeated);
void Once(benchmark::internal::Benchmark* b) {
  b->Repetitions(7)->ReportAggregatesOnly(true)->ComputeStatistics("min", Fastest);
}
BENCHMARK_CAPTURE(BM_PixelRays, one, std::nullopt)->Apply(Once);
BENCHMARK_CAPTURE(BM_PixelRays, block_baseline, SimdPath::baseline)->Apply(Once);
BENCHMARK_CAPTURE(BM_PixelRays, block_avx2, SimdPath::avx2)->Apply(Once);

// Kilobytes of a /proc/self/status line ("VmRSS:", "VmHWM:").
long StatusKiB(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key)));
  return -1;
}

// Resets the peak resident size to the current one (Linux 4.0 and later).
bool ResetPeakRss() {
  std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
  if (!f) return false;
  const bool ok = std::fputs("5", f) >= 0;
  return std::fclose(f) == 0 && ok;
}

// 1,000,000 triangles on a 1000 x 500 grid of split quads.
TK_Mesh MillionTriangles() {
  TK_Mesh mesh;
  const int columns = 1000, rows = 500;
  for (int r = 0; r <= rows; ++r)
    for (int c = 0; c <= columns; ++c) {
      const float x = float(c) * 0.01f, y = float(r) * 0.01f;
      mesh.m_V.emplace_back(x, y, 0.1f * std::sin(x * 7.0f) * std::cos(y * 5.0f));
      mesh.m_N.emplace_back(0.0f, 0.0f, 1.0f);
      mesh.m_T.emplace_back(float(c) / columns, float(r) / rows);
    }
  const int stride = columns + 1;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      const int a = r * stride + c;
      mesh.m_F.push_back(TK_MeshFace{{a, a + 1, a + stride + 1, a + stride + 1}});
      mesh.m_F.push_back(TK_MeshFace{{a, a + stride + 1, a + stride, a + stride}});
    }
  return mesh;
}

void BM_BuildMillionTriangleEntry(benchmark::State& state) {
  // Large blocks from mmap at a fixed threshold: freed blocks go back to the
  // system, so every build starts from fresh pages and its peak is its own.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  const TK_Mesh mesh = MillionTriangles();
  const double copy_mb = double(mesh.m_V.size() * sizeof(TK_3fPoint) + mesh.m_F.size() * sizeof(TK_MeshFace) +
                                mesh.m_N.size() * sizeof(TK_3fVector) + mesh.m_T.size() * sizeof(TK_2fPoint)) /
                         (1024.0 * 1024.0);
  double peak_mb = 0;
  bool measured = true;
  for (auto _ : state) {
    state.PauseTiming();
    measured = measured && ResetPeakRss();
    const long before = StatusKiB("VmRSS:");
    state.ResumeTiming();
    auto entry = RenderMeshEntry::Create(mesh, nullptr);
    benchmark::DoNotOptimize(entry.get());
    state.PauseTiming();
    peak_mb = std::max(peak_mb, double(StatusKiB("VmHWM:") - before) / 1024.0);
    if (!entry || entry->FaceCount() != 1000000) state.SkipWithError("entry not built");
    entry.reset();
    state.ResumeTiming();
  }
  state.counters["triangles"] = 1e6;
  state.counters["mesh_copy_MB"] = copy_mb;
  state.counters["peak_rss_increase_MB"] = measured ? peak_mb : -1;
  state.counters["beyond_copy_MB"] = measured ? peak_mb - copy_mb : -1;
}
BENCHMARK(BM_BuildMillionTriangleEntry)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
