#pragma once
// What an OBJ model says about its materials that Assimp 5.2 loses, read
// from the files ourselves: the MTL "refl" maps (Assimp drops them), and
// which materials the OBJ names with "usemtl" (Assimp gives faces without
// one the MTL's last material instead of its default). A function of files.

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>

namespace obj_materials {

struct ObjMaterialFacts {
  // Material name -> environment map file as written in the MTL.
  std::map<std::string, std::string> reflection_maps;
  // Material name -> the reflection's strength, 0 to 1, where its "refl"
  // statement gives one as "-mm base gain" (the gain).
  std::map<std::string, double> reflection_strengths;
  // Every name given to a "usemtl" statement.
  std::set<std::string> used;
  // Why the libraries cannot be handed to the model reader, or empty: a map
  // statement before the first "newmtl" belongs to no material, and the
  // reader would fail on it without a word.
  std::string problem;
};

// Reads the OBJ's "usemtl" names and its "mtllib" files (resolved against
// the OBJ's folder); in each, the "refl" map of every "newmtl" (the first
// one when a material names several, or the "-type sphere" one when there
// is such). Unreadable files give nothing; file names are taken after the
// statement's options.
ObjMaterialFacts ReadMaterialFacts(const std::filesystem::path& obj_path);

// The file name of one map statement's arguments ("-type sphere -mm 0 1
// sky.png" -> "sky.png"); empty when nothing follows the options. `type`
// and `gain` take the -type option and the gain of -mm when there are such.
std::string MapFileName(std::string_view arguments, std::string* type = nullptr, double* gain = nullptr);

}  // namespace obj_materials
