#include "host/qt/QtColourButton.h"

#include <QPainter>

#include "host/qt/QtPictures.h"

void KvQtColourButton::SetColour(COLORREF colour) {
  colour_ = colour;
  update();
}

void KvQtColourButton::paintEvent(QPaintEvent* event) {
  QPushButton::paintEvent(event);
  QPainter painter(this);
  if (!isEnabled()) painter.setOpacity(0.35);
  const int inset = std::max(3, std::min(width(), height()) / 5);
  const QRect face = rect().adjusted(inset, inset, -inset, -inset);
  painter.fillRect(face, ToQColor(colour_));
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawRect(face.adjusted(0, 0, -1, -1));
}
