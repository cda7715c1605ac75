// The host's render path: scene gathering through the session's slots, the
// frame and view, the pump and the return codes, with a real worker thread.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "host/app/SampleDocument.h"
#include "host/platform/Messages.h"
#include "host/sdk/CommandContext.h"
#include "host/sdk/RecordingSession.h"

namespace {

using Strings = std::vector<std::string>;

TK_Material NamedMaterial(const wchar_t* name) {
  TK_Material material;
  material.SetName(name);
  return material;
}

CKavraObject MeshObject(const wchar_t* name, int layer, int source, int material, int meshes = 1) {
  TK_ScnObjectAttributes attributes;
  attributes.SetName(name);
  attributes.SetLayerIndex(layer);
  attributes.SetMaterialSource(source);
  attributes.SetMaterialIndex(material);
  CKavraObject object(attributes);
  for (int i = 0; i < meshes; ++i) object.AddRenderMesh(SampleTriangleMesh());
  return object;
}

CKavraLight NamedLight(const wchar_t* name, int layer, bool enabled) {
  TK_Light light;
  light.SetName(name);
  light.Enable(enabled);
  return CKavraLight(light, layer);
}

constexpr int kFromLayer = TK_ScnObjectAttributes::material_from_layer;
constexpr int kFromObject = TK_ScnObjectAttributes::material_from_object;

// Layers: 0 on (renders with material 0), 1 off, 2 locked, 3 deleted.
// Materials: 0 Red, 1 Blue. Objects and lights on each kind of layer.
void FillScene(CKavraDoc& doc) {
  TK_Layer on;
  on.SetName(L"On");
  on.SetRenderMaterialIndex(0);
  TK_Layer off;
  off.SetMode(TK_Layer::hidden_layer);
  TK_Layer locked;
  locked.SetMode(TK_Layer::locked_layer);
  doc.LayerTable().Add(on);
  doc.LayerTable().Add(off);
  doc.LayerTable().Add(locked);
  doc.LayerTable().Delete(doc.LayerTable().Add(TK_Layer()));
  doc.MaterialTable().Add(NamedMaterial(L"Red"));
  doc.MaterialTable().Add(NamedMaterial(L"Blue"));

  doc.AddObject(MeshObject(L"A", 0, kFromLayer, -1));
  doc.AddObject(MeshObject(L"B", 0, kFromObject, 1));
  doc.AddObject(MeshObject(L"C", 1, kFromObject, 1));   // layer off
  doc.AddObject(MeshObject(L"D", 2, kFromObject, 7, 2));  // no such material
  CKavraObject curve = MeshObject(L"E", 0, kFromLayer, -1);
  curve.SetRenderable(false);
  doc.AddObject(curve);
  doc.AddObject(MeshObject(L"F", 3, kFromLayer, -1));   // layer deleted
  doc.AddObject(MeshObject(L"G", 9, kFromLayer, -1));   // no such layer
  doc.DeleteObject(doc.AddObject(MeshObject(L"H", 0, kFromLayer, -1)));
  doc.AddObject(MeshObject(L"I", 0, kFromLayer, -1, 0));  // no meshes

  doc.LightTable().Add(NamedLight(L"Key", 0, true));
  doc.LightTable().Add(NamedLight(L"Dim", 0, false));
  doc.LightTable().Add(NamedLight(L"Hidden", 1, true));
  doc.LightTable().Delete(doc.LightTable().Add(NamedLight(L"Gone", 0, true)));
  doc.LightTable().Add(NamedLight(L"Lost", 9, true));

  doc.AddView(CKavraView(TK_ScnView(), 64, 48));
}

// Renders doc with a recording session the way a plug-in's handler does.
struct RenderRun {
  explicit RenderRun(CKavraDoc& doc, WorkerScript script = WorkerScript::complete)
      : context(doc), session(doc, script) {
    context.SetMessageListener([this](const TK_wString& text) { messages.push_back(text.ToUtf8()); });
  }
  int Render(SIZE size = {0, 0}) {
    session.SetRendering(true);
    const int code = session.Render(context, size, L"Render", 12000);
    session.SetRendering(false);
    return code;
  }
  RecordingView* View() const {
    CKavraSdkRenderFrame* frame = context.LastRenderFrame();
    return frame ? static_cast<RecordingView*>(frame->RenderView()) : nullptr;
  }

  CKavraCommandContext context;
  RecordingSession session;
  Strings messages;
};

TEST(SdkRender, HandsOverTheVisibleSceneThenOpensTheWindowAndRendersToCompletion) {
  CKavraDoc doc;
  FillScene(doc);
  RenderRun run(doc);
  EXPECT_EQ(run.Render(), CKavraSdkRender::render_completed);
  // The scene as rendered is no longer a change.
  EXPECT_EQ(run.session.flag_clears, 1);

  // A light on a layer the table lacks counts as on a layer that is off.
  EXPECT_EQ(run.session.calls, (Strings{"mesh A", "mesh B", "mesh D", "mesh D", "light Key", "CreateRenderFrame",
                                       "CreateRenderView", "Start"}));
  // Materials by source: the layer's, the object's own, the default one for
  // an index that names no material.
  const std::vector<const TK_Material*> expected{&doc.MaterialTable()[0], &doc.MaterialTable()[1],
                                                 &CKavraDoc::DefaultMaterial(), &CKavraDoc::DefaultMaterial()};
  EXPECT_EQ(run.session.materials, expected);

  ASSERT_EQ(run.context.RenderFrameCount(), 1);
  CKavraSdkRenderFrame& frame = *run.context.LastRenderFrame();
  EXPECT_TRUE(frame.IsWindow());
  EXPECT_TRUE(frame.IsVisible());
  EXPECT_EQ(frame.Session(), nullptr);
  EXPECT_EQ(frame.WindowText(), TK_wString(L"Render"));
  EXPECT_EQ(frame.ResourceId(), 12000u);
  EXPECT_EQ(frame.ImageWidth(), 64);
  EXPECT_EQ(frame.ImageHeight(), 48);
  EXPECT_EQ(frame.ClientSize(), (SIZE{64, 48}));
  EXPECT_FALSE(frame.StopWasRequested());

  RecordingView* view = run.View();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->StatusCodes(), (std::vector<int>{1, 8, 9, 2, 5, 5, 5, 5, 3}));
  EXPECT_TRUE(view->Completed());
  EXPECT_FALSE(view->Aborted());
  EXPECT_EQ(view->DrawWiresCount(), 1);
  EXPECT_EQ(view->ResultBitmap(), &view->bitmap);
  EXPECT_EQ(run.messages, (Strings{"Initializing...", "Band 0", "Band 1", "Band 2", "Band 3", "Completed"}));
  EXPECT_EQ(frame.MessageText(), TK_wString(L"Completed"));
  EXPECT_FALSE(run.session.IsRendering());
}

TEST(SdkRender, LightsOnLayersThatAreOffTakePartWhenTheSettingsSaySo) {
  CKavraDoc doc;
  FillScene(doc);
  TK_ScnRenderSettings settings = doc.Properties().RenderSettings();
  settings.m_use_hidden_lights = 1;
  doc.Properties().SetRenderSettings(settings);
  RenderRun run(doc);
  EXPECT_EQ(run.Render(), CKavraSdkRender::render_completed);
  // Objects stay hidden; disabled and deleted lights stay out.
  EXPECT_EQ(run.session.calls, (Strings{"mesh A", "mesh B", "mesh D", "mesh D", "light Key", "light Hidden",
                                       "light Lost", "CreateRenderFrame", "CreateRenderView", "Start"}));
}

TEST(SdkRender, ACompletionThatOvertakesTheProgressStillCounts) {
  CKavraDoc doc;
  FillScene(doc);
  RenderRun run(doc, WorkerScript::complete_at_once);
  EXPECT_EQ(run.Render(), CKavraSdkRender::render_completed);
  std::vector<int> codes = run.View()->StatusCodes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 3), 1);
  std::erase(codes, 3);
  EXPECT_EQ(codes, (std::vector<int>{1, 8, 9, 2, 5, 5, 5, 5}));
  EXPECT_EQ(run.View()->DrawWiresCount(), 1);
}

TEST(SdkRender, AnEmptySceneStillRenders) {
  CKavraDoc doc;
  doc.AddView(CKavraView(TK_ScnView(), 8, 8));
  RenderRun run(doc);
  EXPECT_EQ(run.Render(), CKavraSdkRender::render_completed);
  EXPECT_EQ(run.session.calls, (Strings{"CreateRenderFrame", "CreateRenderView", "Start"}));
}

TEST(SdkRender, ImageSizeComesFromTheCallerTheSettingsOrTheView) {
  CKavraDoc doc;
  FillScene(doc);
  {
    RenderRun run(doc);
    ASSERT_EQ(run.Render({200, 100}), CKavraSdkRender::render_completed);
    EXPECT_EQ(run.context.LastRenderFrame()->ImageWidth(), 200);
    EXPECT_EQ(run.context.LastRenderFrame()->ImageHeight(), 100);
  }
  TK_ScnRenderSettings settings = doc.Properties().RenderSettings();
  settings.m_custom_imagesize = 1;
  settings.m_image_width = 320;
  settings.m_image_height = 200;
  doc.Properties().SetRenderSettings(settings);
  {
    RenderRun run(doc);
    ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
    EXPECT_EQ(run.context.LastRenderFrame()->ImageWidth(), 320);
    EXPECT_EQ(run.context.LastRenderFrame()->ImageHeight(), 200);
  }
  {
    // RenderWindow: the given view at the rectangle's size.
    TK_ScnView scn;
    scn.m_name = L"Side";
    const CKavraView side(scn, 500, 500);
    RenderRun run(doc);
    run.session.SetRendering(true);
    EXPECT_EQ(run.session.RenderWindow(run.context, &side, RECT{10, 20, 110, 70}), CKavraSdkRender::render_completed);
    ASSERT_EQ(run.context.RenderFrameCount(), 1);
    EXPECT_EQ(run.context.LastRenderFrame()->ImageWidth(), 100);
    EXPECT_EQ(run.context.LastRenderFrame()->ImageHeight(), 50);
    EXPECT_EQ(run.context.LastRenderFrame()->View().m_name, TK_wString(L"Side"));
    EXPECT_EQ(run.View()->View().m_name, TK_wString(L"Side"));
  }
}

TEST(SdkRender, RefusesBadSizesAndMissingViewsBeforeTouchingTheSession) {
  CKavraDoc doc;
  FillScene(doc);
  const CKavraView view(TK_ScnView(), 10, 10);
  const SIZE bad_sizes[] = {{0, 10}, {10, -1}, {16385, 10}, {10, 16385}, {INT_MIN, INT_MIN}};
  for (const SIZE size : bad_sizes) {
    RenderRun run(doc);
    EXPECT_EQ(run.Render(size), CKavraSdkRender::render_bad_image_size) << size.cx << " x " << size.cy;
    EXPECT_EQ(run.context.RenderCode(), CKavraSdkRender::render_bad_image_size);
    EXPECT_TRUE(run.session.calls.empty());
  }
  const RECT bad_rects[] = {{10, 10, 10, 20}, {20, 0, 10, 10}, {INT_MIN, 0, INT_MAX, 10}, {0, INT_MAX, 10, INT_MIN}};
  for (const RECT& rect : bad_rects) {
    RenderRun run(doc);
    EXPECT_EQ(run.session.RenderWindow(run.context, &view, rect), CKavraSdkRender::render_bad_image_size);
    EXPECT_EQ(run.context.RenderCode(), CKavraSdkRender::render_bad_image_size);
    EXPECT_TRUE(run.session.calls.empty());
  }
  {
    RenderRun run(doc);
    EXPECT_FALSE(run.context.RenderCode());
    EXPECT_EQ(run.session.RenderWindow(run.context, nullptr, RECT{0, 0, 10, 10}), CKavraSdkRender::render_no_view);
    EXPECT_EQ(run.context.RenderCode(), CKavraSdkRender::render_no_view);
  }
  TK_ScnRenderSettings settings = doc.Properties().RenderSettings();
  settings.m_custom_imagesize = 1;
  settings.m_image_width = 0;
  doc.Properties().SetRenderSettings(settings);
  RenderRun zero(doc);
  EXPECT_EQ(zero.Render(), CKavraSdkRender::render_bad_image_size);

  CKavraDoc no_views;
  RenderRun run(no_views);
  EXPECT_EQ(run.Render({10, 10}), CKavraSdkRender::render_no_view);
  EXPECT_TRUE(run.session.calls.empty());
  EXPECT_EQ(run.context.RenderFrameCount(), 0);
}

TEST(SdkRender, AFailedRenderReportsFailureWithItsLastStatus) {
  CKavraDoc doc;
  FillScene(doc);
  RenderRun run(doc, WorkerScript::fail);
  EXPECT_EQ(run.Render(), CKavraSdkRender::render_failed);
  EXPECT_EQ(run.session.flag_clears, 0);
  // The 7 was posted just before the render ended; it still reaches the view.
  EXPECT_EQ(run.View()->StatusCodes(), (std::vector<int>{1, 8, 9, 2, 7}));
  EXPECT_TRUE(run.View()->Aborted());
  EXPECT_EQ(run.View()->DrawWiresCount(), 0);
  EXPECT_EQ(run.messages.back(), "Aborted");
  EXPECT_FALSE(run.context.LastRenderFrame()->StopWasRequested());
}

TEST(SdkRender, AStopRequestFromAnotherThreadCancelsThroughTheFrame) {
  CKavraDoc doc;
  FillScene(doc);
  std::atomic<bool> stop{false};
  RenderRun run(doc, WorkerScript::until_stopped);
  run.context.SetStopRequest(&stop);
  std::thread program([&] {
    while (run.session.BandsPosted() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop = true;
  });
  const int code = run.Render();
  program.join();
  EXPECT_EQ(code, CKavraSdkRender::render_cancelled);
  EXPECT_EQ(run.context.RenderCode(), CKavraSdkRender::render_cancelled);
  EXPECT_EQ(run.session.calls.back(), "AbortRender");
  CKavraSdkRenderFrame& frame = *run.context.LastRenderFrame();
  EXPECT_TRUE(frame.StopWasRequested());
  EXPECT_TRUE(frame.IsWindow());
  const std::vector<int>& codes = run.View()->StatusCodes();
  ASSERT_GE(codes.size(), 5u);
  EXPECT_EQ(codes.back(), 7);
  EXPECT_FALSE(run.View()->Completed());
}

TEST(SdkRender, CancelAndCloseMessagesStopTheRender) {
  CKavraDoc doc;
  FillScene(doc);
  {
    // A cancel posted from elsewhere to the render window.
    RenderRun run(doc, WorkerScript::until_stopped);
    std::thread ui;
    run.session.on_view = [&](RecordingView& view) {
      view.on_status = [&](RecordingView& v, int status) {
        if (status == 2 && !ui.joinable())
          ui = std::thread([hwnd = v.Handle()] { PostMessage(hwnd, KavraSdkRenderRenderFrameCancelMsg(), 0, 0); });
      };
    };
    EXPECT_EQ(run.Render(), CKavraSdkRender::render_cancelled);
    ASSERT_TRUE(ui.joinable());
    ui.join();
    EXPECT_TRUE(run.context.LastRenderFrame()->StopWasRequested());
  }
  {
    // The user closes the window mid-render.
    RenderRun run(doc, WorkerScript::until_stopped);
    run.session.on_view = [](RecordingView& view) {
      view.on_status = [](RecordingView& v, int status) {
        if (status == 5 && v.Frame().IsWindow()) v.Frame().Close();
      };
    };
    EXPECT_EQ(run.Render(), CKavraSdkRender::render_cancelled);
    ASSERT_EQ(run.context.RenderFrameCount(), 1);
    EXPECT_FALSE(run.context.LastRenderFrame()->IsWindow());
    EXPECT_EQ(run.View()->Handle(), nullptr);
    // Closing told the thread, and the notice stays for the next render's
    // frame to drop.
    MSG msg;
    bool close_seen = false;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) close_seen |= msg.message == KavraSdkRenderCloseRenderFrameMsg();
    EXPECT_TRUE(close_seen);
  }
}

TEST(SdkRender, RefusalsOnTheWayEndTheRenderWithTheirOwnCodes) {
  CKavraDoc doc;
  FillScene(doc);
  {
    RenderRun run(doc);
    run.session.refuse_meshes = true;
    EXPECT_EQ(run.Render(), CKavraSdkRender::render_scene_refused);
    EXPECT_EQ(run.context.RenderCode(), CKavraSdkRender::render_scene_refused);
    EXPECT_EQ(run.session.calls, (Strings{"mesh A"}));
    EXPECT_EQ(run.context.RenderFrameCount(), 0);
  }
  {
    RenderRun run(doc);
    run.session.frame_without_view = true;
    EXPECT_EQ(run.Render(), CKavraSdkRender::render_no_window);
    EXPECT_EQ(run.context.RenderFrameCount(), 0);
  }
  {
    RenderRun run(doc);
    run.session.refuse_start = true;
    EXPECT_EQ(run.Render(), CKavraSdkRender::render_start_failed);
    // The window was made and stays, empty.
    ASSERT_EQ(run.context.RenderFrameCount(), 1);
    EXPECT_TRUE(run.View()->StatusCodes().empty());
  }
  {
    // A session that makes no window.
    CKavraCommandContext context(doc);
    CKavraSdkRender plain(doc, nullptr);
    EXPECT_EQ(plain.Render(context, {0, 0}, L"", 0), CKavraSdkRender::render_no_window);
  }
  {
    // A session is one render at a time.
    RenderRun run(doc);
    int nested = -1;
    run.session.on_view = [&](RecordingView& view) {
      view.on_status = [&](RecordingView&, int status) {
        if (status == 2) nested = run.session.Render(run.context, {0, 0}, L"again", 0);
      };
    };
    EXPECT_EQ(run.Render(), CKavraSdkRender::render_completed);
    EXPECT_EQ(nested, CKavraSdkRender::render_busy);
    // The refused call leaves the context to the render in progress.
    EXPECT_EQ(run.context.RenderCode(), CKavraSdkRender::render_completed);
    EXPECT_EQ(run.context.RenderFrameCount(), 1);
  }
}

TEST(SdkRender, ReturnCodesHaveDistinctClearTexts) {
  std::vector<std::wstring> texts;
  for (int code = CKavraSdkRender::render_completed; code <= CKavraSdkRender::render_busy; ++code) {
    const std::wstring text = CKavraSdkRender::RenderReturnCodesToString(code).str();
    EXPECT_EQ(text.rfind(code == 0 ? L"Render completed" : code == 2 ? L"Render cancelled" : L"Render failed", 0), 0u)
        << code;
    for (const std::wstring& other : texts) EXPECT_NE(text, other);
    texts.push_back(text);
  }
  EXPECT_EQ(CKavraSdkRender::RenderReturnCodesToString(99), TK_wString(L"Render failed: unknown result 99"));
  // Modules find the frame's messages by their registered names.
  EXPECT_EQ(RegisterWindowMessage("KavraSdkRenderRenderFrameCancel"), KavraSdkRenderRenderFrameCancelMsg());
  EXPECT_NE(KavraSdkRenderCloseRenderFrameMsg(), KavraSdkRenderRenderFrameCancelMsg());
}

}  // namespace
