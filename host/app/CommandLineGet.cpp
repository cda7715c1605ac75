#include "host/app/CommandLineGet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwctype>
#include <istream>

#include "host/app/App.h"

namespace {

std::wstring Lower(std::wstring s) {
  std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return wchar_t(std::towlower(c)); });
  return s;
}

std::wstring Trimmed(const std::wstring& s) {
  const auto first = s.find_first_not_of(L" \t\r");
  if (first == std::wstring::npos) return {};
  return s.substr(first, s.find_last_not_of(L" \t\r") - first + 1);
}

// The one name of `names` that is `word` or begins with it, ignoring case; -1.
int Match(const std::vector<std::wstring>& names, const std::wstring& word) {
  const std::wstring w = Lower(word);
  int found = -1;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::wstring name = Lower(names[i]);
    if (name == w) return int(i);
    if (!w.empty() && name.compare(0, w.size(), w) == 0) found = found == -1 ? int(i) : -2;
  }
  return found < 0 ? -1 : found;
}

std::optional<double> ParseNumber(const std::wstring& text) {
  wchar_t* end = nullptr;
  const double value = std::wcstod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::wstring NumberText(double value) {
  wchar_t text[64];
  std::swprintf(text, 64, L"%g", value);
  return text;
}

}  // namespace

std::optional<std::wstring> CKavraGet::Ask(const std::wstring& prompt) {
  KavraApp().Print(L"%ls", prompt.c_str());
  std::string line;
  if (!std::getline(KavraApp().CommandInput(), line)) {
    KavraApp().Print(L"\n");
    return std::nullopt;
  }
  if (line.find('\x1b') != std::string::npos) return std::nullopt;
  return Trimmed(TK_wString::FromUtf8(line).str());
}

int CKavraGetOption::AddCommandOption(const TK_wString& name) {
  KvCommandOption option;
  option.name = name;
  option.index = int(options_.size()) + 1;
  options_.push_back(std::move(option));
  return options_.back().index;
}

int CKavraGetOption::AddCommandOptionNumber(const TK_wString& name, double* value, const TK_wString& prompt,
                                            bool integer, std::optional<double> lower, std::optional<double> upper) {
  AddCommandOption(name);
  KvCommandOption& option = options_.back();
  option.kind = KvCommandOption::Kind::number;
  option.number = value;
  option.integer = integer;
  option.number_prompt = prompt;
  option.lower = lower;
  option.upper = upper;
  return option.index;
}

int CKavraGetOption::AddCommandOptionList(const TK_wString& name, std::vector<TK_wString> values, int current) {
  AddCommandOption(name);
  KvCommandOption& option = options_.back();
  option.kind = KvCommandOption::Kind::list;
  option.current = values.empty() ? 0 : std::clamp(current, 0, int(values.size()) - 1);
  option.values = std::move(values);
  return option.index;
}

int CKavraGetOption::AddCommandOptionToggle(const TK_wString& name, const TK_wString& off, const TK_wString& on,
                                            bool* value) {
  AddCommandOption(name);
  KvCommandOption& option = options_.back();
  option.kind = KvCommandOption::Kind::toggle;
  option.off = off;
  option.on = on;
  option.toggle = value;
  return option.index;
}

std::wstring CKavraGetOption::PromptLine() const {
  std::wstring line = prompt_.str();
  if (!options_.empty()) {
    line += L" (";
    for (const KvCommandOption& o : options_) {
      line += L"  " + o.name.str();
      if (o.kind == KvCommandOption::Kind::list && !o.values.empty()) line += L"=" + o.values[std::size_t(o.current)].str();
      if (o.kind == KvCommandOption::Kind::toggle) line += L"=" + ((o.toggle && *o.toggle) ? o.on : o.off).str();
      if (o.kind == KvCommandOption::Kind::number && o.number) line += L"=" + NumberText(*o.number);
    }
    line += L" )";
  }
  return line + L": ";
}

int CKavraGetOption::Find(const std::wstring& word) const {
  std::vector<std::wstring> names;
  for (const KvCommandOption& o : options_) names.push_back(o.name.str());
  return Match(names, word);
}

bool CKavraGetOption::SetValue(KvCommandOption& option, const std::wstring& value) {
  switch (option.kind) {
    case KvCommandOption::Kind::list: {
      std::vector<std::wstring> names;
      for (const TK_wString& v : option.values) names.push_back(v.str());
      const int i = Match(names, value);
      if (i < 0) break;
      option.current = i;
      return true;
    }
    case KvCommandOption::Kind::toggle: {
      const int i = Match({option.off.str(), option.on.str()}, value);
      if (i < 0 || !option.toggle) break;
      *option.toggle = i == 1;
      return true;
    }
    case KvCommandOption::Kind::number: {
      const std::optional<double> number = ParseNumber(value);
      if (!number || !option.number) {
        KavraApp().Print(L"Invalid number.\n");
        return false;
      }
      const double v = option.integer ? std::trunc(*number) : *number;
      if (option.lower && v < *option.lower) {
        KavraApp().Print(L"Number must be greater than or equal to %ls.\n", NumberText(*option.lower).c_str());
        return false;
      }
      if (option.upper && v > *option.upper) {
        KavraApp().Print(L"Number must be smaller than or equal to %ls.\n", NumberText(*option.upper).c_str());
        return false;
      }
      *option.number = v;
      return true;
    }
    case KvCommandOption::Kind::plain: break;
  }
  KavraApp().Print(L"Unknown value \"%ls\" for %ls.\n", value.c_str(), option.name.c_str());
  return false;
}

std::optional<bool> CKavraGetOption::AskValue(KvCommandOption& option) {
  for (;;) {
    std::wstring line;
    if (option.kind == KvCommandOption::Kind::list) {
      line = option.name.str() + L" <" + option.values[std::size_t(option.current)].str() + L"> (";
      for (const TK_wString& v : option.values) line += L"  " + v.str();
      line += L" ): ";
    } else {
      line = option.number_prompt.str() + L" <" + NumberText(*option.number) + L">: ";
    }
    const std::optional<std::wstring> answer = Ask(line);
    if (!answer) return std::nullopt;
    if (answer->empty()) return false;
    if (SetValue(option, *answer)) return true;
  }
}

KvGetResult CKavraGetOption::GetOption() {
  chosen_ = -1;
  for (;;) {
    const std::optional<std::wstring> answer = Ask(PromptLine());
    if (!answer) return KvGetResult::cancel;
    if (answer->empty()) {
      if (accept_nothing_) return KvGetResult::nothing;
      continue;
    }
    const std::size_t equals = answer->find(L'=');
    const int i = Find(Trimmed(answer->substr(0, equals)));
    if (i < 0) {
      if (accept_string_) {
        string_ = TK_wString(*answer);
        return KvGetResult::string;
      }
      KavraApp().Print(L"Unknown command option \"%ls\".\n", answer->c_str());
      continue;
    }
    KvCommandOption& option = options_[std::size_t(i)];
    if (equals != std::wstring::npos) {
      if (option.kind == KvCommandOption::Kind::plain) {
        KavraApp().Print(L"%ls takes no value.\n", option.name.c_str());
        continue;
      }
      if (!SetValue(option, Trimmed(answer->substr(equals + 1)))) continue;
    } else if (option.kind == KvCommandOption::Kind::toggle) {
      if (option.toggle) *option.toggle = !*option.toggle;
    } else if (option.kind != KvCommandOption::Kind::plain) {
      const std::optional<bool> set = AskValue(option);
      if (!set) return KvGetResult::cancel;
      if (!*set) continue;
    }
    chosen_ = i;
    return KvGetResult::option;
  }
}

KvGetResult CKavraGetColor::GetColor() {
  for (;;) {
    std::wstring line = prompt_.str();
    if (!default_.IsEmpty()) line += L" <" + default_.str() + L">";
    const std::optional<std::wstring> answer = Ask(line + L": ");
    if (!answer) return KvGetResult::cancel;
    if (answer->empty()) {
      if (accept_nothing_) return KvGetResult::nothing;
      continue;
    }
    std::wstring text = Lower(*answer);
    if (text.rfind(L"rgb", 0) == 0) text = text.substr(3);
    std::replace_if(text.begin(), text.end(), [](wchar_t c) { return c == L'(' || c == L')' || c == L','; }, L' ');
    int rgb[3];
    wchar_t rest = 0;
    if (std::swscanf(text.c_str(), L"%d %d %d %lc", &rgb[0], &rgb[1], &rgb[2], &rest) == 3 &&
        std::all_of(rgb, rgb + 3, [](int v) { return v >= 0 && v <= 255; })) {
      colour_ = TK_Color(rgb[0], rgb[1], rgb[2]);
      return KvGetResult::colour;
    }
    if (accept_string_) {
      string_ = TK_wString(*answer);
      return KvGetResult::string;
    }
    KavraApp().Print(L"A color is three numbers from 0 to 255: R,G,B.\n");
  }
}
