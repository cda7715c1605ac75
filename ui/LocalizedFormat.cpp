#include "ui/LocalizedFormat.h"

#include <cwchar>
#include <string>
#include <vector>

#include "host/app/Localize.h"

namespace {

constexpr std::size_t kMaxValues = 3;

// Digits at i, at most three of them; false for more.
bool SkipDigits(const std::wstring& s, std::size_t& i) {
  std::size_t n = 0;
  while (i < s.size() && s[i] >= L'0' && s[i] <= L'9') ++i, ++n;
  return n <= 3;
}

TK_wString Format(const TK_wString& format, std::initializer_list<int> values) {
  int v[kMaxValues] = {0, 0, 0};
  std::size_t n = 0;
  for (int value : values) v[n++] = value;
  // Bounded: every conversion is at most 999 characters wide.
  std::vector<wchar_t> buffer(format.str().size() + kMaxValues * 1024 + 1);
  // Unused trailing arguments are ignored by the formatter.
  const int written = std::swprintf(buffer.data(), buffer.size(), format.c_str(), v[0], v[1], v[2]);
  return written < 0 ? format : TK_wString(std::wstring(buffer.data(), std::size_t(written)));
}

}  // namespace

int CountIntegerConversions(const TK_wString& format) {
  const std::wstring& s = format.str();
  int count = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != L'%') continue;
    if (++i < s.size() && s[i] == L'%') continue;
    while (i < s.size() && (s[i] == L'-' || s[i] == L'+' || s[i] == L' ' || s[i] == L'0' || s[i] == L'#')) ++i;
    if (!SkipDigits(s, i)) return -1;
    if (i < s.size() && s[i] == L'.' && !SkipDigits(s, ++i)) return -1;
    if (i >= s.size() || (s[i] != L'd' && s[i] != L'i')) return -1;
    ++count;
  }
  return count;
}

TK_wString FormatLocalized(const wchar_t* text, std::initializer_list<int> values) {
  if (!text) return {};
  const int wanted = int(values.size());
  const TK_wString localized = KvLocalizeString(text);
  if (values.size() <= kMaxValues && CountIntegerConversions(localized) == wanted) return Format(localized, values);
  const TK_wString original(std::wstring(KvSplitLocalizeKey(text)));
  if (values.size() <= kMaxValues && CountIntegerConversions(original) == wanted) return Format(original, values);
  return original;
}
