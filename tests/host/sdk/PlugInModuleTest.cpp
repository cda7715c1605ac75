// The module loader on real shared objects: the small test modules built
// beside the tests, each with a different set of exports.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "host/app/App.h"
#include "host/app/DocumentDataClient.h"
#include "host/sdk/CapturedOutput.h"
#include "host/sdk/PlugInModule.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"

namespace {

const std::filesystem::path kModuleDir = DM_TEST_MODULE_DIR;

bool ClientRegistered(KvDocumentDataClient& client) {
  const auto& clients = KavraApp().DocumentDataClients();
  return std::find(clients.begin(), clients.end(), &client) != clients.end();
}

// A module, the error its load gives (empty when it loads) and what its
// plug-in printed by the time the module is closed again.
struct Module { const char* file; const char* error; const wchar_t* printed; };

const Module kModules[] = {
    {"test_plugin_basic.kvp", "", L"load\nunload\n"},
    {"test_plugin_no_sdk.kvp", ": not a render plug-in module (it has no KavraPlugInSdkVersion)", L""},
    {"test_plugin_old_sdk.kvp", ": built for plug-in SDK version 200011010, this host needs 200211190", L""},
    {"test_plugin_without_object.kvp", ": no render plug-in in the module", L""},
    // A plug-in that refused to load is not unloaded.
    {"test_plugin_refusing.kvp", ": the plug-in failed to load", L"load\n"},
    {"no_such_module.kvp", ": cannot load the module (", L""},
};

void PrintTo(const Module& c, std::ostream* os) { *os << c.file; }

class ModuleLoad : public testing::TestWithParam<Module> {};

TEST_P(ModuleLoad, LoadsOrRefusesWithAMessageNamingTheFile) {
  const Module& m = GetParam();
  CapturedOutput output;
  const std::size_t plugins_before = CKavraRenderSystemPlugIn::RegisteredPlugIns().size();
  const std::filesystem::path path = kModuleDir / m.file;
  {
    std::string error;
    const std::unique_ptr<KvPlugInModule> module = KvPlugInModule::Load(path, error);
    if (*m.error == '\0') {
      ASSERT_TRUE(module) << error;
      EXPECT_TRUE(module->PlugIn().IsLoaded());
      EXPECT_EQ(CKavraRenderSystemPlugIn::RegisteredPlugIns().size(), plugins_before + 1);
      EXPECT_TRUE(ClientRegistered(module->PlugIn().DocumentDataClient()));
      // Exports the module lacks or answers with null read as empty.
      EXPECT_EQ(module->Identity().organization, TK_wString(L"Test modules"));
      EXPECT_TRUE(module->Identity().email.IsEmpty());
    } else {
      EXPECT_FALSE(module);
      EXPECT_EQ(error.rfind(path.string() + m.error, 0), 0u) << error;
    }
  }
  EXPECT_EQ(output.text, m.printed);
  // Closing the module destroyed its plug-in object, which unregistered.
  EXPECT_EQ(CKavraRenderSystemPlugIn::RegisteredPlugIns().size(), plugins_before);
}

INSTANTIATE_TEST_SUITE_P(Host, ModuleLoad, testing::ValuesIn(kModules),
                         [](const auto& info) { return "Module" + std::to_string(info.index); });

TEST(PlugInModule, OneLoadPerPlugInAndPerIdentifier) {
  CapturedOutput output;
  std::string error;
  const std::unique_ptr<KvPlugInModule> first = KvPlugInModule::Load(kModuleDir / "test_plugin_basic.kvp", error);
  ASSERT_TRUE(first) << error;
  // The same file again is the same object in the process.
  EXPECT_FALSE(KvPlugInModule::Load(kModuleDir / "test_plugin_basic.kvp", error));
  EXPECT_EQ(error, (kModuleDir / "test_plugin_basic.kvp").string() + ": the plug-in is already loaded");
  // Another file whose plug-in has the same identifier is unloaded again.
  EXPECT_FALSE(KvPlugInModule::Load(kModuleDir / "test_plugin_second.kvp", error));
  EXPECT_EQ(error, (kModuleDir / "test_plugin_second.kvp").string() + ": another loaded plug-in has the same identifier");
  EXPECT_EQ(output.text, L"load\nload\nunload\n");
  EXPECT_TRUE(first->PlugIn().IsLoaded() && ClientRegistered(first->PlugIn().DocumentDataClient()));
}

}  // namespace
