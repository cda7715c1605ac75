#pragma once
// A check of a binary glTF container's lengths made before Assimp sees the
// file: Assimp 5.2 allocates the length a chunk declares before reading it,
// so a few bytes declaring a 4 GiB chunk ask for that much. A function of
// files.

#include <filesystem>
#include <string>

namespace glb_container {

// False, with the reason, when the file is a binary glTF container (it
// starts with "glTF") whose declared length exceeds the file, or one of
// whose chunks reaches past that length; true for anything else, which the
// model reader judges itself.
bool Check(const std::filesystem::path& path, std::string& problem);

}  // namespace glb_container
