#pragma once
// ProgressDisplay: shows a render's progress on the program's error stream:
// the render window's message line as a progress bar on a terminal, as plain
// lines otherwise, or not at all; the host's command-line output (the
// plug-in's banner and result) goes the same way as whole lines.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "host/toolkit/String.h"

class ProgressDisplay {
public:
  enum class Mode { quiet, lines, bar };
  static constexpr int kBarWidth = 30;

  ProgressDisplay(std::ostream& out, Mode mode) : out_(out), mode_(mode) {}
  ~ProgressDisplay() { Finish(); }
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;

  // A new text on the message line.
  void Status(const TK_wString& text);
  // Text the host printed; may hold several lines.
  void Print(std::wstring_view text);
  // Ends the bar's line, if one is open.
  void Finish();

  // The percentage a status text carries, as in "Rendering...(42%)".
  static std::optional<int> Percent(std::wstring_view text);
  // "[#########.....] 42% text" for a terminal line.
  static std::string BarLine(int percent, const std::string& text);

private:
  std::ostream& out_;
  Mode mode_;
  bool bar_open_ = false;
  int percent_ = 0;
  int logged_tenth_ = -1;  // the last tenth of the way a progress line was logged for
  std::string last_status_;
  std::wstring pending_;  // printed text not yet ended by a line feed
};
