#include "apps/duskmoth/MaterialCommand.h"

#include <memory>

#include "apps/duskmoth/DocumentEdit.h"
#include "apps/duskmoth/InterruptRequest.h"
#include "apps/duskmoth/QtSession.h"
#include "host/app/Doc.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"

namespace {

// Why no material was found, with the names there are.
void NoSuchMaterial(const CKavraMaterialTable& materials, const DialogOptions& options, std::ostream& err) {
  err << "duskmoth: " << options.document.string() << ": ";
  std::string names;
  for (int i = 0; i < materials.Count(); ++i)
    if (!materials.IsDeleted(i)) names += (names.empty() ? "\"" : ", \"") + materials[i].Name().ToUtf8() + "\"";
  if (names.empty()) err << "the document has no materials\n";
  else err << "no material named \"" << options.material.value_or("") << "\"; the materials are " << names << '\n';
}

}  // namespace

int FindMaterial(const CKavraMaterialTable& materials, const std::optional<std::string>& name) {
  for (int i = 0; i < materials.Count(); ++i)
    if (!materials.IsDeleted(i) && (!name || materials[i].Name().ToUtf8() == *name)) return i;
  return -1;
}

int RunMaterial(const DialogOptions& options, std::ostream& out, std::ostream& err) {
  const InterruptRequest interrupt;
  const std::unique_ptr<QtSession> qt = QtSession::Start(err);
  if (!qt || (options.script && !qt->PlayDialogScript(*options.script, err))) return ParseOutcome::kFailed;
  qt->CancelDialogsOn(interrupt.Flag());
  return EditDocument(options.document, out, err, [&](CKavraDoc& doc, CKavraRenderSystemPlugIn& plugin) {
    CKavraMaterialTable& materials = doc.MaterialTable();
    const int index = FindMaterial(materials, options.material);
    if (index < 0) {
      NoSuchMaterial(materials, options, err);
      return EditResult::failed;
    }
    TK_Material material = materials[index];
    const bool changed = plugin.OnEditMaterial(nullptr, material);
    if (qt->ReportScriptFault(err)) return EditResult::failed;
    if (!changed) return EditResult::unchanged;
    materials.Modify(std::move(material), index);
    return EditResult::changed;
  });
}
