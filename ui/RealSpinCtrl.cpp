#include "ui/RealSpinCtrl.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <cstdint>
#include <limits>

#include "host/platform/NativeWindows.h"
#include "host/sdk/DataExchange.h"

namespace {

constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
constexpr double kHighest = std::numeric_limits<std::int32_t>::max();

std::int32_t ClampToInt32(double v) {
  if (std::isnan(v)) return 0;
  return std::int32_t(std::clamp(std::trunc(v), kLowest, kHighest));
}

}  // namespace

bool CRealEdit::AcceptChar(const std::wstring& text, wchar_t c) {
  if ((c >= L'0' && c <= L'9') || c == L'\b' || c == L'-') return true;
  if (c == L'.') return text.find(L'.') == std::wstring::npos;
  if (c == L'e' || c == L'E') return text.find_first_of(L"eE") == std::wstring::npos;
  return false;
}

void CRealSpinCtrl::Setup(KvDialogWindow& window, int control_id, double step, double resolution, int decimals) {
  m_window = &window;
  m_control_id = control_id;
  m_step = step;
  m_resolution = resolution;
  m_decimals = decimals;
}

void CRealSpinCtrl::SetValue(double v) {
  m_integer = ClampToInt32(v / m_resolution);
  UpdateText();
}

void CRealSpinCtrl::OnSpin(int direction, int held_ms) {
  const int n = int(1.0 / m_step);
  const int factor = held_ms >= kAccelerationMs[2] ? 100 : held_ms >= kAccelerationMs[1] ? 5 : 1;
  m_integer = ClampToInt32(double(m_integer) + double(direction > 0 ? 1 : -1) * n * factor);
  UpdateText();
}

void CRealSpinCtrl::OnKillFocus() {
  if (!m_window) return;
  m_edit.m_value = KvDataExchange::LeadingNumber(m_window->Text(m_control_id).str());
  SetValue(m_edit.m_value);
}

void CRealSpinCtrl::UpdateText() {
  m_edit.m_value = m_integer * m_resolution;
  if (!m_window) return;
  wchar_t text[400];  // room for any int32 count at up to 15 decimals
  std::swprintf(text, 400, L"%.*f", std::clamp(m_decimals, 0, 15), m_edit.m_value);
  m_window->SetText(m_control_id, TK_wString(text));
}
