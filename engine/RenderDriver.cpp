// CRenderSession's render driver: starting and stopping the worker, the
// worker's scene setup, the pixel loop dispatch, status messages and the
// wallpaper background.

#include <algorithm>
#include <cmath>
#include <new>
#include <span>

#include "engine/PixelLoops.h"
#include "engine/Sampling.h"
#include "engine/RenderSession.h"
#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/platform/Messages.h"
#include "host/sdk/SdkRenderViewWnd.h"
#include "shading/HitRecord.h"

namespace {

// A packed colour (red in the low byte) as an image word (blue in the low byte).
std::uint32_t ImageWord(std::uint32_t packed) {
  return (packed & 0xFF) << 16 | (packed & 0xFF00) | (packed >> 16 & 0xFF);
}

std::uint8_t ColorByte(float fraction) {
  return std::uint8_t(std::clamp(double(fraction), 0.0, 1.0) * 255.0);
}

// Scaled wallpaper size for a width x height background: stretched to fill,
// or keeping the wallpaper's aspect and filling the narrower fit; the width
// rounded up to a multiple of 4.
SIZE ScaledWallpaperSize(int width, int height, int wb, int hb, bool stretch) {
  if (stretch) return SIZE{width, height};
  SIZE size;
  if (wb <= hb) {
    const double t = double(wb) / hb * height;
    size = t <= width ? SIZE{int(t) + 3, height} : SIZE{width + 3, int(double(width) * hb / wb)};
  } else {
    const double t = double(hb) / wb * width;
    size = t <= height ? SIZE{width + 3, int(t)} : SIZE{int(double(height) * wb / hb) + 3, height};
  }
  size.cx &= ~3;
  return size;
}

// Grey with the renderer's own weights (0.111 blue, 0.589 green).
void MakeGrey(COruDib& image) {
  unsigned char* bits = image.FindDIBBits();
  for (int y = 0; y < image.Height(); ++y) {
    unsigned char* p = bits + std::size_t(y) * std::size_t(image.GetStorageWidth());
    for (int x = 0; x < image.Width(); ++x, p += 3) {
      const auto g = std::uint8_t(0.299 * p[2] + 0.111 * p[0] + 0.589 * p[1]);
      p[0] = p[1] = p[2] = g;
    }
  }
}

}  // namespace

bool CRenderSession::PrepareRender(KvWindow* window, const TK_ScnView& view, int, int, int image_width,
                                   int image_height) {
  if (image_width < 1 || image_height < 1 || image_width > kMaxImageSide || image_height > kMaxImageSide)
    return false;
  // An earlier worker that has not ended yet still reads what this replaces.
  if (WorkerThread() && WaitForSingleObject(WorkerThread(), 0) == WAIT_TIMEOUT) return false;
  m_notification_window = window;
  m_antialias_level = EffectiveAntialiasLevel(Document().Properties().RenderSettings().m_antialias_level);
  m_image_width = image_width;
  m_image_height = image_height;
  m_oversampled_width = image_width * OversampleFactor(m_antialias_level);
  m_oversampled_height = image_height * OversampleFactor(m_antialias_level);
  m_camera = view.m_vp;
  m_view = view;
  PrepareBackground(m_oversampled_width, m_oversampled_height, view.m_wallpaper_filename, view.m_wallpaper_grey);
  if (!CreateWorkerThread(&RenderThreadProc, this)) return false;
  m_abort = false;  // an earlier render's abort must not end this one; its worker has ended
  return true;
}

bool CRenderSession::ResumeRender(COruDib* image) {
  m_target_image = image;
  ResumeThread(WorkerThread());
  return true;
}

DWORD CRenderSession::RenderThreadProc(void* parameter) {
  auto* session = static_cast<CRenderSession*>(parameter);
  if (session->SetupScene())
    session->RenderPixels();
  else
    session->NotifyView(RenderStatus::aborted);
  session->SetRendering(false);
  ExitThread(0);
}

bool CRenderSession::SetupScene() {
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
    TK_Light light = KavraApp().AppSettings().DefaultLight();
    light.SetStyle(TK::camera_point_light);
    light.Enable(true);
    light.SetLocation(m_camera.CameraLocation());
    light.SetDirection(m_camera.CameraDirection());
    const TK_3dPoint centre = m_camera.BoundingBox().Center();
    light.Rotate(-0.2617993877991494, m_camera.CameraX(), centre);  // -15 degrees
    light.Rotate(-0.3490658503988659, m_camera.CameraY(), centre);  // -20 degrees
    if (!m_lights.Append(light)) return false;
  } else if (m_shadow_level != 0) {
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
    for (ShadowMap* map : m_shadow_maps)
      if (!map->AddMesh(entry)) return false;
    if (!m_main_projection->AddMesh(entry)) return false;
    const MaterialEntry* material = entry->Material();
    if (have_camera_xform && material && material->Material() && material->Material()->m_environment_map.enabled)
      entry->ComputeEnvironmentCoordinates(world_to_camera, m_camera.Projection());
  }
  if (!m_main_projection->ProjectFaces() || Aborted()) return false;
  NotifyView(RenderStatus::lights_and_shadow_maps);

  for (ShadowMap* map : m_shadow_maps) {
    // The render goes on after a failure: that map and the later ones stay
    // without a depth image and shadow nothing.
    const bool built = map->Build();
    if (Aborted()) return false;
    if (!built) break;
  }
  if (Aborted()) return false;
  NotifyView(RenderStatus::setup_done);
  return true;
}

TK_Viewport CRenderSession::ShadowLightCamera(const TK_Light& light, const TK_BoundingBox& scene_box, double& far) {
  TK_Viewport camera;
  camera.SetProjection(TK::perspective);
  const TK_3dVector d = light.Direction();
  camera.SetCameraDirection(d);
  camera.SetCameraLocation(light.Location());
  const double l = std::sqrt(d.x * d.x + d.y * d.y);
  camera.SetCameraUp(l == 0 ? TK_3dVector(0, 1, 0) : TK_3dVector(-d.z * d.x / l, -d.z * d.y / l, l));
  far = light.Location().DistanceTo(scene_box.FarPoint(light.Location()));
  // A spot light may light a whole hemisphere (90 degrees), which no
  // perspective camera sees: the map takes the widest angle it can instead
  // of the camera's default.
  camera.SetCameraAngle(std::min(light.SpotAngleRadians(), kWidestShadowAngle));
  return camera;
}

bool CRenderSession::MakeShadowMap(int light_index) {
  double far = 0.0;
  const TK_Viewport camera = ShadowLightCamera(m_lights[light_index], m_scene_box, far);
  // Square maps of the settings' width; a width below 1 gives no map, and
  // the light then casts no shadow.
  const int size = m_shadow_map_width;
  std::unique_ptr<ShadowMap> map = ShadowMap::Create(camera, size, size, light_index, &m_abort, &m_scene_box);
  if (!map) return false;
  map->SetNearFar(0.5, 2.0 * far);
  map->SetDepthBias(m_shadow_map_offset * 0.0002);
  return m_shadow_maps.Append(std::move(map));
}

RenderStatus CRenderSession::RenderPixels() {
  RenderStatus result = RenderStatus::aborted;
  if (m_main_projection && m_target_image && m_target_image->BitsPerPixel() == 32 &&
      m_target_image->Width() == m_image_width && m_target_image->Height() == m_image_height) {
    SurfaceShader shader = MakeSurfaceShader();
    CScreenProjection& projection = *m_main_projection;
    const PixelLoopStage stage{
        [&projection](int first, int count) { return projection.PrepareBand(first, count); },
        [this](int band_height, int band_index) {
          NotifyView(RenderStatus::progress, PackBandProgress(band_height, band_index));
        },
        [this, &projection, &shader](int y, std::uint32_t* row) { ShadeRow(projection, shader, y, row); }};
    const PixelLoopSizes sizes{m_image_width, m_image_height, m_antialias_level, m_band_height};
    result = RunPixelLoop(sizes, m_abort, stage,
                          PixelLoopTarget{reinterpret_cast<std::uint32_t*>(m_target_image->FindDIBBits())});
  }
  NotifyView(result);
  return result;
}

void CRenderSession::ShadeRow(const CScreenProjection& projection, SurfaceShader& shader, int y,
                              std::uint32_t* row) const {
  TK_SimpleArray<HitRecord> hits;  // per row: its capacity serves every sample of the row
  shader.pixel_y = y;
  for (int x = 0; x < m_oversampled_width; ++x) {
    if (Aborted()) return;
    shader.pixel_x = x;
    const int count = projection.GatherHits(x, y, hits, true);
    row[x] = ImageWord(shader.ShadeHits(hits.Array(), count, false, false));
  }
}

SurfaceShader CRenderSession::MakeSurfaceShader() const {
  SurfaceShader shader(m_lights, std::span<RenderMeshEntry* const>(m_mesh_entries.begin(), m_mesh_entries.end()));
  shader.ambient = Colour3f{m_ambient_color[0], m_ambient_color[1], m_ambient_color[2]};
  shader.background = Colour3f{m_background_color[0], m_background_color[1], m_background_color[2]};
  shader.background_image = m_background_image.get();
  shader.shadow_level = m_shadow_level;
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
  return MakeColorRef(ColorByte(m_background_color[0]), ColorByte(m_background_color[1]),
                      ColorByte(m_background_color[2]));
}

void CRenderSession::PrepareBackground(int width, int height, const TK_wString& file_name, bool grey) {
  m_background_image.reset();
  if (file_name.IsEmpty() || !m_render_settings.m_use_wallpaper || width < 1 || height < 1) return;
  CKavraDib wallpaper;
  if (!wallpaper.ReadFromFile(file_name) || !wallpaper.DCSelectBitmap(true)) return;
  const SIZE size =
      ScaledWallpaperSize(width, height, wallpaper.Width(), wallpaper.Height(), m_render_settings.m_stretch_wallpaper);
  COruDib scaled;
  if (size.cx < 1 || size.cy < 1 || !scaled.CreateDib(size.cx, size.cy, 24, true, nullptr)) return;
  scaled.DC().SetStretchBltMode(HALFTONE);
  scaled.DC().StretchBlt(0, 0, size.cx, size.cy, &wallpaper.DC(), 0, 0, wallpaper.Width(), wallpaper.Height(),
                         SRCCOPY);
  if (grey) MakeGrey(scaled);
  wallpaper.DestroyDib();

  std::unique_ptr<CKavraDib> background(new (std::nothrow) CKavraDib);
  if (!background || !background->CreateDib(width, height, 24, true, nullptr)) return;
  background->DC().FillSolidRect(0, 0, width, height, BackgroundColorRef());
  background->DC().BitBlt((width - size.cx) / 2, (height - size.cy) / 2, size.cx, size.cy, &scaled.DC(), 0, 0,
                          SRCCOPY);
  m_background_image = std::move(background);
}
