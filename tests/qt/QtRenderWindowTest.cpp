// The plug-in's render window in Qt widgets, offscreen: a real render shown with its message line,
// the zooms painted and sized as the user sees them, dragging, Save As through Qt's own file
// dialog, the clipboard, printing to PDF, and the program's screenshot of the same window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <fstream>

#include "apps/duskmoth/WindowCommand.h"
#include "host/app/DirectoryManager.h"
#include "host/qt/QtFrameWindow.h"
#include "host/qt/QtPictures.h"
#include "host/qt/QtToolkit.h"
#include "host/qt/QtViewWindow.h"
#include "resources/RenderWindowResources.h"
#include "support/ProgramRun.h"
#include "support/TempDir.h"
#include "ui/RenderWindowRun.h"

namespace {

using namespace render_commands;

class QtRenderWindow : public testing::Test {
protected:
  static void SetUpTestSuite() {
    if (!std::getenv("XDG_RUNTIME_DIR")) setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);  // private: 0700
    application = std::make_unique<QApplication>(argc, argv);
  }
  static void TearDownTestSuite() { application.reset(); }

  static inline TempDir runtime;
  static inline int argc = 1;
  static inline char name[] = "test_qt";
  static inline char* argv[] = {name, nullptr};
  static inline std::unique_ptr<QApplication> application;
};

// What the view shows, as the screen has it.
QImage Screen(const CRenderView& view) {
  return static_cast<KvQtViewWindow*>(view.Window())->Canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A render in Qt windows.
struct QtRun : RenderWindowRun {
  QtRun(int width, int height) : RenderWindowRun(width, height, 0, std::make_unique<KvQtToolkit>()) {}
  static KvQtToolkit& Toolkit() { return static_cast<KvQtToolkit&>(KavraApp().WindowToolkit()); }
  KvQtFrameWindow& FrameWindow() const { return static_cast<KvQtFrameWindow&>(*Frame()->Window()); }
  KvQtViewWindow& ViewWindow() const { return static_cast<KvQtViewWindow&>(*View()->Window()); }
  QImage Screen() const { return ::Screen(*View()); }
  QImage Image() const { return ToQImage(View()->Bitmap()); }
};

QAction* Command(QMainWindow& window, int id) {
  for (QAction* popup : window.menuBar()->actions())
    for (QAction* action : popup->menu()->actions())
      if (action->data().toInt() == id) return action;
  return nullptr;
}

// The program's screenshot at 1:3 is this window at 1:3.
TEST_F(QtRenderWindow, ARenderShowsItsImageAndMessagesAndTheProgramsScreenshotIsTheSameWindow) {
  QtRun run(160, 96);
  std::vector<std::wstring> shown;  // the message line as each text arrives
  int row = -1;  // the view's progress row at 50 %
  run.hook = [&](CRenderSession& session, const std::wstring& text) {
    shown.push_back(static_cast<KvQtFrameWindow*>(session.Frame()->Window())->MessageLine().text().toStdWString());
    if (text != L"Rendering...(50%)") return;
    const CRenderView& view = *static_cast<CRenderFrame*>(session.Frame())->GetRenderView();
    const QImage half = Screen(view);
    row = view.ProgressRow();
    ASSERT_EQ(half.size(), QSize(160, 96));
    for (int x = 0; x < 160; ++x) ASSERT_EQ(half.pixel(x, row), ToQColor(~session.BackgroundColorRef() & 0xFFFFFF).rgb()) << x;
  };
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  EXPECT_EQ(shown, run.texts);
  EXPECT_EQ(row, 48);
  EXPECT_EQ(run.FrameWindow().MessageLine().text(), "Completed");
  QMainWindow& window = run.FrameWindow().MainWindow();
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.windowTitle().toStdWString(), run.Frame()->WindowText().str());
  EXPECT_EQ(run.View()->ClientSize(), (SIZE{160, 96}));
  EXPECT_EQ(run.Screen(), run.Image());

  // The menus with their mnemonics, Help last; opening one asks its commands' states.
  QStringList menus;
  for (QAction* popup : window.menuBar()->actions()) menus << popup->text();
  EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&Zoom", "&Help"}));
  QMenu* zoom = window.menuBar()->actions()[2]->menu();
  emit zoom->aboutToShow();
  EXPECT_TRUE(Command(window, kNormalViewing)->isChecked() && !Command(window, kZoomIn2x)->isChecked());
  EXPECT_TRUE(Command(window, kZoomIn2x)->isEnabled());

  // The program's zoom goes through the Zoom menu's commands, as the plug-in numbers them.
  for (int zoom : {1, 2, 10, -2, -10}) EXPECT_EQ(ZoomMenuCommand(zoom), CRenderFrame::CommandOfZoom(zoom)) << zoom;
  run.Frame()->OnCommand(CRenderFrame::CommandOfZoom(-3));
  TempDir dir;
  std::ofstream(dir / "scene.json") << RenderWindowRun::Scene(160, 96, 0);
  const ProgramRun program = RunDuskmoth(
      {"window", (dir / "scene.json").string(), "--zoom", "-3", "--screenshot", (dir / "shot.png").string(), "-q"}, {});
  ASSERT_EQ(program.exit_code, 0) << program.err;
  const QImage screenshot(QString::fromStdString((dir / "shot.png").string()));
  EXPECT_EQ(screenshot.size(), window.size());
  EXPECT_EQ(screenshot.convertToFormat(QImage::Format_RGB32), window.grab().toImage().convertToFormat(QImage::Format_RGB32));
}

// 160 x 96 at 1:2: 80 x 48 in the middle, two black pixels round it, the pattern from the canvas's
// corner beyond; at 2:1 the bars take their room from a larger frame and dragging moves the image.
TEST_F(QtRenderWindow, ZoomsPaintAndSizeTheViewAndDraggingMovesTheImage) {
  QtRun run(160, 96);
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  CRenderFrame& frame = *run.Frame();
  const SIZE window = frame.WindowSize();
  frame.OnCommand(CRenderFrame::CommandOfZoom(-2));
  const QImage out = run.Screen();
  const QRgb black = qRgb(0, 0, 0), cross = qRgb(191, 153, 157), ground = qRgb(178, 178, 178);
  for (int i : {1, 2}) {
    EXPECT_EQ(std::tuple(out.pixel(40 - i, 50), out.pixel(119 + i, 50), out.pixel(60, 24 - i), out.pixel(60, 71 + i)),
              std::tuple(black, black, black, black)) << i;
  }
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 37; ++x) EXPECT_EQ(out.pixel(x, y), x % 8 == y % 8 || x % 8 == 7 - y % 8 ? cross : ground);
  const QImage half = run.Image().scaled(80, 48, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  for (QPoint p : {QPoint(20, 10), QPoint(40, 24), QPoint(60, 40)})
    EXPECT_NEAR(qGray(out.pixel(p + QPoint(40, 24))), qGray(half.pixel(p)), 24) << p.x() << "," << p.y();

  frame.OnCommand(CRenderFrame::CommandOfZoom(2));
  QScrollBar* bars[2] = {run.ViewWindow().Bar(SB_HORZ), run.ViewWindow().Bar(SB_VERT)};
  ASSERT_TRUE(bars[0]->isVisible() && bars[1]->isVisible());
  EXPECT_EQ(frame.WindowSize(), (SIZE{window.cx + bars[1]->width(), window.cy + bars[0]->height()}));
  EXPECT_EQ(run.View()->ClientSize(), (SIZE{160, 96}));
  EXPECT_EQ(std::tuple(bars[0]->value(), bars[0]->maximum(), bars[0]->pageStep(), bars[1]->value()),
            std::tuple(80, 160, 160, 48));  // centred on the 320 x 192 picture
  const QImage before = run.Screen();
  QWidget* canvas = run.ViewWindow().Canvas();
  QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(100, 60));
  QTest::mouseMove(canvas, QPoint(70, 40));
  EXPECT_EQ(canvas->cursor().shape(), Qt::BitmapCursor);  // the hand while dragging
  QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(70, 40));
  EXPECT_EQ(canvas->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(std::pair(bars[0]->value(), bars[1]->value()), std::pair(110, 68));
  EXPECT_EQ(run.Screen().copy(0, 0, 130, 76), before.copy(30, 20, 130, 76));
  bars[0]->triggerAction(QAbstractSlider::SliderToMaximum);  // the view ignores it, and so the bar
  EXPECT_EQ(bars[0]->value(), 110);
  bars[0]->triggerAction(QAbstractSlider::SliderPageStepAdd);  // a page, as far as the picture goes
  EXPECT_EQ(std::pair(bars[0]->value(), run.View()->Scroll(SB_HORZ).position), std::pair(160, 160));

  frame.OnCommand(kNormalViewing);
  EXPECT_FALSE(bars[0]->isVisible() || bars[1]->isVisible());
  EXPECT_EQ(frame.WindowSize(), window);
  EXPECT_EQ(run.Screen(), run.Image());
}

TEST_F(QtRenderWindow, SaveAsCopyPrintAndHelpGoThroughQt) {
  QtRun run(120, 72);
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  TempDir dir;
  KavraApp().DirectoryManager().SetDefaultDirectory(CKavraDirectoryManager::render_image_directory,
                                                    TK_wString::FromUtf8(dir.Path().string()));
  // The user picks BMP in the dialog, types a name without extension and saves.
  QString started;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;  // nothing is saved: the checks below fail
    started = dialog->directory().absolutePath();
    QTest::keyClick(dialog->findChild<QComboBox*>("fileTypeCombo"), Qt::Key_Down);
    dialog->selectFile("picture");
    static_cast<QDialog*>(dialog)->accept();  // as the Save button does
  });
  run.Frame()->OnCommand(kSaveAs);
  EXPECT_EQ(started.toStdString(), dir.Path().string());
  EXPECT_EQ(QImage(QString::fromStdString((dir / "picture.bmp").string())).convertToFormat(QImage::Format_RGB32),
            run.Image());
  const std::wstring caption = run.Frame()->WindowText().str();
  EXPECT_EQ(caption.substr(caption.size() - 13), L": picture.bmp");

  QGuiApplication::clipboard()->clear();
  run.Frame()->OnCommand(kCopy);
  EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), run.Image());

  QtRun::Toolkit().SetPrintFile(dir / "print.pdf");
  run.Frame()->OnCommand(kPrint);
  std::string head(4, ' ');
  std::ifstream(dir / "print.pdf", std::ios::binary).read(head.data(), 4);
  EXPECT_EQ(head, "%PDF");

  KavraApp().SetDocsFolder(dir.Path());  // the render window's help page, as Markdown
  std::filesystem::create_directory(dir / "help");
  std::ofstream(dir / "help/5002.md") << "# The render window\n\nZoom with the *wheel*.\n";
  run.Frame()->OnCommand(kDisplayHelp);
  const QDialog* help = QtRun::Toolkit().HelpWindow();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_EQ(help->findChild<QTextBrowser*>()->toPlainText(), "The render window\nZoom with the wheel.");
}

}  // namespace
