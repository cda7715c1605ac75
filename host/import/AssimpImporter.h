#pragma once
// Model import through Assimp: OBJ with MTL, glTF 2.0, PLY, STL, 3DS, DAE,
// FBX and the other formats it reads. Meshes are triangulated with their
// node transforms applied, normals and texture coordinates (v = 0 at the
// image's bottom row) kept or made; materials, lights and cameras come
// along. Model coordinates are kept as they are (y up, by the interchange
// convention), so the framing view of a model without camera looks with +y
// up. Stateless; every fault of the file is logged with the file's name.

#include <filesystem>

#include "host/import/ImportedModel.h"

class CImportLog;
class CKavraDoc;

class CAssimpImporter {
public:
  // Bounds on what one model may bring, so that a hostile file cannot ask
  // for more memory than a real scene needs.
  static constexpr long long kMaxVertices = 50'000'000;
  static constexpr long long kMaxFaces = 50'000'000;

  // Reads the file into model. False, with errors in the log, for a missing
  // or unreadable file, a file Assimp cannot read, non-finite coordinates,
  // faces that index past their vertices, a model without any mesh with
  // faces, or more than the bounds above. Parts without faces, embedded
  // textures, normal maps and lights of kinds the host lacks are left out
  // with a warning.
  static bool Load(const std::filesystem::path& path, ImportedModel& model, CImportLog& log);

  // Adds the model to the document: its materials, one object per part on
  // the given layer, its lights, and its cameras as views (or, without a
  // camera, a view framing the model). The first added view becomes active.
  static void AddToDocument(ImportedModel model, CKavraDoc& doc, int layer_index);

  // Load and AddToDocument, on the document's first layer (made when there is none).
  static bool Import(const std::filesystem::path& path, CKavraDoc& doc, CImportLog& log);
};
