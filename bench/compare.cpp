// The whole program against a peer, in turns: `duskmoth render` of three
// model files at 1920x1080 (no antialiasing, no shadows, one thread; the
// sphere once more on two threads against Embree's one) and an
// Embree caster written here that reads the same OBJ file with its own
// parser, builds its BVH, casts one ray a pixel (closest hit, one Lambert
// light; every hit composited front to back for the layers) and writes a
// PNG. Each run is a child process: its wall time and peak memory are its
// own. Prints each pair and the median of the ratios ours / Embree's.
//
//   compare [ROUNDS] [KEEP]   (default 5 rounds; with KEEP the last images
//                              of each scene stay in that folder)
//
// The scenes: "blob", a bumpy ball of 3,600 triangles on a floor (the size
// of the Stanford bunny); "sphere", 1,000,000 triangles; "layers", 16
// overlapping half-transparent squares in front of each other.

#include <embree3/rtcore.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/Median.h"
#include "host/platform/FileReplacement.h"
#include "host/platform/ImageEncoder.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Run {
  double seconds = 0;
  double peak_mib = 0;
  bool ok = false;
};

// Runs `child` in a process of its own (exec or a function), timing it.
Run Measure(const std::function<int()>& child) {
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) _exit(child());
  int status = 0;
  rusage usage{};
  Run run;
  if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.peak_mib = double(usage.ru_maxrss) / 1024.0;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  return run;
}

// --- the scenes, as OBJ files -------------------------------------------------

void WriteSphere(std::ofstream& obj, int rings, int segments, double radius, const std::function<double(double, double)>& bump,
                 int first_vertex) {
  for (int i = 0; i <= rings; ++i)
    for (int j = 0; j < segments; ++j) {
      const double t = M_PI * i / rings, p = 2 * M_PI * j / segments, r = radius * bump(t, p);
      obj << "v " << r * std::sin(t) * std::cos(p) << ' ' << r * std::sin(t) * std::sin(p) << ' ' << r * std::cos(t) + radius
          << '\n';
    }
  for (int i = 0; i < rings; ++i)
    for (int j = 0; j < segments; ++j) {
      const int a = first_vertex + i * segments + j, b = first_vertex + i * segments + (j + 1) % segments;
      obj << "f " << a << ' ' << a + segments << ' ' << b << "\nf " << b << ' ' << a + segments << ' ' << b + segments << '\n';
    }
}

void WriteScenes(const fs::path& dir) {
  {
    std::ofstream obj(dir / "blob.obj");
    obj << "v -3 -3 0\nv 3 -3 0\nv 3 3 0\nv -3 3 0\nf 1 2 3\nf 1 3 4\n";
    WriteSphere(obj, 30, 60, 1.0, [](double t, double p) { return 1 + 0.08 * std::sin(7 * t) * std::cos(5 * p); }, 5);
  }
  {
    std::ofstream obj(dir / "sphere.obj");
    WriteSphere(obj, 500, 1000, 1.0, [](double, double) { return 1.0; }, 1);
  }
  {
    std::ofstream mtl(dir / "layers.mtl");
    mtl << "newmtl glass\nKd 0.3 0.5 0.9\nd 0.5\n";
    std::ofstream obj(dir / "layers.obj");
    obj << "mtllib layers.mtl\nusemtl glass\n";
    for (int k = 0; k < 16; ++k) {
      const double y = 0.1 * k, s = 1.0 + 0.03 * k;
      obj << "v " << -s << ' ' << y << ' ' << -s << "\nv " << s << ' ' << y << ' ' << -s << "\nv " << s << ' ' << y << ' ' << s
          << "\nv " << -s << ' ' << y << ' ' << s << '\n';
      const int v = 4 * k + 1;
      obj << "f " << v << ' ' << v + 1 << ' ' << v + 2 << "\nf " << v << ' ' << v + 2 << ' ' << v + 3 << '\n';
    }
  }
}

// --- the Embree caster ------------------------------------------------------

struct Mesh {
  std::vector<float> vertices;
  std::vector<unsigned> indices;
  float opacity = 1.0f;
};

// OBJ's v and f statements (and d from the one library), nothing else.
Mesh ReadObj(const fs::path& path) {
  Mesh mesh;
  std::FILE* in = std::fopen(path.c_str(), "r");
  if (!in) return mesh;
  char line[512];
  while (std::fgets(line, sizeof line, in)) {
    if (line[0] == 'v' && line[1] == ' ') {
      float x, y, z;
      if (std::sscanf(line + 2, "%f %f %f", &x, &y, &z) == 3) mesh.vertices.insert(mesh.vertices.end(), {x, y, z});
    } else if (line[0] == 'f' && line[1] == ' ') {
      unsigned a, b, c;
      if (std::sscanf(line + 2, "%u %u %u", &a, &b, &c) == 3) mesh.indices.insert(mesh.indices.end(), {a - 1, b - 1, c - 1});
    } else if (std::string(line).rfind("mtllib", 0) == 0) {
      mesh.opacity = 0.5f;  // the layers' library says d 0.5
    }
  }
  std::fclose(in);
  return mesh;
}

int EmbreeRender(const fs::path& model, const fs::path& out, int width, int height) {
  const Mesh mesh = ReadObj(model);
  if (mesh.indices.empty()) return 1;
  float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
  for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
    lo[i % 3] = std::min(lo[i % 3], mesh.vertices[i]);
    hi[i % 3] = std::max(hi[i % 3], mesh.vertices[i]);
  }
  RTCDevice device = rtcNewDevice("threads=1");
  RTCScene scene = rtcNewScene(device);
  RTCGeometry geometry = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
  std::copy(mesh.vertices.begin(), mesh.vertices.end(),
            static_cast<float*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                        3 * sizeof(float), mesh.vertices.size() / 3)));
  std::copy(mesh.indices.begin(), mesh.indices.end(),
            static_cast<unsigned*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                                           3 * sizeof(unsigned), mesh.indices.size() / 3)));
  rtcCommitGeometry(geometry);
  rtcAttachGeometry(scene, geometry);
  rtcReleaseGeometry(geometry);
  rtcCommitScene(scene);

  // A camera at the front right, a little above, framing the box as the program's default view does.
  const float centre[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
  const float radius = 0.5f * std::hypot(hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]);
  const float distance = radius / std::sin(0.35f);
  float forward[3] = {-0.6f, 0.55f, -0.58f};
  const float fl = std::hypot(forward[0], forward[1], forward[2]);
  for (float& f : forward) f /= fl;
  const float eye[3] = {centre[0] - forward[0] * distance, centre[1] - forward[1] * distance, centre[2] - forward[2] * distance};
  float right[3] = {forward[1] * 0 - forward[2] * 1, forward[2] * 0 - forward[0] * 0, forward[0] * 1 - forward[1] * 0};
  const float rl = std::hypot(right[0], right[1], right[2]);
  for (float& r : right) r /= rl;
  const float up[3] = {right[1] * forward[2] - right[2] * forward[1], right[2] * forward[0] - right[0] * forward[2],
                       right[0] * forward[1] - right[1] * forward[0]};
  const float scale = std::tan(0.35f) / float(std::min(width, height)) * 2;

  std::vector<std::uint8_t> image(std::size_t(width) * std::size_t(height) * 3);
  RTCIntersectContext context;
  rtcInitIntersectContext(&context);
  const float light[3] = {eye[0] + right[0] * radius, eye[1] + up[1] * radius, eye[2] + up[2] * radius};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const float sx = (float(x) + 0.5f - width / 2.0f) * scale, sy = (height / 2.0f - float(y) - 0.5f) * scale;
      float dir[3];
      for (int k = 0; k < 3; ++k) dir[k] = forward[k] + right[k] * sx + up[k] * sy;
      float colour = 1.0f, through = 1.0f, tnear = 0.0f;
      colour = 0.0f;
      for (int layer = 0; layer < 64 && through > 1.0f / 512; ++layer) {
        RTCRayHit hit{};
        hit.ray.org_x = eye[0], hit.ray.org_y = eye[1], hit.ray.org_z = eye[2];
        hit.ray.dir_x = dir[0], hit.ray.dir_y = dir[1], hit.ray.dir_z = dir[2];
        hit.ray.tnear = tnear;
        hit.ray.tfar = INFINITY;
        hit.ray.mask = ~0u;
        hit.hit.geomID = RTC_INVALID_GEOMETRY_ID;
        rtcIntersect1(scene, &context, &hit);
        if (hit.hit.geomID == RTC_INVALID_GEOMETRY_ID) {
          colour += through;  // a white background
          break;
        }
        const float t = hit.ray.tfar;
        float n[3] = {hit.hit.Ng_x, hit.hit.Ng_y, hit.hit.Ng_z}, l[3];
        for (int k = 0; k < 3; ++k) l[k] = light[k] - (eye[k] + dir[k] * t);
        const float lambert = std::fabs(n[0] * l[0] + n[1] * l[1] + n[2] * l[2]) /
                              (std::hypot(n[0], n[1], n[2]) * std::hypot(l[0], l[1], l[2]) + 1e-20f);
        colour += through * mesh.opacity * lambert;
        through *= 1.0f - mesh.opacity;
        if (mesh.opacity >= 1.0f) break;
        tnear = t * (1.0f + 1e-5f);
      }
      const auto c = std::uint8_t(std::clamp(colour, 0.0f, 1.0f) * 255.0f);
      std::uint8_t* p = &image[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
      p[0] = p[1] = p[2] = c;
    }
  rtcReleaseScene(scene);
  rtcReleaseDevice(device);
  const std::size_t row = std::size_t(width) * 3;
  return KvReplaceFile(out, [&](const KvFileWriter& write) {
           return KvEncodeImage(
               KvImageFormat::png, width, height, 3,
               [&](int y, std::uint8_t* to) { std::copy_n(image.begin() + std::ptrdiff_t(row * std::size_t(y)), row, to); },
               write);
         }) == 0
             ? 0
             : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const fs::path dir = fs::temp_directory_path() / ("duskmoth-compare-" + std::to_string(getpid()));
  fs::create_directories(dir);
  WriteScenes(dir);
  const std::string program = DM_BINARY_DIR "/duskmoth";
  constexpr int kWidth = 1920, kHeight = 1080;
  bool ok = true;
  std::printf("# whole process at %dx%d, Embree on one thread, %d rounds in turns; ratio = ours / Embree's\n", kWidth,
              kHeight, rounds);
  // Each scene on one thread of ours; the sphere again on two.
  const struct {
    const char* scene;
    const char* threads;
  } cases[] = {{"blob", "1"}, {"sphere", "1"}, {"layers", "1"}, {"sphere", "2"}};
  for (const auto& [scene, threads] : cases) {
    const fs::path model = dir / (std::string(scene) + ".obj");
    std::vector<double> ratios;
    Run ours, peer;
    for (int round = 0; round < rounds; ++round) {
      ours = Measure([&] {
        const std::string out = (dir / "ours.png").string(), size = std::to_string(kWidth) + "x" + std::to_string(kHeight);
        execl(program.c_str(), program.c_str(), "render", model.c_str(), "-o", out.c_str(), "--size", size.c_str(), "--aa", "0",
              "--shadows", "0", "--threads", threads, "-q", static_cast<char*>(nullptr));
        return 127;
      });
      peer = Measure([&] { return EmbreeRender(model, dir / "embree.png", kWidth, kHeight); });
      if (argc > 2) {
        std::error_code copied;
        fs::create_directories(argv[2], copied);
        for (const char* who : {"ours", "embree"})
          fs::copy_file(dir / (std::string(who) + ".png"), fs::path(argv[2]) / (std::string(scene) + "-" + who + ".png"),
                        fs::copy_options::overwrite_existing, copied);
      }
      ok = ok && ours.ok && peer.ok;
      if (ours.ok && peer.ok) ratios.push_back(ours.seconds / peer.seconds);
      std::printf("%-7s ours %s thread(s) round %d  ours %6.2f s %7.1f MiB   embree %6.2f s %7.1f MiB\n", scene, threads,
                  round + 1, ours.seconds, ours.peak_mib, peer.seconds, peer.peak_mib);
      std::fflush(stdout);
    }
    std::printf("%-7s ours %s thread(s) median ratio %.2fx   peak memory ours / embree %.1f / %.1f MiB\n", scene, threads,
                Median(ratios), ours.peak_mib, peer.peak_mib);
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return ok ? 0 : 1;
}
