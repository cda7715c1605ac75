#include "host/qt/QtViewWindow.h"

#include <algorithm>

#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include "host/qt/QtPaintSurface.h"
#include "host/qt/QtPictures.h"

namespace {

int Index(int bar) { return bar == SB_VERT ? 1 : 0; }

POINT PointOf(const QMouseEvent& e) {
  const QPoint p = e.position().toPoint();
  return POINT{p.x(), p.y()};
}

}  // namespace

// The canvas the view paints; what happens on it goes to the window.
class KvQtViewWindow::CanvasWidget : public QWidget {
public:
  CanvasWidget(KvQtViewWindow& window, QWidget& parent) : QWidget(&parent), window_(window) {
    // Windows keep what is not painted again: the view paints only new rows.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
  }

protected:
  void paintEvent(QPaintEvent* e) override { window_.Paint(*this, e->region()); }
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) window_.MouseEvent(&KvViewEvents::OnLButtonDown, PointOf(*e));
  }
  void mouseMoveEvent(QMouseEvent* e) override { window_.MouseEvent(&KvViewEvents::OnMouseMove, PointOf(*e)); }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) window_.MouseEvent(&KvViewEvents::OnLButtonUp, PointOf(*e));
  }
  void wheelEvent(QWheelEvent* e) override {
    window_.events_.OnMouseWheel(e->angleDelta().y());
    e->accept();
  }

private:
  KvQtViewWindow& window_;
};

// The central widget: the canvas with the bars below and beside it.
class KvQtViewWindow::Area : public QWidget {
public:
  explicit Area(KvQtViewWindow& window) : canvas(new CanvasWidget(window, *this)) {
    setAutoFillBackground(true);  // the corner between the bars
    for (int bar : {SB_HORZ, SB_VERT}) {
      bars[Index(bar)] = new QScrollBar(bar == SB_VERT ? Qt::Vertical : Qt::Horizontal, this);
      bars[Index(bar)]->hide();
      QObject::connect(bars[Index(bar)], &QAbstractSlider::actionTriggered, this,
                       [&window, bar](int action) { window.ScrollAction(bar, action); });
    }
  }

  // What the bars take off the width and the height when shown.
  QSize BarExtents() const { return {bars[1]->sizeHint().width(), bars[0]->sizeHint().height()}; }

  void Place() {
    const QSize bar = shown ? BarExtents() : QSize(0, 0);
    const int w = std::max(width() - bar.width(), 0), h = std::max(height() - bar.height(), 0);
    canvas->setGeometry(0, 0, w, h);
    bars[0]->setGeometry(0, h, w, bar.height());
    bars[1]->setGeometry(w, 0, bar.width(), h);
    bars[0]->setVisible(shown);
    bars[1]->setVisible(shown);
  }

  CanvasWidget* canvas;
  QScrollBar* bars[2];
  bool shown = false;

protected:
  void resizeEvent(QResizeEvent*) override { Place(); }
};

KvQtViewWindow::KvQtViewWindow(QMainWindow& frame, KvViewEvents& events) : events_(events), area_(new Area(*this)) {
  frame.setCentralWidget(area_);
}

// The widgets go with the view: none of them may call its events later.
KvQtViewWindow::~KvQtViewWindow() { delete area_.data(); }

QWidget* KvQtViewWindow::Canvas() const { return area_ ? area_->canvas : nullptr; }

QScrollBar* KvQtViewWindow::Bar(int bar) const { return area_ ? area_->bars[Index(bar)] : nullptr; }

SIZE KvQtViewWindow::ClientSize() const {
  if (!area_) return {};
  const QSize bar = bars_shown_ ? area_->BarExtents() : QSize(0, 0);
  return {std::max(area_->width() - bar.width(), 0), std::max(area_->height() - bar.height(), 0)};
}

void KvQtViewWindow::ShowScrollBars(bool show) {
  bars_shown_ = show;
  if (!area_) return;
  area_->shown = show;
  area_->Place();
}

void KvQtViewWindow::SetScrollInfo(int bar, int range, int page, int position) {
  positions_[Index(bar)] = position;
  QScrollBar* b = Bar(bar);
  if (!b) return;
  b->setRange(0, std::max(range - page, 0));
  b->setPageStep(page);
  b->setSingleStep(std::max(page / 10, 1));
  b->setValue(position);
}

void KvQtViewWindow::SetScrollPos(int bar, int position) {
  positions_[Index(bar)] = position;
  if (QScrollBar* b = Bar(bar)) b->setValue(position);
}

void KvQtViewWindow::ScrollAction(int bar, int action) {
  int code = 0;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
    case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
    case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
    case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
    case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
    case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
    case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
    default: return;
  }
  QScrollBar* b = Bar(bar);
  if (!b) return;
  events_.OnScroll(bar, code, b->sliderPosition());
  // The view decides where the bar stands, never Qt's own step.
  if (QScrollBar* after = Bar(bar)) after->setSliderPosition(positions_[Index(bar)]);
}

void KvQtViewWindow::SetCursor(const KvCursorShape* shape) {
  QWidget* canvas = Canvas();
  if (!canvas) return;
  if (shape) canvas->setCursor(ToQCursor(*shape));
  else canvas->unsetCursor();
}

void KvQtViewWindow::MouseEvent(void (KvViewEvents::*handler)(POINT), POINT point) {
  (events_.*handler)(point);
  if (!events_.OnSetCursor())
    if (QWidget* canvas = Canvas()) canvas->unsetCursor();
}

void KvQtViewWindow::Invalidate(const RECT& area, bool erase) {
  QWidget* canvas = Canvas();
  const SIZE client = ClientSize();
  const QRect rect = ToQRect(area) & QRect(0, 0, client.cx, client.cy);
  if (!canvas || rect.isEmpty()) return;
  invalid_ += rect;
  if (erase) erase_ += rect;
  canvas->update(rect);
}

void KvQtViewWindow::UpdateWindow() {
  if (QWidget* canvas = Canvas(); canvas && !invalid_.isEmpty()) canvas->repaint(invalid_);
}

void KvQtViewWindow::Paint(QWidget& canvas, const QRegion& region) {
  // What the view asked to repaint without erasing keeps its pixels; any
  // other area (uncovered, resized, grabbed) is erased first.
  const QRegion erase = region.subtracted(invalid_.subtracted(erase_));
  invalid_ -= region;
  erase_ -= region;
  QPainter painter(&canvas);
  if (!erase.isEmpty()) {
    KvQtPaintSurface background(painter, erase);
    if (!events_.OnEraseBackground(background)) {
      painter.setClipRegion(erase);
      painter.fillRect(erase.boundingRect(), canvas.palette().window());
    }
  }
  KvQtPaintSurface surface(painter, region);
  events_.OnPaint(surface);
}
