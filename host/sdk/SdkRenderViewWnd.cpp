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
  style_ = style;
  return Create();
}

void CKavraSdkRenderViewWnd::DestroyWindow() {
  if (Handle() == nullptr) return;
  OnDestroy();
  Destroy();
}

bool CKavraSdkRenderViewWnd::PreCreateWindow(unsigned&) { return true; }

void CKavraSdkRenderViewWnd::OnDestroy() {}

SIZE CKavraSdkRenderViewWnd::ClientSize() const { return frame_.ClientSize(); }

void CKavraSdkRenderViewWnd::GetClientRect(RECT& rect) const {
  const SIZE size = ClientSize();
  rect = RECT{0, 0, size.cx, size.cy};
}

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
