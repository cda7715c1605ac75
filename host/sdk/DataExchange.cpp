#include "host/sdk/DataExchange.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <string>

#include "host/platform/NativeWindows.h"

namespace {

std::wstring Trimmed(const std::wstring& text) {
  const auto first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

}  // namespace

void KvDataExchange::Text(int id, TK_wString& value) {
  if (save_) value = window_.Text(id);
  else window_.SetText(id, value);
}

void KvDataExchange::Check(int id, bool& value) {
  if (save_) value = window_.Checked(id);
  else window_.SetChecked(id, value);
}

void KvDataExchange::Int(int id, int& value, int minimum, int maximum) {
  if (!save_) {
    window_.SetText(id, TK_wString(std::to_wstring(value)));
    return;
  }
  const std::wstring text = Trimmed(window_.Text(id).str());
  wchar_t* end = nullptr;
  errno = 0;
  const long long read = std::wcstoll(text.c_str(), &end, 10);
  if (text.empty() || end != text.c_str() + text.size()) return Fail();
  // Too large for a long long reads as its nearest limit, as a range check would.
  value = int(std::clamp<long long>(read, minimum, maximum));
  window_.SetText(id, TK_wString(std::to_wstring(value)));
}

void KvDataExchange::Double(int id, double& value) {
  if (!save_) {
    wchar_t shown[64];
    std::swprintf(shown, 64, L"%.15g", value);
    window_.SetText(id, TK_wString(shown));
    return;
  }
  const std::wstring text = Trimmed(window_.Text(id).str());
  wchar_t* end = nullptr;
  const double read = std::wcstod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(read)) return Fail();
  value = read;
}

void KvDataExchange::Colour(int id, TK_Color& value) {
  if (save_) value = TK_Color(window_.Colour(id));
  else window_.SetColour(id, COLORREF(value));
}

double KvDataExchange::LeadingNumber(const std::wstring& text) {
  wchar_t* end = nullptr;
  const double read = std::wcstod(text.c_str(), &end);
  return end == text.c_str() || !std::isfinite(read) ? 0.0 : read;
}
