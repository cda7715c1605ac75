#include "apps/duskmoth/PlugInSession.h"

#include <cstdlib>

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/DocumentDataClient.h"
#include "host/app/UnknownUserData.h"
#include "host/import/RendererRecords.h"
#include "host/sdk/PlugInModule.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"
#include "host/toolkit/BinaryArchive.h"

namespace {

// The scene was read before the module was loaded, so the plug-in's block
// of document data (its own settings) was kept aside as bytes: it reaches
// the plug-in now, as when a document is opened with the plug-in loaded.
// False only when a block exists and the plug-in cannot read it.
bool HandDocumentDataToPlugIn(CKavraDoc& doc, CKavraRenderSystemPlugIn& plugin) {
  KvDocumentDataClient& client = plugin.DocumentDataClient();
  const std::vector<std::uint8_t>* bytes = doc.PlugInData(client.DocumentDataPlugInId());
  if (!bytes) return true;
  TK_BinaryArchive archive(*bytes);
  return client.ReadDocumentData(doc, archive);
}

// Likewise, a material's renderer record read while the plug-in was absent
// was kept as bytes: each becomes the plug-in's own record, as a document
// read with the plug-in loaded makes it. Answers how many it refused.
int AdoptMaterialRecords(CKavraDoc& doc) {
  const TK_ClassId* record_class = TK_ClassId::ClassId(renderer_records::kMaterialClassName);
  if (!record_class) return 0;
  CKavraMaterialTable& materials = doc.MaterialTable();
  int refused = 0;
  for (int i = 0; i < materials.Count(); ++i) {
    const auto* kept = CKavraUnknownUserData::Cast(materials[i].GetUserData(renderer_records::MaterialRecordUuid()));
    if (!kept) continue;
    TK_Material material = materials[i];
    if (!renderer_records::AttachMaterialRecord(material, kept->Bytes(), record_class) ||
        !materials.Modify(std::move(material), i))
      ++refused;
  }
  return refused;
}

// Before the module's code goes, every record of its class (adopted or
// attached since) goes back to the bytes it writes.
void ReleaseMaterialRecords(CKavraDoc& doc) {
  CKavraMaterialTable& materials = doc.MaterialTable();
  for (int i = 0; i < materials.Count(); ++i) {
    const TK_UserData* record = materials[i].GetUserData(renderer_records::MaterialRecordUuid());
    if (!record || CKavraUnknownUserData::Cast(record)) continue;
    TK_Material material = materials[i];
    std::vector<std::uint8_t> bytes = renderer_records::MaterialRecordBytes(material);
    if (bytes.empty() || !renderer_records::AttachMaterialRecord(material, std::move(bytes), nullptr))
      material.DetachUserData(material.GetUserData(renderer_records::MaterialRecordUuid()));
    materials.Modify(std::move(material), i);
  }
}

}  // namespace

std::filesystem::path RenderPlugInPath() {
  if (const char* path = std::getenv("DUSKMOTH_PLUGIN"); path && *path) return path;
  return BesideProgram("duskmoth.kvp");
}

std::unique_ptr<PlugInSession> PlugInSession::Open(CKavraDoc& doc, std::string& error) {
  std::unique_ptr<KvPlugInModule> module = KvPlugInModule::Load(RenderPlugInPath(), error);
  if (!module) return nullptr;
  return std::unique_ptr<PlugInSession>(new PlugInSession(doc, std::move(module)));
}

PlugInSession::PlugInSession(CKavraDoc& doc, std::unique_ptr<KvPlugInModule> module)
    : doc_(doc), module_(std::move(module)), previous_active_(KavraApp().ActiveDoc()) {
  if (!HandDocumentDataToPlugIn(doc_, PlugIn()))
    warnings_.push_back("the renderer's settings stored with the scene could not be read");
  if (const int refused = AdoptMaterialRecords(doc_); refused > 0)
    warnings_.push_back("the renderer's settings of " + std::to_string(refused) +
                        " material(s) could not be read; they render with the renderer's defaults");
  // The document is the program's, not the application's: active only while the plug-in works on it.
  KavraApp().SetActiveDoc(&doc_);
}

PlugInSession::~PlugInSession() {
  KavraApp().SetActiveDoc(previous_active_);
  ReleaseMaterialRecords(doc_);
}

CKavraRenderSystemPlugIn& PlugInSession::PlugIn() const { return module_->PlugIn(); }
