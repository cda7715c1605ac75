// Default directories: remembered per kind in the user's config file.
#include <gtest/gtest.h>

#include "host/app/DirectoryManager.h"
#include "host/app/ScopedEnv.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace {

TEST(DirectoryManager, DirectoriesPersistThroughTheUsersConfigFile) {
  TempDir config;
  ScopedEnv xdg("XDG_CONFIG_HOME", config.Path().string());
  const auto file = config / "duskmoth/directories";
  EXPECT_EQ(CKavraDirectoryManager::DefaultConfigFile(), file);
  {
    CKavraDirectoryManager first;
    EXPECT_EQ(first.GetDefaultDirectory(CKavraDirectoryManager::render_image_directory), TK_wString());
    ASSERT_TRUE(first.SetDefaultDirectory(CKavraDirectoryManager::render_image_directory, L"/home/me/renders"));
    ASSERT_TRUE(first.SetDefaultDirectory(4, L"/odd\tname\nwith \\ and \u00e9"));
    ASSERT_TRUE(first.SetDefaultDirectory(6, L"/maps"));
    ASSERT_TRUE(first.SetDefaultDirectory(6, L""));  // forgotten
    EXPECT_FALSE(first.SetDefaultDirectory(-1, L"/x"));
    EXPECT_FALSE(first.SetDefaultDirectory(CKavraDirectoryManager::kMaxKind + 1, L"/x"));
    EXPECT_TRUE(first.Saved());
  }
  ASSERT_TRUE(std::filesystem::is_regular_file(file));
  CKavraDirectoryManager second;
  EXPECT_EQ(second.GetDefaultDirectory(5), TK_wString(L"/home/me/renders"));
  EXPECT_EQ(second.GetDefaultDirectory(4), TK_wString(L"/odd\tname\nwith \\ and \u00e9"));
  EXPECT_EQ(second.GetDefaultDirectory(6), TK_wString());
  EXPECT_EQ(second.GetDefaultDirectory(99), TK_wString());
}

TEST(DirectoryManager, ForeignLinesInTheFileAreIgnored) {
  TempDir config;
  const auto file = config / "directories";
  WriteFile(file, "# comment\n5\t/renders\r\nnot a line\nx7\t/bad\n7\t\n900\t/far\n3 \t/spaced\n4\t/bitmaps\n");
  CKavraDirectoryManager manager(file);
  EXPECT_EQ(manager.GetDefaultDirectory(5), TK_wString(L"/renders"));
  EXPECT_EQ(manager.GetDefaultDirectory(4), TK_wString(L"/bitmaps"));
  EXPECT_EQ(manager.GetDefaultDirectory(7), TK_wString());
  EXPECT_EQ(manager.GetDefaultDirectory(3), TK_wString());
}

TEST(DirectoryManager, AnUnwritableConfigNeverBreaksAnything) {
  TempDir config;
  WriteFile(config / "blocker", "a file where a folder should be");
  ScopedEnv xdg("XDG_CONFIG_HOME", (config / "blocker").string());
  CKavraDirectoryManager manager;
  EXPECT_TRUE(manager.SetDefaultDirectory(5, L"/renders"));
  EXPECT_FALSE(manager.Saved());
  EXPECT_EQ(manager.GetDefaultDirectory(5), TK_wString(L"/renders"));
}

TEST(DirectoryManager, WithoutXdgTheHomeConfigFolderIsUsed) {
  TempDir home;
  ScopedEnv h("HOME", home.Path().string());
  ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");  // not absolute: ignored
  EXPECT_EQ(CKavraDirectoryManager::DefaultConfigFile(), home / ".config/duskmoth/directories");
}

}  // namespace
