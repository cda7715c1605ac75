#include "apps/duskmoth/SceneLoading.h"

#include "host/import/ImportLog.h"
#include "host/import/SceneImport.h"
#include "host/platform/InParts.h"

bool LoadScene(const std::filesystem::path& path, CKavraDoc& doc, std::ostream& err, bool show_warnings,
               const std::atomic<bool>* stop, std::optional<int> threads) {
  CImportLog log;
  log.SetStopRequest(stop);
  log.SetThreads(threads.value_or(DefaultThreadCount()));
  const bool ok = scene_import::OpenScene(path, doc, log);
  if (show_warnings)
    for (const std::string& w : log.Warnings()) err << "duskmoth: warning: " << w << '\n';
  if (log.StopRequested()) return false;  // the caller says it was interrupted
  for (const std::string& e : log.Errors()) err << "duskmoth: " << e << '\n';
  if (!ok && log.Errors().empty()) err << "duskmoth: " << path.string() << ": cannot open the scene\n";
  return ok;
}
