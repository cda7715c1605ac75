#include "host/sdk/SdkRenderViewWnd.h"

#include <algorithm>

#include "host/sdk/SdkRenderFrame.h"

CKavraSdkRenderViewWnd::CKavraSdkRenderViewWnd(CKavraSdkRenderFrame& frame) : frame_(frame) {}

// The window goes before the members its procedure reads.
CKavraSdkRenderViewWnd::~CKavraSdkRenderViewWnd() { Destroy(); }

const TK_ScnView& CKavraSdkRenderViewWnd::View() const { return frame_.View(); }

bool CKavraSdkRenderViewWnd::CreateWindow() {
  if (Handle() != nullptr) return false;
  unsigned style = 0;
  if (!PreCreateWindow(style)) return false;
  KvFrameWindow* frame_window = frame_.Window();
  if (!frame_window) return false;
  style_ = style;
  if (!Create()) return false;
  window_ = frame_window->CreateViewWindow(*this);
  return true;
}

void CKavraSdkRenderViewWnd::DestroyWindow() {
  if (Handle() == nullptr) return;
  OnDestroy();
  Destroy();
  window_.reset();
}

bool CKavraSdkRenderViewWnd::PreCreateWindow(unsigned&) { return true; }

void CKavraSdkRenderViewWnd::OnDestroy() {}

SIZE CKavraSdkRenderViewWnd::ClientSize() const { return window_ ? window_->ClientSize() : SIZE{}; }

void CKavraSdkRenderViewWnd::GetClientRect(RECT& rect) const {
  const SIZE size = ClientSize();
  rect = RECT{0, 0, size.cx, size.cy};
}

void CKavraSdkRenderViewWnd::Invalidate(const RECT& area, bool erase) {
  if (window_) window_->Invalidate(area, erase);
}

void CKavraSdkRenderViewWnd::UpdateWindow() {
  if (window_) window_->UpdateWindow();
}

bool CKavraSdkRenderViewWnd::OnEraseBackground(KvPaintSurface&) { return false; }
void CKavraSdkRenderViewWnd::OnPaint(KvPaintSurface&) {}
void CKavraSdkRenderViewWnd::OnMouseWheel(int) {}
void CKavraSdkRenderViewWnd::OnScroll(int, int, int) {}
void CKavraSdkRenderViewWnd::OnLButtonDown(POINT) {}
void CKavraSdkRenderViewWnd::OnMouseMove(POINT) {}
void CKavraSdkRenderViewWnd::OnLButtonUp(POINT) {}
bool CKavraSdkRenderViewWnd::OnSetCursor() { return false; }

CKavraDib* CKavraSdkRenderViewWnd::ResultBitmap() { return nullptr; }

bool CKavraSdkRenderViewWnd::FitFrameToImage() { return false; }

bool CKavraSdkRenderViewWnd::DrawWiresInDIB(CKavraDib&, bool) {
  ++draw_wires_count_;
  return true;
}

bool CKavraSdkRenderViewWnd::Completed() const {
  return std::find(codes_.begin(), codes_.end(), status_completed) != codes_.end();
}

bool CKavraSdkRenderViewWnd::Aborted() const {
  return std::find(codes_.begin(), codes_.end(), status_aborted) != codes_.end();
}

LRESULT CKavraSdkRenderViewWnd::OnRenderStatus(WPARAM, LPARAM) { return 0; }

LRESULT CKavraSdkRenderViewWnd::OnMessage(UINT, WPARAM, LPARAM) { return 0; }

LRESULT CKavraSdkRenderViewWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_RENDER_STATUS) return OnMessage(message, wParam, lParam);
  codes_.push_back(int(wParam));
  return OnRenderStatus(wParam, lParam);
}
