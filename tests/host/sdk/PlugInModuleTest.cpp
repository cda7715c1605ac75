// The module loader on real shared objects: the project's duskmoth.kvp and
// the small test modules built beside the tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/DocumentDataClient.h"
#include "host/app/DocumentFile.h"
#include "host/app/CapturedOutput.h"
#include "host/sdk/PlugInModule.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"
#include "support/TempDir.h"

namespace {

const std::filesystem::path kModuleDir = DM_TEST_MODULE_DIR;
const std::filesystem::path kDuskMoth = std::filesystem::path(DM_BINARY_DIR) / "duskmoth.kvp";

bool ClientRegistered(KvDocumentDataClient& client) {
  const auto& clients = KavraApp().DocumentDataClients();
  return std::find(clients.begin(), clients.end(), &client) != clients.end();
}

TEST(PlugInModule, ReadsTheIdentityOfTheProjectsModule) {
  KvPlugInIdentity identity;
  std::string error;
  ASSERT_TRUE(KvPlugInModule::ReadIdentity(kDuskMoth, identity, error)) << error;
  EXPECT_EQ(identity.sdk_version, kKavraPlugInSdkVersion);
  for (const TK_wString* text : {&identity.organization, &identity.country, &identity.phone, &identity.fax,
                                 &identity.email, &identity.website, &identity.update_url})
    EXPECT_FALSE(text->IsEmpty());
  // Two lines, separated by a carriage return and a line feed.
  const std::wstring& address = identity.address.str();
  const auto crlf = address.find(L"\r\n");
  ASSERT_NE(crlf, std::wstring::npos);
  EXPECT_GT(crlf, 0u);
  EXPECT_LT(crlf + 2, address.size());
}

TEST(PlugInModule, LoadAndUnloadCallThePlugInInOrder) {
  CapturedOutput output;
  const std::size_t plugins_before = CKavraRenderSystemPlugIn::RegisteredPlugIns().size();
  {
    std::string error;
    const std::unique_ptr<KvPlugInModule> module = KvPlugInModule::Load(kModuleDir / "test_plugin_basic.kvp", error);
    ASSERT_TRUE(module) << error;
    EXPECT_EQ(output.text, L"load\n");
    EXPECT_EQ(module->PlugIn().PlugInName(), TK_wString(L"Test module plug-in"));
    EXPECT_TRUE(module->PlugIn().IsLoaded());
    EXPECT_EQ(CKavraRenderSystemPlugIn::RegisteredPlugIns().size(), plugins_before + 1);
    // Exports the module lacks or answers with null read as empty.
    EXPECT_EQ(module->Identity().organization, TK_wString(L"Test modules"));
    EXPECT_TRUE(module->Identity().email.IsEmpty());
    EXPECT_TRUE(module->Identity().website.IsEmpty());
    EXPECT_EQ(module->Identity().sdk_service_release, 7);
    EXPECT_TRUE(ClientRegistered(module->PlugIn().DocumentDataClient()));
  }
  EXPECT_EQ(output.text, L"load\nunload\n");
  // Closing the module destroyed its plug-in object, which unregistered.
  EXPECT_EQ(CKavraRenderSystemPlugIn::RegisteredPlugIns().size(), plugins_before);
}

TEST(PlugInModule, RefusesModulesWithAClearMessageNamingTheFile) {
  CapturedOutput output;
  const std::size_t plugins_before = CKavraRenderSystemPlugIn::RegisteredPlugIns().size();
  struct Case {
    const char* file;
    std::string message;
  };
  const Case cases[] = {
      {"test_plugin_no_sdk.kvp", ": not a render plug-in module (it has no KavraPlugInSdkVersion)"},
      {"test_plugin_old_sdk.kvp", ": built for plug-in SDK version 200011010, this host needs 200211190"},
      {"test_plugin_without_object.kvp", ": no render plug-in in the module"},
      {"test_plugin_refusing.kvp", ": the plug-in failed to load"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::filesystem::path path = kModuleDir / c.file;
    std::string error;
    EXPECT_FALSE(KvPlugInModule::Load(path, error));
    EXPECT_EQ(error, path.string() + c.message);
    EXPECT_EQ(CKavraRenderSystemPlugIn::RegisteredPlugIns().size(), plugins_before);
  }
  // Only the refusing plug-in got as far as its load handler, and a plug-in
  // that refused to load is not unloaded.
  EXPECT_EQ(output.text, L"load\n");

  std::string error;
  const std::filesystem::path missing = kModuleDir / "no_such_module.kvp";
  EXPECT_FALSE(KvPlugInModule::Load(missing, error));
  EXPECT_EQ(error.rfind(missing.string() + ": cannot load the module (", 0), 0u) << error;
  KvPlugInIdentity identity;
  EXPECT_FALSE(KvPlugInModule::ReadIdentity(kModuleDir / "test_plugin_no_sdk.kvp", identity, error));
  EXPECT_NE(error.find("no KavraPlugInSdkVersion"), std::string::npos);
}

TEST(PlugInModule, ReadsTheIdentityEvenOfAnOutdatedModule) {
  KvPlugInIdentity identity;
  std::string error;
  ASSERT_TRUE(KvPlugInModule::ReadIdentity(kModuleDir / "test_plugin_old_sdk.kvp", identity, error)) << error;
  EXPECT_EQ(identity.sdk_version, 200011010);
  EXPECT_EQ(identity.address, TK_wString(L"Line one\r\nLine two"));
}

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
  // The first one is untouched.
  EXPECT_TRUE(first->PlugIn().IsLoaded());
  EXPECT_TRUE(ClientRegistered(first->PlugIn().DocumentDataClient()));
}

TEST(PlugInModule, ThePlugInsDocumentDataTravelsWithTheDocumentWhileLoaded) {
  TempDir folder;
  const std::filesystem::path file = folder / "scene.kvd";
  CapturedOutput output;
  TK_UUID id;
  {
    std::string error;
    const std::unique_ptr<KvPlugInModule> module = KvPlugInModule::Load(kModuleDir / "test_plugin_basic.kvp", error);
    ASSERT_TRUE(module) << error;
    module->PlugIn().PlugInID(id);
    CKavraDoc doc;
    doc.AddObject(CKavraObject());
    doc.AddObject(CKavraObject());
    ASSERT_TRUE(CKavraDocumentFile().Write(doc, file).Ok());

    CKavraDoc read;
    const KvDocumentFileResult result = CKavraDocumentFile().Read(file, read);
    ASSERT_TRUE(result.Ok()) << (result.messages.empty() ? "" : result.messages[0]);
    EXPECT_EQ(output.text, L"load\nread 4242 2\n");
  }
  // Unloaded, the plug-in reads nothing; its block is kept for it as bytes.
  CKavraDoc read;
  ASSERT_TRUE(CKavraDocumentFile().Read(file, read).Ok());
  EXPECT_EQ(output.text, L"load\nread 4242 2\nunload\n");
  const std::vector<std::uint8_t>* block = read.PlugInData(id);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->size(), 8u);
}

}  // namespace
