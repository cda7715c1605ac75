#include "apps/duskmoth/DemoScene.h"

#include <cstdlib>
#include <system_error>

#include "apps/duskmoth/DemoMaps.h"
#include "host/app/Doc.h"
#include "host/import/ImportLog.h"
#include "host/import/JsonSceneImporter.h"

std::string_view DemoScene::Description() {
  return R"json({
  "version": 1,
  "description": "DuskMoth demo: glass in front of clay, a glossy ball and a mirror ball on a tiled floor",
  "render": {"width": 1280, "height": 720, "antialias": 2, "shadows": 2, "shadow_map_size": 2048,
             "shadow_map_offset": 0.02, "ambient": [38, 40, 50], "background": "#bccbe0"},
  "renderer": {"use_wallpaper": false, "stretch_wallpaper": false, "favor_memory": false},
  "materials": [
    {"name": "tiles", "specular": [150, 150, 150], "shine": 60, "texture": "tiles.png", "bump": "tiles_height.png",
     "renderer": {"texture_map": {"tiling": [5, 5]},
                  "bump_map": {"amount": 0.04, "tiling": [5, 5], "filter": true},
                  "two_sided": false, "specular_level": 0.004}},
    {"name": "clay", "diffuse": [205, 92, 54], "specular": [90, 80, 70], "shine": 20},
    {"name": "glass", "diffuse": [120, 180, 235], "specular": [255, 255, 255], "shine": 230, "transparency": 0.65},
    {"name": "lacquer", "diffuse": [40, 70, 160], "specular": [255, 255, 255], "shine": 240,
     "renderer": {"specular_level": 0.015}},
    {"name": "chrome", "diffuse": [190, 195, 205], "specular": [255, 255, 255], "shine": 250,
     "environment": "sky_sphere.png",
     "renderer": {"environment_map": {"amount": 0.85}, "reflectivity": 0.8}}
  ],
  "lights": [
    {"name": "Key", "type": "spot", "location": [6, -5, 9], "target": [0, 0.4, 0.6], "angle": 34, "exponent": 2,
     "shadow_intensity": 0.85},
    {"name": "Fill", "type": "directional", "direction": [-0.5, 0.7, -0.9], "color": [70, 80, 110],
     "shadow_intensity": 0},
    {"name": "Rim", "type": "point", "location": [-5, 6, 5], "color": [110, 100, 90]}
  ],
  "objects": [
    {"name": "Floor", "type": "plane", "size": [30, 30], "material": "tiles"},
    {"name": "Block", "type": "box", "size": [1.6, 1.6, 1.8], "rotate": [0, 0, 28], "translate": [0.3, 1.6, 0.9],
     "material": "clay"},
    {"name": "Glass ball", "type": "sphere", "radius": 0.85, "segments": 64, "rings": 32,
     "translate": [1.4, -0.6, 0.85], "material": "glass"},
    {"name": "Glossy ball", "type": "sphere", "radius": 0.7, "segments": 64, "rings": 32,
     "translate": [3.7, 1.6, 0.7], "material": "lacquer"},
    {"name": "Mirror ball", "type": "sphere", "radius": 0.95, "segments": 64, "rings": 32,
     "translate": [-2.2, 0.2, 0.95], "material": "chrome"}
  ],
  "camera": {"name": "Demo", "location": [6.5, -10.5, 4.4], "target": [0.6, 0.5, 0.8], "angle": 13,
             "size": [1280, 720]}
})json";
}

DemoScene::~DemoScene() {
  if (folder_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

bool DemoScene::Build(CKavraDoc& doc, std::string& error) {
  if (folder_.empty()) {
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "duskmoth-demo-XXXXXX").string();
    // mkdtemp makes the folder readable by its owner only.
    if (ec || !::mkdtemp(pattern.data())) {
      error = "cannot make a temporary folder for the demo scene's maps";
      return false;
    }
    folder_ = pattern;
    if (!demo_maps::WriteAll(folder_)) {
      error = folder_.string() + ": cannot write the demo scene's maps";
      return false;
    }
  }
  CImportLog log;
  if (!CJsonSceneImporter::ImportText(Description(), "demo scene", folder_, doc, log)) {
    error = log.Errors().empty() ? "the built-in demo scene could not be built" : log.Errors().front();
    return false;
  }
  return true;
}
