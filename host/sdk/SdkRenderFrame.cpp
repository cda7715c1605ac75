#include "host/sdk/SdkRenderFrame.h"

#include <algorithm>

#include "host/app/App.h"
#include "host/platform/Messages.h"
#include "host/sdk/SdkRender.h"
#include "host/sdk/SdkRenderViewWnd.h"

CKavraSdkRenderFrame::CKavraSdkRenderFrame(CKavraDoc& doc) : doc_(doc) {}

CKavraSdkRenderFrame::~CKavraSdkRenderFrame() {
  if (view_) view_->DestroyWindow();
}

bool CKavraSdkRenderFrame::Create() {
  if (created_) return false;
  unsigned style = 0;
  if (!PreCreateWindow(style)) return false;
  style_ = style;
  window_ = KavraApp().WindowToolkit().CreateFrameWindow(*this);
  if (!window_) return false;
  window_->SetCaption(caption_);
  window_->SetMessageText(message_);
  created_ = true;
  if (OnCreate() == -1) {
    created_ = false;
    if (view_) view_->DestroyWindow();
    view_.reset();
    window_.reset();
    return false;
  }
  window_->Show();
  OnShowWindow(true, 0);
  return true;
}

bool CKavraSdkRenderFrame::PreCreateWindow(unsigned&) { return true; }

int CKavraSdkRenderFrame::OnCreate() {
  view_ = CreateRenderView();
  if (!view_ || !view_->CreateWindow()) return -1;
  // Until someone fits it, the window shows the image at its size.
  const SIZE window = WindowSize();
  const SIZE client = view_->ClientSize();
  SetWindowSize({image_size_.cx + window.cx - client.cx, image_size_.cy + window.cy - client.cy});
  return 0;
}

void CKavraSdkRenderFrame::OnShowWindow(bool show, int) { visible_ = show; }

void CKavraSdkRenderFrame::OnClose() {
  if (!created_) return;
  if (IsRendering()) StopRendering();
  if (view_) view_->DestroyWindow();
  created_ = false;
  visible_ = false;
  if (window_) window_->Hide();
  PostMessage(nullptr, KavraSdkRenderCloseRenderFrameMsg(), 0, 0);
}

void CKavraSdkRenderFrame::OnCommand(int) {}

KvCommandState CKavraSdkRenderFrame::OnUpdateCommand(int) { return {}; }

std::unique_ptr<CKavraSdkRenderViewWnd> CKavraSdkRenderFrame::CreateRenderView() { return nullptr; }

bool CKavraSdkRenderFrame::StartRendering() { return false; }

bool CKavraSdkRenderFrame::IsRendering() const { return false; }

bool CKavraSdkRenderFrame::StopRendering() {
  stop_requested_ = true;
  return true;
}

bool CKavraSdkRenderFrame::SaveImage(const TK_wString*) { return false; }

bool CKavraSdkRenderFrame::CopyToClipboard() { return false; }

CKavraRenderSystemPlugIn* CKavraSdkRenderFrame::PlugIn() const { return plugin_; }

void CKavraSdkRenderFrame::SetMessageText(const TK_wString& text) {
  message_ = text;
  if (window_) window_->SetMessageText(message_);
  if (listener_) listener_(message_);
}

void CKavraSdkRenderFrame::SetWindowText(const TK_wString& caption) {
  caption_ = caption;
  if (window_) window_->SetCaption(caption_);
}

SIZE CKavraSdkRenderFrame::WindowSize() const { return window_ ? window_->WindowSize() : SIZE{}; }

void CKavraSdkRenderFrame::SetWindowSize(SIZE size) {
  if (window_) window_->SetWindowSize({std::max(size.cx, 0), std::max(size.cy, 0)});
}

void CKavraSdkRenderFrame::Attach(CKavraSdkRender* session, const TK_ScnView& view, SIZE image_size,
                                  unsigned resource_id) {
  session_ = session;
  plugin_ = session ? session->PlugIn() : nullptr;
  scn_view_ = view;
  image_size_ = image_size;
  resource_id_ = resource_id;
}
