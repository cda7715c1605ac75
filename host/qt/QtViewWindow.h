#pragma once
// KvQtViewWindow: a view window in Qt Widgets, the central widget of its
// frame's main window: a canvas that the view paints and two scroll bars
// placed beside it, so that the client size is known at once. Paints, the
// mouse, the wheel and the bars go to the view's events. The view owns this
// object; the widgets belong to the main window until this object goes,
// which takes them with it.

#include <QPointer>
#include <QRegion>

#include "host/platform/NativeWindows.h"

class QMainWindow;
class QScrollBar;
class QWidget;

class KvQtViewWindow : public KvViewWindow {
public:
  KvQtViewWindow(QMainWindow& frame, KvViewEvents& events);
  ~KvQtViewWindow() override;
  KvQtViewWindow(const KvQtViewWindow&) = delete;
  KvQtViewWindow& operator=(const KvQtViewWindow&) = delete;

  SIZE ClientSize() const override;
  bool ScrollBarsShown() const override { return bars_shown_; }
  void ShowScrollBars(bool show) override;
  void SetScrollInfo(int bar, int range, int page, int position) override;
  void SetScrollPos(int bar, int position) override;
  void SetCapture() override { capture_ = true; }
  void ReleaseCapture() override { capture_ = false; }
  bool HasCapture() const override { return capture_; }
  void SetCursor(const KvCursorShape* shape) override;
  void Invalidate(const RECT& area, bool erase) override;
  void UpdateWindow() override;

  // The widget the view paints (its client area) and a scroll bar: null
  // once the main window took them down.
  QWidget* Canvas() const;
  QScrollBar* Bar(int bar) const;

private:
  class Area;
  class CanvasWidget;

  // A paint of the canvas: the background first where it must be erased.
  void Paint(QWidget& canvas, const QRegion& region);
  void MouseEvent(void (KvViewEvents::*handler)(POINT), POINT point);
  void ScrollAction(int bar, int action);

  KvViewEvents& events_;
  QPointer<Area> area_;
  bool bars_shown_ = false;
  int positions_[2] = {0, 0};
  bool capture_ = false;
  // Asked to be repainted and not painted yet; the part of it whose
  // background is to be erased first.
  QRegion invalid_;
  QRegion erase_;
};
