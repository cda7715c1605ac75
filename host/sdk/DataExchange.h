#pragma once
// KvDataExchange: moves a dialog's values between its fields and its
// controls, one call per control, in one direction per exchange. Saving
// reads each control; a text that is not a number fails the exchange (the
// dialog then stays open) and leaves the field as it was. Integer edits keep
// their value within their minimum and maximum, as the host's integer edit
// does.

#include <climits>

#include "host/toolkit/Color.h"
#include "host/toolkit/String.h"

class KvDialogWindow;

class KvDataExchange {
public:
  KvDataExchange(KvDialogWindow& window, bool save) : window_(window), save_(save) {}

  bool Saving() const { return save_; }
  bool Failed() const { return failed_; }
  KvDialogWindow& Window() const { return window_; }

  void Text(int id, TK_wString& value);
  void Check(int id, bool& value);
  void Int(int id, int& value, int minimum = INT_MIN, int maximum = INT_MAX);
  // Shown with up to 15 significant digits and no trailing zeros.
  void Double(int id, double& value);
  void Colour(int id, TK_Color& value);

  // The number an edit's text reads as: its leading valid part, 0 when none.
  static double LeadingNumber(const std::wstring& text);

private:
  void Fail() { failed_ = true; }

  KvDialogWindow& window_;
  bool save_;
  bool failed_ = false;
};
