#pragma once
// The cameras of a COLLADA (.dae) file as the file states them, by the node
// that places each: Assimp 5.2 takes a COLLADA field of view (a full angle
// in degrees) for a half-angle and makes orthographic cameras perspective
// ones. A function of files.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "host/import/StatedCamera.h"

namespace collada_cameras {

// Keyed by the id and by the name of every node that instances a camera;
// empty when the file cannot be read.
std::map<std::string, StatedCamera> ReadCameras(const std::filesystem::path& path);
std::map<std::string, StatedCamera> ParseCameras(std::string_view xml);

}  // namespace collada_cameras
