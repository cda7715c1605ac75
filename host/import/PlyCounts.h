#pragma once
// A check of a PLY file's declared element counts against its size, made
// before Assimp sees the file: Assimp reserves memory for whatever count the
// header declares, so a few bytes declaring billions of vertices would ask
// for tens of gigabytes. A function of files.

#include <filesystem>
#include <string>
#include <string_view>

namespace ply_counts {

// False, with the reason, when the header is malformed (an element declared
// twice, or an "end_header" line without its line end, included) or its elements need more bytes than follow it (each
// binary element at least the size of its scalar properties and list
// counts; each ASCII element a byte per property).
bool Check(const std::filesystem::path& path, std::string& problem);
bool CheckBytes(std::string_view bytes, std::string& problem);

}  // namespace ply_counts
