// CRenderSession's worker: starting and stopping it, its scene setup, the
// pixel loops it runs with the row shading they call back, and its status
// messages.

#include "engine/RenderSession.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>

#include "engine/AllocationBoundary.h"
#include "engine/PixelLoops.h"
#include "engine/Sampling.h"
#include "engine/SceneLights.h"
#include "engine/WallpaperBackground.h"
#include "host/platform/Messages.h"
#include "host/sdk/SdkRenderViewWnd.h"
#include "shading/HitRecord.h"

namespace {

// A packed colour (red in the low byte) as an image word (blue in the low
// byte); the top byte, coverage or 0, stays.
std::uint32_t ImageWord(std::uint32_t packed) {
  return (packed & 0xFF) << 16 | (packed & 0xFF00) | (packed >> 16 & 0xFF) | (packed & 0xFF000000);
}

std::uint8_t ColorByte(float fraction) {
  return std::uint8_t(std::clamp(double(fraction), 0.0, 1.0) * 255.0);
}

}  // namespace

bool CRenderSession::PrepareRender(KvWindow* window, const TK_ScnView& view, int, int, int image_width,
                                   int image_height) {
  if (image_width < 1 || image_height < 1 || image_width > kMaxImageSide || image_height > kMaxImageSide)
    return false;
  // An earlier worker that has not ended yet still reads what this replaces.
  if (WorkerThread() && WaitForSingleObject(WorkerThread(), 0) == WAIT_TIMEOUT) return false;
  m_notification_window = window;
  m_image_width = image_width;
  m_image_height = image_height;
  m_oversampled_width = image_width * OversampleFactor(m_inputs.antialias_level);
  m_oversampled_height = image_height * OversampleFactor(m_inputs.antialias_level);
  m_camera = view.m_vp;
  m_rows_written = 0;
  m_phases.Reset();
  return CatchAllocationFailure(false, [&] {
    PrepareBackground(m_oversampled_width, m_oversampled_height, view.m_wallpaper_filename, view.m_wallpaper_grey);
    if (!CreateWorkerThread(&RenderThreadProc, this)) return false;
    m_abort = false;  // an earlier render's abort must not end this one; its worker has ended
    return true;
  });
}

bool CRenderSession::ResumeRender(COruDib* image) {
  m_target_image = image;
  ResumeThread(WorkerThread());
  return true;
}

DWORD CRenderSession::RenderThreadProc(void* parameter) {
  auto* session = static_cast<CRenderSession*>(parameter);
  // Running out of memory anywhere in the render ends it like a failed setup.
  const bool rendered = CatchAllocationFailure(false, [session] {
    if (!session->SetupScene()) return false;
    session->RenderPixels();
    return true;
  });
  if (!rendered) session->NotifyView(RenderStatus::aborted);
  session->SetRendering(false);
  ExitThread(0);
}

bool CRenderSession::SetupScene() {
  m_phases.Stamp(RenderPhases::started);
  NotifyView(RenderStatus::initializing);
  if (Aborted()) return false;
  m_main_projection =
      CScreenProjection::Create(m_camera, m_oversampled_width, m_oversampled_height, &m_abort, &m_scene_box);
  if (!m_main_projection || Aborted()) return false;

  if (!m_target_image || !m_target_image->CreateDib(m_image_width, m_image_height, 32, true, nullptr)) return false;
  m_target_image->DC().FillSolidRect(0, 0, m_image_width, m_image_height, BackgroundColorRef());
  if (Aborted()) return false;

  m_shadow_maps.Empty();
  if (m_lights.Count() == 0) {
    if (!m_lights.Append(MakeDefaultLight(m_inputs.default_light, m_camera))) return false;
  } else if (m_inputs.shadow_level != 0) {
    for (int i = 0; i < m_lights.Count(); ++i) {
      if (Aborted()) return false;
      if (m_lights[i].IsSpotLight() && m_lights[i].ShadowIntensity() != 0.0) MakeShadowMap(i);
    }
  }
  NotifyView(RenderStatus::screen_projections);
  if (Aborted()) return false;

  TK_Xform world_to_camera;
  const bool have_camera_xform = m_camera.GetXform(TK::world, TK::camera, world_to_camera);
  for (int m = 0; m < m_mesh_entries.Count(); ++m) {
    if (Aborted()) return false;
    RenderMeshEntry* entry = m_mesh_entries[m];
    for (ShadowMap* map : m_shadow_maps) map->AddMesh(entry);
    m_main_projection->AddMesh(entry);
    const MaterialEntry* material = entry->Material();
    if (have_camera_xform && material && material->Material() && material->Material()->m_environment_map.enabled)
      entry->ComputeEnvironmentCoordinates(world_to_camera, m_camera.Projection());
  }
  if (!m_main_projection->ProjectFaces(m_threads) || Aborted()) return false;
  m_phases.Stamp(RenderPhases::faces_projected);
  NotifyView(RenderStatus::lights_and_shadow_maps);

  for (ShadowMap* map : m_shadow_maps) {
    // The render goes on after a failure: that map and the later ones stay
    // without a depth image and shadow nothing.
    const bool built = map->Build();
    if (Aborted()) return false;
    if (!built) break;
  }
  if (Aborted()) return false;
  m_phases.Stamp(RenderPhases::shadow_maps_drawn);
  NotifyView(RenderStatus::setup_done);
  return true;
}

bool CRenderSession::MakeShadowMap(int light_index) {
  double far = 0.0;
  const TK_Viewport camera = ShadowLightCamera(m_lights[light_index], m_scene_box, far);
  // Square maps of the settings' width; a width below 1 gives no map, and
  // the light then casts no shadow.
  const int size = m_inputs.shadow_map_width;
  std::unique_ptr<ShadowMap> map = ShadowMap::Create(camera, size, size, light_index, &m_abort, &m_scene_box);
  if (!map) return false;
  map->SetNearFar(0.5, 2.0 * far);
  map->SetDepthBias(m_inputs.shadow_map_offset * RenderInputs::kDepthBiasPerOffset);
  m_shadow_maps.Append(std::move(map));
  return true;
}

RenderStatus CRenderSession::RenderPixels() {
  RenderStatus result = RenderStatus::aborted;
  if (m_main_projection && m_target_image && m_target_image->BitsPerPixel() == 32 &&
      m_target_image->Width() == m_image_width && m_target_image->Height() == m_image_height) {
    const CScreenProjection& projection = *m_main_projection;
    // What each worker keeps to itself: its band of cells, its shader (whose
    // pixel follows its samples) and one hit buffer whose capacity serves
    // every sample of the render.
    struct Worker {
      BandCells cells;
      SurfaceShader shader;
      SampleHits hits;
    };
    const PixelLoopRun run{
        PixelLoopSizes{m_image_width, m_image_height, m_inputs.antialias_level, m_inputs.band_height, m_coverage},
        m_threads,
        [this, &projection](int) {
          auto worker = std::make_shared<Worker>(Worker{BandCells(projection), MakeSurfaceShader(), {}});
          return PixelLoopStage{
              [worker](int first, int count) { return worker->cells.Prepare(first, count); },
              [this, &projection, worker](int y, std::uint32_t* row) {
                ShadeRow(projection, worker->cells, worker->shader, worker->hits, y, row);
              }};
        },
        [this](int band_height, int band_index) {
          NotifyView(RenderStatus::progress, PackBandProgress(band_height, band_index));
        },
        m_row_share.Resolved(m_image_height)};
    result = RunPixelLoop(run, m_abort,
                          PixelLoopTarget{reinterpret_cast<std::uint32_t*>(m_target_image->FindDIBBits()), &m_rows_written});
  }
  if (result == RenderStatus::completed) m_phases.Stamp(RenderPhases::pixels_done);
  NotifyView(result);
  return result;
}

void CRenderSession::ShadeRow(const CScreenProjection& projection, const BandCells& cells, SurfaceShader& shader,
                              SampleHits& hits, int y, std::uint32_t* row) const {
  shader.pixel_y = y;
  // A block of rays is made when its first sample with faces to meet comes:
  // a block of empty cells (the background) needs none.
  PixelRayBlock rays;
  int made = -1;  // where the block in `rays` starts
  const auto ray_of = [&](int x) -> const PixelRayRecord* {
    if (cells.Cell(x, y).empty()) return nullptr;
    const int lane = x % PixelRayBlock::kRays;
    if (made != x - lane) {
      made = x - lane;
      projection.Camera().PixelRays(made, y, rays);
    }
    return rays.ok >> lane & 1 ? &rays.rays[lane] : nullptr;
  };
  // Samples are gathered a few at a time and shaded together.
  constexpr int kTogether = LitHits::kLanes;
  const HitRecord* lists[kTogether];
  int counts[kTogether];
  SurfaceShader::PlainColours plain;
  for (int x = 0; x < m_oversampled_width; x += kTogether) {
    if (Aborted()) return;
    const int n = std::min(kTogether, m_oversampled_width - x);
    for (int k = 0; k < n; ++k) {
      std::vector<HitRecord>& list = hits[std::size_t(k)];
      counts[k] = projection.GatherHits(cells, x + k, y, ray_of(x + k), list, true);
      lists[k] = list.data();
    }
    std::uint32_t words[kTogether];
    shader.ShadeSamples(lists, counts, n, x, m_coverage, words, plain);
    for (int k = 0; k < n; ++k) row[x + k] = ImageWord(words[k]);
  }
}

void CRenderSession::ReportTo(KvRenderReport& report) const {
  report.counted = true;
  report.triangles = 0;
  for (const RenderMeshEntry* entry : m_mesh_entries) report.triangles += entry->FaceCount();
  report.lights = m_lights.Count();
  report.shadow_maps = 0;
  for (const ShadowMap* map : m_shadow_maps) report.shadow_maps += map->IsBuilt();
  report.samples = static_cast<long long>(m_oversampled_width) * m_oversampled_height;
  report.faces_in_view = m_main_projection ? m_main_projection->FacesInView() : 0;
  report.all_see_through =
      m_mesh_entries.Count() > 0 && std::all_of(m_mesh_entries.begin(), m_mesh_entries.end(), [](const RenderMeshEntry* e) {
        return e->Material() && e->Material()->AlwaysSeeThrough();
      });
  report.projection = m_phases.Between(RenderPhases::started, RenderPhases::faces_projected);
  report.shadow_maps_drawing = m_phases.Between(RenderPhases::faces_projected, RenderPhases::shadow_maps_drawn);
  report.pixels = m_phases.Between(RenderPhases::shadow_maps_drawn, RenderPhases::pixels_done);
}

SurfaceShader CRenderSession::MakeSurfaceShader() const {
  SurfaceShader shader(m_lights, std::span<RenderMeshEntry* const>(m_mesh_entries.begin(), m_mesh_entries.end()));
  shader.ambient = m_inputs.ambient;
  shader.background = m_inputs.background;
  shader.background_image = m_background_image.get();
  shader.shadow_level = m_inputs.shadow_level;
  shader.shadows = this;  // the session answers for its shadow maps
  return shader;
}

void CRenderSession::NotifyView(RenderStatus status, LPARAM payload) {
  if (!m_notification_window) return;
  const HWND window = m_notification_window->Handle();
  if (status == RenderStatus::completed)
    SendMessage(window, WM_RENDER_STATUS, StatusWord(status), payload);
  else
    PostMessage(window, WM_RENDER_STATUS, StatusWord(status), payload);
}

COLORREF CRenderSession::BackgroundColorRef() const {
  return MakeColorRef(ColorByte(m_inputs.background.red), ColorByte(m_inputs.background.green),
                      ColorByte(m_inputs.background.blue));
}

void CRenderSession::PrepareBackground(int width, int height, const TK_wString& file_name, bool grey) {
  m_background_image.reset();
  if (!m_inputs.use_wallpaper) return;
  m_background_image =
      MakeWallpaperBackground(width, height, file_name, grey, m_inputs.stretch_wallpaper, BackgroundColorRef());
}
