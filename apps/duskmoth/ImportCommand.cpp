#include "apps/duskmoth/ImportCommand.h"

#include "apps/duskmoth/CommandLine.h"
#include "apps/duskmoth/DocumentEdit.h"
#include "apps/duskmoth/OutputPath.h"
#include "apps/duskmoth/SceneLoading.h"
#include "host/app/Doc.h"

int RunImport(const std::filesystem::path& in, const std::filesystem::path& out, std::ostream& stdout_stream,
              std::ostream& err) {
  if (!CheckOutputPath(out, err)) return ParseOutcome::kFailed;
  CKavraDoc doc;
  if (!LoadScene(in, doc, err, true)) return ParseOutcome::kFailed;
  if (!SaveDocument(doc, out, err)) return ParseOutcome::kFailed;
  const auto count = [](int n, const char* thing) { return std::to_string(n) + " " + thing + (n == 1 ? "" : "s"); };
  stdout_stream << "Wrote " << out.string() << ": " << count(doc.ObjectCount(), "object") << ", "
                << count(doc.MaterialTable().Count(), "material") << ", " << count(doc.LightTable().Count(), "light")
                << ", " << count(doc.ViewCount(), "view") << '\n';
  return ParseOutcome::kOk;
}
