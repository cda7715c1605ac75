#include "ui/RenderFrame.h"

#include <algorithm>
#include <cstdlib>

#include "engine/RenderSession.h"
#include "host/app/Localize.h"
#include "host/sdk/SdkRender.h"
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

SIZE CRenderFrame::MaximizedWindowSize() const {
  const SIZE border = BorderSize();
  return {CKavraSdkRender::kMaxImageSide + border.cx + kScreenMargin,
          CKavraSdkRender::kMaxImageSide + border.cy + kScreenMargin};
}

void CRenderFrame::FitWindowToImage() {
  CRenderView* view = GetRenderView();
  if (!view) return;
  const SIZE window = WindowSize();
  const SIZE client = view->ClientSize();
  const SIZE overhead{window.cx - client.cx, window.cy - client.cy};
  const Fit fit = FitToScreen(SIZE{ImageWidth(), ImageHeight()}, overhead, MaximizedWindowSize());
  view->SetFittedZoom(fit.zoom);
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
