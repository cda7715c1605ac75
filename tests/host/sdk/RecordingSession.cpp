#include "host/sdk/RecordingSession.h"

#include <chrono>
#include <string>
#include <thread>

#include "host/platform/Messages.h"
#include "host/platform/Thread.h"

LRESULT RecordingView::OnRenderStatus(WPARAM code, LPARAM payload) {
  switch (code) {
    case 1: Frame().SetMessageText(L"Initializing..."); break;
    case 5: Frame().SetMessageText(L"Band " + std::to_wstring(payload & 0xFFFF)); break;
    case 3:
      DrawWiresInDIB(bitmap, true);
      Frame().SetMessageText(L"Completed");
      break;
    case 7: Frame().SetMessageText(L"Aborted"); break;
    default: break;
  }
  if (auto* session = static_cast<RecordingSession*>(Frame().Session())) session->StatusHandled();
  if (on_status) on_status(*this, int(code));
  return 0;
}

RecordingSession* RecordingFrame::Recorder() const { return static_cast<RecordingSession*>(Session()); }

std::unique_ptr<CKavraSdkRenderViewWnd> RecordingFrame::CreateRenderView() {
  RecordingSession* session = Recorder();
  session->calls.push_back("CreateRenderView");
  if (session->frame_without_view) return nullptr;
  auto view = std::make_unique<RecordingView>(*this);
  if (session->on_view) session->on_view(*view);
  return view;
}

bool RecordingFrame::StartRendering() {
  auto* view = static_cast<RecordingView*>(RenderView());
  return Recorder() && view && Recorder()->Start(*view);
}

bool RecordingFrame::IsRendering() const { return Recorder() && Recorder()->IsRendering(); }

bool RecordingFrame::StopRendering() {
  if (RecordingSession* session = Recorder()) {
    session->SetRendering(false);
    session->AbortRender();
  }
  return CKavraSdkRenderFrame::StopRendering();
}

RecordingSession::~RecordingSession() {
  abort_ = true;
  if (worker_) {
    MsgWaitForSingleObject(worker_, INFINITE);
    CloseHandle(worker_);
  }
}

bool RecordingSession::AddRenderMesh(const CKavraObject& object, const TK_Material& material, const TK_Mesh* mesh) {
  calls.push_back("mesh " + object.Name().ToUtf8() + (mesh ? "" : " (null)"));
  materials.push_back(&material);
  return !refuse_meshes;
}

bool RecordingSession::AddLight(const CKavraLight& light) {
  calls.push_back("light " + light.Light().Name().ToUtf8());
  return true;
}

// Waits as long as a renderer would; a worker still running is waited for
// by the destructor.
void RecordingSession::AbortRender() {
  calls.push_back("AbortRender");
  abort_ = true;
  if (worker_ && MsgWaitForSingleObject(worker_, 250) == WAIT_OBJECT_0) {
    CloseHandle(worker_);
    worker_ = nullptr;
  }
}

std::unique_ptr<CKavraSdkRenderFrame> RecordingSession::CreateRenderFrame(CKavraDoc* doc) {
  calls.push_back("CreateRenderFrame");
  return std::make_unique<RecordingFrame>(*doc);
}

bool RecordingSession::Start(RecordingView& view) {
  calls.push_back("Start");
  if (refuse_start || worker_) return false;
  view_ = view.Handle();
  DWORD id = 0;
  worker_ = CreateThread(nullptr, 0, &WorkerProc, this, CREATE_SUSPENDED, &id);
  if (!worker_) return false;
  ResumeThread(worker_);
  return true;
}

DWORD RecordingSession::WorkerProc(void* session) {
  static_cast<RecordingSession*>(session)->Work();
  return 0;
}

void RecordingSession::Post(int code, LPARAM payload) { PostMessage(view_, WM_RENDER_STATUS, WPARAM(code), payload); }

void RecordingSession::Work() {
  for (int code : {1, 8, 9, 2}) Post(code, -1);
  switch (script_) {
    case WorkerScript::complete:
    case WorkerScript::complete_at_once:
      for (int band = 0; band < 4; ++band) {
        ++bands_;
        Post(5, (12 << 16) | band);
      }
      // A real render takes long enough for the view to see its progress
      // before the completion, which is sent and so overtakes posted ones.
      while (script_ == WorkerScript::complete && handled_.load() < 8 && !abort_.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      SendMessage(view_, WM_RENDER_STATUS, 3, -1);
      break;
    case WorkerScript::fail: Post(7, -1); break;
    case WorkerScript::until_stopped:
      for (int band = 0; !abort_.load(); ++band) {
        ++bands_;
        Post(5, (1 << 16) | (band & 0xFFFF));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      Post(7, -1);
      break;
  }
  rendering_ = false;
}
