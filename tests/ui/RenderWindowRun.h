#pragma once
// A real render of a box on a floor into the plug-in's window, driven as the host drives it (a
// worker thread, the host pumping statuses), in windows of a toolkit of its own (headless unless
// given another). The message-line texts are collected; the window stays with the command
// context after the render, as it does for the host.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/RenderSession.h"
#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/platform/HeadlessToolkit.h"
#include "support/ToolkitScope.h"
#include "host/import/ImportLog.h"
#include "host/import/JsonSceneImporter.h"
#include "host/sdk/CommandContext.h"
#include "ui/RenderFrame.h"
#include "ui/RenderView.h"

class RenderWindowRun {
public:
  // width x height pixels, antialiasing level `antialias`, no shadows (or
  // those of a spot light at `shadows`).
  RenderWindowRun(int width, int height, int antialias = 0, const KvHeadlessToolkit::Metrics& metrics = {},
                  int shadows = 0)
      : RenderWindowRun(width, height, antialias, std::make_unique<KvHeadlessToolkit>(metrics), shadows) {}
  // The same in windows of another toolkit.
  RenderWindowRun(int width, int height, int antialias, std::unique_ptr<KvWindowToolkit> windows, int shadows = 0)
      : toolkit(std::move(windows)) {
    CImportLog log;
    EXPECT_TRUE(CJsonSceneImporter::ImportText(Scene(width, height, antialias, shadows), "scene.json",
                                               std::filesystem::temp_directory_path(), doc, log));
    context.SetMessageListener([this](const TK_wString& text) {
      texts.push_back(text.str());
      if (hook && session) hook(*session, text.str());
    });
  }

  // The scene's description.
  static std::string Scene(int width, int height, int antialias, int shadows = 0) {
    const std::string light = shadows == 0 ? "" : R"(, "lights": [{"type": "spot", "location": [3, -2, 6],
      "target": [0, 0, 0], "angle": 40}])";
    return R"({"render": {"width": )" + std::to_string(width) + R"(, "height": )" + std::to_string(height) +
           R"(, "antialias": )" + std::to_string(antialias) + R"(, "shadows": )" + std::to_string(shadows) +
           R"(}, "objects": [{"type": "plane", "size": [6, 6]}, {"type": "box", "translate": [0, 0, 0.5]}],
      "camera": {"location": [4, -6, 3], "target": [0, 0, 0.5]})" + light + "}";
  }

  // Renders once; answers the host's code.
  int Render(const std::atomic<bool>* stop = nullptr) {
    CRenderSession rendering(doc, nullptr, settings);
    if (threads > 0) rendering.SetThreadCount(threads);
    rendering.SetRenderFrameFactory(make_frame);
    rendering.SetRendering(true);
    context.SetStopRequest(stop);
    session = &rendering;
    const int code = rendering.CKavraSdkRender::Render(context, SIZE{0, 0}, L"DuskMoth Render", 12000);
    session = nullptr;
    return rendering.SetRendering(false), code;
  }

  CRenderFrame* Frame() const { return static_cast<CRenderFrame*>(context.LastRenderFrame()); }
  CRenderView* View() const { return Frame() ? Frame()->GetRenderView() : nullptr; }
  KvHeadlessFrameWindow& FrameWindow() const { return static_cast<KvHeadlessFrameWindow&>(*Frame()->Window()); }
  KvHeadlessViewWindow& ViewWindow() const { return static_cast<KvHeadlessViewWindow&>(*View()->Window()); }
  std::wstring LastText() const { return texts.empty() ? std::wstring() : texts.back(); }

  std::function<std::unique_ptr<CRenderFrame>(CKavraDoc&)> make_frame = [](CKavraDoc& d) {
    return std::make_unique<CRenderFrame>(d);
  };
  std::function<void(CRenderSession&, const std::wstring&)> hook;  // on each new text, while rendering
  int threads = 0;  // the pixel loops' threads; 0: the session's default

  // The application's toolkit while the run lives; it outlives the windows.
  ToolkitScope toolkit;
  CKavraDoc doc;
  std::vector<std::wstring> texts;
  CKavraCommandContext context{doc};

private:
  const CDMRenderUserData settings;  // the session keeps a reference
  CRenderSession* session = nullptr;
};
