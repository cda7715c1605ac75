#include "host/qt/QtSpinArrows.h"

#include <QToolButton>

KvQtSpinArrows::KvQtSpinArrows(QWidget* parent, Step step) : QWidget(parent), step_(std::move(step)) {
  up_ = AddArrow(Qt::UpArrow, +1);
  down_ = AddArrow(Qt::DownArrow, -1);
}

QToolButton* KvQtSpinArrows::AddArrow(Qt::ArrowType type, int direction) {
  auto* arrow = new QToolButton(this);  // the widget's child: Qt deletes it
  arrow->setArrowType(type);
  arrow->setAutoRepeat(true);
  arrow->setFocusPolicy(Qt::NoFocus);  // a spin never takes the focus from its edit
  // A held button repeats pressed(): the first of them starts the clock.
  QObject::connect(arrow, &QToolButton::pressed, this, [this, direction] {
    if (!held_.isValid()) held_.start();
    if (step_) step_(direction, int(held_.elapsed()) + extra_held_ms_);
  });
  // Repeats release the button while it is still down; the last release does not.
  QObject::connect(arrow, &QToolButton::released, this, [this, arrow] {
    if (!arrow->isDown()) held_.invalidate();
  });
  return arrow;
}

void KvQtSpinArrows::ClickHeld(int direction, int held_ms) {
  extra_held_ms_ = held_ms;
  Arrow(direction).click();
  extra_held_ms_ = 0;
}

void KvQtSpinArrows::resizeEvent(QResizeEvent*) {
  const int half = height() / 2;
  up_->setGeometry(0, 0, width(), half);
  down_->setGeometry(0, half, width(), height() - half);
}
