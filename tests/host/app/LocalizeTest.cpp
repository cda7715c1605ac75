// Localisation keys: the "[[key]]" suffix of a text, split off only when well formed.
#include <gtest/gtest.h>

#include "host/app/Localize.h"

namespace {

TEST(Localize, TheKeySuffixIsRemovedOnlyWhenWellFormed) {
  const struct { const wchar_t* text; const wchar_t* shown; const wchar_t* key; } cases[] = {
      {L"Custom[[0801]]", L"Custom", L"0801"},
      {L"&Edit[[0067]]", L"&Edit", L"0067"},
      {L"Non&e[[801]]", L"Non&e", L"801"},
      {L"Custom", L"Custom", L""},
      {L"", L"", L""},
      {L"[[0801]]", L"", L"0801"},
      {L"Custom[[]]", L"Custom[[]]", L""},            // no key
      {L"Custom[[0801", L"Custom[[0801", L""},        // not closed
      {L"Custom[[0801]] ", L"Custom[[0801]] ", L""},  // not at the end
      {L"[[0801]]Custom", L"[[0801]]Custom", L""},
      {L"a[[b]]]]", L"a[[b]]]]", L""},                // brackets inside the key
      {L"x[[a[b]]", L"x[[a[b]]", L""},
      {L"Size [1..4] [[12]]", L"Size [1..4] ", L"12"},
  };
  for (const auto& c : cases) {
    std::wstring_view key;
    EXPECT_EQ(KvSplitLocalizeKey(c.text, &key), std::wstring_view(c.shown)) << TK_wString(c.text).ToUtf8();
    EXPECT_EQ(key, std::wstring_view(c.key)) << TK_wString(c.text).ToUtf8();
    EXPECT_EQ(KvLocalizeString(c.text), TK_wString(c.shown));
  }
  EXPECT_EQ(KvLocalizeString(nullptr), TK_wString());
}

}  // namespace
