#include "apps/duskmoth/PropertiesCommand.h"

#include <memory>

#include "apps/duskmoth/DocumentEdit.h"
#include "apps/duskmoth/InterruptRequest.h"
#include "apps/duskmoth/QtSession.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"

int RunProperties(const DialogOptions& options, std::ostream& out, std::ostream& err) {
  const InterruptRequest interrupt;
  const std::unique_ptr<QtSession> qt = QtSession::Start(err);
  if (!qt || (options.script && !qt->PlayDialogScript(*options.script, err))) return ParseOutcome::kFailed;
  qt->CancelDialogsOn(interrupt.Flag());
  return EditDocument(options.document, out, err, [&](CKavraDoc& doc, CKavraRenderSystemPlugIn& plugin) {
    const std::unique_ptr<CKavraStackedDialogPage> page = plugin.CreateRenderPropertiesPage(doc, nullptr);
    if (!page) {
      err << "duskmoth: the render plug-in has no properties page\n";
      return EditResult::failed;
    }
    const int result = page->DoModal();
    if (qt->ReportScriptFault(err)) return EditResult::failed;
    return result == IDOK ? EditResult::changed : EditResult::unchanged;
  });
}
