#include "apps/duskmoth/ImportCommand.h"

#include "apps/duskmoth/CommandLine.h"
#include "apps/duskmoth/DocumentEdit.h"
#include "apps/duskmoth/SceneLoading.h"
#include "host/app/Doc.h"

int RunImport(const std::filesystem::path& in, const std::filesystem::path& out, std::ostream& stdout_stream,
              std::ostream& err) {
  CKavraDoc doc;
  if (!LoadScene(in, doc, err, true)) return ParseOutcome::kFailed;
  if (!SaveDocument(doc, out, err)) return ParseOutcome::kFailed;
  stdout_stream << "Wrote " << out.string() << ": " << doc.ObjectCount() << " objects, "
                << doc.MaterialTable().Count() << " materials, " << doc.LightTable().Count() << " lights, "
                << doc.ViewCount() << " views\n";
  return ParseOutcome::kOk;
}
