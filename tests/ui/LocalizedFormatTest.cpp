// Localised formats with integer conversions: what counts as one, and
// formats that do not fit their values never reach the formatter.

#include <gtest/gtest.h>

#include "host/app/App.h"
#include "ui/LocalizedFormat.h"

TEST(LocalizedFormat, CountsIntegerConversionsAndRefusesAnyOther) {
  EXPECT_EQ(CountIntegerConversions(L"Rendering...(%d%%)"), 1);
  EXPECT_EQ(CountIntegerConversions(L"(%d:%d)"), 2);
  EXPECT_EQ(CountIntegerConversions(L": Unnamed-%2.2d"), 1);
  EXPECT_EQ(CountIntegerConversions(L"%-05i and %+d"), 2);
  EXPECT_EQ(CountIntegerConversions(L"100%%"), 0);
  EXPECT_EQ(CountIntegerConversions(L"%s"), -1);
  EXPECT_EQ(CountIntegerConversions(L"%ld"), -1);
  EXPECT_EQ(CountIntegerConversions(L"%n"), -1);
  EXPECT_EQ(CountIntegerConversions(L"trailing %"), -1);
  // Widths that could ask for huge output are refused.
  EXPECT_EQ(CountIntegerConversions(L"%9999d"), -1);
  EXPECT_EQ(CountIntegerConversions(L"%.9999d"), -1);
  EXPECT_EQ(CountIntegerConversions(L"%999d"), 1);
}

TEST(LocalizedFormat, FormatsWithTheValuesGiven) {
  EXPECT_EQ(FormatLocalized(L"Rendering...(%d%%)", {42}).str(), L"Rendering...(42%)");
  EXPECT_EQ(FormatLocalized(L": Unnamed-%2.2d", {0}).str(), L": Unnamed-00");
  EXPECT_EQ(FormatLocalized(L": Unnamed-%2.2d", {7}).str(), L": Unnamed-07");
  EXPECT_EQ(FormatLocalized(L": Unnamed-%2.2d", {123}).str(), L": Unnamed-123");
  EXPECT_EQ(FormatLocalized(L"(%d:%d)", {1, 4}).str(), L"(1:4)");
  // A key suffix is not part of the text.
  EXPECT_EQ(FormatLocalized(L"Done %d[[0901]]", {3}).str(), L"Done 3");
  // Too few or too many values: the text comes back as it is.
  EXPECT_EQ(FormatLocalized(L"(%d:%d)", {1}).str(), L"(%d:%d)");
  EXPECT_EQ(FormatLocalized(L"%s", {1}).str(), L"%s");
  EXPECT_EQ(FormatLocalized(L"%d %d %d %d", {1, 2, 3, 4}).str(), L"%d %d %d %d");
  EXPECT_EQ(FormatLocalized(nullptr, {1}).str(), L"");
  EXPECT_EQ(FormatLocalized(L"%999d", {5}).str().size(), 999u);
}

TEST(LocalizedFormat, ATranslationIsUsedOnlyWhenItsConversionsFit) {
  CKavraMessageCatalogue catalogue;
  catalogue.Add(L"Rendering...(%d%%)", L"Berechnung...(%d%%)");
  catalogue.Add(L": Unnamed-%2.2d", L": Unbenannt-%s");  // would read a string from an int
  catalogue.Add(L"(%d:%d)", L"(%d)");                    // loses a value
  KavraApp().SetMessageCatalogue(catalogue);
  EXPECT_EQ(FormatLocalized(L"Rendering...(%d%%)", {5}).str(), L"Berechnung...(5%)");
  EXPECT_EQ(FormatLocalized(L": Unnamed-%2.2d", {5}).str(), L": Unnamed-05");
  EXPECT_EQ(FormatLocalized(L"(%d:%d)", {1, 2}).str(), L"(1:2)");
  KavraApp().SetMessageCatalogue(CKavraMessageCatalogue());
}
