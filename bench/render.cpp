// Whole renders of fixed procedural scenes: setup time, pixel time, samples
// per second and peak memory for every antialiasing level; shadow-map build
// times and shadow levels; the memory of a large image; and the sphere's,
// the ball's and the layers' sample grids traced by Embree (closest hit, or every
// hit for the layers, under one Lambert light, one thread) in turns with our
// pixel loop in one process, 15 rounds, as the median of the rounds' ratios.
//
// Every case runs in a child process of its own, so that each peak
// memory figure is that case's alone (ours and Embree's together for the
// paired cases).
//
//   render [all|levels|threads|shadows|memory|embree] [scene]

#include <embree3/rtcore.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "apps/duskmoth/DemoScene.h"
#include "bench/Median.h"
#include "engine/RenderSession.h"
#include "host/app/Doc.h"
#include "host/app/KavraLight.h"
#include "host/app/KavraObject.h"
#include "host/app/View.h"
#include "host/import/ImportLog.h"
#include "host/import/JsonSceneImporter.h"
#include "host/platform/Messages.h"
#include "host/platform/OruDib.h"
#include "host/platform/Window.h"
#include "settings/RenderUserData.h"
#include "shadows/PixelFormatCatalogue.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double>(to - from).count(); }

// About 1,050,000 triangles on a floor, under a spot light.
const char* const kSphereScene = R"({
  "render": {"ambient": [30, 30, 30], "background": [40, 44, 52], "shadow_map_size": 1024, "shadow_map_offset": 0.5},
  "materials": [{"name": "clay", "diffuse": [200, 120, 90], "specular": [255, 255, 255], "shine": 60},
                {"name": "floor", "diffuse": [180, 180, 170]}],
  "lights": [{"type": "spot", "location": [3, -4, 6], "target": [0, 0, 1], "angle": 35}],
  "objects": [{"type": "sphere", "radius": 1, "segments": 1024, "rings": 512, "translate": [0, 0, 1],
               "material": "clay"},
              {"type": "plane", "size": [10, 10], "material": "floor"}],
  "camera": {"location": [0, -6, 2.5], "target": [0, 0, 0.9], "angle": 14}
})";

// The sphere's scene with a ball of 3,600 triangles, the size of the
// Stanford bunny: a scene whose faces each cover many pixels.
std::string BallScene() {
  std::string text = kSphereScene;
  const std::string dense = R"("segments": 1024, "rings": 512)";
  return text.replace(text.find(dense), dense.size(), R"("segments": 60, "rings": 30)");
}

// A room seen from inside: textured floor and walls, a table, a point light.
const char* const kRoomScene = R"({
  "render": {"ambient": [40, 40, 40], "background": [0, 0, 0]},
  "materials": [
    {"name": "floor", "texture": "@TEXTURES@/wood.png", "renderer": {"texture_map": {"tiling": [4, 4]}}},
    {"name": "wall", "texture": "@TEXTURES@/checker.png", "bump": "@TEXTURES@/tiles_height.png",
     "renderer": {"texture_map": {"tiling": [3, 2]}, "bump_map": {"amount": 0.03, "tiling": [3, 2]}}},
    {"name": "table", "diffuse": [150, 100, 60], "specular": [200, 200, 200], "shine": 40}],
  "lights": [{"type": "point", "location": [0, 0, 2.6]}],
  "objects": [
    {"type": "plane", "size": [8, 8], "material": "floor"},
    {"type": "plane", "size": [8, 3], "rotate": [90, 0, 0], "translate": [0, 4, 1.5], "material": "wall"},
    {"type": "plane", "size": [8, 3], "rotate": [90, 0, 90], "translate": [-4, 0, 1.5], "material": "wall"},
    {"type": "plane", "size": [8, 3], "rotate": [90, 0, -90], "translate": [4, 0, 1.5], "material": "wall"},
    {"type": "box", "size": [1.6, 0.9, 0.08], "translate": [0.3, 1, 0.75], "material": "table"},
    {"type": "cylinder", "radius": 0.05, "height": 0.7, "translate": [-0.4, 0.65, 0.35], "material": "table"},
    {"type": "cylinder", "radius": 0.05, "height": 0.7, "translate": [1.0, 0.65, 0.35], "material": "table"},
    {"type": "cylinder", "radius": 0.05, "height": 0.7, "translate": [-0.4, 1.35, 0.35], "material": "table"},
    {"type": "cylinder", "radius": 0.05, "height": 0.7, "translate": [1.0, 1.35, 0.35], "material": "table"}],
  "camera": {"location": [0.5, -3.6, 1.6], "target": [0, 1.5, 1.0], "angle": 30}
})";

// 16 overlapping transparent panes: every sample is shaded through all of them.
std::string LayersScene() {
  std::string objects;
  for (int i = 0; i < 16; ++i) {
    if (i) objects += ",";
    objects += R"({"type": "plane", "size": [4, 3], "rotate": [90, 0, 0], "material": "pane", "translate": [)" +
               std::to_string(0.05 * i) + ", " + std::to_string(0.1 * i) + ", " + std::to_string(0.03 * i) + "]}";
  }
  return R"({"render": {"ambient": [40, 40, 40], "background": [230, 230, 240]},
    "materials": [{"name": "pane", "diffuse": [120, 160, 220], "transparency": 0.85, "specular": [255, 255, 255],
                   "shine": 30}],
    "lights": [{"type": "directional", "direction": [0.3, 1, -0.5]}],
    "objects": [)" + objects + R"(],
    "camera": {"location": [0.4, -6, 0.3], "target": [0.4, 0, 0.2], "angle": 16}})";
}

// `demo` holds the demo scene's map folder while the scene is rendered.
bool LoadScene(const std::string& name, CKavraDoc& doc, DemoScene& demo) {
  CImportLog log;
  std::string error;
  if (name == "demo") return demo.Build(doc, error);
  std::string text = name == "sphere" ? kSphereScene : name == "ball" ? BallScene() : name == "room" ? kRoomScene : LayersScene();
  for (std::size_t at; (at = text.find("@TEXTURES@")) != std::string::npos;)
    text.replace(at, 10, DM_SOURCE_DIR "/examples/textures");
  return CJsonSceneImporter::ImportText(text, name, DM_SOURCE_DIR, doc, log);
}

// Timestamps of the status codes, taken on the worker as they go out.
class TimedSession : public CRenderSession {
public:
  using CRenderSession::CRenderSession;
  ~TimedSession() override { StopRenderThread(); }
  Clock::time_point at[10] = {};
  void NotifyView(RenderStatus status, LPARAM payload) override {
    at[int(status)] = Clock::now();
    CRenderSession::NotifyView(status, payload);
  }
};

class SilentWindow : public KvWindow {
  LRESULT WindowProc(UINT, WPARAM, LPARAM) override { return 0; }
};

struct Case {
  std::string scene;
  int level = 0;
  int width = 640, height = 480;
  int shadows = 0;
  int map_size = 1024;
  int threads = 1;
};

long long CastSamples(const Case& c) {
  const long long w = c.width, h = c.height;
  switch (c.level) {
    case 0: return w * h;
    case 2: return 4 * w * h;
    case 3: return 4 * w * (3 * h + 1);
    default: return 2 * w * (h + 1);
  }
}

// Renders the gathered session once; the seconds from the end of its set-up
// to its last row, or a negative value when it did not complete.
double RenderOnce(TimedSession& session, const CKavraDoc& doc, COruDib& image, int width, int height) {
  SilentWindow window;
  window.Create();
  session.SetRendering(true);
  std::fill(std::begin(session.at), std::end(session.at), Clock::time_point());
  if (!session.PrepareRender(&window, doc.ActiveView()->View(), width, height, width, height) ||
      !session.ResumeRender(&image))
    return -1.0;
  PumpMessagesUntil([&] { return !session.IsRendering(); }, 3600 * 1000);
  if (session.at[3] == Clock::time_point()) return -1.0;
  return Seconds(session.at[2], session.at[3]);
}

// A case's scene loaded and handed to a session, with the case's settings.
struct LoadedCase {
  CKavraDoc doc;
  DemoScene demo;
  CDMRenderUserData record;
  std::unique_ptr<TimedSession> session;

  bool Load(const Case& c) {
    if (!LoadScene(c.scene, doc, demo)) return false;
    TK_ScnRenderSettings settings = doc.Properties().RenderSettings();
    settings.m_antialias_level = c.level;
    settings.m_shadow_level = c.shadows;
    settings.m_shadowmap_width = settings.m_shadowmap_height = c.map_size;
    doc.Properties().SetRenderSettings(settings);
    record.m_favor_memory = false;
    session = std::make_unique<TimedSession>(doc, nullptr, record);
    session->SetThreadCount(c.threads);
    for (int i = 0; i < doc.ObjectCount(); ++i) {
      const CKavraObject* object = doc.ObjectAt(i);
      for (int m = 0; object && m < object->RenderMeshCount(); ++m)
        if (!session->AddRenderMesh(*object, doc.RenderMaterial(*object), object->RenderMesh(m))) return false;
    }
    for (int i = 0; i < doc.LightTable().Count(); ++i)
      if (!session->AddLight(doc.LightTable()[i])) return false;
    return true;
  }
};

// Renders one case in this process and prints its line.
int RenderCase(const Case& c) {
  BuildPixelFormatCatalogue();
  const Clock::time_point start = Clock::now();
  LoadedCase loaded;
  if (!loaded.Load(c)) {
    std::fprintf(stderr, "cannot build scene %s\n", c.scene.c_str());
    return 1;
  }
  const Clock::time_point gathered = Clock::now();
  COruDib image;
  const double pixels = RenderOnce(*loaded.session, loaded.doc, image, c.width, c.height);
  if (pixels < 0.0) {
    std::fprintf(stderr, "%s did not complete\n", c.scene.c_str());
    return 1;
  }
  const TimedSession& session = *loaded.session;
  std::printf("%-7s %4dx%-4d aa %d shadows %d threads %d", c.scene.c_str(), c.width, c.height, c.level, c.shadows,
              c.threads);
  if (c.shadows) std::printf(" map %4d build %7.1f ms", c.map_size, 1e3 * Seconds(session.at[9], session.at[2]));
  std::printf("  gather %7.1f ms  setup %7.1f ms  pixels %8.1f ms  %6.2f Msamples/s", 1e3 * Seconds(start, gathered),
              1e3 * Seconds(session.at[1], session.at[2]), 1e3 * pixels, CastSamples(c) / pixels / 1e6);
  std::fflush(stdout);
  return 0;
}

// Runs `body` in a child; prints the child's peak memory after its line.
bool InChild(const std::function<int()>& body) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    const int code = body();
    std::fflush(stdout);
    _exit(code);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return false;
  std::printf("  peak %7.1f MB\n", usage.ru_maxrss / 1024.0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A scene's samples at antialiasing 0 through Embree on one thread: for
// the sphere and the ball the closest hit under one Lambert light (at the
// first light's position, or along the first light's direction); for the
// layers every hit, front to back, each lit so and composited half and half.
class EmbreeCaster {
public:
  EmbreeCaster(const std::string& name, int width, int height)
      : m_all_hits(name == "layers"), m_width(width), m_height(height) {
    DemoScene unused;
    if (!LoadScene(name, m_doc, unused)) return;
    m_session = std::make_unique<CRenderSession>(m_doc, nullptr, m_record);
    for (int i = 0; i < m_doc.ObjectCount(); ++i) {
      const CKavraObject* object = m_doc.ObjectAt(i);
      for (int m = 0; m < object->RenderMeshCount(); ++m)
        m_session->AddRenderMesh(*object, m_doc.RenderMaterial(*object), object->RenderMesh(m));
    }
    m_projection = CScreenProjection::Create(m_doc.ActiveView()->View().m_vp, width, height, &m_abort,
                                             &m_session->SceneBoundingBox());
    if (!m_projection) return;
    const Clock::time_point start = Clock::now();
    m_device = rtcNewDevice("threads=1");
    m_scene = rtcNewScene(m_device);
    for (const RenderMeshEntry* entry : m_session->MeshEntries()) {
      const TK_Mesh& mesh = entry->Mesh();
      RTCGeometry geometry = rtcNewGeometry(m_device, RTC_GEOMETRY_TYPE_TRIANGLE);
      auto* v = static_cast<float*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                            3 * sizeof(float), std::size_t(mesh.VertexCount())));
      std::memcpy(v, mesh.m_V.data(), sizeof(float) * 3 * std::size_t(mesh.VertexCount()));
      auto* f = static_cast<unsigned*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                                               3 * sizeof(unsigned), std::size_t(mesh.FaceCount())));
      for (int i = 0; i < mesh.FaceCount(); ++i)
        for (int k = 0; k < 3; ++k) f[3 * i + k] = unsigned(mesh.m_F[std::size_t(i)].vi[k]);
      rtcCommitGeometry(geometry);
      rtcAttachGeometry(m_scene, geometry);
      rtcReleaseGeometry(geometry);
    }
    rtcCommitScene(m_scene);
    m_build_seconds = Seconds(start, Clock::now());
    m_pixels.resize(std::size_t(width) * std::size_t(height));
  }
  ~EmbreeCaster() {
    if (m_scene) rtcReleaseScene(m_scene);
    if (m_device) rtcReleaseDevice(m_device);
  }
  EmbreeCaster(const EmbreeCaster&) = delete;
  EmbreeCaster& operator=(const EmbreeCaster&) = delete;

  bool Ready() const { return m_scene != nullptr; }
  double BuildSeconds() const { return m_build_seconds; }
  std::uint32_t Checksum() const { return m_pixels[m_pixels.size() / 2]; }

  // Casts every sample; the seconds it took.
  double Cast() {
    const TK_Light& first_light = m_doc.LightTable()[0].Light();
    const TK_3dPoint light = first_light.Location();
    const bool directional = first_light.IsDirectionalLight();
    const Clock::time_point start = Clock::now();
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    for (int y = 0; y < m_height; ++y)
      for (int x = 0; x < m_width; ++x) {
        PixelRayRecord ray;
        m_projection->Camera().PixelRay(x, y, ray);
        RTCRayHit hit{};
        hit.ray.org_x = float(ray.origin.x);
        hit.ray.org_y = float(ray.origin.y);
        hit.ray.org_z = float(ray.origin.z);
        hit.ray.dir_x = float(ray.direction.x);
        hit.ray.dir_y = float(ray.direction.y);
        hit.ray.dir_z = float(ray.direction.z);
        hit.ray.tnear = 0.0f;
        hit.ray.tfar = INFINITY;
        hit.ray.mask = ~0u;
        hit.hit.geomID = RTC_INVALID_GEOMETRY_ID;
        double colour = 0.0, through = 1.0;
        for (int layer = 0; layer < 64; ++layer) {
          rtcIntersect1(m_scene, &context, &hit);
          if (hit.hit.geomID == RTC_INVALID_GEOMETRY_ID) break;
          TK_3dVector n(hit.hit.Ng_x, hit.hit.Ng_y, hit.hit.Ng_z);
          n.Unitize();
          const TK_3dPoint p =
              TK_3dPoint(ray.origin.x, ray.origin.y, ray.origin.z) + ray.direction * double(hit.ray.tfar);
          TK_3dVector l = directional ? -first_light.Direction() : light - p;
          l.Unitize();
          const double lambert = std::fabs(TK_DotProduct(n, l));
          if (!m_all_hits) {
            colour = lambert;
            break;
          }
          colour += through * 0.5 * lambert;
          through *= 0.5;
          hit.ray.tnear = hit.ray.tfar * (1.0f + 1e-5f);
          hit.ray.tfar = INFINITY;
          hit.hit.geomID = RTC_INVALID_GEOMETRY_ID;
        }
        const auto c = std::uint32_t(255.0 * std::min(colour, 1.0));
        m_pixels[std::size_t(y) * std::size_t(m_width) + std::size_t(x)] = c | c << 8 | c << 16;
      }
    return Seconds(start, Clock::now());
  }

private:
  CKavraDoc m_doc;
  CDMRenderUserData m_record;
  std::unique_ptr<CRenderSession> m_session;
  std::atomic<bool> m_abort{false};
  std::unique_ptr<CScreenProjection> m_projection;
  bool m_all_hits;
  int m_width, m_height;
  RTCDevice m_device = nullptr;
  RTCScene m_scene = nullptr;
  double m_build_seconds = 0.0;
  std::vector<std::uint32_t> m_pixels;
};

// Our pixel loop and Embree's cast of the same samples in one process, in
// turns (each goes first in every other round), so that both meet the same
// load of a shared machine: the median of the rounds' ratios, and each
// side's median and fastest time.
int PairedCase(const std::string& name, int rounds) {
  BuildPixelFormatCatalogue();
  const Case c{name, 0};
  LoadedCase ours;
  EmbreeCaster embree(name, c.width, c.height);
  if (!ours.Load(c) || !embree.Ready()) {
    std::fprintf(stderr, "cannot build scene %s\n", name.c_str());
    return 1;
  }
  COruDib image;
  std::vector<double> mine, theirs, ratios;
  for (int round = 0; round < rounds; ++round) {
    double a = 0.0, b = 0.0;
    if (round % 2) b = embree.Cast();
    a = RenderOnce(*ours.session, ours.doc, image, c.width, c.height);
    if (round % 2 == 0) b = embree.Cast();
    if (a < 0.0) return 1;
    mine.push_back(a);
    theirs.push_back(b);
    ratios.push_back(a / b);
  }
  std::printf("%-7s %4dx%-4d aa 0 one thread  pixels: ours %6.1f ms (fastest %6.1f)  embree %6.1f ms (fastest %6.1f, "
              "build %6.1f ms, checksum %u)  ours/embree median of %d rounds %.3f (%.2f to %.2f)",
              name.c_str(), c.width, c.height, 1e3 * Median(mine), 1e3 * *std::min_element(mine.begin(), mine.end()),
              1e3 * Median(theirs), 1e3 * *std::min_element(theirs.begin(), theirs.end()), 1e3 * embree.BuildSeconds(),
              embree.Checksum(), rounds, Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
              *std::max_element(ratios.begin(), ratios.end()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "all";
  const std::string only = argc > 2 ? argv[2] : "";
  bool ok = true;
  auto run = [&](const Case& c) {
    if (only.empty() || only == c.scene) ok = InChild([c] { return RenderCase(c); }) && ok;
  };
  if (what == "all" || what == "levels") {
    std::printf("# each scene at each antialiasing level, one worker thread\n");
    for (const char* scene : {"sphere", "room", "layers", "demo"})
      for (int level = 0; level <= 3; ++level) run(Case{scene, level});
  }
  if (what == "all" || what == "embree") {
    std::printf("# the sphere's, the ball's and the layers' samples: ours against Embree in turns, antialiasing 0, one "
                "thread each\n");
    for (const char* scene : {"sphere", "ball", "layers"})
      if (only.empty() || only == scene) ok = InChild([scene] { return PairedCase(scene, 15); }) && ok;
  }
  if (what == "all" || what == "threads") {
    std::printf("# pixel time on one and on two threads, in turns (the images are the same bit for bit)\n");
    for (int round = 0; round < 5; ++round)
      for (int threads : {1, 2}) run(Case{"sphere", 2, 1920, 1080, 0, 1024, threads});
  }
  if (what == "all" || what == "shadows") {
    std::printf("# shadow maps of the sphere scene\n");
    for (int map : {1024, 4096}) run(Case{"sphere", 0, 640, 480, 1, map});
    for (int level : {0, 1, 2}) run(Case{"sphere", 0, 640, 480, level, 1024});
  }
  if (what == "all" || what == "memory") {
    std::printf("# peak memory against image size (antialiasing 0, no wallpaper)\n");
    run(Case{"sphere", 0, 1920, 1080});
    run(Case{"sphere", 0, 7680, 4320});
    std::printf("# the images themselves: 1920x1080 %.1f MB, 7680x4320 %.1f MB (32 bits a pixel)\n",
                1920.0 * 1080 * 4 / 1048576, 7680.0 * 4320 * 4 / 1048576);
  }
  return ok ? 0 : 1;
}
