// A plug-in module for the module loader's tests, built several times with different exports:
// DM_SDK_VERSION (none: no SDK version export), DM_WITH_PLUGIN (a plug-in object) and DM_LOAD_RESULT
// (what OnLoadPlugIn answers, 1 by default). The plug-in prints its calls, so the tests see their order.

#include "host/app/App.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"

#define TEST_EXPORT extern "C" __attribute__((visibility("default")))

TEST_EXPORT const wchar_t* KavraPlugInDeveloperOrganization() { return L"Test modules"; }
TEST_EXPORT const wchar_t* KavraPlugInDeveloperEmail() { return nullptr; }
#ifdef DM_SDK_VERSION
TEST_EXPORT int KavraPlugInSdkVersion() { return DM_SDK_VERSION; }
#endif

#ifdef DM_WITH_PLUGIN
#ifndef DM_LOAD_RESULT
#define DM_LOAD_RESULT 1
#endif

namespace {

class CTestModulePlugIn : public CKavraRenderSystemPlugIn {
public:
  void PlugInID(TK_UUID& id) const override { id = *TK_UUID::FromString("A11CE000-0000-4000-8000-0000000000E5"); }
  TK_wString PlugInName() const override { return L"Test module plug-in"; }
  int OnLoadPlugIn() override {
    KavraApp().Print(L"load\n");
    return DM_LOAD_RESULT;
  }
  void OnUnloadPlugIn() override { KavraApp().Print(L"unload\n"); }
};

CTestModulePlugIn the_plugin;

}  // namespace
#endif
