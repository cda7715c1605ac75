#include "apps/duskmoth/QtSession.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include "apps/duskmoth/CommandLine.h"
#include "host/app/App.h"
#include "host/qt/QtToolkit.h"

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// While Qt starts: a display it cannot open ends the program with one line
// and status 1 instead of an abort; Qt's other messages go out as usual.
void OnQtStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    return;
  }
  std::fprintf(stderr, "duskmoth: no display: Qt could not start on it (set DISPLAY to a running display, "
                       "or run with QT_QPA_PLATFORM=offscreen)\n");
  std::_Exit(ParseOutcome::kFailed);
}

// Once started, Qt's messages go out as usual, except the offscreen platform's
// notes on every window feature it lacks: nothing a user could act on.
void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("This plugin does not support"))) return;
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

bool HasDisplay() { return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM"); }

std::unique_ptr<QtSession> QtSession::Start(std::ostream& err) {
  if (!HasDisplay()) {
    err << "duskmoth: no display: set DISPLAY or run with QT_QPA_PLATFORM=offscreen\n";
    return nullptr;
  }
  return std::unique_ptr<QtSession>(new QtSession());
}

QtSession::QtSession() {
  qInstallMessageHandler(OnQtStartMessage);
  application_ = std::make_unique<QApplication>(argc_, argv_);
  qInstallMessageHandler(OnQtMessage);
  // Commands end when their own window closes, not with the last window.
  QApplication::setQuitOnLastWindowClosed(false);
  auto toolkit = std::make_unique<KvQtToolkit>();
  toolkit_ = toolkit.get();
  previous_ = KavraApp().SetWindowToolkit(std::move(toolkit));
}

QtSession::~QtSession() {
  watch_.reset();
  KavraApp().SetWindowToolkit(std::move(previous_));
  application_.reset();
  qInstallMessageHandler(nullptr);
}

bool QtSession::PlayDialogScript(const std::filesystem::path& file, std::ostream& err) {
  std::error_code ec;
  std::ifstream in(file);  // a pipe will do
  if (std::filesystem::is_directory(file, ec) || !in) {
    err << "duskmoth: " << file.string() << ": cannot read the dialog script\n";
    return false;
  }
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  toolkit_->SetDialogScript(lines);
  script_ = file;
  return true;
}

bool QtSession::ReportScriptFault(std::ostream& err) const {
  const std::string fault = toolkit_->DialogScriptFault();
  if (fault.empty()) return false;
  err << "duskmoth: " << script_.string() << ": " << fault << '\n';
  return true;
}

void QtSession::CancelDialogsOn(const std::atomic<bool>& flag) {
  watch_ = std::make_unique<QTimer>();
  QObject::connect(watch_.get(), &QTimer::timeout, [&flag] {
    if (!flag.load()) return;
    // A dialog that opens after this one closes is cancelled on the next tick.
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible()) dialog->reject();
  });
  watch_->start(100);
}
