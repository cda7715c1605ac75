#pragma once
// The cameras of a glTF 2.0 file (.gltf or .glb) as the file states them.
// Assimp 5.2 reports a wrong field of view for glTF cameras (vertical angle
// times aspect), so the importer takes the angle from here. A function of
// files; answers the cameras in file order, which is Assimp's order.

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

struct GltfCamera {
  bool perspective = true;
  double yfov = 0.0;    // full vertical angle in radians (perspective)
  double aspect = 0.0;  // width / height; 0 when the file leaves it open
  double xmag = 0.0;    // half width and half height (orthographic)
  double ymag = 0.0;
};

namespace gltf_cameras {

// Nothing when the file cannot be read or is not glTF; a camera whose
// numbers are missing or not finite keeps zeros there.
std::optional<std::vector<GltfCamera>> ReadCameras(const std::filesystem::path& path);
// The same from the bytes of a .gltf (JSON) or .glb (binary container) file.
std::optional<std::vector<GltfCamera>> ParseCameras(std::string_view bytes);

}  // namespace gltf_cameras
