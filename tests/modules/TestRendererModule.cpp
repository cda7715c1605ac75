// A small render plug-in module for the program's tests: it renders through the host's render base
// (session, frame, view, a worker thread reporting statuses) a fixed pattern the tests check in the
// saved image. $DM_TEST_RENDER picks the run: "fail" ends with status 7, "hang" renders bands until
// stopped, anything else completes.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/platform/KavraDib.h"
#include "host/platform/Messages.h"
#include "host/platform/Thread.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"
#include "host/sdk/SdkRender.h"
#include "host/sdk/SdkRenderFrame.h"
#include "host/sdk/SdkRenderViewWnd.h"

#define TEST_EXPORT extern "C" __attribute__((visibility("default")))

TEST_EXPORT int KavraPlugInSdkVersion() { return 200211190; }

namespace {

class TestView : public CKavraSdkRenderViewWnd {
public:
  using CKavraSdkRenderViewWnd::CKavraSdkRenderViewWnd;
  CKavraDib* ResultBitmap() override { return &bitmap; }
  CKavraDib bitmap;
  std::atomic<int> handled{0};

protected:
  LRESULT OnRenderStatus(WPARAM code, LPARAM payload) override {
    ++handled;
    if (code == 1) Frame().SetMessageText(L"Initializing...");
    if (code == 5) {
      const int rows = std::min(int((payload >> 16) & 0xFFFF) * int((payload & 0xFFFF) + 1), Frame().ImageHeight());
      Frame().SetMessageText(L"Rendering...(" + std::to_wstring(rows * 100 / Frame().ImageHeight()) + L"%)");
    }
    if (code == 3) Frame().SetMessageText(L"Completed");
    if (code == 7) Frame().SetMessageText(L"Aborted");
    return 0;
  }
};

class TestSession : public CKavraSdkRender {
public:
  using CKavraSdkRender::CKavraSdkRender;
  ~TestSession() override { Stop(INFINITE); }
  std::unique_ptr<CKavraSdkRenderFrame> CreateRenderFrame(CKavraDoc* doc) override;
  bool IsRendering() const override { return rendering_.load(); }
  void AbortRender() override { Stop(250); }
  void SetRendering(bool rendering) { rendering_ = rendering; }

  bool Start(TestView& view) {
    const char* script = std::getenv("DM_TEST_RENDER");
    script_ = script ? script : "";
    window_ = view.Handle();
    view_ = &view;
    width_ = view.Frame().ImageWidth();
    height_ = view.Frame().ImageHeight();
    DWORD id = 0;
    worker_ = CreateThread(nullptr, 0, &Run, this, CREATE_SUSPENDED, &id);
    return worker_ != nullptr && ResumeThread(worker_) == 1;
  }

private:
  static DWORD Run(void* self) {
    static_cast<TestSession*>(self)->Work();
    return 0;
  }
  void Status(int code, LPARAM payload) {
    ++posted_;
    PostMessage(window_, WM_RENDER_STATUS, WPARAM(code), payload);
  }

  void Work() {
    for (int code : {1, 8, 9}) Status(code, -1);
    const bool allocated = view_->bitmap.CreateDib(width_, height_, 32, true, nullptr);
    if (allocated) Status(2, -1);
    if (!allocated || script_ == "fail") {
      Status(7, -1);
    } else {
      const int band = 4;
      for (int index = 0; index * band < height_; ++index) {
        if (abort_.load()) break;
        for (int y = index * band; y < std::min(height_, (index + 1) * band); ++y)
          for (int x = 0; x < width_; ++x) {
            unsigned char* pixel = view_->bitmap.FindDIBBits() + (std::size_t(height_ - 1 - y) * width_ + x) * 4;
            pixel[0] = 200;                                // blue
            pixel[1] = static_cast<unsigned char>(y * 7);  // green
            pixel[2] = static_cast<unsigned char>(x * 5);  // red
          }
        Status(5, (band << 16) | index);
      }
      // A real render takes long enough for the view to have shown all
      // progress before the completion, which is sent and overtakes posts.
      while ((script_ == "hang" || view_->handled.load() < posted_) && !abort_.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      if (abort_.load()) Status(7, -1);
      else SendMessage(window_, WM_RENDER_STATUS, 3, -1);
    }
    rendering_ = false;
  }

  void Stop(DWORD milliseconds) {
    abort_ = true;
    if (worker_ && MsgWaitForSingleObject(worker_, milliseconds) == WAIT_OBJECT_0) {
      CloseHandle(worker_);
      worker_ = nullptr;
    }
  }

  std::string script_;
  HWND window_ = nullptr;
  TestView* view_ = nullptr;
  int posted_ = 0;  // worker only
  int width_ = 0, height_ = 0;
  HANDLE worker_ = nullptr;
  std::atomic<bool> rendering_{false};
  std::atomic<bool> abort_{false};
};

class TestFrame : public CKavraSdkRenderFrame {
public:
  using CKavraSdkRenderFrame::CKavraSdkRenderFrame;
  std::unique_ptr<CKavraSdkRenderViewWnd> CreateRenderView() override { return std::make_unique<TestView>(*this); }
  bool StartRendering() override { return Own() && Own()->Start(static_cast<TestView&>(*RenderView())); }
  bool IsRendering() const override { return Session() && Session()->IsRendering(); }
  bool StopRendering() override {
    if (Own()) {
      Own()->SetRendering(false);
      Own()->AbortRender();
    }
    return CKavraSdkRenderFrame::StopRendering();
  }

private:
  TestSession* Own() const { return static_cast<TestSession*>(Session()); }
};

std::unique_ptr<CKavraSdkRenderFrame> TestSession::CreateRenderFrame(CKavraDoc* doc) {
  return std::make_unique<TestFrame>(*doc);
}

class RendererPlugIn : public CKavraRenderSystemPlugIn {
public:
  void PlugInID(TK_UUID& id) const override { id = *TK_UUID::FromString("7E57AE00-0000-4000-8000-0000000000AB"); }
  TK_wString PlugInName() const override { return L"Test renderer"; }
  int OnLoadPlugIn() override {
    KavraApp().Print(L"Loading %s\n", PlugInName().c_str());
    return 1;
  }
  KvCommandResult Render(CKavraCommandContext& context, bool) override {
    TestSession session(context.Document(), this);
    session.SetRendering(true);
    const int code = session.CKavraSdkRender::Render(context, SIZE{}, PlugInName().c_str(), 12000);
    session.SetRendering(false);
    KavraApp().Print(L"%s\n", CKavraSdkRender::RenderReturnCodesToString(code).c_str());
    return code == 0 ? KvCommandResult::success : code == 2 ? KvCommandResult::cancel : KvCommandResult::failure;
  }
};

RendererPlugIn the_plugin;

}  // namespace
