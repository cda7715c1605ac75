#pragma once
// KvQtSpinArrows: a dialog's spin control in Qt Widgets: two small arrow
// buttons, one above the other, that repeat while held. Each step (the press
// and every repeat) reports its direction and how long the arrow has been
// held, so that the dialog can step faster the longer it is held. The dialog
// owns the widget; the widget owns its buttons.

#include <functional>

#include <QElapsedTimer>
#include <QWidget>

class QToolButton;

class KvQtSpinArrows : public QWidget {
public:
  // direction: +1 up, -1 down.
  using Step = std::function<void(int direction, int held_ms)>;

  KvQtSpinArrows(QWidget* parent, Step step);

  // The arrow of a direction, as the user presses it.
  QToolButton& Arrow(int direction) const { return *(direction > 0 ? up_ : down_); }
  // A click on the arrow counted as held that long, for a scripted user who
  // cannot wait.
  void ClickHeld(int direction, int held_ms);

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  QToolButton* AddArrow(Qt::ArrowType type, int direction);

  Step step_;
  QToolButton* up_;
  QToolButton* down_;
  QElapsedTimer held_;  // since the arrow now down was pressed
  int extra_held_ms_ = 0;
};
