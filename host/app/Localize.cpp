#include "host/app/Localize.h"

#include <string>

#include "host/app/App.h"

std::wstring_view KvSplitLocalizeKey(std::wstring_view text, std::wstring_view* key) {
  if (key) *key = {};
  if (!text.ends_with(L"]]")) return text;
  const std::size_t open = text.rfind(L"[[");
  if (open == std::wstring_view::npos || open + 4 > text.size()) return text;
  const std::wstring_view inner = text.substr(open + 2, text.size() - open - 4);
  if (inner.empty() || inner.find_first_of(L"[]") != std::wstring_view::npos) return text;
  if (key) *key = inner;
  return text.substr(0, open);
}

TK_wString KvLocalizeString(const wchar_t* text, int id) {
  if (!text) return {};
  std::wstring_view key;
  const std::wstring_view source = KvSplitLocalizeKey(text, &key);
  const CKavraMessageCatalogue& catalogue = KavraApp().MessageCatalogue();
  if (catalogue.Count() > 0) {
    if (!key.empty())
      if (auto t = catalogue.Lookup(key)) return TK_wString(*t);
    if (id != 0)
      if (auto t = catalogue.Lookup(std::to_wstring(id))) return TK_wString(*t);
    if (auto t = catalogue.Lookup(source)) return TK_wString(*t);
  }
  return TK_wString(std::wstring(source));
}

namespace {
// Letters and digits of any script and the underscore stay; ASCII
// punctuation, blanks and control characters go.
std::wstring OptionWord(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    const bool ascii_word = (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_';
    const bool other_letter = c > 0xA0 && !(c >= 0x2000 && c <= 0x206F) && c != 0x3000 && c != 0xFEFF;
    if (ascii_word || other_letter) out.push_back(c);
  }
  return out;
}

TK_wString LocalizeOption(const wchar_t* text, int id) {
  if (!text) return {};
  const std::wstring localized = OptionWord(KvLocalizeString(text, id).str());
  if (!localized.empty()) return TK_wString(localized);
  return TK_wString(OptionWord(std::wstring(KvSplitLocalizeKey(text))));
}

int LocalizeMenu(KvMenuItem& item) {
  int changed = 0;
  if (!item.text.IsEmpty()) {
    TK_wString localized = KvLocalizeString(item.text.c_str());
    if (!(localized == item.text)) {
      item.text = std::move(localized);
      ++changed;
    }
  }
  for (KvMenuItem& child : item.items) changed += LocalizeMenu(child);
  return changed;
}
}  // namespace

TK_wString KvLocalizeCommandOptionName(const wchar_t* text, int id) { return LocalizeOption(text, id); }

TK_wString KvLocalizeCommandOptionValue(const wchar_t* text, int id) { return LocalizeOption(text, id); }

int KvLocalizeMenus(KvMenuItem& menu, unsigned /*flags*/) { return LocalizeMenu(menu); }
