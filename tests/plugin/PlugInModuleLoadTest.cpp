// The real module duskmoth.kvp, loaded by the host's module loader.

#include <gtest/gtest.h>

#include <filesystem>

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/sdk/PlugInModule.h"
#include "plugin/RenderSystemPlugIn.h"

TEST(PlugInModuleLoad, LoadsPrintsTheBannerAndUnloads) {
  const std::filesystem::path path = std::filesystem::path(DM_BINARY_DIR) / "duskmoth.kvp";
  ASSERT_TRUE(std::filesystem::exists(path)) << path;
  std::wstring printed;
  const CKavraApp::OutputSink old = KavraApp().SetOutputSink([&printed](const std::wstring& t) { printed += t; });
  std::string error;
  std::unique_ptr<KvPlugInModule> module = KvPlugInModule::Load(path, error);
  KavraApp().SetOutputSink(old);
  ASSERT_NE(module, nullptr) << error;

  CKavraRenderSystemPlugIn& plugin = module->PlugIn();
  // The module's own object, not this program's.
  EXPECT_NE(static_cast<const void*>(&plugin), static_cast<const void*>(&ThePlugIn()));
  EXPECT_EQ(plugin.PlugInName().str(), L"DuskMoth Render");
  EXPECT_EQ(printed, L"Loading DuskMoth Render, version " + plugin.PlugInVersion().str() + L"\n");
  EXPECT_EQ(module->Identity().sdk_version, 200211190);
  EXPECT_EQ(module->Identity().sdk_service_release, 200404200);

  // The module's plug-in is of this program's class (same sources).
  const CDocumentWatcher& watcher = static_cast<CRenderSystemPlugIn&>(plugin).Watcher();
  EXPECT_TRUE(watcher.IsRegistered());
  EXPECT_TRUE(watcher.IsEnabled());
  plugin.OnUnloadPlugIn();
  EXPECT_FALSE(watcher.IsRegistered());
  EXPECT_FALSE(watcher.IsEnabled());
  // The loader unloads once more before it closes the module.
  module.reset();
  // The module is gone and left no watcher behind: events still dispatch.
  CKavraDoc& doc = KavraApp().NewDocument();
  EXPECT_TRUE(KavraApp().CloseDocument(doc));
}
