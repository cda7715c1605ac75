#include "apps/duskmoth/DemoScene.h"

#include <filesystem>

#include "host/app/Doc.h"
#include "host/app/import/ImportLog.h"
#include "host/app/import/JsonSceneImporter.h"

std::string_view DemoSceneDescription() {
  return R"json({
  "description": "DuskMoth demo: a glass sphere and a box on a floor under a spot light",
  "render": {"antialias": 1, "shadows": 1, "shadow_map_size": 1024, "shadow_map_offset": 0.05,
             "ambient": [40, 40, 48], "background": [200, 212, 230]},
  "materials": [
    {"name": "floor", "diffuse": [200, 190, 170]},
    {"name": "clay", "diffuse": [190, 80, 50], "specular": [255, 255, 255], "shine": 80},
    {"name": "glass", "diffuse": [150, 200, 230], "specular": [255, 255, 255], "shine": 200, "transparency": 0.6}
  ],
  "lights": [
    {"name": "Key", "type": "spot", "location": [4, -5, 7], "target": [0, 0, 0], "angle": 35,
     "shadow_intensity": 0.8},
    {"name": "Fill", "type": "directional", "direction": [1, 1, -0.5], "color": [90, 100, 120]}
  ],
  "objects": [
    {"name": "Floor", "type": "plane", "size": [12, 12], "material": "floor"},
    {"name": "Box", "type": "box", "size": [1.5, 1.5, 1.5], "rotate": [0, 0, 30], "translate": [1.2, 0.8, 0.75],
     "material": "clay"},
    {"name": "Sphere", "type": "sphere", "radius": 1, "translate": [-1, -0.6, 1], "material": "glass"}
  ],
  "camera": {"location": [6, -9, 5], "target": [0, 0, 0.8], "angle": 18, "size": [640, 480]}
})json";
}

bool BuildDemoScene(CKavraDoc& doc) {
  CImportLog log;
  return CJsonSceneImporter::ImportText(DemoSceneDescription(), "demo scene", std::filesystem::current_path(), doc,
                                        log);
}
