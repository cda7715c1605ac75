#include "host/qt/QtFrameWindow.h"

#include <algorithm>
#include <vector>

#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

#include "host/qt/QtPictures.h"
#include "host/qt/QtToolkit.h"
#include "host/qt/QtViewWindow.h"

namespace {

QString ToQString(const TK_wString& text) { return QString::fromStdWString(text.str()); }

}  // namespace

class KvQtFrameWindow::Main : public QMainWindow {
public:
  explicit Main(KvFrameEvents& events) : events_(events) {}

protected:
  // The frame decides what closing means (it stops its render and hides
  // this window); the window itself stays until the frame goes.
  void closeEvent(QCloseEvent* e) override {
    events_.OnClose();
    e->accept();
  }

private:
  KvFrameEvents& events_;
};

KvQtFrameWindow::KvQtFrameWindow(KvQtToolkit& toolkit, KvFrameEvents& events)
    : toolkit_(toolkit), events_(events), main_(std::make_unique<Main>(events)), message_(new QLabel) {
  main_->menuBar();  // made now, so that the frame's size counts it from the start
  // The frame takes the size its image needs, however small: neither the
  // menu bar nor a long message widens it.
  main_->setMinimumSize(1, 1);
  message_->setMinimumWidth(1);
  main_->statusBar()->addWidget(message_, 1);
  LayOut();
}

KvQtFrameWindow::~KvQtFrameWindow() = default;

KvWindowToolkit& KvQtFrameWindow::Toolkit() const { return toolkit_; }

QMainWindow& KvQtFrameWindow::MainWindow() const { return *main_; }

std::unique_ptr<KvViewWindow> KvQtFrameWindow::CreateViewWindow(KvViewEvents& events) {
  auto view = std::make_unique<KvQtViewWindow>(*main_, events);
  LayOut();
  return view;
}

void KvQtFrameWindow::SetCaption(const TK_wString& caption) {
  // "[*]" in a Qt caption marks where a modified flag goes; doubled it is text.
  main_->setWindowTitle(ToQString(caption).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
}

void KvQtFrameWindow::SetMessageText(const TK_wString& text) {
  message_->setText(ToQString(text));
  LayOut();
}

void KvQtFrameWindow::SetMenu(const KvMenuItem& bar) {
  QMenuBar* menus = main_->menuBar();
  // The menu bar owns the popups it made: the old ones go with their items.
  for (QAction* old : menus->actions()) delete old->menu();
  menus->clear();
  // Qt's menu bar has no far end: right-justified popups simply come last.
  std::vector<const KvMenuItem*> popups;
  for (bool right : {false, true})
    for (const KvMenuItem& item : bar.items)
      if (item.IsPopup() && item.right_justified == right) popups.push_back(&item);
  for (const KvMenuItem* popup : popups) AddItems(*menus->addMenu(ToQString(popup->text)), *popup);
  LayOut();
}

void KvQtFrameWindow::AddItems(QMenu& menu, const KvMenuItem& popup) {
  for (const KvMenuItem& item : popup.items) {
    if (item.IsSeparator()) {
      menu.addSeparator();
    } else if (item.IsPopup()) {
      AddItems(*menu.addMenu(ToQString(item.text)), item);
    } else {
      QAction* action = menu.addAction(ToQString(item.text));
      action->setData(item.id);
      QObject::connect(action, &QAction::triggered, main_.get(), [this, id = item.id] { events_.OnCommand(id); });
    }
  }
  // Each command's state is asked for as its menu opens.
  QObject::connect(&menu, &QMenu::aboutToShow, main_.get(), [this, &menu] {
    for (QAction* action : menu.actions()) {
      if (action->isSeparator() || action->menu()) continue;
      const KvCommandState state = events_.OnUpdateCommand(action->data().toInt());
      action->setEnabled(state.enabled);
      action->setCheckable(state.checked);
      action->setChecked(state.checked);
    }
  });
}

void KvQtFrameWindow::SetIcon(const KvIcon& icon) { main_->setWindowIcon(ToQIcon(icon)); }

SIZE KvQtFrameWindow::WindowSize() const { return {main_->width(), main_->height()}; }

void KvQtFrameWindow::SetWindowSize(SIZE size) {
  main_->resize(std::max(size.cx, 1), std::max(size.cy, 1));
  LayOut();
}

void KvQtFrameWindow::LayOut() {
  if (QLayout* layout = main_->layout()) {
    layout->invalidate();
    layout->activate();
  }
}

SIZE KvQtFrameWindow::MaximizedWindowSize() const {
  const QScreen* screen = main_->screen();
  if (!screen) return {1 << 20, 1 << 20};  // no screen: any window fits
  const QSize available = screen->availableSize();
  return {available.width(), available.height()};
}

void KvQtFrameWindow::Show() { main_->show(); }

void KvQtFrameWindow::Hide() { main_->hide(); }
