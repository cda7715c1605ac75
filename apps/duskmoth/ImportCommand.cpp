#include "apps/duskmoth/ImportCommand.h"

#include "apps/duskmoth/CommandLine.h"
#include "apps/duskmoth/SceneLoading.h"
#include "host/app/Doc.h"
#include "host/app/DocumentFile.h"

int RunImport(const std::filesystem::path& in, const std::filesystem::path& out, std::ostream& stdout_stream,
              std::ostream& err) {
  CKavraDoc doc;
  if (!LoadScene(in, doc, err, true)) return ParseOutcome::kFailed;
  const KvDocumentFileResult result = CKavraDocumentFile().Write(doc, out);
  if (result.Failed()) {
    for (const std::string& m : result.messages) err << "duskmoth: " << m << '\n';
    if (result.messages.empty()) err << "duskmoth: " << out.string() << ": cannot save the document\n";
    return ParseOutcome::kFailed;
  }
  for (const std::string& m : result.messages) err << "duskmoth: warning: " << m << '\n';
  stdout_stream << "Wrote " << out.string() << ": " << doc.ObjectCount() << " objects, "
                << doc.MaterialTable().Count() << " materials, " << doc.LightTable().Count() << " lights, "
                << doc.ViewCount() << " views\n";
  return ParseOutcome::kOk;
}
