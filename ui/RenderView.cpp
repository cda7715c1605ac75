#include "ui/RenderView.h"

#include <algorithm>

#include "engine/RenderSession.h"
#include "host/app/Doc.h"
#include "host/app/Localize.h"
#include "host/platform/Messages.h"
#include "host/sdk/RenderStatus.h"
#include "ui/LocalizedFormat.h"
#include "ui/RenderFrame.h"

namespace {

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Union(const RECT& a, const RECT& b) {
  if (IsEmpty(a)) return b;
  if (IsEmpty(b)) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

}  // namespace

CRenderView::CRenderView(CRenderFrame& frame) : CKavraSdkRenderViewWnd(frame), m_frame(frame) {}

// The window goes before the members its procedure reads.
CRenderView::~CRenderView() { Destroy(); }

bool CRenderView::PreCreateWindow(unsigned& style) {
  style |= CRenderFrame::kClipStyles;
  return CKavraSdkRenderViewWnd::PreCreateWindow(style);
}

void CRenderView::OnDestroy() {
  if (CKavraSdkRender* session = m_frame.Session()) session->AbortRender();
  CKavraSdkRenderViewWnd::OnDestroy();
}

bool CRenderView::FitFrameToImage() {
  m_frame.FitWindowToImage();
  return true;
}

bool CRenderView::StartRendering() {
  CRenderSession* session = m_frame.RenderSession();
  if (!session) return false;
  m_frame.FitWindowToImage();
  const SIZE client = ClientSize();
  if (!session->PrepareRender(this, View(), client.cx, client.cy, m_frame.ImageWidth(), m_frame.ImageHeight()))
    return false;
  return session->ResumeRender(&m_bitmap);
}

bool CRenderView::StopRendering() {
  CRenderSession* session = m_frame.RenderSession();
  if (!session) return false;
  session->SetRendering(false);
  session->AbortRender();
  return true;
}

bool CRenderView::IsRendering() const {
  const CKavraSdkRender* session = m_frame.Session();
  return session && session->IsRendering();
}

void CRenderView::SetFittedZoom(int zoom) {
  m_fitted_zoom = zoom;
  if (zoom == m_zoom) return;
  m_zoom = zoom;
  m_frame.UpdateZoomText();
  m_frame.UpdateCaption();
  InvalidateAll(true);
}

void CRenderView::Invalidate(const RECT& area, bool erase) {
  if (IsEmpty(area)) return;
  m_invalid = Union(m_invalid, area);
  m_erase = m_erase || erase;
}

void CRenderView::UpdateWindow() {
  ++m_repaints;
  m_last_repaint = m_invalid;
  m_invalid = RECT{};
  m_erase = false;
}

void CRenderView::InvalidateAll(bool erase) {
  RECT client;
  GetClientRect(client);
  Invalidate(client, erase);
}

void CRenderView::SetMessage(const wchar_t* text) { m_frame.SetMessageText(KvLocalizeString(text)); }

LRESULT CRenderView::OnRenderStatus(WPARAM code, LPARAM payload) {
  switch (RenderStatus(code)) {
    case RenderStatus::initializing:
      m_completed = false;
      SetMessage(L"Initializing...");
      InvalidateAll(false);
      UpdateWindow();
      break;
    case RenderStatus::setup_done:
      InvalidateAll(false);
      UpdateWindow();
      break;
    case RenderStatus::completed: OnCompleted(); break;
    case RenderStatus::progress: OnProgress(payload); break;
    case RenderStatus::aborted:
      m_progress_row = -1;
      SetMessage(L"Aborted");
      InvalidateAll(false);
      UpdateWindow();
      break;
    case RenderStatus::screen_projections: SetMessage(L"Calculating Screen Projections..."); break;
    case RenderStatus::lights_and_shadow_maps: SetMessage(L"Calculating Lights and Shadow Maps..."); break;
    default: break;  // never sent
  }
  return 0;
}

void CRenderView::OnProgress(LPARAM payload) {
  const int image_height = m_frame.ImageHeight();
  if (m_completed || image_height < 1) return;
  const BandProgress band = UnpackBandProgress(payload);
  const long long step = band.band_height;
  const long long count = band.band_index;
  // More rows than the image has would draw the row below the view.
  const long long rows = std::min(step * count, static_cast<long long>(image_height));
  const int row = int(ClientSize().cy * rows / image_height);
  m_progress_row = std::max(m_progress_row, row);
  // In this order, in double precision: 29 rows of 100 read 28 %.
  const int percent = int(double(rows) / image_height * 100.0);
  m_frame.SetMessageText(FormatLocalized(L"Rendering...(%d%%)", {percent}));
  Invalidate(RECT{0, 0, m_frame.ImageWidth(), m_progress_row}, false);
  UpdateWindow();
}

void CRenderView::OnCompleted() {
  // The completion is sent and so overtakes the statuses the worker posted
  // before it: those are handled first, so that the texts keep their order
  // and no late status reopens a finished render.
  MSG msg;
  while (Handle() && PeekMessage(&msg, Handle(), WM_RENDER_STATUS, WM_RENDER_STATUS, PM_REMOVE))
    DispatchMessage(&msg);
  m_completed = true;
  m_progress_row = -1;
  InvalidateAll(false);
  UpdateWindow();
  SetMessage(L"Rendering curves, wires and annotations...");
  // The worker waits meanwhile: nothing else writes the bitmap.
  if (WireOverlayWanted()) DrawWiresInDIB(m_bitmap, true);
  SetMessage(L"Completed");
  InvalidateAll(false);
}

bool CRenderView::WireOverlayWanted() const {
  const TK_ScnRenderSettings& s = m_frame.Document().Properties().RenderSettings();
  return s.m_render_curves_and_isocurves != 0 || s.m_render_dimensions_and_text != 0 ||
         s.m_render_annotation_dots != 0 || s.m_render_points != 0 || s.m_render_mesh_wireframe != 0;
}
