#pragma once
// KvQtFrameWindow: a frame window in Qt Widgets, a QMainWindow: caption,
// menu bar, icon, the message line in its status bar, and the view as its
// central widget. Commands, menu updates and closing go to the frame's
// events. The frame owns this object, which owns the main window; the
// toolkit that made it must outlive it.

#include <memory>

#include "host/platform/NativeWindows.h"

class KvQtToolkit;
class QLabel;
class QMainWindow;
class QMenu;

class KvQtFrameWindow : public KvFrameWindow {
public:
  KvQtFrameWindow(KvQtToolkit& toolkit, KvFrameEvents& events);
  ~KvQtFrameWindow() override;
  KvQtFrameWindow(const KvQtFrameWindow&) = delete;
  KvQtFrameWindow& operator=(const KvQtFrameWindow&) = delete;

  KvWindowToolkit& Toolkit() const override;
  std::unique_ptr<KvViewWindow> CreateViewWindow(KvViewEvents& events) override;
  void SetCaption(const TK_wString& caption) override;
  void SetMessageText(const TK_wString& text) override;
  void SetMenu(const KvMenuItem& bar) override;
  void SetIcon(const KvIcon& icon) override;
  SIZE WindowSize() const override;
  void SetWindowSize(SIZE size) override;
  SIZE MaximizedWindowSize() const override;
  void Show() override;
  void Hide() override;

  QMainWindow& MainWindow() const;
  // The message line as shown.
  QLabel& MessageLine() const { return *message_; }

private:
  class Main;

  void AddItems(QMenu& menu, const KvMenuItem& popup);
  // Lays the main window out now, so that the view's size follows at once.
  void LayOut();

  KvQtToolkit& toolkit_;
  KvFrameEvents& events_;
  std::unique_ptr<Main> main_;
  QLabel* message_;  // the status bar's
};
