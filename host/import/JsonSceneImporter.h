#pragma once
// Import of a JSON scene description (docs/scene-format.md) into a document:
// render settings, the renderer's own flags and material settings, custom
// render sizes, a camera, layers, lights, materials and objects made from
// built-in primitives or model files. Relative file names resolve against
// the scene file's folder and are stored as absolute paths. Every fault is
// logged as "scene.json: /objects/2/radius: expected a number"; unknown keys
// are warnings. Stateless.

#include <filesystem>
#include <string>
#include <string_view>

class CImportLog;
class CKavraDoc;

class CJsonSceneImporter {
public:
  // Bounds that keep a description from asking for absurd amounts.
  static constexpr double kMaxCoordinate = 1e8;
  static constexpr long long kMaxPrimitiveVertices = 4'000'000;
  static constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

  // Reads the file into doc, which should be empty. False when the file
  // cannot be read or the description has errors (all of them are logged);
  // the document then holds whatever was read and is best discarded.
  static bool ImportFile(const std::filesystem::path& path, CKavraDoc& doc, CImportLog& log);
  // The same from text in memory: `file` names it in messages and relative
  // file names resolve against `folder`.
  static bool ImportText(std::string_view text, const std::string& file, const std::filesystem::path& folder,
                         CKavraDoc& doc, CImportLog& log);
};
