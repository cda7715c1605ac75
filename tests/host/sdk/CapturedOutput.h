#pragma once
// Collects what the application prints while the object lives.

#include <string>

#include "host/app/App.h"

class CapturedOutput {
public:
  CapturedOutput() {
    old_ = KavraApp().SetOutputSink([this](const std::wstring& t) { text += t; });
  }
  ~CapturedOutput() { KavraApp().SetOutputSink(std::move(old_)); }
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

  std::wstring text;

private:
  CKavraApp::OutputSink old_;
};
