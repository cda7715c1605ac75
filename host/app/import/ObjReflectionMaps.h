#pragma once
// The environment (reflection) maps of an OBJ model's materials, read from
// its MTL files ourselves: Assimp drops the MTL "refl" statements. A
// function of files; answers material name -> map file as written in the MTL.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace obj_reflection {

// Every "mtllib" file of the OBJ (resolved against the OBJ's folder), and in
// each the "refl" map of every "newmtl" (the first one when a material names
// several; the "-type sphere" one when there is such). Unreadable files give
// nothing; file names are taken after the statement's options.
std::map<std::string, std::string> ReadReflectionMaps(const std::filesystem::path& obj_path);

// The file name of one map statement's arguments ("-type sphere -mm 0 1
// sky.png" -> "sky.png"); empty when nothing follows the options.
std::string MapFileName(std::string_view arguments, std::string* type = nullptr);

}  // namespace obj_reflection
