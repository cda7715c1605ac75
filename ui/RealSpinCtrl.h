#pragma once
// CRealSpinCtrl: a spin button on a real number. It takes over the edit
// beside a dialog's spin button: the value is held as an integer count of a
// fixed resolution, every change of it rewrites the edit's text with fixed
// decimals, the arrows step it by n, 5n and then 100n units as they are held
// (n = 1 / step), and a finished edit is read back into it. CRealEdit is the
// edit's side: its value and its character filter. The dialog owns both.

#include <cstdint>

#include "host/toolkit/String.h"

class KvDialogWindow;
class CRealSpinCtrl;

class CRealEdit {
public:
  double Value() const { return m_value; }
  // Digits, backspace and "-" pass; "." and "e"/"E" only once in `text`.
  static bool AcceptChar(const std::wstring& text, wchar_t c);

private:
  friend class CRealSpinCtrl;
  double m_value = 0.0;
};

class CRealSpinCtrl {
public:
  // Seconds after which a held arrow steps 5n and then 100n units.
  static constexpr int kAccelerationMs[3] = {0, 2000, 5000};

  // Takes over the edit `control_id` of the running dialog. The spin range
  // is the whole 32-bit integer range.
  void Setup(KvDialogWindow& window, int control_id, double step, double resolution, int decimals);
  int ControlId() const { return m_control_id; }

  // The integer becomes trunc(v / resolution); the text follows.
  void SetValue(double v);
  std::int32_t Integer() const { return m_integer; }
  const CRealEdit& Edit() const { return m_edit; }
  // An arrow click (+1 up, -1 down), held for `held_ms` when repeating.
  void OnSpin(int direction, int held_ms);
  // The user left the edit: its text read as a number (its leading valid
  // part, 0 without one) becomes the value.
  void OnKillFocus();

private:
  void UpdateText();

  KvDialogWindow* m_window = nullptr;
  int m_control_id = 0;
  double m_step = 0.01;
  double m_resolution = 0.001;
  int m_decimals = 2;
  std::int32_t m_integer = 0;
  CRealEdit m_edit;
};
