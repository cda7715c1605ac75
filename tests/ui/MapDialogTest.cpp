// The map settings dialog and its real-number spin edits: caption, two-decimal texts, the
// arrows and their acceleration, the character filter, and where the file dialog starts.

#include <gtest/gtest.h>

#include "host/app/App.h"
#include "host/platform/HeadlessToolkit.h"
#include "support/ToolkitScope.h"
#include "support/TempDir.h"
#include "ui/MapDialog.h"

namespace {

constexpr int kOffsetU = 6010, kOffsetV = 6012, kTilingU = 6011, kFile = 6008, kBrowse = 6009;

TEST(MapDialog, NumbersShowTwoDecimalsAndTheArrowsAccelerate) {
  ToolkitScope scope;
  MaterialMap slot;
  slot.offset_u = 0.125;  // 1249 units: 0.125 / 0.0001 falls just short of 1250
  slot.offset_v = -0.5;
  std::vector<std::wstring> texts;
  scope.headless->ScriptDialog([&](KvHeadlessDialog& d) {
    texts.push_back(d.Caption().str());
    for (int id : {kOffsetU, kOffsetV, kTilingU}) texts.push_back(d.Text(id).str());
    const struct { int direction, held_ms; const wchar_t* shown; } clicks[] = {
        {+1, 0, L"1.01"}, {+1, 1999, L"1.02"}, {+1, 2000, L"1.07"}, {+1, 5000, L"2.07"}, {-1, 5000, L"1.07"}, {-1, 0, L"1.06"},
    };
    for (const auto& c : clicks) {
      d.Spin(6025, c.direction, c.held_ms);
      EXPECT_EQ(d.Text(kTilingU).str(), c.shown) << c.held_ms;
    }
    d.Type(kTilingU, L"0.12345");  // read back through the integer count: 1234 units
    texts.push_back(d.Text(kTilingU).str());
    d.Type(kOffsetV, L"x-1.5.5e1e");  // letters refused, the second "." and "e" too: -1.55e1
    texts.push_back(d.Text(kOffsetV).str());
    d.Click(IDOK);
  });
  CMapDialog dialog(slot, CMapDialog::texture_map);
  ASSERT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(texts, (std::vector<std::wstring>{L"Map Settings... - Texture map", L"0.12", L"-0.50", L"1.00", L"0.12", L"-15.50"}));
  EXPECT_EQ(std::tuple(dialog.m_offset_u, dialog.m_offset_v, dialog.m_tiling_u, dialog.m_tiling_v),
            std::tuple(0.12, -15.5, 0.12, 1.0));
}

TEST(MapDialog, RealEditsAcceptNumbersOnly) {
  const struct { const wchar_t* text; wchar_t c; bool accepted; } cases[] = {
      {L"", L'7', true}, {L"1.5", L'.', false}, {L"1", L'.', true}, {L"1e", L'E', false}, {L"1", L'e', true},
      {L"-1", L'-', true}, {L"1", L'x', false}, {L"1", L'\b', true}, {L"1", L',', false}, {L"1", L' ', false},
  };
  for (const auto& c : cases) EXPECT_EQ(CRealEdit::AcceptChar(c.text, c.c), c.accepted) << c.text << " + " << int(c.c);
}

TEST(MapDialog, TheFileDialogStartsInTheFolderRememberedForTheKindOfMap) {
  ToolkitScope scope;
  TempDir dir;
  CKavraDirectoryManager& directories = KavraApp().DirectoryManager();
  directories.SetDefaultDirectory(CKavraDirectoryManager::map_mask_directory, TK_wString(L"/nowhere"));
  const auto browse = [&](int kind, const MaterialMap& slot, std::optional<std::filesystem::path> answer, bool ok = true) {
    scope.headless->ScriptOpenAnswer(std::move(answer));
    scope.headless->ScriptDialog([ok](KvHeadlessDialog& d) {
      d.Click(kBrowse);
      d.Click(ok ? IDOK : IDCANCEL);
    });
    CMapDialog dialog(slot, kind);
    return std::pair(dialog.DoModal(), dialog.m_file_name.str());
  };
  MaterialMap bump;
  bump.file_name = TK_wString(L"/old/Bump.png");
  EXPECT_EQ(browse(CMapDialog::bump_map, bump, dir / "bump.png"), std::pair(IDOK, (dir / "bump.png").wstring()));
  EXPECT_EQ(std::pair(scope.headless->LastOpenFolder(), scope.headless->LastOpenName()),
            std::pair(std::filesystem::path("/nowhere"), std::filesystem::path("/old/Bump.png")));
  EXPECT_EQ(directories.GetDefaultDirectory(CKavraDirectoryManager::map_mask_directory).str(), dir.Path().wstring());
  browse(CMapDialog::bump_map, bump, std::nullopt);  // the next bump map starts there
  EXPECT_EQ(scope.headless->LastOpenFolder(), dir.Path());
  // The same name in other letters changes nothing, nor does a specular map remember a folder.
  EXPECT_EQ(browse(CMapDialog::bump_map, bump, "/OLD/bump.PNG").second, L"/old/Bump.png");
  EXPECT_EQ(directories.GetDefaultDirectory(CKavraDirectoryManager::map_mask_directory).str(), dir.Path().wstring());
  EXPECT_EQ(browse(CMapDialog::specular_map, bump, "/elsewhere/s.png").second, L"/elsewhere/s.png");
  EXPECT_EQ(scope.headless->LastOpenFolder(), std::filesystem::path());
  EXPECT_EQ(directories.GetDefaultDirectory(CKavraDirectoryManager::map_mask_directory).str(), dir.Path().wstring());
  EXPECT_EQ(browse(CMapDialog::bump_map, bump, "/x/y.png", false).first, IDCANCEL);
}

}  // namespace
