#include "host/import/SceneImport.h"

#include <algorithm>
#include <cctype>

#include "host/app/Doc.h"
#include "host/app/DocumentFile.h"
#include "host/import/AssimpImporter.h"
#include "host/import/FileSearch.h"
#include "host/import/ImportLog.h"
#include "host/import/JsonSceneImporter.h"
#include "host/import/RendererRecords.h"

namespace scene_import {

namespace {

// Map names are stored absolute. A document whose folder moved (copied to
// another machine, say) finds each missing map by the tail of its old path
// around the document's folder, and keeps the name it found; a map found
// nowhere is reported, since the renderer leaves it out.
void FindMovedMaps(CKavraDoc& doc, const std::filesystem::path& document, CImportLog& log) {
  const std::filesystem::path folder = document.parent_path();
  CKavraMaterialTable& materials = doc.MaterialTable();
  for (int i = 0; i < materials.Count(); ++i) {
    if (materials.IsDeleted(i)) continue;
    TK_Material material = materials[i];
    bool moved = false;
    const auto find = [&](const TK_wString& name, const char* role) {
      if (name.IsEmpty()) return name;
      const std::filesystem::path file = doc.ResolveFileName(name).ToUtf8();
      std::error_code ec;
      if (std::filesystem::exists(file, ec)) return name;
      if (const std::optional<std::filesystem::path> found = file_search::ByPathTail(file, folder)) {
        moved = true;
        return TK_wString::FromUtf8(found->string());
      }
      log.Warning(CImportLog::Line(document.string(), {}, "material \"" + material.Name().ToUtf8() + "\": " + role +
                                                              " map not found: " + file.string() +
                                                              " (it is left out when rendering)"));
      return name;
    };
    material.SetTextureBitmapFileName(find(material.TextureBitmapFileName(), "texture"));
    material.SetBumpBitmapFileName(find(material.BumpBitmapFileName(), "bump"));
    material.SetEmapBitmapFileName(find(material.EmapBitmapFileName(), "environment"));
    // The renderer's record names its specular and transparency maps itself.
    TK_Material stated;
    MaterialRecord record;
    const std::vector<std::uint8_t> bytes = renderer_records::MaterialRecordBytes(material);
    if (!bytes.empty() && renderer_records::ReadMaterialRecord(bytes, stated, record)) {
      record.specular.file_name = find(record.specular.file_name, "specular");
      record.transparency.file_name = find(record.transparency.file_name, "transparency");
      if (moved)
        renderer_records::AttachMaterialRecord(material, renderer_records::WriteMaterialRecord(material, record), nullptr);
    }
    if (moved) materials.Modify(std::move(material), i);
  }
}

}  // namespace

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
      if (!result.Failed()) FindMovedMaps(doc, path, log);
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
