#include "apps/duskmoth/WindowCommand.h"

#include <cerrno>
#include <memory>
#include <string>

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include "apps/duskmoth/DemoScene.h"
#include "apps/duskmoth/InterruptRequest.h"
#include "apps/duskmoth/OutputPath.h"
#include "apps/duskmoth/ProgressDisplay.h"
#include "apps/duskmoth/QtSession.h"
#include "apps/duskmoth/RenderCommand.h"
#include "apps/duskmoth/RenderPath.h"
#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/platform/KavraDib.h"
#include "host/qt/QtPictures.h"
#include "host/sdk/SdkRenderFrame.h"

namespace {

// The render window: the program's one main window on the screen.
QMainWindow* RenderWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* window = qobject_cast<QMainWindow*>(widget); window && window->isVisible()) return window;
  return nullptr;
}

// The screenshot a script asked for: taken once, its outcome the exit code.
class Screenshot {
public:
  Screenshot(const std::filesystem::path& file, std::ostream& err) : file_(file), err_(err) {}

  bool Taken() const { return code_ >= 0; }
  int Code() const { return code_; }
  // Menu bar, view and message line, as the screen shows them.
  void Take() {
    QMainWindow* window = RenderWindow();
    CKavraDib picture;
    if (!window) {
      err_ << "duskmoth: " << file_.string() << ": no render window to take a screenshot of\n";
    } else if (!ToBitmap(window->grab().toImage(), picture) ||
               !picture.WriteToFile(TK_wString::FromUtf8(file_.string()))) {
      ReportWriteError(file_, errno, err_);
    } else {
      code_ = ParseOutcome::kOk;
      return;
    }
    code_ = ParseOutcome::kFailed;
  }

private:
  std::filesystem::path file_;
  std::ostream& err_;
  int code_ = -1;
};

}  // namespace

int ZoomMenuCommand(int zoom) {
  if (zoom >= 2 && zoom <= 10) return 32778 + zoom - 2;
  if (zoom <= -2 && zoom >= -10) return 32787 - zoom - 2;
  return 32777;
}

int RunWindow(const WindowOptions& options, std::ostream& err) {
  // Ctrl-C from the first moment on: reading the scene stops on it as the render does.
  const InterruptRequest interrupt;
  if (options.screenshot && !CheckOutputPath(*options.screenshot, err)) return ParseOutcome::kFailed;
  const std::unique_ptr<QtSession> qt = QtSession::Start(err);
  if (!qt) return ParseOutcome::kFailed;
  CKavraDoc doc;
  DemoScene demo;
  const bool prepared = PrepareDocument(options.render, doc, demo, err, &interrupt.Flag());
  if (interrupt.Raised()) return ReportInterrupted(err);
  if (!prepared) return ParseOutcome::kFailed;
  Screenshot shot(options.screenshot.value_or(std::filesystem::path()), err);

  RenderRequest request{options.render.favor_memory, options.render.quiet, options.render.threads, {}};
  if (options.screenshot_at) {
    request.on_status = [&](const TK_wString& text) {
      const std::optional<int> percent = ProgressDisplay::Percent(text.str());
      if (shot.Taken() || !percent || *percent < *options.screenshot_at) return;
      shot.Take();
      // Closed as the user would close it, once this status has been shown:
      // the render stops through its normal path.
      if (QMainWindow* window = RenderWindow()) QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
    };
  }
  const std::string subject = SceneSubject(options.render);
  return RenderDocument(doc, request, err, [&](const RenderOutcome& outcome) {
    if (outcome.Interrupted()) return outcome.Fail(subject, err);
    if (shot.Taken()) return shot.Code();
    CKavraSdkRenderFrame* frame = outcome.frame;
    if (outcome.result != KvCommandResult::success) {
      // The user closing the window stops the render: no failure.
      return frame && frame->StopWasRequested() ? ParseOutcome::kOk : outcome.Fail(subject, err);
    }
    if (options.zoom) frame->OnCommand(ZoomMenuCommand(*options.zoom));
    if (options.screenshot) {
      shot.Take();
      frame->Close();
      return shot.Code();
    }
    // Until the user closes the window; Ctrl-C closes it as well.
    QTimer watch;
    watch.callOnTimeout([&] {
      if (outcome.Interrupted()) frame->Close();
      if (!frame->IsWindow()) QCoreApplication::quit();
    });
    watch.start(50);
    if (frame->IsWindow()) QApplication::exec();
    return outcome.Interrupted() ? outcome.Fail(subject, err) : ParseOutcome::kOk;
  });
}
