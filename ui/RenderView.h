#pragma once
// CRenderView: the render window's view. It owns the result bitmap that the
// worker recreates and fills, starts and stops the render session, and
// turns the worker's status messages into message-line texts, a progress row
// and redraw requests. Redraws are recorded (area, erase, repaint now) for a
// window toolkit to act on. Its frame owns it.

#include "host/platform/KavraDib.h"
#include "host/sdk/SdkRenderViewWnd.h"

class CRenderFrame;

class CRenderView : public CKavraSdkRenderViewWnd {
public:
  explicit CRenderView(CRenderFrame& frame);
  ~CRenderView() override;

  bool PreCreateWindow(unsigned& style) override;
  // A render still running is aborted before the window goes.
  void OnDestroy() override;
  CKavraDib* ResultBitmap() override { return &m_bitmap; }
  bool FitFrameToImage() override;

  // Fits the frame to the image, then prepares the session's render into
  // this window and lets its worker run on the result bitmap. False without
  // a session or when the session cannot prepare.
  bool StartRendering();
  // Clears the session's rendering flag and aborts its worker; false
  // without a session.
  bool StopRendering();
  bool IsRendering() const;

  CRenderFrame& RenderFrame() const { return m_frame; }
  const CKavraDib& Bitmap() const { return m_bitmap; }

  // Zoom: z >= 1 magnifies by z, z <= -2 reduces by -z. The fitted zoom
  // shows the whole image in the window.
  int Zoom() const { return m_zoom; }
  int FittedZoom() const { return m_fitted_zoom; }
  // Sets the fitted zoom and shows the image at it.
  void SetFittedZoom(int zoom);

  // The client row the render has reached; -1 once it completed or stopped.
  int ProgressRow() const { return m_progress_row; }
  bool CompletedFlag() const { return m_completed; }

  // Redraw requests. Invalidate adds an area to repaint (erasing the
  // background first, or not); UpdateWindow repaints what is invalid now.
  // A window toolkit overrides both and calls these for the record.
  virtual void Invalidate(const RECT& area, bool erase);
  virtual void UpdateWindow();
  // What waits for a repaint (empty when nothing does) and whether any of
  // it asked for erasing.
  const RECT& InvalidArea() const { return m_invalid; }
  bool EraseRequested() const { return m_erase; }
  // Immediate repaints so far, and the area the last one covered.
  int RepaintCount() const { return m_repaints; }
  const RECT& LastRepaintArea() const { return m_last_repaint; }

protected:
  LRESULT OnRenderStatus(WPARAM code, LPARAM payload) override;

private:
  void InvalidateAll(bool erase);
  void SetMessage(const wchar_t* text);
  void OnProgress(LPARAM payload);
  void OnCompleted();
  bool WireOverlayWanted() const;

  CRenderFrame& m_frame;
  int m_zoom = 1;
  CKavraDib m_bitmap;
  int m_fitted_zoom = 1;
  int m_progress_row = 0;
  bool m_completed = false;
  RECT m_invalid{};
  bool m_erase = false;
  int m_repaints = 0;
  RECT m_last_repaint{};
};
