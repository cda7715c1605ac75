#include "ui/RenderView.h"

#include <algorithm>
#include <cstdlib>

#include "engine/RenderSession.h"
#include "host/app/Doc.h"
#include "host/app/Localize.h"
#include "host/platform/DC.h"
#include "host/platform/Messages.h"
#include "host/platform/PaintSurface.h"
#include "host/sdk/RenderStatus.h"
#include "resources/RenderWindowResources.h"
#include "ui/LocalizedFormat.h"
#include "ui/RenderFrame.h"

namespace {

constexpr unsigned kHandCursorResource = 132;
constexpr unsigned kPatternResource = 6001;
constexpr COLORREF kBlack = MakeColorRef(0, 0, 0);

RECT Grown(const RECT& r, int by) { return {r.left - by, r.top - by, r.right + by, r.bottom + by}; }

}  // namespace

CRenderView::CRenderView(CRenderFrame& frame)
    : CKavraSdkRenderViewWnd(frame), m_frame(frame), m_hand_cursor(LoadCursorResource(kHandCursorResource)) {}

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
  // From here until its last status the worker owns the bitmap.
  m_worker_done = false;
  m_final_rows = 0;
  m_unwritten = session->BackgroundColorRef();
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

const KvDisplayImage& CRenderView::ShownImage() {
  if (m_worker_done) {
    m_shown.Refresh(m_bitmap, m_final_rows, m_unwritten);
  } else if (const CRenderSession* session = m_frame.RenderSession()) {
    m_shown.Refresh(m_bitmap, session->RowsWritten(), m_unwritten);
  }
  return m_shown;
}

COLORREF CRenderView::BackgroundColour() const {
  const CRenderSession* session = m_frame.RenderSession();
  return session ? session->BackgroundColorRef() : kBlack;
}

void CRenderView::SetZoom(int z) {
  if (z == m_zoom) return;
  m_zoom = z;
  KvViewWindow* window = Window();
  if (window) {
    const SIZE old_client = ClientSize();
    const bool had_bars = window->ScrollBarsShown();
    const bool show = z > m_fitted_zoom;
    window->ShowScrollBars(show);
    const SIZE client = ClientSize();
    if (show) {
      if (!had_bars) ResizeFrameBy(old_client, client);
      const KvDisplayImage& image = ShownImage();
      const auto scaled = [z](int size) { return z >= 0 ? size * z : size / -z; };
      const int sizes[2][2] = {{scaled(image.Width()), old_client.cx}, {scaled(image.Height()), old_client.cy}};
      for (int bar : {SB_HORZ, SB_VERT}) {
        const int range = sizes[bar][0], page = sizes[bar][1];
        ScrollOf(bar) = ScrollState{page, range, std::max((range - page) / 2, 0)};
        window->SetScrollInfo(bar, range, page, ScrollOf(bar).position);
      }
    } else {
      m_scroll[0] = m_scroll[1] = ScrollState{};
      if (had_bars) ResizeFrameBy(old_client, client);
    }
  }
  m_frame.UpdateZoomText();
  m_frame.UpdateCaption();
  InvalidateAll(true);
}

void CRenderView::ResizeFrameBy(SIZE old_client, SIZE new_client) {
  const SIZE frame = m_frame.WindowSize();
  m_frame.SetWindowSize({frame.cx + old_client.cx - new_client.cx, frame.cy + old_client.cy - new_client.cy});
}

bool CRenderView::OnEraseBackground(KvPaintSurface& surface) {
  if (ShownImage().HasPixels()) return true;  // the image covers it: never flashed
  surface.FillSolid(surface.PaintArea(), BackgroundColour());
  return true;
}

void CRenderView::OnPaint(KvPaintSurface& surface) {
  const KvDisplayImage& image = ShownImage();
  if (!image.HasPixels()) return;
  RECT client;
  GetClientRect(client);
  const int w = image.Width(), h = image.Height();
  RECT d = client;
  if (m_zoom != m_fitted_zoom) {
    const double f = m_zoom >= 1 ? double(m_zoom) : 1.0 / std::abs(m_zoom);
    const int dw = int(w * f), dh = int(h * f);
    if (f >= 1) {
      d = RECT{-Scroll(SB_HORZ).position, -Scroll(SB_VERT).position, dw - Scroll(SB_HORZ).position,
               dh - Scroll(SB_VERT).position};
    } else {
      const int dx = (client.right - dw - client.left) / 2, dy = (client.bottom - client.top - dh) / 2;
      d = RECT{dx, dy, dx + dw, dy + dh};
      PaintBackgroundAround(surface, client, d);
    }
  }
  const int dw = d.right - d.left, dh = d.bottom - d.top;
  surface.SetStretchMode(dw < w || dh < h ? HALFTONE : COLORONCOLOR);
  surface.StretchImage(d, image);
  if (m_frame.IsRendering() && m_frame.RenderSession())
    surface.Line(POINT{0, m_progress_row}, POINT{dw, m_progress_row}, ~BackgroundColour() & 0xFFFFFF);
}

// A black border two pixels wide directly around the image, the pattern
// beyond it. (The pattern stays outside both frames, so the border keeps
// its two pixels.)
void CRenderView::PaintBackgroundAround(KvPaintSurface& surface, const RECT& client, const RECT& image) {
  const RECT outer = Grown(image, 2);
  surface.ClipTo(client);
  surface.FrameRect(outer, kBlack);
  surface.FrameRect(Grown(image, 1), kBlack);
  surface.ClipToExcluding(client, outer);
  if (const KvPixmap* pattern = LoadBitmapResource(kPatternResource))
    surface.FillPattern(RECT{0, 0, client.right - client.left, client.bottom - client.top}, *pattern);
  surface.ClipTo(client);
}

void CRenderView::OnMouseWheel(int delta) {
  if (!ShownImage().HasPixels() || IsRendering()) return;
  int n = delta > 0 ? m_zoom + 1 : m_zoom - 1;
  // -1 and 0 are no zooms: the step between 1 and -2 skips them.
  if (n == -1 || n == 0) n = delta > 0 ? 1 : -2;
  n = std::clamp(n, -kMaxZoom, kMaxZoom);
  if (n != m_zoom) SetZoom(n);
}

void CRenderView::OnScroll(int bar, int code, int track) {
  ScrollState& s = ScrollOf(bar);
  const int line = s.page / 10;
  int change = 0;
  switch (code) {
    case SB_LINEUP: change = -line; break;
    case SB_LINEDOWN: change = line; break;
    case SB_PAGEUP: change = -s.page; break;
    case SB_PAGEDOWN: change = s.page; break;
    case SB_THUMBTRACK: change = track - s.position; break;
    default: break;  // thumb position, end scroll, top, bottom
  }
  if (change == 0) return;
  int position = s.position + change;
  if (position < 0) position = 0;
  if (position > s.range - s.page) position = s.range - s.page;
  if (position == s.position) return;
  s.position = position;
  if (KvViewWindow* window = Window()) window->SetScrollPos(bar, position);
  InvalidateAll(true);
}

void CRenderView::OnLButtonDown(POINT point) {
  KvViewWindow* window = Window();
  if (!window || m_frame.IsRendering() || m_zoom <= m_fitted_zoom) return;
  window->SetCapture();
  window->SetCursor(m_hand_cursor);
  m_pan_anchor = point;
}

void CRenderView::OnMouseMove(POINT point) {
  KvViewWindow* window = Window();
  if (!window || !window->HasCapture()) return;
  const int moves[2] = {m_pan_anchor.x - point.x, m_pan_anchor.y - point.y};
  for (int bar : {SB_HORZ, SB_VERT}) {
    ScrollState& s = ScrollOf(bar);
    s.position += moves[bar];
    if (s.position > s.range - s.page) s.position = s.range - s.page;
    else if (s.position < 0) s.position = 0;
  }
  window->SetScrollPos(SB_VERT, Scroll(SB_VERT).position);
  window->SetScrollPos(SB_HORZ, Scroll(SB_HORZ).position);
  InvalidateAll(true);
  UpdateWindow();
  m_pan_anchor = point;
}

void CRenderView::OnLButtonUp(POINT) {
  if (KvViewWindow* window = Window(); window && window->HasCapture()) window->ReleaseCapture();
}

bool CRenderView::OnSetCursor() {
  const KvViewWindow* window = Window();
  return window && window->HasCapture();  // the hand stays while panning
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
      // The worker's last word: it writes no more. Only the rows it finished
      // are shown: a row an abort cut short is not.
      if (const CRenderSession* session = m_frame.RenderSession(); session && !m_worker_done)
        m_final_rows = session->RowsWritten();
      m_worker_done = true;
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
  // The worker waits for this handler and writes no more: the bitmap is
  // this thread's from here.
  m_worker_done = true;
  m_final_rows = m_bitmap.Height();
  m_completed = true;
  m_progress_row = -1;
  InvalidateAll(false);
  UpdateWindow();
  SetMessage(L"Rendering curves, wires and annotations...");
  if (WireOverlayWanted()) {
    DrawWiresInDIB(m_bitmap, true);
    m_shown.Reset();
  }
  SetMessage(L"Completed");
  InvalidateAll(false);
}

bool CRenderView::WireOverlayWanted() const {
  const TK_ScnRenderSettings& s = m_frame.Document().Properties().RenderSettings();
  return s.m_render_curves_and_isocurves != 0 || s.m_render_dimensions_and_text != 0 ||
         s.m_render_annotation_dots != 0 || s.m_render_points != 0 || s.m_render_mesh_wireframe != 0;
}
