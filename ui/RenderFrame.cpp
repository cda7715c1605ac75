#include "ui/RenderFrame.h"

#include <algorithm>
#include <cstdlib>

#include <filesystem>
#include <functional>

#include "engine/RenderSession.h"
#include "host/app/App.h"
#include "host/app/ImageSaving.h"
#include "host/app/Localize.h"
#include "host/sdk/SdkRender.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"
#include "plugin/RenderSystemPlugIn.h"
#include "resources/RenderWindowResources.h"
#include "ui/LocalizedFormat.h"
#include "ui/RenderView.h"

namespace {

// Numbers untitled render windows: the first render started is number 00.
int untitled_render_counter = -1;

constexpr int kScreenMargin = 50;

}  // namespace

CRenderFrame::CRenderFrame(CKavraDoc& doc) : CKavraSdkRenderFrame(doc) {}

bool CRenderFrame::PreCreateWindow(unsigned& style) {
  style |= kClipStyles;
  return CKavraSdkRenderFrame::PreCreateWindow(style);
}

void CRenderFrame::OnShowWindow(bool show, int status) {
  constexpr unsigned resources = CRenderSystemPlugIn::kRenderWindowResource;
  if (KvFrameWindow* window = Window()) {
    if (!m_icon && (m_icon = LoadIconResource(resources))) window->SetIcon(*m_icon);
    if (!m_menu_loaded) {
      if (const KvMenuItem* resource = LoadMenuResource(resources)) {
        KvMenuItem menu = *resource;
        KvLocalizeMenus(menu, 0);
        window->SetMenu(menu);
        m_menu_loaded = true;
      }
    }
  }
  if (show) {
    if (m_base_caption.IsEmpty()) {
      m_base_caption = WindowText();
      UpdateZoomText();
      UpdateCaption();
    }
    if (status == kOwnerRestoring && !m_saved_owner_caption.IsEmpty()) {
      SetHostWindowText(m_saved_owner_caption);
      m_saved_owner_caption = TK_wString();
    }
  } else if (status == kOwnerMinimizing && IsRendering()) {
    m_saved_owner_caption = TK_wString(HostWindowText().str().substr(0, kMaxOwnerCaption));
    SetHostWindowText(KvLocalizeString(L"Rendering..."));
  }
  CKavraSdkRenderFrame::OnShowWindow(show, status);
}

std::unique_ptr<CKavraSdkRenderViewWnd> CRenderFrame::CreateRenderView() {
  return std::make_unique<CRenderView>(*this);
}

bool CRenderFrame::StartRendering() {
  CRenderView* view = GetRenderView();
  if (!view || !view->StartRendering()) return false;
  ++untitled_render_counter;
  UpdateCaption();
  return true;
}

bool CRenderFrame::IsRendering() const {
  const CRenderView* view = GetRenderView();
  return view && view->IsRendering();
}

bool CRenderFrame::StopRendering() {
  if (CRenderView* view = GetRenderView()) view->StopRendering();
  return CKavraSdkRenderFrame::StopRendering();
}

CRenderView* CRenderFrame::GetRenderView() const {
  // The only view this frame makes is a CRenderView.
  return static_cast<CRenderView*>(RenderView());
}

CRenderSession* CRenderFrame::RenderSession() const { return dynamic_cast<CRenderSession*>(Session()); }

CRenderFrame::Fit CRenderFrame::FitToScreen(SIZE image, SIZE overhead, SIZE maximized) {
  // A screen smaller than the margin still gets a usable pixel.
  const long long usable_w = std::max(maximized.cx - kScreenMargin, 1);
  const long long usable_h = std::max(maximized.cy - kScreenMargin, 1);
  const long long needed_w = static_cast<long long>(image.cx) + overhead.cx;
  const long long needed_h = static_cast<long long>(image.cy) + overhead.cy;
  if (needed_w <= usable_w && needed_h <= usable_h) return {1, SIZE{int(needed_w), int(needed_h)}};
  const long long kw = needed_w > usable_w ? (needed_w + usable_w - 1) / usable_w : 0;
  const long long kh = needed_h > usable_h ? (needed_h + usable_h - 1) / usable_h : 0;
  const int k = int(std::max(kw, kh));
  return {-k, SIZE{image.cx / k + overhead.cx, image.cy / k + overhead.cy}};
}

void CRenderFrame::FitWindowToImage() {
  CRenderView* view = GetRenderView();
  if (!view) return;
  const SIZE window = WindowSize();
  const SIZE client = view->ClientSize();
  const SIZE overhead{window.cx - client.cx, window.cy - client.cy};
  const Fit fit = FitToScreen(SIZE{ImageWidth(), ImageHeight()}, overhead, Window()->MaximizedWindowSize());
  view->SetFittedZoom(fit.zoom);
  view->SetZoom(fit.zoom);
  SetWindowSize(fit.frame);
}

void CRenderFrame::UpdateZoomText() {
  const CRenderView* view = GetRenderView();
  if (!view) return;
  const int z = view->Zoom();
  m_zoom_text = z >= 1 ? FormatLocalized(L"(%d:%d)", {z, 1}) : FormatLocalized(L"(%d:%d)", {1, std::abs(z)});
}

void CRenderFrame::UpdateCaption() {
  if (m_base_caption.IsEmpty()) return;
  TK_wString caption = m_base_caption;
  if (!m_zoom_text.IsEmpty()) caption += TK_wString(L" ") + m_zoom_text;
  if (!m_file_name_text.IsEmpty())
    caption += TK_wString(L": ") + m_file_name_text;
  else
    caption += FormatLocalized(L": Unnamed-%2.2d", {untitled_render_counter});
  SetWindowText(caption);
}

void CRenderFrame::SetFileNameText(const TK_wString& name) {
  m_file_name_text = name;
  UpdateCaption();
}

int CRenderFrame::UntitledRenderCounter() { return untitled_render_counter; }

void CRenderFrame::OnCommand(int id) {
  using namespace render_commands;
  switch (id) {
    case kSaveAs: OnSaveAs(); return;
    case kCopy: OnCopy(); return;
    case kPrint:
      if (CRenderView* view = GetRenderView()) view->Bitmap().Print(Window());
      return;
    case kExit: OnClose(); return;
    case kDisplayHelp:
      if (CKavraRenderSystemPlugIn* plugin = PlugIn()) plugin->DisplayHelp(nullptr, kHelpTopic);
      else KavraApp().DoHelp(kHelpTopic);
      return;
    default:
      if (id >= kNormalViewing && id <= kLastZoom)
        if (CRenderView* view = GetRenderView()) view->SetZoom(ZoomOfCommand(id));
      return;
  }
}

KvCommandState CRenderFrame::OnUpdateCommand(int id) {
  using namespace render_commands;
  switch (id) {
    case kSaveAs:
    case kCopy:
    case kPrint:
    case kDisplayHelp: return {!IsRendering(), false};
    case kExit: return {true, false};
    default: break;
  }
  CRenderView* view = GetRenderView();
  if (!view || id < kNormalViewing || id > kLastZoom) return {};
  const bool running = RenderSession() && IsRendering();
  return {view->ShownImage().HasPixels() && !running, id == CommandOfZoom(view->Zoom())};
}

int CRenderFrame::ZoomOfCommand(int id) {
  using namespace render_commands;
  if (id >= kZoomIn2x && id < kZoomIn2x + 9) return id - kZoomIn2x + 2;
  if (id >= kZoomOut2x && id <= kLastZoom) return -(id - kZoomOut2x + 2);
  return 1;
}

int CRenderFrame::CommandOfZoom(int zoom) {
  using namespace render_commands;
  if (zoom >= 2 && zoom <= 10) return kZoomIn2x + zoom - 2;
  if (zoom <= -2 && zoom >= -10) return kZoomOut2x - zoom - 2;
  return kNormalViewing;
}

namespace {

// The save dialog starts where the last render image was saved; the host's
// other bitmap dialogs keep their own directory. Answers the write's result.
bool SaveWithRenderImageDirectory(const std::function<bool()>& write) {
  CKavraDirectoryManager& directories = KavraApp().DirectoryManager();
  const TK_wString bitmap_directory = directories.GetDefaultDirectory(CKavraDirectoryManager::bitmap_dialog_directory);
  directories.SetDefaultDirectory(CKavraDirectoryManager::bitmap_dialog_directory,
                                  directories.GetDefaultDirectory(CKavraDirectoryManager::render_image_directory));
  const bool written = write();
  const TK_wString ended = directories.GetDefaultDirectory(CKavraDirectoryManager::bitmap_dialog_directory);
  directories.SetDefaultDirectory(CKavraDirectoryManager::bitmap_dialog_directory, bitmap_directory);
  if (written) directories.SetDefaultDirectory(CKavraDirectoryManager::render_image_directory, ended);
  return written;
}

}  // namespace

void CRenderFrame::OnSaveAs() {
  CRenderView* view = GetRenderView();
  if (!view) return;
  CKavraDib& image = *view->ResultBitmap();
  if (!SaveWithRenderImageDirectory([&] { return KvWriteImageWithDialog(image, Window()); })) return;
  const std::filesystem::path saved(image.LastSaveName().ToUtf8());
  SetFileNameText(TK_wString::FromUtf8(saved.filename().string()));
}

bool CRenderFrame::SaveImage(const TK_wString* path) {
  CRenderView* view = GetRenderView();
  if (!view) return false;
  CKavraDib& image = *view->ResultBitmap();
  return SaveWithRenderImageDirectory(
      [&] { return path ? image.WriteToFile(*path) : KvWriteImageWithDialog(image, Window()); });
}

bool CRenderFrame::CopyToClipboard() {
  const CRenderView* view = GetRenderView();
  return view && view->Bitmap().CopyToClipboard(Window());
}

void CRenderFrame::OnCopy() {
  if (CopyToClipboard()) return;
  KavraMessageBox(Window(), KvLocalizeString(L"Unable to create bitmap"), KvLocalizeString(L"Copy Error"),
                  MB_OK | MB_ICONEXCLAMATION);
}
