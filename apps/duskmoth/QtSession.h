#pragma once
// QtSession: Qt for a command that shows windows. Starting it makes the
// QApplication, so that a display Qt cannot open ends the program with one
// line and status 1 instead of an abort (Qt's messages go to stderr, the
// offscreen platform's notes on what it lacks left out), and installs the Qt window toolkit
// as the application's until the session goes (the old toolkit comes back
// then). The command keeps the session on its stack, made before anything
// that shows a window and gone after every window has.

#include <atomic>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class KvQtToolkit;
class KvWindowToolkit;
class QApplication;
class QTimer;

// Whether Qt has somewhere to show windows: an X or Wayland display, or a
// platform named in QT_QPA_PLATFORM (offscreen, say).
bool HasDisplay();

class QtSession {
public:
  // Null, with the one-line message on err, without a display.
  static std::unique_ptr<QtSession> Start(std::ostream& err);
  ~QtSession();
  QtSession(const QtSession&) = delete;
  QtSession& operator=(const QtSession&) = delete;

  KvQtToolkit& Toolkit() const { return *toolkit_; }
  // Dialogs from now on play the script in the file (KvQtDialogScript);
  // false, with a one-line message on err, when it cannot be read.
  bool PlayDialogScript(const std::filesystem::path& file, std::ostream& err);
  // Says on err what went wrong in the script, if anything did; true then.
  bool ReportScriptFault(std::ostream& err) const;
  // Once `flag` is raised (Ctrl-C), every open dialog is cancelled, as if
  // the user had pressed Cancel, within a tenth of a second.
  void CancelDialogsOn(const std::atomic<bool>& flag);

private:
  QtSession();

  int argc_ = 1;
  char name_[9] = "duskmoth";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
  KvQtToolkit* toolkit_ = nullptr;  // the application's while the session lasts
  std::unique_ptr<KvWindowToolkit> previous_;
  std::filesystem::path script_;
  std::unique_ptr<QTimer> watch_;
};
