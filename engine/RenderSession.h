#pragma once
// CRenderSession: the whole state of one render command on the host's render
// base: the gathered scene (mesh entries, the material cache, lights, scene
// box), the inputs taken from the settings when it is made, the camera, and
// the worker thread (RenderSessionWorker.cpp). The session owns its mesh
// entries, material entries, projections and background image; the target
// image and the notification window are the view's.

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <memory>

#include "engine/OwningArray.h"
#include "engine/RenderPhases.h"
#include "engine/RenderInputs.h"
#include "engine/ScreenProjection.h"
#include "host/platform/InParts.h"
#include "host/platform/KavraDib.h"
#include "host/platform/Thread.h"
#include "host/sdk/RenderReport.h"
#include "host/sdk/RenderStatus.h"
#include "host/sdk/RowShare.h"
#include "host/sdk/SdkRender.h"
#include "host/toolkit/BoundingBox.h"
#include "host/toolkit/Light.h"
#include "host/toolkit/ScnView.h"
#include "host/toolkit/SimpleArray.h"
#include "host/toolkit/Viewport.h"
#include "settings/RenderUserData.h"
#include "shading/LightBatch.h"
#include "shading/MaterialEntry.h"
#include "shading/RenderMeshEntry.h"
#include "shading/ShadowLookup.h"
#include "shading/SurfaceShader.h"
#include "shadows/ShadowMap.h"

class KvWindow;

class CRenderSession : public CKavraSdkRender, public ShadowLookup {
public:
  // Takes the render's inputs (RenderInputs) from the document's render
  // settings, the plug-in's record and the application's default light.
  CRenderSession(CKavraDoc& doc, CKavraRenderPlugIn* plugin, const CDMRenderUserData& render_settings);
  // Stops the worker and, should it not have ended within the bounded wait,
  // keeps waiting (handling messages sent to this thread) before anything
  // the worker reads is released.
  ~CRenderSession() override;

  // The host's slots, in the order of the base.
  bool HostQueryA() override { return true; }
  bool HostQueryB() override { return true; }
  bool HostQueryC() override { return true; }
  bool HostQueryD(void*) override { return true; }
  // Adds one mesh entry with its material entry, or answers false with the
  // session unchanged: for a null mesh, a mesh that indexes vertices it lacks
  // or has non-finite ones, or when memory runs out. The entry points below
  // that can fail for memory catch it there (AllocationBoundary.h).
  bool AddRenderMesh(const CKavraObject& object, const TK_Material& material, const TK_Mesh* mesh) override;
  // Appends the light, moved to the middle of its span when linear or
  // rectangular, with a unit direction. False only when memory runs out.
  bool AddLight(const CKavraLight& light) override;
  void AbortRender() override { StopRenderThread(); }
  bool HostQueryE(void*, void*) override { return false; }
  // Clears the scene change flags through the clearer the plug-in handed
  // over (the session knows no watcher); true.
  bool ClearSceneChangeFlags() override;
  // A window for the document from the frame factory (the host's bare frame
  // without one), after dropping the close and cancel messages that lead the
  // calling thread's queue. Null without a document.
  std::unique_ptr<CKavraSdkRenderFrame> CreateRenderFrame(CKavraDoc* doc) override;
  bool HostQueryF() override { return true; }
  bool IsRendering() const override { return m_rendering.load(); }
  bool HostQueryG() override { return true; }

  void SetRendering(bool rendering) { m_rendering = rendering; }
  // Threads the pixel loops run on: 1 gives a single worker; at least 1.
  // Starts at DefaultThreadCount().
  void SetThreadCount(int threads) { m_threads = std::max(threads, 1); }
  int ThreadCount() const { return m_threads; }
  // The rows this process renders when several processes share the image
  // (the pixel loops leave the others as they are); the whole image by default.
  void SetRowShare(const RowShare& share) { m_row_share = share; }
  // Whether the image's samples carry their coverage (ShadeHitsWithCoverage)
  // in the top byte of each pixel, filtered like the colour; off by default,
  // and then the top byte is 0.
  void SetCoverage(bool coverage) { m_coverage = coverage; }
  bool Coverage() const { return m_coverage; }
  // Puts what the render rendered (triangles, lights used, shadow maps
  // drawn, samples) and the worker's phase times into the report. Only once
  // the worker has ended: it reads what the worker wrote.
  void ReportTo(KvRenderReport& report) const;
  const RenderPhases& Phases() const { return m_phases; }
  void SetSceneChangeFlagsClearer(std::function<void()> clearer) { m_clear_change_flags = std::move(clearer); }
  // The render window lives a layer above the engine: the plug-in hands
  // over how to make one.
  using RenderFrameFactory = std::function<std::unique_ptr<CKavraSdkRenderFrame>(CKavraDoc& doc)>;
  void SetRenderFrameFactory(RenderFrameFactory factory) { m_frame_factory = std::move(factory); }
  // The cache entry for a host material: a record's CRenderMaterial is
  // refreshed from the material and lent, any other material gets a new one
  // owned by its entry; equal materials share an entry. May throw
  // std::bad_alloc.
  const MaterialEntry* ResolveMaterial(const TK_Material& material);
  // Raises the abort flag and waits up to 250 ms for the worker. A worker
  // that has ended is closed; one still running stays held, so that the
  // session never releases what it reads.
  void StopRenderThread();

  // The worker. PrepareRender takes the view's window (it receives
  // WM_RENDER_STATUS on its own thread), the view shown and the sizes (the
  // client size is not used) and makes the worker suspended; false for an
  // image side outside 1..kMaxImageSide, while an earlier worker still runs,
  // or when no worker can be made.
  bool PrepareRender(KvWindow* window, const TK_ScnView& view, int client_width, int client_height,
                     int image_width, int image_height);
  // Names the view's image to draw into and lets the worker run.
  bool ResumeRender(COruDib* image);
  // How many rows of the view's image, from the top, this render has wholly
  // written: a window painting on another thread reads only those. 0 from
  // PrepareRender on.
  int RowsWritten() const { return m_rows_written.load(std::memory_order_acquire); }
  // The background colour as the view shows it around and behind the image.
  COLORREF BackgroundColorRef() const;
  static DWORD RenderThreadProc(void* session);
  // Target image, lights, projections; false when the render cannot go on.
  bool SetupScene();
  // Runs the pixel loop of the antialiasing level (PixelLoops); answers and
  // reports completed or aborted.
  RenderStatus RenderPixels();
  // Hit lists of the samples shaded together, kept across rows so that
  // their capacity is allocated once.
  using SampleHits = std::array<std::vector<HitRecord>, LitHits::kLanes>;
  // The pixel loops' row shading: the hits of each sample of oversampled
  // row y, gathered from the band `cells` holds and shaded into row[x] as
  // blue | green << 8 | red << 16, a few samples at a time. The shader's
  // pixel follows the samples. Stops early on an abort. Workers call it at
  // once, each with its own cells, shader and hits.
  void ShadeRow(const CScreenProjection& projection, const BandCells& cells, SurfaceShader& shader,
                SampleHits& hits, int y, std::uint32_t* row) const;
  // The shader of this render: the session's lights, meshes, colours,
  // background image and shadow level. Its pixel_x and pixel_y are the
  // session's current pixel while the loops run.
  SurfaceShader MakeSurfaceShader() const;
  // WM_RENDER_STATUS to the notification window: completed is sent (the
  // worker waits for the view), every other status posted. A subclass that
  // watches the statuses must stop the worker in its own destructor.
  virtual void NotifyView(RenderStatus status, LPARAM payload = kNoStatusPayload);
  // The wallpaper background (MakeWallpaperBackground) of width x height;
  // none with wallpapers off.
  void PrepareBackground(int width, int height, const TK_wString& file_name, bool grey);

  int HandlerFlag() const { return m_handler_flag; }
  void SetHandlerFlag(int flag) { m_handler_flag = flag; }
  const RenderInputs& Inputs() const { return m_inputs; }
  int BandHeight() const { return m_inputs.band_height; }
  const std::atomic<bool>* AbortFlag() const { return &m_abort; }
  const TK_BoundingBox& SceneBoundingBox() const { return m_scene_box; }
  // In the order received: a light's index is its light index.
  const TK_SimpleArray<TK_Light>& Lights() const { return m_lights; }
  const OwningArray<MaterialEntry>& MaterialEntries() const { return m_material_entries; }
  // A mesh's index here is its mesh index in hit records and pixel cells.
  const OwningArray<RenderMeshEntry>& MeshEntries() const { return m_mesh_entries; }
  const OwningArray<ShadowMap>& ShadowMaps() const { return m_shadow_maps; }
  // Shading's view of the shadow maps, in list order.
  int MapCount() const override { return m_shadow_maps.Count(); }
  int LightIndexOfMap(int map) const override { return m_shadow_maps[map]->LightIndex(); }
  double LitFraction(int map, const HitRecord& hit, int sample_count) const override {
    return m_shadow_maps[map]->LitFraction(hit, sample_count);
  }
  const CScreenProjection* MainProjection() const { return m_main_projection.get(); }
  const CKavraDib* BackgroundImage() const { return m_background_image.get(); }
  const TK_Viewport& Camera() const { return m_camera; }
  int OversampledWidth() const { return m_oversampled_width; }
  int OversampledHeight() const { return m_oversampled_height; }
  int ImageWidth() const { return m_image_width; }
  int ImageHeight() const { return m_image_height; }

protected:
  // Creates the worker suspended, to run procedure(parameter). A worker that
  // has ended is closed first; one still running makes this answer false.
  bool CreateWorkerThread(LPTHREAD_START_ROUTINE procedure, void* parameter);
  HANDLE WorkerThread() const { return m_thread; }

private:
  bool Aborted() const { return m_abort.load(std::memory_order_relaxed); }
  // Light i's shadow map, appended when it could be made (false otherwise).
  bool MakeShadowMap(int light_index);

  // The matching entry, or a new one handed back in `created` (not yet in
  // the cache). May throw std::bad_alloc.
  const MaterialEntry* FindMaterialEntry(const TK_Material& material, std::unique_ptr<MaterialEntry>& created);

  int m_handler_flag = 0;
  // Taken on the host's thread; all the worker reads of the settings.
  const RenderInputs m_inputs;
  // Both flags are shared with the worker without locks: atomics.
  std::atomic<bool> m_rendering{false};
  DWORD m_thread_id = 0;
  HANDLE m_thread = nullptr;
  TK_Viewport m_camera;
  std::atomic<bool> m_abort{false};
  COruDib* m_target_image = nullptr;                // the view's
  std::atomic<int> m_rows_written{0};               // published to the view's thread
  int m_threads = DefaultThreadCount();
  bool m_coverage = false;
  RowShare m_row_share;
  RenderPhases m_phases;  // stamped by the worker
  std::unique_ptr<CKavraDib> m_background_image;    // wallpaper background, or none
  KvWindow* m_notification_window = nullptr;        // the view's
  TK_BoundingBox m_scene_box;
  int m_oversampled_width = 0;
  int m_oversampled_height = 0;
  int m_image_width = 0;
  int m_image_height = 0;
  TK_SimpleArray<TK_Light> m_lights;
  OwningArray<MaterialEntry> m_material_entries;
  OwningArray<RenderMeshEntry> m_mesh_entries;
  OwningArray<ShadowMap> m_shadow_maps;  // one per shadow-casting spot light
  std::unique_ptr<CScreenProjection> m_main_projection;
  std::function<void()> m_clear_change_flags;
  RenderFrameFactory m_frame_factory;
};
