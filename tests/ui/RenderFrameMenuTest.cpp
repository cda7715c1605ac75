// The render window's menu: what is enabled and checked while rendering and after, and the
// commands that take the image out of the window (Save As, SaveImage, Copy, Print, Help).

#include <gtest/gtest.h>

#include <fstream>

#include "host/app/App.h"
#include "resources/RenderWindowResources.h"
#include "support/TempDir.h"
#include "ui/RenderWindowRun.h"

namespace {

using namespace render_commands;
using Kinds = CKavraDirectoryManager;

TEST(RenderFrameMenu, ZoomCommandsAndZoomsMapBothWays) {
  for (int zoom = -10; zoom <= 10; ++zoom) {
    const int id = CRenderFrame::CommandOfZoom(zoom);
    EXPECT_EQ(CRenderFrame::ZoomOfCommand(id), zoom >= -1 && zoom <= 1 ? 1 : zoom) << zoom;
  }
  EXPECT_EQ(std::tuple(CRenderFrame::CommandOfZoom(-11), CRenderFrame::ZoomOfCommand(kExit),
                       CRenderFrame::ZoomOfCommand(kLastZoom + 1), CRenderFrame::CommandOfZoom(10)),
            std::tuple(kNormalViewing, 1, 1, 32786));
  // The menu resource holds exactly these command ids, each once.
  std::vector<int> ids;
  const std::function<void(const KvMenuItem&)> collect = [&](const KvMenuItem& item) {
    if (item.id) ids.push_back(item.id);
    for (const KvMenuItem& child : item.items) collect(child);
  };
  collect(*LoadMenuResource(12000));
  std::sort(ids.begin(), ids.end());
  std::vector<int> expected{kSaveAs, kCopy, kPrint, kExit, kDisplayHelp};
  for (int id = kNormalViewing; id <= kLastZoom; ++id) expected.push_back(id);
  EXPECT_EQ(ids, expected);
}

TEST(RenderFrameMenu, EverythingButExitWaitsForTheRenderAndTheCurrentZoomIsChecked) {
  RenderWindowRun run(64, 48);
  const int ids[] = {kSaveAs, kCopy, kPrint, kDisplayHelp, kExit, kNormalViewing, kZoomIn2x, kZoomOut2x + 1};
  std::vector<KvCommandState> during;
  int zoom_after_wheel = 0;
  run.hook = [&](CRenderSession& session, const std::wstring& text) {
    if (text.rfind(L"Rendering...(", 0) != 0 || !during.empty()) return;
    auto* frame = static_cast<CRenderFrame*>(session.Frame());
    for (int id : ids) during.push_back(frame->OnUpdateCommand(id));
    frame->GetRenderView()->OnMouseWheel(120);  // no zooming either
    zoom_after_wheel = frame->GetRenderView()->Zoom();
  };
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  run.View()->SetZoom(-3);
  const KvCommandState off{false, false}, on{true, false}, ticked{true, true};
  const std::vector<KvCommandState> want_during{off, off, off, off, on, {false, true}, off, off};
  const std::vector<KvCommandState> want_after{on, on, on, on, on, on, on, ticked};
  std::vector<KvCommandState> after;
  for (int id : ids) after.push_back(run.Frame()->OnUpdateCommand(id));
  EXPECT_EQ(during, want_during);
  EXPECT_EQ(zoom_after_wheel, 1);
  EXPECT_EQ(after, want_after);
  // The menu the window shows is the localised resource: keys gone.
  EXPECT_EQ(run.FrameWindow().Menu().items[1].text.str(), L"&Edit");
  EXPECT_EQ(run.FrameWindow().Icon().sizes.size(), 2u);
  run.Frame()->OnCommand(kExit);
  EXPECT_FALSE(run.Frame()->IsWindow());
}

TEST(RenderFrameMenu, SaveAsStartsWhereTheLastRenderImageWentAndNamesTheWindow) {
  TempDir dir;
  ASSERT_TRUE(std::filesystem::create_directories(dir / "images") && std::filesystem::create_directories(dir / "new"));
  const auto wide = [](const std::filesystem::path& p) { return TK_wString::FromUtf8(p.string()); };
  Kinds& directories = KavraApp().DirectoryManager();
  directories.SetDefaultDirectory(Kinds::bitmap_dialog_directory, wide(dir / "bitmaps"));
  directories.SetDefaultDirectory(Kinds::render_image_directory, wide(dir / "images"));
  RenderWindowRun run(64, 48);
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  CRenderFrame& frame = *run.Frame();
  const std::wstring caption = frame.WindowText().str();
  KvHeadlessToolkit& toolkit = *run.toolkit.headless;

  toolkit.ScriptSaveAnswer(std::nullopt);  // cancelled: nothing changes
  frame.OnCommand(kSaveAs);
  EXPECT_EQ(toolkit.LastSaveFolder(), dir / "images");
  toolkit.ScriptSaveAnswer(dir / "missing" / "x.png");  // a folder that is not there: the write fails
  frame.OnCommand(kSaveAs);
  EXPECT_EQ(frame.WindowText().str(), caption);
  ASSERT_EQ(toolkit.Messages().size(), 1u);
  EXPECT_EQ(toolkit.Messages()[0].caption.str(), L"Save As");
  EXPECT_EQ(directories.GetDefaultDirectory(Kinds::render_image_directory), wide(dir / "images"));

  toolkit.ScriptSaveAnswer(dir / "new" / "wood.bmp");
  frame.OnCommand(kSaveAs);
  CKavraDib saved;
  ASSERT_TRUE(saved.ReadFromFile(wide(dir / "new" / "wood.bmp")));
  EXPECT_EQ(std::pair(saved.Width(), saved.Height()), std::pair(64, 48));
  EXPECT_EQ(frame.WindowText().str(), L"DuskMoth Render (1:1): wood.bmp");
  EXPECT_EQ(std::pair(directories.GetDefaultDirectory(Kinds::bitmap_dialog_directory),
                      directories.GetDefaultDirectory(Kinds::render_image_directory)),
            std::pair(wide(dir / "bitmaps"), wide(dir / "new")));
  frame.OnCommand(kSaveAs);  // the next dialog starts in the new folder
  EXPECT_EQ(toolkit.LastSaveFolder(), dir / "new");

  // The host's SaveImage writes without a dialog and leaves the caption.
  const TK_wString path = wide(dir / "host.png");
  EXPECT_TRUE(frame.SaveImage(&path) && std::filesystem::exists(dir / "host.png"));
  EXPECT_EQ(frame.WindowText().str(), L"DuskMoth Render (1:1): wood.bmp");
  EXPECT_EQ(directories.GetDefaultDirectory(Kinds::render_image_directory), wide(dir / "new"));
}

TEST(RenderFrameMenu, CopyPrintAndHelpGoThroughTheToolkitAndACopyFailureIsShown) {
  RenderWindowRun run(64, 48);
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  CRenderFrame& frame = *run.Frame();
  KvHeadlessToolkit& toolkit = *run.toolkit.headless;
  frame.OnCommand(kCopy);
  const COruDib& clip = toolkit.Clipboard();
  ASSERT_EQ(std::pair(clip.Width(), clip.Height()), std::pair(64, 48));
  for (const POINT p : {POINT{0, 0}, POINT{32, 20}, POINT{63, 47}}) {
    float a[3], b[3];
    clip.GetPixel(p.x, p.y, a[0], a[1], a[2]);
    run.View()->Bitmap().GetPixel(p.x, p.y, b[0], b[1], b[2]);
    EXPECT_TRUE(a[0] == b[0] && a[1] == b[1] && a[2] == b[2]);
  }
  EXPECT_TRUE(toolkit.Messages().empty());
  toolkit.SetClipboardRefuses(true);
  frame.OnCommand(kCopy);
  ASSERT_EQ(toolkit.Messages().size(), 1u);
  EXPECT_EQ(std::tuple(toolkit.Messages()[0].text.str(), toolkit.Messages()[0].caption.str(), toolkit.Messages()[0].style),
            std::tuple(std::wstring(L"Unable to create bitmap"), std::wstring(L"Copy Error"), 48u));
  frame.OnCommand(kPrint);  // no printer headless: printing fails quietly, nothing else changes
  EXPECT_EQ(toolkit.Messages().size(), 1u);
  frame.OnCommand(kDisplayHelp);
  ASSERT_EQ(toolkit.HelpPages().size(), 1u);
  EXPECT_EQ(toolkit.HelpPages()[0].filename(), "5002.md");
  std::ifstream page(toolkit.HelpPages()[0]);
  std::string heading;
  std::getline(page, heading);
  EXPECT_EQ(heading, "# The render window");
}

}  // namespace
