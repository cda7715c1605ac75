// Application services: printing, help pages, settings and registries.
#include <gtest/gtest.h>

#include "host/app/App.h"
#include "host/app/CapturedOutput.h"
#include "host/app/EventWatcher.h"
#include "host/app/SampleDocument.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace {

TEST(App, PrintFollowsTheHostsWideFormatRules) {
  CapturedOutput out;
  const TK_wString name(L"DuskMoth Render \u263E");
  KavraApp().Print(L"Loading %s, version %s\n", name.c_str(), L"Mar 31 2006 10:48:53");
  EXPECT_EQ(out.text, L"Loading DuskMoth Render \u263E, version Mar 31 2006 10:48:53\n");
  out.text.clear();
  KavraApp().Print(L"%d X %d|%5.2f|%S|%ls|%hs|%c%C|100%%|%-4s|", 800, 600, 3.14159, "narrow", L"wide", "h", L'w', 'n',
                   L"ab");
  EXPECT_EQ(out.text, L"800 X 600| 3.14|narrow|wide|h|wn|100%|ab  |");
  out.text.clear();
  const std::wstring longer(5000, L'x');
  KavraApp().Print(L"[%s]", longer.c_str());
  EXPECT_EQ(out.text, L"[" + longer + L"]");
  out.text.clear();
  KavraApp().Print(nullptr);
  EXPECT_TRUE(out.text.empty());
}

TEST(App, HelpPagesAreFoundInTheDocsFolder) {
  TempDir docs;
  WriteFile(docs / "help/5002.md", "# Render window\n");
  KavraApp().SetDocsFolder(docs.Path());
  CapturedOutput out;
  EXPECT_TRUE(KavraApp().DoHelp(5002));
  EXPECT_EQ(out.text, L"Help topic 5002: " + (docs / "help/5002.md").wstring() + L"\n");
  out.text.clear();
  EXPECT_FALSE(KavraApp().DoHelp(2136));
  EXPECT_NE(out.text.find(L"no help page"), std::wstring::npos);
  EXPECT_NE(out.text.find((docs / "help/2136.md").wstring()), std::wstring::npos);
  KavraApp().SetDocsFolder({});
  // Without a setting, and no docs beside the test program, the source tree's.
  EXPECT_EQ(KavraApp().DocsFolder(), std::filesystem::path(DM_SOURCE_DIR) / "docs");
}

TEST(App, ChangedSettingsReachTheWatchers) {
  struct Watcher : CKavraEventWatcher {
    int calls = 0;
    double intensity = 0;
    void OnAppSettingsChanged(const CKavraAppSettings& s) override {
      ++calls;
      intensity = s.DefaultLight().Intensity();
    }
  } watcher;
  watcher.Register();
  watcher.Enable(true);
  const CKavraAppSettings original = KavraApp().AppSettings();
  const TK_Light& standard = original.DefaultLight();  // by default a white point light of intensity one
  EXPECT_TRUE(standard.IsPointLight() && standard.IsEnabled() && standard.Diffuse() == TK_Color(255, 255, 255));
  EXPECT_EQ(standard.Intensity(), 1.0);
  CKavraAppSettings dim = original;
  TK_Light light = dim.DefaultLight();
  light.SetIntensity(0.5);
  dim.SetDefaultLight(light);
  KavraApp().SetAppSettings(dim);
  EXPECT_EQ(watcher.calls, 1);
  EXPECT_EQ(watcher.intensity, 0.5);
  KavraApp().SetAppSettings(original);
}

TEST(App, DocumentDataClientsRegisterOncePerPlugIn) {
  TestDataClient a(kPlugInA), same_id(kPlugInA), b(kPlugInB);
  CKavraApp& app = KavraApp();
  EXPECT_TRUE(app.RegisterDocumentDataClient(a));
  EXPECT_TRUE(app.RegisterDocumentDataClient(a));
  EXPECT_FALSE(app.RegisterDocumentDataClient(same_id));
  EXPECT_TRUE(app.RegisterDocumentDataClient(b));
  EXPECT_EQ(app.DocumentDataClients(), (std::vector<KvDocumentDataClient*>{&a, &b}));
  app.UnRegisterDocumentDataClient(a);
  app.UnRegisterDocumentDataClient(b);
  EXPECT_TRUE(app.DocumentDataClients().empty());
}

}  // namespace
