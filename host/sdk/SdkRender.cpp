#include "host/sdk/SdkRender.h"

#include <chrono>
#include <optional>
#include <string>

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/Localize.h"
#include "host/platform/Messages.h"
#include "host/sdk/CommandContext.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"
#include "host/sdk/SdkRenderFrame.h"
#include "host/sdk/SdkRenderViewWnd.h"

namespace {
// A layer that is missing or deleted counts as off: nothing on it renders.
bool LayerIsOn(const CKavraDoc& doc, int index) {
  const CKavraLayerTable& layers = doc.LayerTable();
  const TK_Layer* layer = layers.At(index);
  return layer != nullptr && !layers.IsDeleted(index) && layer->IsVisible();
}
}  // namespace

CKavraSdkRender::CKavraSdkRender(CKavraDoc& doc, CKavraRenderPlugIn* plugin) : doc_(doc), plugin_(plugin) {}

CKavraSdkRender::~CKavraSdkRender() {
  if (frame_) frame_->Detach();
}

bool CKavraSdkRender::HostQueryA() { return false; }
bool CKavraSdkRender::HostQueryB() { return false; }
bool CKavraSdkRender::HostQueryC() { return false; }
bool CKavraSdkRender::HostQueryD(void*) { return false; }
// A session that keeps no scene accepts every part of it.
bool CKavraSdkRender::AddRenderMesh(const CKavraObject&, const TK_Material&, const TK_Mesh*) { return true; }
bool CKavraSdkRender::AddLight(const CKavraLight&) { return true; }
void CKavraSdkRender::AbortRender() {}
bool CKavraSdkRender::HostQueryE(void*, void*) { return false; }
bool CKavraSdkRender::ClearSceneChangeFlags() { return true; }
std::unique_ptr<CKavraSdkRenderFrame> CKavraSdkRender::CreateRenderFrame(CKavraDoc*) { return nullptr; }
bool CKavraSdkRender::HostQueryF() { return false; }
bool CKavraSdkRender::IsRendering() const { return false; }
bool CKavraSdkRender::HostQueryG() { return false; }

int CKavraSdkRender::Render(CKavraCommandContext& context, SIZE size, const wchar_t* title, unsigned resource_id) {
  if (frame_) return render_busy;
  const CKavraView* view = doc_.ActiveView();
  if (!view) return Refuse(context, render_no_view);
  if (size.cx == 0 && size.cy == 0) {
    const TK_ScnRenderSettings& settings = doc_.Properties().RenderSettings();
    size = settings.m_custom_imagesize != 0 ? SIZE{settings.m_image_width, settings.m_image_height}
                                            : SIZE{view->Width(), view->Height()};
  }
  return RenderView(context, view->View(), size, TK_wString(title), resource_id);
}

int CKavraSdkRender::RenderWindow(CKavraCommandContext& context, const CKavraView* view, const RECT& rect) {
  if (frame_) return render_busy;
  if (!view) return Refuse(context, render_no_view);
  // Widened first: the difference of two ints need not fit one.
  const long long width = static_cast<long long>(rect.right) - rect.left;
  const long long height = static_cast<long long>(rect.bottom) - rect.top;
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide)
    return Refuse(context, render_bad_image_size);
  const TK_wString title = plugin_ ? plugin_->PlugInName() : TK_wString();
  return RenderView(context, view->View(), SIZE{int(width), int(height)}, title, 0);
}

int CKavraSdkRender::RenderView(CKavraCommandContext& context, const TK_ScnView& view, SIZE size,
                                const TK_wString& title, unsigned resource_id) {
  const int code = RenderInWindow(context, view, size, title, resource_id);
  context.SetRenderCode(code);
  return code;
}

int CKavraSdkRender::RenderInWindow(CKavraCommandContext& context, const TK_ScnView& view, SIZE size,
                                    const TK_wString& title, unsigned resource_id) {
  if (size.cx < 1 || size.cy < 1 || size.cx > kMaxImageSide || size.cy > kMaxImageSide)
    return render_bad_image_size;
  context.Report() = KvRenderReport();
  const auto gathering = std::chrono::steady_clock::now();
  if (!GatherScene()) return render_scene_refused;
  context.Report().gathering = std::chrono::duration<double>(std::chrono::steady_clock::now() - gathering).count();

  std::unique_ptr<CKavraSdkRenderFrame> frame = CreateRenderFrame(&doc_);
  if (!frame) return render_no_window;
  frame->Attach(this, view, size, resource_id);
  frame->SetWindowText(title);
  frame->SetMessageListener(context.Listener());
  frame_ = frame.get();

  int code = render_no_window;
  const bool created = frame->Create();
  if (created) {
    if (!frame->StartRendering()) {
      code = render_start_failed;
    } else {
      const bool stopped = PumpUntilDone(context, *frame);
      const CKavraSdkRenderViewWnd* wnd = frame->RenderView();
      if (wnd && wnd->Completed()) {
        code = render_completed;
        // The scene as it is now has been rendered.
        ClearSceneChangeFlags();
      }
      else if (stopped || frame->StopWasRequested()) code = render_cancelled;
      else code = render_failed;
    }
  }
  frame->Detach();
  frame_ = nullptr;
  // A window that was made stays with its image, even when closed meanwhile;
  // one that never became a window has nothing to show.
  if (created) context.KeepRenderFrame(std::move(frame));
  return code;
}

int CKavraSdkRender::Refuse(CKavraCommandContext& context, int code) {
  context.SetRenderCode(code);
  return code;
}

bool CKavraSdkRender::GatherScene() {
  for (int i = 0; i < doc_.ObjectCount(); ++i) {
    const CKavraObject* object = doc_.ObjectAt(i);
    if (!object || !object->IsMeshable(CKavraObject::render_mesh)) continue;
    if (!LayerIsOn(doc_, object->Attributes().LayerIndex())) continue;
    TK_SimpleArray<const TK_Mesh*> meshes;
    const int count = object->GetMeshes(CKavraObject::render_mesh, meshes);
    if (count == 0) continue;
    const TK_Material& material = doc_.RenderMaterial(*object);
    for (int m = 0; m < count; ++m)
      if (!AddRenderMesh(*object, material, meshes[m])) return false;
  }
  const bool hidden_lights = doc_.Properties().RenderSettings().m_use_hidden_lights != 0;
  const CKavraLightTable& lights = doc_.LightTable();
  for (int i = 0; i < lights.Count(); ++i) {
    if (lights.IsDeleted(i)) continue;
    const CKavraLight& light = lights[i];
    if (!light.Light().IsEnabled()) continue;
    if (!hidden_lights && !LayerIsOn(doc_, light.LayerIndex())) continue;
    if (!AddLight(light)) return false;
  }
  return true;
}

bool CKavraSdkRender::PumpUntilDone(CKavraCommandContext& context, CKavraSdkRenderFrame& frame) {
  using Clock = std::chrono::steady_clock;
  const UINT close_message = KavraSdkRenderCloseRenderFrameMsg();
  const UINT cancel_message = KavraSdkRenderRenderFrameCancelMsg();
  KvWindowToolkit& toolkit = KavraApp().WindowToolkit();
  bool stop_asked = false;
  bool stopped = false;
  std::optional<Clock::time_point> give_up;
  while (IsRendering()) {
    if (!stopped && (stop_asked || context.StopRequested())) {
      stopped = true;
      frame.StopRendering();
      give_up = Clock::now() + std::chrono::milliseconds(kStopGraceMilliseconds);
      continue;
    }
    // A render that does not end after being stopped is left behind rather
    // than hanging the host.
    if (give_up && Clock::now() > *give_up) break;
    // The toolkit's own events (input, paints, closing the window) are
    // handled between the host's messages.
    toolkit.ProcessEvents();
    MSG msg;
    if (!GetMessageTimeout(&msg, 10)) continue;
    if (msg.message == close_message || msg.message == cancel_message) stop_asked = true;
    else DispatchMessage(&msg);
  }
  // Statuses posted just before the render ended still belong to it.
  if (const CKavraSdkRenderViewWnd* view = frame.RenderView(); view && view->Handle()) {
    MSG msg;
    while (PeekMessage(&msg, view->Handle(), 0, 0, PM_REMOVE)) DispatchMessage(&msg);
  }
  return stopped;
}

TK_wString CKavraSdkRender::RenderReturnCodesToString(int code) {
  switch (code) {
    case render_completed: return KvLocalizeString(L"Render completed");
    case render_failed: return KvLocalizeString(L"Render failed");
    case render_cancelled: return KvLocalizeString(L"Render cancelled");
    case render_no_view: return KvLocalizeString(L"Render failed: there is no view to render");
    case render_bad_image_size:
      return KvLocalizeString(L"Render failed: the image size must be 1 to 16384 pixels a side");
    case render_scene_refused: return KvLocalizeString(L"Render failed: the renderer could not take the scene");
    case render_no_window: return KvLocalizeString(L"Render failed: the render window could not be created");
    case render_start_failed: return KvLocalizeString(L"Render failed: the render could not be started");
    case render_busy: return KvLocalizeString(L"Render failed: a render is already in progress");
    default: return KvLocalizeString(L"Render failed: unknown result ") + TK_wString(std::to_wstring(code));
  }
}

UINT KavraSdkRenderCloseRenderFrameMsg() {
  static const UINT id = RegisterWindowMessage("KavraSdkRenderCloseRenderFrame");
  return id;
}

UINT KavraSdkRenderRenderFrameCancelMsg() {
  static const UINT id = RegisterWindowMessage("KavraSdkRenderRenderFrameCancel");
  return id;
}
