#pragma once
// CKavraSdkRenderViewWnd: base of a plug-in's render view, the child window
// of a render frame that receives the worker's WM_RENDER_STATUS messages on
// the host thread. It records every status code it sees, so that the host
// knows how the render ended, then hands the message to OnRenderStatus. Its
// toolkit window (made by the frame's window, owned here) reports paints,
// the mouse and the scroll bars through the handlers below. The result
// bitmap is the plug-in view's own (ResultBitmap). Its frame owns it.

#include <memory>
#include <vector>

#include "host/platform/NativeWindows.h"
#include "host/platform/Window.h"
#include "host/sdk/RenderStatus.h"
#include "host/toolkit/ScnView.h"

class CKavraDib;
class CKavraSdkRenderFrame;

// The worker's status message: wParam a status code, lParam a payload.
inline constexpr UINT WM_RENDER_STATUS = WM_USER + 0x101;

class CKavraSdkRenderViewWnd : public KvWindow, private KvViewEvents {
public:
  // Status codes the host reads the outcome from.
  static constexpr int status_completed = int(RenderStatus::completed);
  static constexpr int status_aborted = int(RenderStatus::aborted);

  explicit CKavraSdkRenderViewWnd(CKavraSdkRenderFrame& frame);
  ~CKavraSdkRenderViewWnd() override;

  CKavraSdkRenderFrame& Frame() const { return frame_; }
  // The view record rendered in this window.
  const TK_ScnView& View() const;

  // PreCreateWindow, then the window on the calling thread, inside the
  // frame's toolkit window. False when refused, already a window or the
  // frame has no window.
  bool CreateWindow();
  // OnDestroy, then the window goes; nothing when it is not a window.
  void DestroyWindow();
  virtual bool PreCreateWindow(unsigned& style);
  virtual void OnDestroy();
  unsigned Style() const { return style_; }

  // The toolkit's window: null while this is not a window.
  KvViewWindow* Window() const { return window_.get(); }
  // The client area, at (0, 0); empty while this is not a window.
  SIZE ClientSize() const;
  void GetClientRect(RECT& rect) const;
  // Marks an area for repainting (erasing first or not) and repaints what
  // is marked now; nothing while this is not a window.
  void Invalidate(const RECT& area, bool erase);
  void UpdateWindow();

  // Window handlers; the defaults do what a plain window does: nothing, and
  // no background painted.
  bool OnEraseBackground(KvPaintSurface& surface) override;
  void OnPaint(KvPaintSurface& surface) override;
  void OnMouseWheel(int delta) override;
  void OnScroll(int bar, int code, int track) override;
  void OnLButtonDown(POINT point) override;
  void OnMouseMove(POINT point) override;
  void OnLButtonUp(POINT point) override;
  bool OnSetCursor() override;

  // The plug-in view's result bitmap; null by default.
  virtual CKavraDib* ResultBitmap();
  // Sizes the frame to show the image; the default leaves it.
  virtual bool FitFrameToImage();

  // Draws the document's curves, wires and annotations over the image. Our
  // documents hold render meshes only, so there is nothing to draw: answers
  // true and leaves the bitmap as it is.
  bool DrawWiresInDIB(CKavraDib& bitmap, bool flag);
  int DrawWiresCount() const { return draw_wires_count_; }

  // Status codes received, in order.
  const std::vector<int>& StatusCodes() const { return codes_; }
  bool Completed() const;
  bool Aborted() const;

protected:
  // WM_RENDER_STATUS, after the code was recorded. Answers 0 by default.
  virtual LRESULT OnRenderStatus(WPARAM code, LPARAM payload);
  // Every other message; 0 by default.
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) final;

  CKavraSdkRenderFrame& frame_;
  std::unique_ptr<KvViewWindow> window_;
  unsigned style_ = 0;
  std::vector<int> codes_;
  int draw_wires_count_ = 0;
};
