#pragma once
// Opening any scene the host understands into a document, chosen by file
// extension: .kvd documents through the document file, .json scene
// descriptions, and every model format that Assimp reads. Stateless.

#include <filesystem>

class CImportLog;
class CKavraDoc;

namespace scene_import {

enum class SceneKind { document, description, model };

// By extension, ignoring letter case: .kvd, .json, anything else a model.
SceneKind KindOf(const std::filesystem::path& path);

// Empties doc and reads the file into it. A damaged document opens with
// what survived and its damage as warnings; a failure leaves the reason in
// the log (every message names the file).
bool OpenScene(const std::filesystem::path& path, CKavraDoc& doc, CImportLog& log);

}  // namespace scene_import
