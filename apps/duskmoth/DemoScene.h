#pragma once
// DemoScene: the built-in scene that `duskmoth render` shows without a scene
// file: a tiled, bump-mapped floor, a glass ball in front of a clay block, a
// glossy ball, a mirror ball reflecting the sky, under a spot light. Its maps
// are drawn at build time into a private temporary folder that the object
// owns and removes; it must outlive the render that reads them.

#include <filesystem>
#include <string>
#include <string_view>

class CKavraDoc;

class DemoScene {
public:
  DemoScene() = default;
  ~DemoScene();
  DemoScene(const DemoScene&) = delete;
  DemoScene& operator=(const DemoScene&) = delete;

  // The scene's JSON description; its map names are relative to the map folder.
  static std::string_view Description();

  // Draws the maps and fills doc with the scene. False, with the reason in
  // error, when the maps cannot be written or the description does not import.
  bool Build(CKavraDoc& doc, std::string& error);
  // Empty before Build.
  const std::filesystem::path& MapFolder() const { return folder_; }

private:
  std::filesystem::path folder_;
};
