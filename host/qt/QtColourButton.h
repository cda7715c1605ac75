#pragma once
// KvQtColourButton: a push button that shows a colour, filling its face
// inside the frame (faded while disabled). It only shows: choosing a new
// colour when it is clicked is up to its dialog, which owns the button.

#include <QPushButton>

#include "host/platform/WinTypes.h"

class KvQtColourButton : public QPushButton {
public:
  explicit KvQtColourButton(QWidget* parent) : QPushButton(parent) {}

  COLORREF Colour() const { return colour_; }
  void SetColour(COLORREF colour);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  COLORREF colour_ = 0;
};
