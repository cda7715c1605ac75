#include "host/sdk/SdkRenderSystemPlugIn.h"

#include <algorithm>
#include <mutex>

#include "host/app/Doc.h"
#include "host/app/DocumentDataClient.h"

TK_VIRTUAL_OBJECT_IMPLEMENT(CKavraRenderSystemPlugIn, TK_Object, "3E0B5A57-1C0D-4F43-9A51-7D2C1B0E6A44")

namespace {
// The plug-in objects alive in the process. Touched first by the first
// plug-in's construction, so it outlives every plug-in object.
struct PlugInRegistry {
  std::mutex mutex;
  std::vector<CKavraRenderSystemPlugIn*> plugins;
};

PlugInRegistry& Registry() {
  static PlugInRegistry registry;
  return registry;
}
}  // namespace

class CKavraRenderSystemPlugIn::DataClient : public KvDocumentDataClient {
public:
  explicit DataClient(CKavraRenderSystemPlugIn& plugin) : plugin_(plugin) {}
  TK_UUID DocumentDataPlugInId() const override {
    TK_UUID id;
    plugin_.PlugInID(id);
    return id;
  }
  bool HasDocumentData(const CKavraDoc& doc) const override { return plugin_.HasDocumentData(doc); }
  bool WriteDocumentData(const CKavraDoc& doc, TK_BinaryArchive& archive) override {
    return plugin_.WriteDocumentData(doc, archive, CKavraFileWriteOptions{TK_wString::FromUtf8(doc.Path().string())});
  }
  bool ReadDocumentData(CKavraDoc& doc, TK_BinaryArchive& archive) override {
    return plugin_.ReadDocumentData(doc, archive, CKavraFileReadOptions{TK_wString::FromUtf8(doc.Path().string())});
  }

private:
  CKavraRenderSystemPlugIn& plugin_;
};

CKavraRenderSystemPlugIn::CKavraRenderSystemPlugIn() : data_client_(std::make_unique<DataClient>(*this)) {
  PlugInRegistry& registry = Registry();
  const std::lock_guard lock(registry.mutex);
  registry.plugins.push_back(this);
}

CKavraRenderSystemPlugIn::~CKavraRenderSystemPlugIn() {
  PlugInRegistry& registry = Registry();
  const std::lock_guard lock(registry.mutex);
  std::erase(registry.plugins, this);
}

std::vector<CKavraRenderSystemPlugIn*> CKavraRenderSystemPlugIn::RegisteredPlugIns() {
  PlugInRegistry& registry = Registry();
  const std::lock_guard lock(registry.mutex);
  return registry.plugins;
}

KvDocumentDataClient& CKavraRenderSystemPlugIn::DocumentDataClient() { return *data_client_; }

void CKavraRenderSystemPlugIn::PlugInID(TK_UUID& id) const { id = TK_UUID{}; }
TK_wString CKavraRenderSystemPlugIn::PlugInName() const { return {}; }
TK_wString CKavraRenderSystemPlugIn::PlugInVersion() const { return {}; }
bool CKavraRenderSystemPlugIn::PlugInQueryA() { return false; }
int CKavraRenderSystemPlugIn::OnLoadPlugIn() { return 1; }
bool CKavraRenderSystemPlugIn::CanUnLoad() { return true; }
void CKavraRenderSystemPlugIn::OnUnloadPlugIn() {}
void CKavraRenderSystemPlugIn::LoadProfile(const TK_wString&) {}
void CKavraRenderSystemPlugIn::SaveProfile(const TK_wString&) {}
TK_wString CKavraRenderSystemPlugIn::GetPlugInRegistryKey() const { return {}; }
bool CKavraRenderSystemPlugIn::OnRegisterPlugIn() { return true; }
int CKavraRenderSystemPlugIn::PlugInQueryB() { return 0; }
bool CKavraRenderSystemPlugIn::AddToPlugInHelpMenu() const { return false; }
bool CKavraRenderSystemPlugIn::OnDisplayPlugInHelp(HWND) const { return false; }
void CKavraRenderSystemPlugIn::OnInitPlugInMenuPopups(WPARAM, LPARAM) {}
bool CKavraRenderSystemPlugIn::OnPlugInMenuCommand(WPARAM) { return false; }
void CKavraRenderSystemPlugIn::OnPlugInNotification(WPARAM, LPARAM) {}
bool CKavraRenderSystemPlugIn::HasDocumentData(const CKavraDoc&) const { return false; }
bool CKavraRenderSystemPlugIn::WriteDocumentData(const CKavraDoc&, TK_BinaryArchive&, const CKavraFileWriteOptions&) {
  return true;
}
bool CKavraRenderSystemPlugIn::ReadDocumentData(CKavraDoc&, TK_BinaryArchive&, const CKavraFileReadOptions&) {
  return true;
}
void CKavraRenderSystemPlugIn::AddPagesToObjectPropertiesDialog(CKavraDialogPages&) {}
void CKavraRenderSystemPlugIn::AddPagesToDocumentPropertiesDialog(CKavraDoc&, CKavraDialogPages&) {}
void CKavraRenderSystemPlugIn::RemoveDocumentPropertiesDialogTabs(std::vector<TK_UUID>&) {}
void CKavraRenderSystemPlugIn::AddPagesToOptionsDialog(HWND, CKavraDialogPages&) {}
KvCommandResult CKavraRenderSystemPlugIn::Render(CKavraCommandContext&, bool) { return KvCommandResult::nothing; }
KvCommandResult CKavraRenderSystemPlugIn::RenderWindow(CKavraCommandContext&, bool, const CKavraView*, const RECT&) {
  return KvCommandResult::nothing;
}
bool CKavraRenderSystemPlugIn::OnAssignMaterial(HWND, TK_Material&) { return false; }
bool CKavraRenderSystemPlugIn::EnableAssignMaterialButton() const { return false; }
bool CKavraRenderSystemPlugIn::OnEditMaterial(HWND, TK_Material&) { return false; }
bool CKavraRenderSystemPlugIn::EnableEditMaterialButton() const { return false; }
bool CKavraRenderSystemPlugIn::OnCreateMaterial(HWND, TK_Material&) { return false; }
bool CKavraRenderSystemPlugIn::EnableCreateMaterialButton() const { return false; }
bool CKavraRenderSystemPlugIn::PlugInQueryC(TK_wString) { return false; }
bool CKavraRenderSystemPlugIn::PlugInQueryD() { return false; }
void CKavraRenderSystemPlugIn::OnSetCurrentRenderPlugIn(bool) {}
std::unique_ptr<CKavraStackedDialogPage> CKavraRenderSystemPlugIn::CreateRenderPropertiesPage(CKavraDoc&, HWND) {
  return nullptr;
}
bool CKavraRenderSystemPlugIn::DisplayHelp(HWND, int) { return false; }
