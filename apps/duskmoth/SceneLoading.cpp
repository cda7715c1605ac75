#include "apps/duskmoth/SceneLoading.h"

#include "host/import/ImportLog.h"
#include "host/import/SceneImport.h"

bool LoadScene(const std::filesystem::path& path, CKavraDoc& doc, std::ostream& err, bool show_warnings) {
  CImportLog log;
  const bool ok = scene_import::OpenScene(path, doc, log);
  if (show_warnings)
    for (const std::string& w : log.Warnings()) err << "duskmoth: warning: " << w << '\n';
  for (const std::string& e : log.Errors()) err << "duskmoth: " << e << '\n';
  if (!ok && log.Errors().empty()) err << "duskmoth: " << path.string() << ": cannot open the scene\n";
  return ok;
}
