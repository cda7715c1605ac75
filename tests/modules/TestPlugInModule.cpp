// A plug-in module for the module loader's tests, built several times with
// different exports: DM_SDK_VERSION (none: no SDK version export),
// DM_WITH_PLUGIN (a plug-in object) and DM_LOAD_RESULT (what OnLoadPlugIn
// answers, 1 by default). The plug-in reports its calls through the host's
// Print, so the tests see them in order.

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"
#include "host/toolkit/BinaryArchive.h"

#define TEST_EXPORT extern "C" __attribute__((visibility("default")))

TEST_EXPORT const wchar_t* KavraPlugInDeveloperOrganization() { return L"Test modules"; }
TEST_EXPORT const wchar_t* KavraPlugInDeveloperAddress() { return L"Line one\r\nLine two"; }
TEST_EXPORT const wchar_t* KavraPlugInDeveloperEmail() { return nullptr; }
TEST_EXPORT int KavraPlugInSdkServiceRelease() { return 7; }
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
  bool HasDocumentData(const CKavraDoc&) const override { return true; }
  // The block: a marker and the document's object count when saved.
  bool WriteDocumentData(const CKavraDoc& doc, TK_BinaryArchive& archive, const CKavraFileWriteOptions&) override {
    return archive.WriteInt(4242) && archive.WriteInt(doc.ObjectCount());
  }
  bool ReadDocumentData(CKavraDoc&, TK_BinaryArchive& archive, const CKavraFileReadOptions&) override {
    int marker = 0;
    int objects = 0;
    if (!archive.ReadInt(marker) || !archive.ReadInt(objects)) return false;
    KavraApp().Print(L"read %d %d\n", marker, objects);
    return marker == 4242;
  }
};

CTestModulePlugIn the_plugin;

}  // namespace
#endif
