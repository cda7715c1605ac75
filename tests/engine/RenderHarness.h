#pragma once
// The engine tests' render harness.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "engine/RenderSession.h"
#include "host/app/Doc.h"
#include "host/app/KavraLight.h"
#include "host/app/KavraObject.h"
#include "host/platform/Messages.h"
#include "host/platform/Window.h"
#include "host/sdk/RenderStatus.h"
#include "host/sdk/SdkRenderViewWnd.h"

// Records every status it is handed, in the order handled. The completion
// is sent, not queued, so it may overtake statuses still queued.
class StatusWindow : public KvWindow {
public:
  StatusWindow() { EXPECT_TRUE(Create()); }
  std::vector<std::pair<int, LPARAM>> received;
  const CRenderSession* session = nullptr;
  bool rendering_at_completion = false;

  std::vector<int> Codes() const {
    std::vector<int> codes;
    for (const auto& [code, payload] : received) codes.push_back(code);
    return codes;
  }
  int Count(RenderStatus status) const {
    return int(std::count_if(received.begin(), received.end(), [&](const auto& r) { return r.first == int(status); }));
  }

protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != WM_RENDER_STATUS) return 0;
    received.emplace_back(int(wParam), lParam);
    // The worker waits in its send until this returns.
    if (RenderStatus(wParam) == RenderStatus::completed) rendering_at_completion = session && session->IsRendering();
    return 1;
  }
};

// Holds its worker after the hold_at status went out until the test raises the abort.
class HarnessSession : public CRenderSession {
public:
  HarnessSession(CKavraDoc& doc, const CDMRenderUserData& settings, RenderStatus hold_at = RenderStatus(0))
      : CRenderSession(doc, nullptr, settings), hold_at(hold_at) {}
  ~HarnessSession() override {
    StopRenderThread();
    if (WorkerThread()) MsgWaitForSingleObject(WorkerThread(), INFINITE);
  }
  void NotifyView(RenderStatus status, LPARAM payload) override {
    CRenderSession::NotifyView(status, payload);
    if (status != hold_at || held) return;
    held = true;
    for (int i = 0; i < 5000 && !AbortFlag()->load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  bool HoldsWorker() const { return WorkerThread() != nullptr; }
  std::atomic<bool> held{false};
  const RenderStatus hold_at;
};

// Image words: blue | green << 8 | red << 16; the fixture's background.
constexpr std::uint32_t Word(int red, int green, int blue) { return std::uint32_t(blue | green << 8 | red << 16); }
inline constexpr std::uint32_t kBackground = Word(255, 51, 102);

inline TK_Light MakeLight(TK::light_style style, const TK_3dPoint& location, const TK_3dVector& direction) {
  TK_Light light;
  EXPECT_TRUE(light.SetStyle(style));
  light.SetLocation(location);
  light.SetDirection(direction);
  return light;
}

// A camera 10 above the origin looking down -z; level 0, no shadows, bands of 32 rows.
class RenderFixture : public ::testing::Test {
protected:
  RenderFixture() {
    view.m_vp.SetCameraLocation({0, 0, 10});
    view.m_vp.SetCameraDirection({0, 0, -1});
    view.m_vp.SetCameraUp({0, 1, 0});
    SetLevels(0, 0);
    settings.m_favor_memory = false;
  }
  void SetLevels(int antialias, int shadows, TK_Color ambient = TK_Color(30, 30, 30)) {
    TK_ScnRenderSettings render = doc.Properties().RenderSettings();
    render.m_antialias_level = antialias;
    render.m_shadow_level = shadows;
    render.m_background_color = TK_Color(255, 51, 102);
    render.m_ambient_color = ambient;
    doc.Properties().SetRenderSettings(render);
  }
  void Start(CRenderSession& session, int width, int height, bool into_image = true) {
    session.SetRendering(true);
    window.session = &session;
    ASSERT_TRUE(session.PrepareRender(&window, view, 5, 5, width, height));
    ASSERT_TRUE(session.ResumeRender(into_image ? &image : nullptr));
  }
  // Pumps the test's thread until the worker has ended, then takes what it posted.
  void Finish(CRenderSession& session) {
    EXPECT_TRUE(PumpMessagesUntil([&] { return !session.IsRendering(); }, 60000));
    for (MSG msg; PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessage(&msg);
  }
  void Render(CRenderSession& session, int width, int height) { Start(session, width, height); Finish(session); }
  std::uint32_t ImageWord(int x, int y) const {
    const unsigned char* p =
        image.FindDIBBits() + (std::size_t(image.Height() - 1 - y) * std::size_t(image.Width()) + std::size_t(x)) * 4;
    EXPECT_EQ(p[3], 0);
    return std::uint32_t(p[0] | p[1] << 8 | p[2] << 16);
  }

  CKavraDoc doc;
  CDMRenderUserData settings;
  CKavraObject object;
  TK_ScnView view;
  COruDib image;
  StatusWindow window;
};
