#pragma once
// A reader of our own for the plainest OBJ files, the way large scans and
// exports are written: positions, normals, texture coordinates and
// triangles, perhaps an object name. It reads them several times faster
// than Assimp and makes the mesh Assimp's OBJ reader makes (a corner per
// face corner, in face order, the same single-precision numbers, once
// unfolded), so the import goes on exactly as it would. Anything more (materials, groups,
// polygons, lines, a statement it does not know, a damaged one) sends the
// file to Assimp. A function of a file.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "host/import/MeshWelding.h"
#include "host/toolkit/Mesh.h"

namespace plain_obj {

struct PlainModel {
  std::string name;  // the first word of the "o" statement, else Assimp's "defaultobject"
  // The triangles' corners in face order; normals and texture coordinates
  // when the faces state them. Unfolded (mesh_welding::Unfold), the mesh
  // Assimp's reader makes.
  mesh_welding::CornerMesh mesh;
  // The distinct positions of the unfolded mesh's vertices.
  mesh_welding::Positions positions;
};

// The model of a plain OBJ file, read on `threads` threads (each taking a
// stretch of lines; the model is the same for any count). Nothing
// when the file is not plain, cannot be read, or `stop` answers true on one
// of its checks between lines; `stop` may be called on several threads at
// once.
std::optional<PlainModel> Read(const std::filesystem::path& path, const std::function<bool()>& stop, int threads);

}  // namespace plain_obj
