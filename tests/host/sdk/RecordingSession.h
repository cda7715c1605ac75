#pragma once
// A render session of the tests' own on the host's render base: it records
// every call the host makes, and its frame starts a real worker thread that
// reports the render's phases to the view as a renderer's worker would
// (posted statuses 1, 8, 9, 2 and 5 per band, then 3 sent, or 7).

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/app/Doc.h"
#include "host/platform/KavraDib.h"
#include "host/sdk/SdkRender.h"
#include "host/sdk/SdkRenderFrame.h"
#include "host/sdk/SdkRenderViewWnd.h"

enum class WorkerScript {
  complete,       // four bands, then 3 once the view has handled them
  complete_at_once,  // four bands, then 3 right away
  fail,           // 7 right after setup
  until_stopped,  // bands until aborted, then 7
};

class RecordingView : public CKavraSdkRenderViewWnd {
public:
  explicit RecordingView(CKavraSdkRenderFrame& frame) : CKavraSdkRenderViewWnd(frame) {}
  CKavraDib* ResultBitmap() override { return &bitmap; }

  CKavraDib bitmap;
  // Called after each status, on the host thread.
  std::function<void(RecordingView& view, int code)> on_status;

protected:
  LRESULT OnRenderStatus(WPARAM code, LPARAM payload) override;
};

class RecordingSession;

class RecordingFrame : public CKavraSdkRenderFrame {
public:
  using CKavraSdkRenderFrame::CKavraSdkRenderFrame;
  std::unique_ptr<CKavraSdkRenderViewWnd> CreateRenderView() override;
  bool StartRendering() override;
  bool IsRendering() const override;
  bool StopRendering() override;

private:
  RecordingSession* Recorder() const;
};

class RecordingSession : public CKavraSdkRender {
public:
  RecordingSession(CKavraDoc& doc, WorkerScript script) : CKavraSdkRender(doc, nullptr), script_(script) {}
  ~RecordingSession() override;

  bool AddRenderMesh(const CKavraObject& object, const TK_Material& material, const TK_Mesh* mesh) override;
  bool AddLight(const CKavraLight& light) override;
  void AbortRender() override;
  std::unique_ptr<CKavraSdkRenderFrame> CreateRenderFrame(CKavraDoc* doc) override;
  bool IsRendering() const override { return rendering_.load(); }
  bool ClearSceneChangeFlags() override {
    ++flag_clears;
    return true;
  }

  void SetRendering(bool rendering) { rendering_ = rendering; }
  // Starts the worker on the view's window.
  bool Start(RecordingView& view);
  // Bands the worker has posted so far.
  int BandsPosted() const { return bands_.load(); }
  // The view counts the statuses it handled here.
  void StatusHandled() { ++handled_; }

  // Host thread only.
  std::vector<std::string> calls;
  int flag_clears = 0;  // ClearSceneChangeFlags calls
  std::vector<const TK_Material*> materials;
  bool refuse_meshes = false;
  bool refuse_start = false;
  bool frame_without_view = false;
  std::function<void(RecordingView&)> on_view;

private:
  static DWORD WorkerProc(void* session);
  void Work();
  void Post(int code, LPARAM payload);

  WorkerScript script_;
  std::atomic<bool> rendering_{false};
  std::atomic<bool> abort_{false};
  std::atomic<int> bands_{0};
  std::atomic<int> handled_{0};
  HWND view_ = nullptr;
  HANDLE worker_ = nullptr;
};
