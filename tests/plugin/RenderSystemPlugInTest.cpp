// The plug-in: the real module loaded by the host, load with and without an active document,
// document data, render commands through the host.

#include <gtest/gtest.h>

#include <filesystem>

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/DocumentFile.h"
#include "host/sdk/CommandContext.h"
#include "host/sdk/PlugInModule.h"
#include "host/sdk/SdkRender.h"
#include "host/toolkit/BinaryArchive.h"
#include "plugin/RenderSystemPlugIn.h"
#include "support/LittleEndianBytes.h"
#include "ui/RenderFrame.h"
#include "ui/RenderView.h"

namespace {

struct PrintCapture {  // what the application prints while it lives
  PrintCapture() : old(KavraApp().SetOutputSink([this](const std::wstring& t) { text += t; })) {}
  ~PrintCapture() { KavraApp().SetOutputSink(old); }
  std::wstring text;
  CKavraApp::OutputSink old;
};

// The banner the module prints on loading is the program's tests' to check, its identity the loader's.
TEST(DuskMothModule, UnloadsItsWatcher) {
  std::string error;
  auto module = KvPlugInModule::Load(std::filesystem::path(DM_BINARY_DIR) / "duskmoth.kvp", error);
  ASSERT_NE(module, nullptr) << error;
  CKavraRenderSystemPlugIn& plugin = module->PlugIn();
  const CDocumentWatcher& watcher = static_cast<CRenderSystemPlugIn&>(plugin).Watcher();
  EXPECT_TRUE(watcher.IsRegistered() && watcher.IsEnabled());
  plugin.OnUnloadPlugIn();
  EXPECT_FALSE(watcher.IsRegistered() || watcher.IsEnabled());
  module.reset();  // the loader unloads once more; no watcher is left behind
  EXPECT_TRUE(KavraApp().CloseDocument(KavraApp().NewDocument()));
}

// The record back at its defaults, the watcher clear and unloaded, before and after.
class PlugInTest : public ::testing::Test {
protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    ThePlugIn().OnUnloadPlugIn();
    KavraApp().SetActiveDoc(nullptr);
    ThePlugIn().GetRenderUserData() = CDMRenderUserData();
    ThePlugIn().MarkSceneChanged(false);
    ThePlugIn().MarkLightsChanged(false);
  }
};

TEST_F(PlugInTest, LoadTellsTheWatcherAboutAnActiveDocumentOnly) {
  CKavraDoc doc;
  for (CKavraDoc* active : {static_cast<CKavraDoc*>(nullptr), &doc}) {
    KavraApp().SetActiveDoc(active);
    PrintCapture capture;
    EXPECT_EQ(ThePlugIn().OnLoadPlugIn(), 1);
    const CDocumentWatcher& watcher = ThePlugIn().Watcher();
    EXPECT_TRUE(watcher.IsRegistered() && watcher.IsEnabled());
    EXPECT_EQ(watcher.SceneChanged() && watcher.LightsChanged(), active != nullptr);
    doc.RaiseEvent([&](CKavraEventWatcher& w) { w.OnCloseDocument(doc); });  // heard: clears
    EXPECT_FALSE(watcher.SceneChanged() || watcher.LightsChanged());
    ThePlugIn().OnUnloadPlugIn();
  }
}

TEST_F(PlugInTest, DocumentDataIsTheRecordInVersionOneOneAndFilesWithoutItKeepIt) {
  CDMRenderUserData& record = ThePlugIn().GetRenderUserData();
  record.m_use_wallpaper = true;
  record.m_stretch_wallpaper = record.m_favor_memory = false;
  CKavraDoc doc;
  TK_BinaryArchive out;
  ASSERT_TRUE(ThePlugIn().WriteDocumentData(doc, out, {}));
  EXPECT_EQ(out.Buffer(), LittleEndianBytes().Int(1).Int(1).Bool(true).Bool(false).Bool(false).bytes);
  TK_BinaryArchive cut_short(LittleEndianBytes().Int(1).Int(1).Bool(true).bytes);
  EXPECT_FALSE(ThePlugIn().ReadDocumentData(doc, cut_short, {}));
  TK_BinaryArchive old(LittleEndianBytes().Int(1).Int(0).Bool(false).Bool(true).bytes);  // 1.0: two flags
  ASSERT_TRUE(ThePlugIn().ReadDocumentData(doc, old, {}));
  EXPECT_TRUE(!record.m_use_wallpaper && record.m_stretch_wallpaper && !record.m_favor_memory);

  // Through files; one saved by a host without the plug-in leaves the record as it was.
  KavraApp().RegisterDocumentDataClient(ThePlugIn().DocumentDataClient());
  const std::filesystem::path with = std::filesystem::path(DM_BINARY_DIR) / "plugin-with-data.kvd",
                              without = std::filesystem::path(DM_BINARY_DIR) / "plugin-without-data.kvd";
  ASSERT_TRUE(CKavraDocumentFile().Write(doc, with).Ok());
  ASSERT_TRUE(CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, without).Ok());
  (record = CDMRenderUserData()).m_favor_memory = true;
  CKavraDoc first, second;
  ASSERT_TRUE(CKavraDocumentFile().Read(with, first).Ok());
  EXPECT_TRUE(!record.m_use_wallpaper && record.m_stretch_wallpaper && !record.m_favor_memory);
  record.m_use_wallpaper = true;
  ASSERT_TRUE(CKavraDocumentFile().Read(without, second).Ok());
  EXPECT_TRUE(record.m_use_wallpaper && record.m_stretch_wallpaper && !record.m_favor_memory);
  KavraApp().UnRegisterDocumentDataClient(ThePlugIn().DocumentDataClient());
  std::filesystem::remove(with);
  std::filesystem::remove(without);
}

TEST_F(PlugInTest, RendersCompleteInThePlugInsWindowClearTheFlagsMapTheHostsCodesAndTakeOptions) {
  CKavraDoc doc;
  doc.AddView(CKavraView(TK_ScnView(), 16, 12));
  CKavraCommandContext context(doc);
  for (bool window : {false, true}) {
    ThePlugIn().MarkSceneChanged(true);
    PrintCapture capture;
    EXPECT_EQ(window ? ThePlugIn().RenderWindow(context, false, doc.ActiveView(), RECT{0, 0, 20, 10})
                     : ThePlugIn().Render(context, true), KvCommandResult::success);
    EXPECT_EQ(capture.text, L"Render completed\n");
    EXPECT_FALSE(ThePlugIn().Watcher().SceneChanged());
    auto* frame = dynamic_cast<CRenderFrame*>(context.LastRenderFrame());
    ASSERT_TRUE(frame && frame->GetRenderView());
    EXPECT_TRUE(frame->GetRenderView()->Bitmap().Width() == (window ? 20 : 16) && frame->MessageText().str() == L"Completed");
  }
  CKavraDoc empty;  // no view: the host refuses and the text says so
  CKavraCommandContext no_view(empty);
  PrintCapture capture;
  EXPECT_EQ(ThePlugIn().Render(no_view, false), KvCommandResult::failure);
  EXPECT_EQ(capture.text, CKavraSdkRender::RenderReturnCodesToString(CKavraSdkRender::render_no_view).str() + L"\n");
  EXPECT_EQ(ThePlugIn().RenderWindow(no_view, false, nullptr, RECT{0, 0, 0, 10}), KvCommandResult::failure);
  using R = KvCommandResult;  // every code: Render, then RenderWindow
  const std::tuple<int, R, R> codes[] = {{CKavraSdkRender::render_completed, R::success, R::success},
      {CKavraSdkRender::render_cancelled, R::cancel, R::failure}, {CKavraSdkRender::render_busy, R::failure, R::failure},
      {-1, R::failure, R::failure}};
  for (const auto& [code, render, in_window] : codes) {
    EXPECT_EQ(CRenderSystemPlugIn::RenderResult(code), render) << code;
    EXPECT_EQ(CRenderSystemPlugIn::RenderWindowResult(code), in_window) << code;
  }
  // The favor-memory option applies to one render only. The record's choice, the option, what the render uses.
  const std::tuple<bool, const wchar_t*, bool> cases[] = {
      {true, nullptr, true}, {true, L"0", false}, {false, L"1", true}, {false, L"yes", false}};
  for (const auto& [stored, option, used] : cases) {
    ThePlugIn().GetRenderUserData().m_favor_memory = stored;
    if (option) context.SetOption(L"favor-memory", option);
    EXPECT_EQ(ThePlugIn().RenderSettingsFor(context).m_favor_memory, used) << stored;
    EXPECT_EQ(ThePlugIn().GetRenderUserData().m_favor_memory, stored);
  }
}

}  // namespace
