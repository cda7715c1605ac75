#pragma once
// Textures that a model file carries inside itself (a .glb's images, a
// glTF's data URIs) made files, because materials name their maps by file:
// each is written once, named by its contents, into the user's texture
// cache ($XDG_CACHE_HOME/duskmoth/textures, else ~/.cache/duskmoth/textures),
// so that documents made from the model keep finding them.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace embedded_textures {

// The cache folder; empty when neither variable names one.
std::filesystem::path CacheFolder();

// An encoded image (PNG, JPEG, ...; `extension` as the file names it) as a
// file of the cache; none when it cannot be written.
std::optional<std::filesystem::path> StoreEncoded(std::span<const std::uint8_t> bytes, const std::string& extension);

// Raw pixels, top row first, each 0xAARRGGBB as Assimp keeps them, stored as
// a PNG; none when they cannot be written.
std::optional<std::filesystem::path> StorePixels(std::span<const std::uint32_t> argb, int width, int height);

}  // namespace embedded_textures
