// The plug-in object: identity, load banner and watcher set-up, document
// data through real document files, render commands through the host.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "engine/RenderSession.h"
#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/DocumentFile.h"
#include "host/sdk/CommandContext.h"
#include "host/sdk/SdkRender.h"
#include "host/toolkit/BinaryArchive.h"
#include "plugin/PlugInExports.h"
#include "plugin/RenderSystemPlugIn.h"
#include "support/LittleEndianBytes.h"
#include "ui/RenderFrame.h"
#include "ui/RenderView.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// "Mar 31 2006 10:48:53": month, day (space-padded), year, time.
bool IsBuildDateText(const std::string& text) {
  const std::string shape = "Aaa #9 9999 99:99:99";
  if (text.size() != shape.size()) return false;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const char c = text[i];
    const bool ok = shape[i] == 'A'   ? std::isupper(static_cast<unsigned char>(c)) != 0
                    : shape[i] == 'a' ? std::islower(static_cast<unsigned char>(c)) != 0
                    : shape[i] == '9' ? std::isdigit(static_cast<unsigned char>(c)) != 0
                    : shape[i] == '#' ? c == ' ' || (c >= '1' && c <= '3')
                                      : c == shape[i];
    if (!ok) return false;
  }
  return true;
}

TK_UUID PlugInId() {
  TK_UUID id;
  ThePlugIn().PlugInID(id);
  return id;
}

// Captures what the application prints while it lives.
class PrintCapture {
public:
  PrintCapture() : old_(KavraApp().SetOutputSink([this](const std::wstring& text) { text_ += text; })) {}
  ~PrintCapture() { KavraApp().SetOutputSink(old_); }
  const std::wstring& Text() const { return text_; }

private:
  std::wstring text_;
  CKavraApp::OutputSink old_;
};

// The record back at its defaults and the watcher clear, before and after.
class PlugInTest : public ::testing::Test {
protected:
  void SetUp() override { Reset(); }
  void TearDown() override {
    ThePlugIn().OnUnloadPlugIn();
    KavraApp().SetActiveDoc(nullptr);
    Reset();
  }
  static void Reset() {
    ThePlugIn().GetRenderUserData() = CDMRenderUserData();
    ThePlugIn().MarkSceneChanged(false);
    ThePlugIn().MarkLightsChanged(false);
  }
};

}  // namespace

TEST(PlugInIdentity, NameIdentifierVersionAndExports) {
  EXPECT_EQ(ThePlugIn().PlugInName().str(), L"DuskMoth Render");
  EXPECT_EQ(PlugInId().ToString(), "1706366F-99F0-40D5-AAE1-41131FD6B2F5");
  const std::string version = Narrow(ThePlugIn().PlugInVersion().str());
  EXPECT_TRUE(IsBuildDateText(version)) << version;
  EXPECT_FALSE(IsBuildDateText("Mar 31 2006 10:48"));
  // Kept once: the same text every time.
  EXPECT_EQ(ThePlugIn().PlugInVersion().str(), ThePlugIn().PlugInVersion().str());
  EXPECT_EQ(KavraPlugInSdkVersion(), 200211190);
  EXPECT_EQ(KavraPlugInSdkServiceRelease(), 200404200);
  EXPECT_NE(std::wstring(KavraPlugInDeveloperAddress()).find(L"\r\n"), std::wstring::npos);
  for (const wchar_t* text : {KavraPlugInDeveloperOrganization(), KavraPlugInDeveloperCountry(),
                              KavraPlugInDeveloperPhone(), KavraPlugInDeveloperFax(), KavraPlugInDeveloperEmail(),
                              KavraPlugInDeveloperWebsite(), KavraPlugInUpdateURL()})
    EXPECT_GT(std::wcslen(text), 0u);
}

TEST(PlugInIdentity, HostQueriesAndMaterialSlots) {
  CRenderSystemPlugIn& plugin = ThePlugIn();
  EXPECT_TRUE(plugin.PlugInQueryA());
  EXPECT_EQ(plugin.PlugInQueryB(), 2);
  EXPECT_FALSE(plugin.PlugInQueryC(L"anything"));
  EXPECT_FALSE(plugin.PlugInQueryD());
  EXPECT_TRUE(plugin.EnableEditMaterialButton());
  TK_Material material;
  material.SetName(L"Clay");
  EXPECT_FALSE(plugin.OnEditMaterial(nullptr, material));
  EXPECT_EQ(material.Name().str(), L"Clay");
  CKavraDoc doc;
  EXPECT_EQ(plugin.CreateRenderPropertiesPage(doc, nullptr), nullptr);
  CKavraDoc other;
  EXPECT_TRUE(plugin.HasDocumentData(other));
}

TEST(PlugInIdentity, HelpIsTheHostsHelp) {
  EXPECT_EQ(ThePlugIn().DisplayHelp(nullptr, 5002), KavraApp().DoHelp(5002));
  EXPECT_FALSE(ThePlugIn().DisplayHelp(nullptr, 987654));
}

TEST_F(PlugInTest, LoadPrintsOneBannerLineAndSetsUpTheWatcher) {
  KavraApp().SetActiveDoc(nullptr);
  PrintCapture capture;
  EXPECT_EQ(ThePlugIn().OnLoadPlugIn(), 1);
  EXPECT_EQ(capture.Text(), L"Loading DuskMoth Render, version " + ThePlugIn().PlugInVersion().str() + L"\n");
  const CDocumentWatcher& watcher = ThePlugIn().Watcher();
  EXPECT_TRUE(watcher.IsRegistered());
  EXPECT_TRUE(watcher.IsEnabled());
  // No active document: not told about one.
  EXPECT_FALSE(watcher.SceneChanged());
  EXPECT_FALSE(watcher.LightsChanged());
  ThePlugIn().OnUnloadPlugIn();
  EXPECT_FALSE(watcher.IsRegistered());
  EXPECT_FALSE(watcher.IsEnabled());
}

TEST_F(PlugInTest, LoadWithAnActiveDocumentMarksEverythingChanged) {
  CKavraDoc doc;
  KavraApp().SetActiveDoc(&doc);
  PrintCapture capture;
  EXPECT_EQ(ThePlugIn().OnLoadPlugIn(), 1);
  const CDocumentWatcher& watcher = ThePlugIn().Watcher();
  EXPECT_TRUE(watcher.IsRegistered());
  EXPECT_TRUE(watcher.IsEnabled());
  EXPECT_TRUE(watcher.SceneChanged());
  EXPECT_TRUE(watcher.LightsChanged());
  EXPECT_EQ(watcher.ObjectChange3(), 1);
  EXPECT_EQ(watcher.LightDeleted(), 1);
  // Registered watchers hear the host: closing a document clears them.
  doc.RaiseEvent([&](CKavraEventWatcher& w) { w.OnCloseDocument(doc); });
  EXPECT_FALSE(watcher.SceneChanged());
  EXPECT_FALSE(watcher.LightsChanged());
}

TEST_F(PlugInTest, MarkOperationsMoveTheirGroups) {
  ThePlugIn().MarkSceneChanged(true);
  EXPECT_TRUE(ThePlugIn().Watcher().SceneChanged());
  EXPECT_FALSE(ThePlugIn().Watcher().LightsChanged());
  ThePlugIn().MarkLightsChanged(true);
  ThePlugIn().MarkSceneChanged(false);
  EXPECT_FALSE(ThePlugIn().Watcher().SceneChanged());
  EXPECT_TRUE(ThePlugIn().Watcher().LightsChanged());
}

TEST_F(PlugInTest, DocumentDataIsTheRecordInVersionOneOne) {
  CDMRenderUserData& record = ThePlugIn().GetRenderUserData();
  EXPECT_EQ(&record, &ThePlugIn().GetRenderUserData());
  record.m_use_wallpaper = true;
  record.m_stretch_wallpaper = false;
  record.m_favor_memory = false;
  CKavraDoc doc;
  TK_BinaryArchive out;
  ASSERT_TRUE(ThePlugIn().WriteDocumentData(doc, out, {}));
  EXPECT_EQ(out.Buffer(), LittleEndianBytes().Int(1).Int(1).Bool(true).Bool(false).Bool(false).bytes);

  // An older document's 1.0 data: two flags, the third kept.
  TK_BinaryArchive old(LittleEndianBytes().Int(1).Int(0).Bool(false).Bool(true).bytes);
  ASSERT_TRUE(ThePlugIn().ReadDocumentData(doc, old, {}));
  EXPECT_FALSE(record.m_use_wallpaper);
  EXPECT_TRUE(record.m_stretch_wallpaper);
  EXPECT_FALSE(record.m_favor_memory);
  EXPECT_EQ(record.m_archive_minor, 0);
  // Cut short: the read fails.
  TK_BinaryArchive short_data(LittleEndianBytes().Int(1).Int(1).Bool(true).bytes);
  EXPECT_FALSE(ThePlugIn().ReadDocumentData(doc, short_data, {}));
}

TEST_F(PlugInTest, DocumentsCarryTheFlagsAndOneWithoutDataKeepsThem) {
  KavraApp().RegisterDocumentDataClient(ThePlugIn().DocumentDataClient());
  const std::filesystem::path folder = std::filesystem::path(DM_BINARY_DIR) / "plugin-document-data";
  std::filesystem::create_directories(folder);
  const std::filesystem::path with_data = folder / "with-data.kvd";
  const std::filesystem::path without_data = folder / "without-data.kvd";

  CDMRenderUserData& record = ThePlugIn().GetRenderUserData();
  record.m_use_wallpaper = true;
  record.m_stretch_wallpaper = true;
  record.m_favor_memory = false;
  {
    CKavraDoc doc;
    ASSERT_TRUE(CKavraDocumentFile().Write(doc, with_data).Ok());
    // The block as the file holds it, read back by a host without the plug-in.
    CKavraDoc raw;
    ASSERT_TRUE(CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Read(with_data, raw).Ok());
    ASSERT_NE(raw.PlugInData(PlugInId()), nullptr);
    EXPECT_EQ(*raw.PlugInData(PlugInId()), LittleEndianBytes().Int(1).Int(1).Bool(true).Bool(true).Bool(false).bytes);
    // A document saved by a host without the plug-in has no block.
    ASSERT_TRUE(CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(doc, without_data).Ok());
  }
  record = CDMRenderUserData();
  CKavraDoc first;
  ASSERT_TRUE(CKavraDocumentFile().Read(with_data, first).Ok());
  EXPECT_TRUE(record.m_use_wallpaper);
  EXPECT_TRUE(record.m_stretch_wallpaper);
  EXPECT_FALSE(record.m_favor_memory);
  CKavraDoc second;
  ASSERT_TRUE(CKavraDocumentFile().Read(without_data, second).Ok());
  EXPECT_EQ(second.PlugInData(PlugInId()), nullptr);
  EXPECT_TRUE(record.m_use_wallpaper);
  EXPECT_TRUE(record.m_stretch_wallpaper);
  EXPECT_FALSE(record.m_favor_memory);
  KavraApp().UnRegisterDocumentDataClient(ThePlugIn().DocumentDataClient());
  std::filesystem::remove_all(folder);
}

TEST(PlugInRender, CommandResultsForEveryHostCode) {
  using R = KvCommandResult;
  const std::pair<int, std::pair<R, R>> expected[] = {
      {CKavraSdkRender::render_completed, {R::success, R::success}},
      {CKavraSdkRender::render_failed, {R::failure, R::failure}},
      {CKavraSdkRender::render_cancelled, {R::cancel, R::failure}},
      {CKavraSdkRender::render_no_view, {R::failure, R::failure}},
      {CKavraSdkRender::render_bad_image_size, {R::failure, R::failure}},
      {CKavraSdkRender::render_scene_refused, {R::failure, R::failure}},
      {CKavraSdkRender::render_no_window, {R::failure, R::failure}},
      {CKavraSdkRender::render_start_failed, {R::failure, R::failure}},
      {CKavraSdkRender::render_busy, {R::failure, R::failure}},
      {-1, {R::failure, R::failure}},
  };
  for (const auto& [code, results] : expected) {
    EXPECT_EQ(CRenderSystemPlugIn::RenderResult(code), results.first) << code;
    EXPECT_EQ(CRenderSystemPlugIn::RenderWindowResult(code), results.second) << code;
  }
}

TEST_F(PlugInTest, FavorMemoryOptionAppliesToOneRenderOnly) {
  CKavraDoc doc;
  CKavraCommandContext context(doc);
  ThePlugIn().GetRenderUserData().m_favor_memory = true;
  EXPECT_TRUE(ThePlugIn().RenderSettingsFor(context).m_favor_memory);
  context.SetOption(L"favor-memory", L"0");
  const CDMRenderUserData speed = ThePlugIn().RenderSettingsFor(context);
  EXPECT_FALSE(speed.m_favor_memory);
  EXPECT_TRUE(ThePlugIn().GetRenderUserData().m_favor_memory);
  // The session takes its band height from the copy.
  EXPECT_EQ(CRenderSession(doc, &ThePlugIn(), speed).BandHeight(), 32);
  ThePlugIn().GetRenderUserData().m_favor_memory = false;
  context.SetOption(L"favor-memory", L"1");
  const CDMRenderUserData memory = ThePlugIn().RenderSettingsFor(context);
  EXPECT_TRUE(memory.m_favor_memory);
  EXPECT_EQ(CRenderSession(doc, &ThePlugIn(), memory).BandHeight(), 4);
  EXPECT_FALSE(ThePlugIn().GetRenderUserData().m_favor_memory);
  // Anything else leaves the record's choice.
  context.SetOption(L"favor-memory", L"yes");
  EXPECT_FALSE(ThePlugIn().RenderSettingsFor(context).m_favor_memory);
}

TEST_F(PlugInTest, RenderThroughTheHostCompletesInThePlugInsRenderWindow) {
  CKavraDoc doc;
  doc.AddView(CKavraView(TK_ScnView(), 16, 12));
  CKavraCommandContext context(doc);
  ThePlugIn().MarkSceneChanged(true);
  {
    PrintCapture capture;
    EXPECT_EQ(ThePlugIn().Render(context, true), KvCommandResult::success);
    EXPECT_EQ(context.RenderCode(), CKavraSdkRender::render_completed);
    EXPECT_EQ(capture.Text(), L"Render completed\n");
    // A completed render clears the change flags.
    EXPECT_FALSE(ThePlugIn().Watcher().SceneChanged());
  }
  // The window is the plug-in's, with the image in its view.
  auto* frame = dynamic_cast<CRenderFrame*>(context.LastRenderFrame());
  ASSERT_NE(frame, nullptr);
  ASSERT_NE(frame->GetRenderView(), nullptr);
  EXPECT_EQ(frame->GetRenderView()->Bitmap().Width(), 16);
  EXPECT_EQ(frame->GetRenderView()->Bitmap().Height(), 12);
  EXPECT_EQ(frame->MessageText().str(), L"Completed");

  ThePlugIn().MarkSceneChanged(true);
  {
    PrintCapture capture;
    const RECT rect{0, 0, 20, 10};
    EXPECT_EQ(ThePlugIn().RenderWindow(context, false, doc.ActiveView(), rect), KvCommandResult::success);
    EXPECT_EQ(capture.Text(), L"Render completed\n");
    EXPECT_FALSE(ThePlugIn().Watcher().SceneChanged());
  }
  EXPECT_EQ(context.RenderFrameCount(), 2);
  auto* second = dynamic_cast<CRenderFrame*>(context.LastRenderFrame());
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->GetRenderView()->Bitmap().Width(), 20);

  // No view: the host refuses and the text says so.
  CKavraDoc empty;
  CKavraCommandContext no_view(empty);
  PrintCapture capture;
  EXPECT_EQ(ThePlugIn().Render(no_view, false), KvCommandResult::failure);
  EXPECT_EQ(capture.Text(),
            CKavraSdkRender::RenderReturnCodesToString(CKavraSdkRender::render_no_view).str() + L"\n");
  const RECT bad{0, 0, 0, 10};
  EXPECT_EQ(ThePlugIn().RenderWindow(no_view, false, nullptr, bad), KvCommandResult::failure);
}

TEST_F(PlugInTest, SessionClearsTheChangeFlagsThroughItsClearer) {
  CKavraDoc doc;
  CRenderSession session(doc, &ThePlugIn(), ThePlugIn().GetRenderUserData());
  // Without a clearer there is nothing to clear, and the answer is still true.
  EXPECT_TRUE(session.ClearSceneChangeFlags());
  ThePlugIn().MarkSceneChanged(true);
  ThePlugIn().MarkLightsChanged(true);
  int calls = 0;
  session.SetSceneChangeFlagsClearer([&calls] {
    ++calls;
    ThePlugIn().MarkSceneChanged(false);
    ThePlugIn().MarkLightsChanged(false);
  });
  EXPECT_TRUE(session.ClearSceneChangeFlags());
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(ThePlugIn().Watcher().SceneChanged());
  EXPECT_FALSE(ThePlugIn().Watcher().LightsChanged());
}
