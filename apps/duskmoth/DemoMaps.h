#pragma once
// The demo scene's maps, drawn in code: floor tiles with their height map
// for bump mapping, and a sphere-mapped sky for environment mapping. Each is
// computed deterministically and written as a PNG through the host's bitmap
// class.

#include <filesystem>

namespace demo_maps {

// The file names WriteAll writes.
inline constexpr const char* kTiles = "tiles.png";
inline constexpr const char* kTilesHeight = "tiles_height.png";
inline constexpr const char* kSky = "sky_sphere.png";

// Writes every map into folder; false when a file cannot be written.
bool WriteAll(const std::filesystem::path& folder);

}  // namespace demo_maps
