#pragma once
// The plain OBJ reader's model of a file against Assimp's own reading of
// it, and its corners welded directly against the unfolded mesh smoothed
// and welded, for the reader's tests and its differential fuzz target:
// where they differ, in words; empty when they agree to the bit. Also two
// models of one file (read on different numbers of threads) against each
// other, and two meshes.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "host/import/MeshWelding.h"
#include "host/import/PlainObjReader.h"

namespace plain_obj_check {

inline bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

template <class A, class B> bool SamePoint(const A& a, const B& b) {
  return SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.z, b.z);
}

// Whether two arrays hold the same bytes.
template <class T> bool SameBytes(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

inline std::string DifferenceBetween(const plain_obj::PlainModel& a, const plain_obj::PlainModel& b) {
  if (a.name != b.name) return "names \"" + a.name + "\" and \"" + b.name + "\"";
  if (!SameBytes(a.mesh.points, b.mesh.points)) return "points";
  if (!SameBytes(a.mesh.normals, b.mesh.normals)) return "normals";
  if (!SameBytes(a.mesh.texture, b.mesh.texture)) return "texture coordinates";
  if (!SameBytes(a.mesh.corners, b.mesh.corners)) return "corners";
  if (!SameBytes(a.positions.of, b.positions.of) || !SameBytes(a.positions.at, b.positions.at)) return "positions";
  return {};
}

inline std::string DifferenceBetween(const TK_Mesh& a, const TK_Mesh& b) {
  if (a.m_F != b.m_F) return "faces";
  if (!SameBytes(a.m_V, b.m_V)) return "vertices";
  if (!SameBytes(a.m_N, b.m_N)) return "normals";
  if (!SameBytes(a.m_T, b.m_T)) return "texture coordinates";
  return {};
}

inline std::string DifferenceFromAssimp(const plain_obj::PlainModel& plain, const std::filesystem::path& file) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(file.string(), aiProcess_ValidateDataStructure);
  if (scene) scene = importer.ApplyPostProcessing(aiProcess_Triangulate | aiProcess_SortByPType);
  if (!scene) return std::string("Assimp cannot read it: ") + importer.GetErrorString();
  if (scene->mNumMeshes != 1) return "Assimp makes " + std::to_string(scene->mNumMeshes) + " meshes";
  const aiNode* node = scene->mRootNode->mNumMeshes ? scene->mRootNode : scene->mRootNode->mChildren[0];
  const aiMesh& expected = *scene->mMeshes[0];
  const std::string name = expected.mName.length ? expected.mName.C_Str() : node->mName.C_Str();
  if (plain.name != name) return "named \"" + plain.name + "\", Assimp's \"" + name + "\"";

  const TK_Mesh mesh = mesh_welding::Unfold(plain.mesh);
  if (std::size_t(mesh.VertexCount()) != expected.mNumVertices || std::size_t(mesh.FaceCount()) != expected.mNumFaces)
    return std::to_string(mesh.VertexCount()) + " vertices and " + std::to_string(mesh.FaceCount()) +
           " faces, Assimp's " + std::to_string(expected.mNumVertices) + " and " + std::to_string(expected.mNumFaces);
  for (unsigned f = 0; f < expected.mNumFaces; ++f)
    for (unsigned k = 0; k < 3; ++k)
      if (unsigned(mesh.m_F[f].vi[k]) != expected.mFaces[f].mIndices[k]) return "face " + std::to_string(f);
  if (mesh.HasVertexNormals() != expected.HasNormals()) return "normals stated or not";
  if (mesh.HasTextureCoordinates() != expected.HasTextureCoords(0)) return "texture coordinates stated or not";
  for (unsigned i = 0; i < expected.mNumVertices; ++i) {
    if (!SamePoint(mesh.m_V[i], expected.mVertices[i])) return "vertex " + std::to_string(i);
    if (mesh.HasVertexNormals() && !SamePoint(mesh.m_N[i], expected.mNormals[i])) return "normal " + std::to_string(i);
    if (mesh.HasTextureCoordinates() &&
        !(SameBits(mesh.m_T[i].x, expected.mTextureCoords[0][i].x) &&
          SameBits(mesh.m_T[i].y, expected.mTextureCoords[0][i].y)))
      return "texture coordinates " + std::to_string(i);
  }
  // The positions found from the file's numbers are those the corners give
  // (for finite points: the import refuses others before it uses them).
  for (const TK_3fPoint& v : mesh.m_V)
    if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) return {};
  const mesh_welding::Positions positions = mesh_welding::UniquePositions(mesh.m_V);
  if (plain.positions.of != positions.of || plain.positions.at.size() != positions.at.size())
    return "unique positions";
  for (std::size_t p = 0; p < positions.at.size(); ++p)
    if (!SamePoint(plain.positions.at[p], positions.at[p])) return "unique position " + std::to_string(p);

  // Welded from the corners as the import welds the unfolded mesh; both
  // again on several threads, which must change nothing.
  using mesh_welding::CornerNormals;
  CornerNormals normals = CornerNormals::stated;
  if (mesh.m_N.empty()) {
    normals = CornerNormals::smooth;
  } else if (!std::all_of(mesh.m_N.begin(), mesh.m_N.end(), [](const TK_3fVector& n) {
               return std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z);
             })) {
    normals = CornerNormals::none;
  }
  const auto weld_unfolded = [&](int threads) {
    TK_Mesh unfolded = mesh;
    const mesh_welding::Positions at = mesh_welding::UniquePositions(unfolded.m_V, threads);
    if (normals == CornerNormals::smooth) mesh_welding::SmoothNormals(unfolded, at, threads);
    if (normals == CornerNormals::none) unfolded.m_N.clear();
    mesh_welding::Weld(unfolded, at, threads);
    return unfolded;
  };
  const auto weld_corners = [&](int threads) {
    return mesh_welding::WeldCorners(plain.mesh, mesh_welding::UniquePositions(plain.mesh, threads), normals, threads);
  };
  const TK_Mesh unfolded = weld_unfolded(1);
  if (const std::string d = DifferenceBetween(weld_corners(1), unfolded); !d.empty()) return "welded corners: " + d;
  for (const int threads : {2, 3, 7}) {
    if (const std::string d = DifferenceBetween(weld_unfolded(threads), unfolded); !d.empty())
      return "welded on " + std::to_string(threads) + " threads: " + d;
    if (const std::string d = DifferenceBetween(weld_corners(threads), unfolded); !d.empty())
      return "corners welded on " + std::to_string(threads) + " threads: " + d;
  }
  return {};
}

}  // namespace plain_obj_check
