#include "host/import/SceneImport.h"

#include <algorithm>
#include <cctype>

#include "host/app/Doc.h"
#include "host/app/DocumentFile.h"
#include "host/import/AssimpImporter.h"
#include "host/import/ImportLog.h"
#include "host/import/JsonSceneImporter.h"

namespace scene_import {

SceneKind KindOf(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (ext == ".kvd") return SceneKind::document;
  if (ext == ".json") return SceneKind::description;
  return SceneKind::model;
}

bool OpenScene(const std::filesystem::path& path, CKavraDoc& doc, CImportLog& log) {
  doc.Clear();
  switch (KindOf(path)) {
    case SceneKind::document: {
      const KvDocumentFileResult result = CKavraDocumentFile().Read(path, doc);
      for (const std::string& message : result.messages)
        result.Failed() ? log.Error(message) : log.Warning(message);
      if (result.Failed() && result.messages.empty()) log.Error(CImportLog::Line(path.string(), {}, "cannot read the document"));
      return !result.Failed();
    }
    case SceneKind::description:
      return CJsonSceneImporter::ImportFile(path, doc, log);
    case SceneKind::model:
      break;
  }
  const bool suppressed = doc.EventsSuppressed();
  doc.SuppressEvents(true);
  const bool ok = CAssimpImporter::Import(path, doc, log);
  doc.SuppressEvents(suppressed);
  return ok;
}

}  // namespace scene_import
