// The render properties page, driven as a user would in a headless dialog: what it shows for
// the stored settings, the resolution list and the aspect lock, and what Apply writes and marks.

#include <gtest/gtest.h>

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/View.h"
#include "host/platform/HeadlessToolkit.h"
#include "support/ToolkitScope.h"
#include "plugin/RenderSystemPlugIn.h"
#include "ui/RenderPropertiesPage.h"

namespace {

constexpr int kList = 12002, kLock = 12003, kWidth = 115, kHeight = 116, kMapSize = 113;

// A document with an 1000 x 500 active view, shown in the page of a fresh plug-in object.
struct PageRun {
  PageRun() {
    doc.SetActiveView(doc.AddView(CKavraView(TK_ScnView(), 1000, 500)));
    previous_doc = KavraApp().ActiveDoc();
    KavraApp().SetActiveDoc(&doc);
  }
  ~PageRun() { KavraApp().SetActiveDoc(previous_doc); }
  // Opens the page on the document's settings as they are now, plays the user.
  int Run(TK_ScnRenderSettings settings, KvHeadlessDialog::Script user) {
    doc.Properties().SetRenderSettings(settings);
    doc.SetModified(false);
    toolkit->ScriptDialog(std::move(user));
    CRenderPropertiesPage page(doc, plugin);
    return page.DoModal();
  }
  const TK_ScnRenderSettings& Stored() const { return doc.Properties().RenderSettings(); }

  ToolkitScope scope;
  KvHeadlessToolkit* toolkit = scope.headless;
  CKavraDoc* previous_doc;
  CKavraDoc doc;
  CRenderSystemPlugIn plugin;
};

struct Shown {
  int selection;
  std::wstring width, height;
  bool edits_on;
  bool operator==(const Shown&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const Shown& s) {
    return out << s.selection << " " << TK_wString(s.width).ToUtf8() << "x" << TK_wString(s.height).ToUtf8()
               << (s.edits_on ? " on" : " off");
  }
};
Shown Look(const KvHeadlessDialog& d) {
  return {d.ListSelection(kList), d.Text(kWidth).str(), d.Text(kHeight).str(), d.IsEnabled(kWidth)};
}

TEST(RenderPropertiesPage, TheResolutionListShowsTheViewportACustomSizeOrAPreset) {
  PageRun run;
  TK_SimpleArray<KvRenderSize> presets;
  ASSERT_GE(run.doc.Properties().GetCustomRenderSizes(presets), 2);
  TK_ScnRenderSettings s;
  const auto open = [&](int custom, int width, int height, std::vector<int> picks) {
    s.m_custom_imagesize = custom;
    s.m_image_width = width;
    s.m_image_height = height;
    std::vector<Shown> seen;
    run.Run(s, [&](KvHeadlessDialog& d) {
      seen.push_back(Look(d));
      for (int item : picks) {
        d.Select(kList, item);
        seen.push_back(Look(d));
      }
      EXPECT_EQ(d.ListItems(kList).size(), std::size_t(presets.Count() + 2));
    });
    return seen;
  };
  const std::wstring pw = std::to_wstring(presets[1].width), ph = std::to_wstring(presets[1].height);
  // Flag clear: the viewport's size, the edits off.
  EXPECT_EQ(open(0, 320, 200, {1}), (std::vector<Shown>{{0, L"1000", L"500", false}, {1, L"320", L"200", true}}));
  // The stored size is the second preset: item 3; Custom then shows that preset.
  EXPECT_EQ(open(1, presets[1].width, presets[1].height, {1, 0}),
            (std::vector<Shown>{{3, pw, ph, false}, {1, pw, ph, true}, {0, L"1000", L"500", false}}));
  // Custom without a preset chosen shows the stored size.
  EXPECT_EQ(open(1, 321, 123, {}), (std::vector<Shown>{{1, L"321", L"123", true}}));
}

TEST(RenderPropertiesPage, TheAspectLockKeepsTheShownRatioAndSurvivesTheNextPage) {
  PageRun run;
  TK_ScnRenderSettings s;
  s.m_custom_imagesize = 1;
  s.m_image_width = 400;
  s.m_image_height = 300;  // 0.75
  std::vector<std::wstring> seen;
  EXPECT_EQ(run.Run(s, [&](KvHeadlessDialog& d) {
    d.Type(kWidth, L"800");  // not locked yet: nothing follows
    seen.push_back(d.Text(kHeight).str());
    d.Click(kLock);
    d.Type(kWidth, L"800");
    seen.push_back(d.Text(kHeight).str());  // trunc(800.5 x 0.75)
    d.Type(kHeight, L"600");
    seen.push_back(d.Text(kWidth).str());  // trunc(600.5 / 0.75)
    d.Click(IDOK);
  }), IDOK);
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"300", L"600", L"800"}));
  EXPECT_EQ(std::pair(run.Stored().m_image_width, run.Stored().m_image_height), std::pair(800, 600));
  bool locked = false;
  run.Run(run.Stored(), [&](KvHeadlessDialog& d) { locked = d.Checked(kLock); });
  EXPECT_TRUE(locked && CRenderPropertiesPage::AspectLocked());
}

// What Apply stores for the levels shown, and which changes mark the watcher.
TEST(RenderPropertiesPage, ApplyStoresTheLevelsAndMarksOnlyWhatNeedsNewSetUp) {
  const struct {
    const char* name;
    int antialias, shadow;
    std::function<void(KvHeadlessDialog&)> user;
    int stored_antialias, stored_shadow, map_size;
    bool scene_marked, lights_marked;
  } cases[] = {
      {"untouched 4x4 level", 3, 1, [](KvHeadlessDialog&) {}, 3, 1, 1024, false, false},
      {"level 7 shown as 4x4", 7, -1, [](KvHeadlessDialog&) {}, 3, 0, 1024, true, false},
      {"background only", 1, 1, [](KvHeadlessDialog& d) { d.PickColour(1015, MakeColorRef(1, 2, 3)); }, 1, 1, 1024, false, false},
      {"map size", 1, 1, [](KvHeadlessDialog& d) { d.Type(kMapSize, L"2048"); }, 1, 1, 2048, true, false},
      {"best antialiasing", 1, 1, [](KvHeadlessDialog& d) { d.Click(108); }, 2, 1, 1024, true, false},
      {"lights on hidden layers", 1, 1, [](KvHeadlessDialog& d) { d.Click(101); }, 1, 1, 1024, false, true},
  };
  for (const auto& c : cases) {
    PageRun run;
    TK_ScnRenderSettings s;
    s.m_antialias_level = c.antialias;
    s.m_shadow_level = c.shadow;
    s.m_shadowmap_width = s.m_shadowmap_height = 1024;
    const int redraws = run.doc.RedrawCount();
    ASSERT_EQ(run.Run(s, [&](KvHeadlessDialog& d) {
      c.user(d);
      d.Click(IDOK);
    }), IDOK) << c.name;
    const TK_ScnRenderSettings& stored = run.Stored();
    EXPECT_EQ(std::tuple(stored.m_antialias_level, stored.m_shadow_level, stored.m_shadowmap_width, stored.m_shadowmap_height),
              std::tuple(c.stored_antialias, c.stored_shadow, c.map_size, c.map_size)) << c.name;
    EXPECT_EQ(std::pair(run.plugin.Watcher().SceneChanged(), run.plugin.Watcher().LightsChanged()),
              std::pair(c.scene_marked, c.lights_marked)) << c.name;
    EXPECT_TRUE(run.doc.IsModified() && run.doc.RedrawCount() == redraws + 1) << c.name;
  }
}

TEST(RenderPropertiesPage, AnEntryThatIsNoNumberKeepsThePageOpenAndWritesNothing) {
  PageRun run;
  TK_ScnRenderSettings s;
  s.m_custom_imagesize = 1;
  s.m_image_width = 321;  // no preset: the edits are on
  bool ended = true;
  EXPECT_EQ(run.Run(s, [&](KvHeadlessDialog& d) {
    d.Click(6039);  // use wallpaper: "Stretch to fit" follows it
    EXPECT_TRUE(d.IsEnabled(6040));
    d.Type(kWidth, L"wide");
    d.Click(IDOK);
    ended = d.Ended();
  }), IDCANCEL);
  EXPECT_FALSE(ended || run.doc.IsModified() || run.plugin.GetRenderUserData().m_use_wallpaper);
}

}  // namespace
