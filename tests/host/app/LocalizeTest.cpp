// Localisation: key suffixes, the message catalogue, command option words
// and menus.
#include <gtest/gtest.h>

#include <fstream>

#include "host/app/App.h"
#include "host/app/Localize.h"
#include "host/app/ScopedEnv.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace {

// Installs a catalogue for one test and the empty one afterwards.
class WithCatalogue {
public:
  explicit WithCatalogue(CKavraMessageCatalogue catalogue) { KavraApp().SetMessageCatalogue(std::move(catalogue)); }
  ~WithCatalogue() { KavraApp().SetMessageCatalogue(CKavraMessageCatalogue()); }
};

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

TEST(Localize, TheCatalogueFileIsReadWithEscapesAndComments) {
  TempDir folder;
  const auto file = folder / "fr.tsv";
  std::ofstream(file, std::ios::binary)
      << "\xEF\xBB\xBF# DuskMoth, fran\xC3\xA7" "ais\r\n"
      << "0801\tPersonnalis\xC3\xA9\r\n"
      << "Custom\tSur mesure\n"
      << "Loading %s, version %s\\n\tChargement de %s, version %s\\n\n"
      << "Tab\\there\tTab\\\\here\n"
      << "no tab on this line\n"
      << "\n"
      << "\tempty key\n"
      << "42\tQuarante-deux\n"
      << "Viewport resolution\tR\xC3\xA9solution de la vue";
  CKavraMessageCatalogue catalogue;
  ASSERT_TRUE(catalogue.Load(file));
  EXPECT_EQ(catalogue.Count(), 6);
  EXPECT_FALSE(catalogue.Load(folder / "missing.tsv"));
  EXPECT_EQ(catalogue.Count(), 6);
  EXPECT_EQ(catalogue.Lookup(L"Tab\there"), std::optional<std::wstring>(L"Tab\\here"));

  WithCatalogue installed(catalogue);
  EXPECT_EQ(KvLocalizeString(L"Custom[[0801]]"), TK_wString(L"Personnalis\u00e9"));  // the key wins
  EXPECT_EQ(KvLocalizeString(L"Custom[[0800]]"), TK_wString(L"Sur mesure"));        // then the text
  EXPECT_EQ(KvLocalizeString(L"Custom"), TK_wString(L"Sur mesure"));
  EXPECT_EQ(KvLocalizeString(L"Loading %s, version %s\n"), TK_wString(L"Chargement de %s, version %s\n"));
  EXPECT_EQ(KvLocalizeString(L"Anything", 42), TK_wString(L"Quarante-deux"));
  EXPECT_EQ(KvLocalizeString(L"Viewport resolution", 43), TK_wString(L"R\u00e9solution de la vue"));
  EXPECT_EQ(KvLocalizeString(L"Untranslated[[9999]]"), TK_wString(L"Untranslated"));
}

TEST(Localize, TheCatalogueIsNamedByTheEnvironment) {
  TempDir folder;
  const auto file = folder / "cat.tsv";
  WriteFile(file, "Copy Error\tKopierfehler\n");
  {
    ScopedEnv env("DUSKMOTH_CATALOGUE", file.string());
    EXPECT_EQ(CKavraMessageCatalogue::FromEnvironment().Lookup(L"Copy Error"), std::optional<std::wstring>(L"Kopierfehler"));
  }
  ScopedEnv missing("DUSKMOTH_CATALOGUE", (folder / "none.tsv").string());
  EXPECT_EQ(CKavraMessageCatalogue::FromEnvironment().Count(), 0);
}

TEST(Localize, CommandOptionWordsKeepOnlyLettersDigitsAndUnderscores) {
  CKavraMessageCatalogue catalogue;
  catalogue.Add(L"0337", L"Fil de fer");
  catalogue.Add(L"Resolution", L"Aufl\u00f6sung");
  catalogue.Add(L"0592", L" -- ");
  WithCatalogue installed(catalogue);
  EXPECT_EQ(KvLocalizeCommandOptionName(L"Wireframe[[0337]]"), TK_wString(L"Fildefer"));
  EXPECT_EQ(KvLocalizeCommandOptionName(L"Resolution"), TK_wString(L"Aufl\u00f6sung"));
  EXPECT_EQ(KvLocalizeCommandOptionName(L"Type[[0592]]"), TK_wString(L"Type"));  // nothing usable left
  EXPECT_EQ(KvLocalizeCommandOptionName(L"Shadow_Maps"), TK_wString(L"Shadow_Maps"));
  EXPECT_EQ(KvLocalizeCommandOptionValue(L"Normal[[0216]]"), TK_wString(L"Normal"));
  EXPECT_EQ(KvLocalizeCommandOptionValue(L"Best (4x4)"), TK_wString(L"Best4x4"));
}

TEST(Localize, MenusAreLocalisedThroughout) {
  KvMenuItem menu{L"", 0,
                  {{L"&File", 0, {{L"Save &As...", 101, {}}, {L"&Print", 103, {}}, {}, {L"E&xit", 104, {}}}},
                   {L"&Edit[[0067]]", 0, {{L"&Copy[[0144]]", 102, {}}}},
                   {L"&Zoom[[0201]]", 0, {{L"&Normal Viewing 1:1", 32777, {}}}}}};
  EXPECT_TRUE(menu.items[0].items[2].IsSeparator());
  EXPECT_TRUE(menu.items[1].IsPopup());
  EXPECT_EQ(KvLocalizeMenus(menu, 0), 3);
  EXPECT_EQ(menu.items[1].text, TK_wString(L"&Edit"));
  EXPECT_EQ(menu.items[1].items[0].text, TK_wString(L"&Copy"));
  EXPECT_EQ(menu.items[1].items[0].id, 102);
  EXPECT_EQ(menu.items[2].text, TK_wString(L"&Zoom"));
  EXPECT_EQ(menu.items[0].items[0].text, TK_wString(L"Save &As..."));

  CKavraMessageCatalogue catalogue;
  catalogue.Add(L"&File", L"&Fichier");
  catalogue.Add(L"E&xit", L"&Quitter");
  WithCatalogue installed(catalogue);
  EXPECT_EQ(KvLocalizeMenus(menu, 0), 2);
  EXPECT_EQ(menu.items[0].text, TK_wString(L"&Fichier"));
  EXPECT_EQ(menu.items[0].items[3].text, TK_wString(L"&Quitter"));
  EXPECT_TRUE(menu.items[0].items[2].IsSeparator());
}

}  // namespace
