#pragma once
// The cameras of a glTF 2.0 file (.gltf or .glb) as the file states them.
// Assimp 5.2 reports a wrong field of view for glTF cameras (vertical angle
// times aspect), so the importer takes the angle from here. A function of
// files; answers the cameras in file order, which is Assimp's order.

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "host/import/StatedCamera.h"

namespace gltf_cameras {

// Nothing when the file cannot be read or is not glTF; a camera whose
// numbers are missing or not finite keeps zeros there.
std::optional<std::vector<StatedCamera>> ReadCameras(const std::filesystem::path& path);
// The same from the bytes of a .gltf (JSON) or .glb (binary container) file.
std::optional<std::vector<StatedCamera>> ParseCameras(std::string_view bytes);

}  // namespace gltf_cameras
