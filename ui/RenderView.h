#pragma once
// CRenderView: the render window's view. It owns the result bitmap that the
// worker recreates and fills, starts and stops the render session, turns
// the worker's status messages into message-line texts, a progress row and
// repaints, and paints the image at a zoom: magnified with scroll bars and
// hand-cursor panning, reduced and centred on a patterned background, or
// stretched to the window at the fitted zoom. It paints from its own copy
// of the rows the worker has finished, never from memory the worker may be
// writing. Its frame owns it.

#include "host/platform/DisplayImage.h"
#include "host/platform/KavraDib.h"
#include "host/sdk/SdkRenderViewWnd.h"

class CRenderFrame;

class CRenderView : public CKavraSdkRenderViewWnd {
public:
  // The largest magnification and reduction of the wheel and the menu.
  static constexpr int kMaxZoom = 10;

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
  // The result bitmap; while a render runs only its worker may touch it.
  const CKavraDib& Bitmap() const { return m_bitmap; }
  // The image as this window shows it: the rows the worker has finished
  // (all of them once it completed).
  const KvDisplayImage& ShownImage();

  // Zoom: z >= 1 magnifies by z, z <= -2 reduces by -z. The fitted zoom
  // shows the whole image in the window; it may lie below -kMaxZoom.
  int Zoom() const { return m_zoom; }
  int FittedZoom() const { return m_fitted_zoom; }
  void SetFittedZoom(int zoom) { m_fitted_zoom = zoom; }
  // Shows the image at zoom z: scroll bars on exactly when z is above the
  // fitted zoom (the frame grows or shrinks by them, keeping the client
  // size), caption and zoom text updated, the view repainted.
  void SetZoom(int z);

  struct ScrollState {
    int page = 0;
    int range = 0;
    int position = 0;
    bool operator==(const ScrollState&) const = default;
  };
  const ScrollState& Scroll(int bar) const { return m_scroll[bar == SB_VERT ? 1 : 0]; }

  // The client row the render has reached; -1 once it completed or stopped.
  int ProgressRow() const { return m_progress_row; }
  bool CompletedFlag() const { return m_completed; }

  // Window handlers.
  bool OnEraseBackground(KvPaintSurface& surface) override;
  void OnPaint(KvPaintSurface& surface) override;
  void OnMouseWheel(int delta) override;
  void OnScroll(int bar, int code, int track) override;
  void OnLButtonDown(POINT point) override;
  void OnMouseMove(POINT point) override;
  void OnLButtonUp(POINT point) override;
  bool OnSetCursor() override;

protected:
  LRESULT OnRenderStatus(WPARAM code, LPARAM payload) override;

private:
  void InvalidateAll(bool erase);
  void SetMessage(const wchar_t* text);
  void OnProgress(LPARAM payload);
  void OnCompleted();
  bool WireOverlayWanted() const;
  // The session's background colour; black without a session.
  COLORREF BackgroundColour() const;
  // Grows (or shrinks) the frame by a change of the client size.
  void ResizeFrameBy(SIZE old_client, SIZE new_client);
  void PaintBackgroundAround(KvPaintSurface& surface, const RECT& client, const RECT& image);
  ScrollState& ScrollOf(int bar) { return m_scroll[bar == SB_VERT ? 1 : 0]; }

  CRenderFrame& m_frame;
  int m_zoom = 1;
  CKavraDib m_bitmap;
  const KvCursorShape* m_hand_cursor = nullptr;
  int m_fitted_zoom = 1;
  ScrollState m_scroll[2];  // horizontal, vertical
  POINT m_pan_anchor;
  int m_progress_row = 0;
  bool m_completed = false;
  // The user-interface thread's copy of the bitmap, and whether the worker
  // is done with it (its last status arrived): from then on every row is
  // read, wires included.
  KvDisplayImage m_shown;
  bool m_worker_done = true;
  int m_final_rows = 0;  // the rows shown once the worker is done
  COLORREF m_unwritten = 0;  // what rows not written yet show: the render's background
};
