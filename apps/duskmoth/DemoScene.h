#pragma once
// The built-in demo scene that `duskmoth render` shows without a scene file:
// primitives only, so it needs no file beside the program.

#include <string_view>

class CKavraDoc;

// The scene's JSON description.
std::string_view DemoSceneDescription();
// Fills doc with the demo scene; false only if the description failed to import.
bool BuildDemoScene(CKavraDoc& doc);
