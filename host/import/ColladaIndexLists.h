#pragma once
// A check of a COLLADA (.dae) file's index lists made before Assimp sees the
// file: Assimp 5.2 reads a <p> (or <h>) list holding anything but whole
// numbers without end, its memory growing until it runs out. A function of
// files.

#include <filesystem>
#include <string>
#include <string_view>

namespace collada_index_lists {

// False, with the reason, when a <p> or <h> element holds anything but
// blanks and digits (a comment included); also when the file cannot be read.
bool Check(const std::filesystem::path& path, std::string& problem);
bool CheckText(std::string_view xml, std::string& problem);

}  // namespace collada_index_lists
