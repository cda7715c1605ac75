// Localised formats with integer conversions: formats that do not fit their
// values, in the text or in its translation, never reach the formatter.

#include <gtest/gtest.h>

#include "host/app/App.h"
#include "ui/LocalizedFormat.h"

TEST(LocalizedFormat, FormatsOnlyWhatFitsItsValuesAndUsesOnlyTranslationsThatFit) {
  CKavraMessageCatalogue catalogue;
  catalogue.Add(L"Rendering...(%d%%)", L"Berechnung...(%d%%)");
  catalogue.Add(L": Unnamed-%2.2d", L": Unbenannt-%s");  // would read a string from an int
  catalogue.Add(L"(%d:%d)", L"(%d)");                    // loses a value
  const struct { const wchar_t* format; std::initializer_list<int> values; std::wstring text, translated; } cases[] = {
      {L"Rendering...(%d%%)", {42}, L"Rendering...(42%)", L"Berechnung...(42%)"},
      {L": Unnamed-%2.2d", {7}, L": Unnamed-07", L": Unnamed-07"},
      {L"%-05i and %+d", {1, 4}, L"1     and +4", L"1     and +4"},
      {L"Done %d[[0901]]", {3}, L"Done 3", L"Done 3"},  // the key suffix is not text
      {L"(%d:%d)", {1, 2}, L"(1:2)", L"(1:2)"},
      {L"(%d, %d)", {1}, L"(%d, %d)", L"(%d, %d)"},  // too few values: the text as it is
      {L"%d %d %d %d", {1, 2, 3, 4}, L"%d %d %d %d", L"%d %d %d %d"},
      {L"%s", {1}, L"%s", L"%s"}, {L"%n", {1}, L"%n", L"%n"}, {L"trailing %", {}, L"trailing %", L"trailing %"},
      {L"%9999d", {1}, L"%9999d", L"%9999d"}, {L"%.9999d", {1}, L"%.9999d", L"%.9999d"},  // could ask for huge output
      {nullptr, {1}, L"", L""},
  };
  for (bool translated : {false, true}) {
    KavraApp().SetMessageCatalogue(translated ? catalogue : CKavraMessageCatalogue());
    for (const auto& c : cases)
      EXPECT_EQ(FormatLocalized(c.format, c.values).str(), translated ? c.translated : c.text)
          << (c.format ? c.format : L"") << (translated ? " translated" : "");
  }
  KavraApp().SetMessageCatalogue(CKavraMessageCatalogue());
  EXPECT_EQ(FormatLocalized(L"%999d", {5}).str().size(), 999u);
}
