#include "apps/duskmoth/ProgressDisplay.h"

#include <algorithm>

#include "host/app/Localize.h"

void ProgressDisplay::Status(const TK_wString& text) {
  if (mode_ == Mode::quiet) return;
  const std::string line = text.ToUtf8();
  const std::optional<int> percent = Percent(text.str());
  if (percent) {
    percent_ = *percent;
  } else if (percent_ > 0 && text.str() != KvLocalizeString(L"Aborted").str()) {
    percent_ = 100;  // the pixels are done: what follows completes the bar
  }
  if (mode_ == Mode::lines) {
    // The same text again adds nothing to a log, nor does progress within the same tenth.
    const bool news = !percent || *percent / 10 > logged_tenth_;
    if (line != last_status_ && news) {
      out_ << line << '\n';
      if (percent) logged_tenth_ = *percent / 10;
    }
  } else {
    // Back to the line's start, draw, clear what an older, longer line left.
    out_ << '\r' << BarLine(percent_, line) << "\x1b[K";
    bar_open_ = true;
  }
  last_status_ = line;
  out_.flush();
}

void ProgressDisplay::Print(std::wstring_view text) {
  if (mode_ == Mode::quiet) return;
  pending_ += text;
  std::size_t end;
  while ((end = pending_.find(L'\n')) != std::wstring::npos) {
    if (bar_open_) out_ << "\r\x1b[K";
    bar_open_ = false;
    out_ << TK_wString(pending_.substr(0, end)).ToUtf8() << '\n';
    pending_.erase(0, end + 1);
  }
  out_.flush();
}

void ProgressDisplay::Finish() {
  if (!pending_.empty()) Print(L"\n");
  if (bar_open_) out_ << '\n';
  bar_open_ = false;
  out_.flush();
}

std::optional<int> ProgressDisplay::Percent(std::wstring_view text) {
  const std::size_t close = text.rfind(L"%)");
  if (close == std::wstring_view::npos) return std::nullopt;
  const std::size_t open = text.rfind(L'(', close);
  if (open == std::wstring_view::npos || open + 1 == close || close - open > 4) return std::nullopt;
  int value = 0;
  for (std::size_t i = open + 1; i < close; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
    value = value * 10 + int(text[i] - L'0');
  }
  return std::min(value, 100);
}

std::string ProgressDisplay::BarLine(int percent, const std::string& text) {
  percent = std::clamp(percent, 0, 100);
  const int filled = percent * kBarWidth / 100;
  std::string line = "[" + std::string(std::size_t(filled), '#') + std::string(std::size_t(kBarWidth - filled), '.') + "] ";
  const std::string number = std::to_string(percent);
  line += std::string(3 - number.size(), ' ') + number + "% " + text;
  return line;
}
