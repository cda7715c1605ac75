#pragma once
// Checks of a glTF 2.0 file (.gltf, or a .glb binary container) made before
// Assimp 5.2 reads it, for faults it has no check of its own for: it
// allocates the length a container chunk declares before reading it (a few
// bytes declaring a 4 GiB chunk ask for that much), reads JSON strings that
// are not UTF-8, and reads before the start of an image's media type that
// has no '/'. A function of files.

#include <filesystem>
#include <string>

namespace gltf_checks {

// False, with the reason, for a container whose declared length exceeds the
// file or one of whose chunks reaches past that length, for JSON that does
// not parse, and for an image whose media type (its "mimeType", or that
// of its data: URI) lacks a '/'. A .glb that is not a container and a
// .gltf that is not a JSON object are refused (the model reader would try
// other formats' readers on them).
bool Check(const std::filesystem::path& path, std::string& problem);

}  // namespace gltf_checks
