#include "apps/duskmoth/DocumentEdit.h"

#include <memory>
#include <string>

#include "apps/duskmoth/CommandLine.h"
#include "apps/duskmoth/InterruptRequest.h"
#include "apps/duskmoth/PlugInSession.h"
#include "apps/duskmoth/SceneLoading.h"
#include "host/app/Doc.h"
#include "host/app/DocumentFile.h"

int EditDocument(const std::filesystem::path& file, std::ostream& out, std::ostream& err,
                 const std::function<EditResult(CKavraDoc& doc, CKavraRenderSystemPlugIn& plugin)>& edit) {
  // Ctrl-C from the first moment: the document is left as it was.
  const InterruptRequest interrupt;
  CKavraDoc doc;
  const bool loaded = LoadScene(file, doc, err, true, &interrupt.Flag());
  if (interrupt.Raised()) return ReportInterrupted(err);
  if (!loaded) return ParseOutcome::kFailed;
  std::string error;
  const std::unique_ptr<PlugInSession> plugin = PlugInSession::Open(doc, error);
  if (!plugin) {
    err << "duskmoth: " << error << '\n';
    return ParseOutcome::kFailed;
  }
  for (const std::string& warning : plugin->Warnings()) err << "duskmoth: warning: " << warning << '\n';
  const EditResult result = edit(doc, plugin->PlugIn());
  if (interrupt.Raised()) return ReportInterrupted(err);
  switch (result) {
    case EditResult::failed: return ParseOutcome::kFailed;
    case EditResult::unchanged: out << file.string() << " unchanged\n"; return ParseOutcome::kOk;
    case EditResult::changed: break;
  }
  // Saved while the plug-in is loaded: it writes its data as it holds it now.
  if (!SaveDocument(doc, file, err)) return ParseOutcome::kFailed;
  out << "Saved " << file.string() << '\n';
  return ParseOutcome::kOk;
}

bool SaveDocument(CKavraDoc& doc, const std::filesystem::path& file, std::ostream& err) {
  const KvDocumentFileResult result = CKavraDocumentFile().Write(doc, file);
  if (result.Failed()) {
    for (const std::string& m : result.messages) err << "duskmoth: " << m << '\n';
    if (result.messages.empty()) err << "duskmoth: " << file.string() << ": cannot save the document\n";
    return false;
  }
  for (const std::string& m : result.messages) err << "duskmoth: warning: " << m << '\n';
  return true;
}
