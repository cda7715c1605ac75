// How `duskmoth render` shows progress: a bar on a terminal, plain lines in
// a log, nothing when quiet.

#include <gtest/gtest.h>

#include <sstream>

#include "apps/duskmoth/ProgressDisplay.h"

namespace {

TEST(ProgressDisplay, ReadsThePercentageOfAStatusText) {
  EXPECT_EQ(ProgressDisplay::Percent(L"Rendering...(42%)"), 42);
  EXPECT_EQ(ProgressDisplay::Percent(L"Rendering...(0%)"), 0);
  EXPECT_EQ(ProgressDisplay::Percent(L"Rendering...(100%)"), 100);
  EXPECT_EQ(ProgressDisplay::Percent(L"(250%)"), 100);
  EXPECT_EQ(ProgressDisplay::Percent(L"Rendering (1:2) ...(7%)"), 7);
  for (const wchar_t* text : {L"Completed", L"Rendering...()", L"(%)", L"(4x%)", L"(12345%)", L"42%)", L"(42%"})
    EXPECT_FALSE(ProgressDisplay::Percent(text)) << TK_wString(text).ToUtf8();
}

TEST(ProgressDisplay, DrawsABarOfFixedWidth) {
  EXPECT_EQ(ProgressDisplay::BarLine(0, "Initializing..."), "[..............................]   0% Initializing...");
  EXPECT_EQ(ProgressDisplay::BarLine(50, "x"), "[###############...............]  50% x");
  EXPECT_EQ(ProgressDisplay::BarLine(100, ""), "[##############################] 100% ");
  EXPECT_EQ(ProgressDisplay::BarLine(-5, ""), ProgressDisplay::BarLine(0, ""));
}

TEST(ProgressDisplay, LinesModeWritesEachNewTextOnce) {
  std::ostringstream out;
  {
    ProgressDisplay display(out, ProgressDisplay::Mode::lines);
    display.Print(L"Loading x, ");
    display.Status(L"Initializing...");  // a status between the pieces of a printed line
    display.Print(L"version 1\nSecond\n");
    display.Status(L"Rendering...(50%)");
    display.Status(L"Rendering...(50%)");
    display.Status(L"Completed");
    display.Print(L"Render completed");  // no line feed yet: the end of the display ends it
  }
  EXPECT_EQ(out.str(),
            "Initializing...\nLoading x, version 1\nSecond\nRendering...(50%)\nCompleted\nRender completed\n");
}

TEST(ProgressDisplay, BarModeRedrawsOneLineAndLetsPrintedLinesThrough) {
  std::ostringstream out;
  ProgressDisplay display(out, ProgressDisplay::Mode::bar);
  display.Status(L"Rendering...(20%)");
  display.Status(L"Completed");  // no percentage: the bar keeps its last one
  display.Print(L"Render completed\n");
  display.Finish();
  EXPECT_EQ(out.str(), "\r" + ProgressDisplay::BarLine(20, "Rendering...(20%)") + "\x1b[K" + "\r" +
                           ProgressDisplay::BarLine(20, "Completed") + "\x1b[K" + "\r\x1b[K" + "Render completed\n");
  // A bar still open at the end gets its line feed.
  std::ostringstream open;
  {
    ProgressDisplay bar(open, ProgressDisplay::Mode::bar);
    bar.Status(L"Aborted");
  }
  EXPECT_EQ(open.str(), "\r" + ProgressDisplay::BarLine(0, "Aborted") + "\x1b[K\n");
}

TEST(ProgressDisplay, QuietShowsNothing) {
  std::ostringstream out;
  {
    ProgressDisplay display(out, ProgressDisplay::Mode::quiet);
    display.Status(L"Rendering...(20%)");
    display.Print(L"Render completed\n");
  }
  EXPECT_EQ(out.str(), "");
}

}  // namespace
