#include "host/import/AssimpImporter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <new>
#include <numbers>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <assimp/Importer.hpp>
#include <assimp/ProgressHandler.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "host/app/Doc.h"
#include "host/import/ColladaCameras.h"
#include "host/import/ColladaChecks.h"
#include "host/import/EmbeddedTextures.h"
#include "host/import/FileSearch.h"
#include "host/import/FramingView.h"
#include "host/import/GltfCameras.h"
#include "host/import/GltfChecks.h"
#include "host/import/ImageFileCheck.h"
#include "host/import/ImportLog.h"
#include "host/import/MeshWelding.h"
#include "host/import/ObjMaterialLibrary.h"
#include "host/import/PlainObjReader.h"
#include "host/import/PlyCounts.h"
#include "host/import/RendererRecords.h"
#include "host/platform/InParts.h"
#include "host/toolkit/Xform.h"

namespace fs = std::filesystem;

namespace {

// Tells Assimp to give up as soon as the import's caller asks to stop.
class StopWhenAsked : public Assimp::ProgressHandler {
public:
  explicit StopWhenAsked(const CImportLog& log) : log_(log) {}
  bool Update(float) override { return !log_.StopRequested(); }

private:
  const CImportLog& log_;
};


constexpr std::uintmax_t kMaxFileBytes = 2ull << 30;
// The least of a plain OBJ file, and of a mesh's vertices or corners, worth a thread.
constexpr std::size_t kBytesPerThread = 4u << 20;
constexpr std::size_t kElementsPerThread = 1u << 16;
constexpr int kViewWidth = 640;
constexpr int kViewHeight = 480;

TK_Xform ToXform(const aiMatrix4x4& m) {
  TK_Xform x;
  const ai_real* row[4] = {&m.a1, &m.b1, &m.c1, &m.d1};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) x.m_xform[r][c] = double(row[r][c]);
  return x;
}

bool IsFinite(const TK_Xform& x) {
  for (const auto& row : x.m_xform)
    for (const double v : row)
      if (!std::isfinite(v)) return false;
  return true;
}

int Byte(float fraction) { return int(std::lround(std::clamp(double(fraction), 0.0, 1.0) * 255.0)); }
TK_Color ToColor(const aiColor3D& c) { return TK_Color(Byte(c.r), Byte(c.g), Byte(c.b)); }
TK_3dPoint ToPoint(const aiVector3D& v) { return TK_3dPoint(v.x, v.y, v.z); }
TK_3dVector ToVector(const aiVector3D& v) { return TK_3dVector(v.x, v.y, v.z); }

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

// The one import of one file: the file's name for messages, its folder for
// texture names, and which format pitfalls apply.
struct Reader {
  Reader(const fs::path& p, CImportLog& l) : path(p), file(p.string()), log(l) {}

  const fs::path& path;
  std::string file;  // as the user named it, for messages
  CImportLog& log;
  const aiScene* scene = nullptr;
  bool is_obj = false;
  bool is_gltf = false;
  bool is_stl = false;
  bool is_dae = false;
  obj_materials::ObjMaterialFacts obj_facts;
  std::vector<int> material_slot;  // Assimp material -> model material; -2 not yet made
  std::map<std::string, TK_Xform> node_xforms;

  void Warn(const std::string& what) const { log.Warning(CImportLog::Line(file, {}, what)); }
  void Fail(const std::string& what) const { log.Error(CImportLog::Line(file, {}, what)); }

  // A texture name of the file made a path: backslashes of Windows-made
  // files become slashes, relative names resolve against the model's folder.
  TK_wString TexturePath(std::string name, const std::string& material, const char* role) const {
    if (name.empty()) return {};
    if (const aiTexture* embedded = scene ? scene->GetEmbeddedTexture(name.c_str()) : nullptr) {
      std::optional<fs::path> file;
      if (embedded->mHeight == 0) {  // encoded: mWidth bytes in the format of the hint
        file = embedded_textures::StoreEncoded(
            std::span(reinterpret_cast<const std::uint8_t*>(embedded->pcData), embedded->mWidth), embedded->achFormatHint);
      } else {
        static_assert(sizeof(aiTexel) == 4);
        file = embedded_textures::StorePixels(
            std::span(reinterpret_cast<const std::uint32_t*>(embedded->pcData),
                      std::size_t(embedded->mWidth) * embedded->mHeight),
            int(embedded->mWidth), int(embedded->mHeight));
      }
      if (file) return TK_wString::FromUtf8(file->string());
      Warn("material \"" + material + "\": the " + role + " texture inside the model could not be kept in " +
           embedded_textures::CacheFolder().string() + " (it is left out when rendering)");
      return {};
    }
    if (name[0] == '*') {
      Warn("material \"" + material + "\": " + role + " texture " + name + " is not in the model");
      return {};
    }
    std::replace(name.begin(), name.end(), '\\', '/');
    // A drive letter ("D:/maps/x.jpg") means a path of another machine.
    const bool foreign = name.size() >= 2 && name[1] == ':' && std::isalpha((unsigned char)name[0]);
    fs::path p = foreign ? fs::path(name.substr(2)) : fs::path(name);
    if (p.is_relative()) p = path.parent_path() / p;
    p = p.lexically_normal();
    std::error_code ec;
    // A file that is there but cannot be read is left out as a missing one is, and said so.
    const auto found_at = [&](const fs::path& file) {
      if (const std::optional<std::string> why = UnreadableImageReason(file))
        Warn("material \"" + material + "\": " + role + " texture " + file.string() + " cannot be read: " + *why +
             " (it is left out when rendering)");
      return TK_wString::FromUtf8(file.string());
    };
    if (fs::exists(p, ec)) return found_at(p);
    // Written on another machine: the path's last folders may lie beside the
    // model or above it ("D:/work/models/maps/x.jpg" for a model in
    // .../models/cars), else the name beside the model or below it.
    if (const std::optional<fs::path> found = file_search::ByPathTail(fs::path(name), path.parent_path()))
      return found_at(*found);
    if (const std::optional<fs::path> found = file_search::ByName(p.filename(), path.parent_path())) return found_at(*found);
    Warn("material \"" + material + "\": " + role + " texture not found: " + name + " (looked for " +
         p.filename().string() + " in " + path.parent_path().string() + " and the folders below it; it is left out "
         "when rendering)");
    return TK_wString::FromUtf8(p.string());
  }

  // Whether a triangle's vertex normals point away from the side its winding
  // faces (counter-clockwise seen from the front).
  static bool StlNormalsContradictWinding(const TK_Mesh& mesh) {
    for (const TK_MeshFace& face : mesh.m_F) {
      const aiVector3D a = Ai(mesh.m_V[face.vi[0]]);
      const aiVector3D winding = (Ai(mesh.m_V[face.vi[1]]) - a) ^ (Ai(mesh.m_V[face.vi[2]]) - a);
      const aiVector3D normal = Ai(mesh.m_N[face.vi[0]]) + Ai(mesh.m_N[face.vi[1]]) + Ai(mesh.m_N[face.vi[2]]);
      if (winding * normal < 0) return true;
    }
    return false;
  }
  template <class V> static aiVector3D Ai(const V& v) { return aiVector3D(v.x, v.y, v.z); }

  bool TooMany() const {
    Fail("too many vertices or faces (at most " + std::to_string(CAssimpImporter::kMaxVertices) + " of each)");
    return false;
  }

  // Faces that the post-processing steps cannot take: a face without
  // vertices fails the import (triangulation would abort the program), and
  // each mesh's primitive types are made those of its faces (triangulation
  // also aborts on a mesh that claims polygons it does not have).
  bool FacesFitTheirMeshes(aiScene& read) const {
    for (unsigned m = 0; m < read.mNumMeshes; ++m) {
      aiMesh* am = read.mMeshes ? read.mMeshes[m] : nullptr;
      if (!am || !am->mFaces) continue;
      unsigned types = 0;
      for (unsigned f = 0; f < am->mNumFaces; ++f) {
        const unsigned n = am->mFaces[f].mNumIndices;
        if (n == 0 || !am->mFaces[f].mIndices) {
          Fail("mesh \"" + std::string(am->mName.C_Str()) + "\": face " + std::to_string(f) + " has no vertices");
          return false;
        }
        types |= n == 1 ? aiPrimitiveType_POINT : n == 2 ? aiPrimitiveType_LINE
                 : n == 3 ? aiPrimitiveType_TRIANGLE : aiPrimitiveType_POLYGON;
      }
      am->mPrimitiveTypes = types;
    }
    return true;
  }

  std::string Texture(const aiMaterial& m, aiTextureType type) const {
    aiString s;
    if (m.GetTextureCount(type) == 0 || m.GetTexture(type, 0, &s) != AI_SUCCESS) return {};
    return s.C_Str();
  }

  TK_Material MakeMaterial(const aiMaterial& am) const {
    TK_Material m;
    aiString ai_name;
    am.Get(AI_MATKEY_NAME, ai_name);
    const std::string name = ai_name.C_Str();
    m.SetName(TK_wString::FromUtf8(name));
    aiColor3D c;
    if (am.Get(AI_MATKEY_COLOR_DIFFUSE, c) == AI_SUCCESS) m.SetDiffuse(ToColor(c));
    if (am.Get(AI_MATKEY_COLOR_SPECULAR, c) == AI_SUCCESS) m.SetSpecular(ToColor(c));
    if (am.Get(AI_MATKEY_COLOR_AMBIENT, c) == AI_SUCCESS) m.SetAmbient(ToColor(c));
    if (am.Get(AI_MATKEY_COLOR_EMISSIVE, c) == AI_SUCCESS) m.SetEmission(ToColor(c));
    // The renderer's highlight exponent is 128 x shine / MaxShine; a Phong
    // exponent (OBJ Ns) maps onto that range, a glTF roughness r through the
    // usual Blinn-Phong equivalent 2 / r^2 - 2.
    float shininess = 0, roughness = 0, opacity = 1;
    double exponent = 0;
    // glTF materials state a roughness; Assimp derives a shininess from it
    // on a scale of its own, so the roughness is taken first.
    const bool has_roughness = am.Get(AI_MATKEY_ROUGHNESS_FACTOR, roughness) == AI_SUCCESS && std::isfinite(roughness);
    if (has_roughness && is_gltf)
      exponent = roughness > 0 ? 2.0 / (double(roughness) * roughness) - 2.0 : 128.0;
    else if (am.Get(AI_MATKEY_SHININESS, shininess) == AI_SUCCESS && std::isfinite(shininess) && shininess > 0)
      exponent = shininess;
    else if (has_roughness && roughness > 0)
      exponent = 2.0 / (double(roughness) * roughness) - 2.0;
    m.SetShine(std::clamp(exponent, 0.0, 128.0) / 128.0 * TK_Material::MaxShine());
    if (am.Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS && std::isfinite(opacity))
      m.SetTransparency(1.0 - std::clamp(double(opacity), 0.0, 1.0));

    std::string texture = Texture(am, aiTextureType_DIFFUSE);
    if (texture.empty()) texture = Texture(am, aiTextureType_BASE_COLOR);
    m.SetTextureBitmapFileName(TexturePath(texture, name, "diffuse"));
    // OBJ bump / map_Bump statements arrive as height maps: what bump mapping wants.
    m.SetBumpBitmapFileName(TexturePath(Texture(am, aiTextureType_HEIGHT), name, "bump"));
    std::string normals = Texture(am, aiTextureType_NORMALS);
    if (normals.empty()) normals = Texture(am, aiTextureType_NORMAL_CAMERA);
    if (!normals.empty())
      Warn("material \"" + name + "\": normal map " + normals +
           " left out (a tangent-space normal map is not a height map)");
    std::string reflection = Texture(am, aiTextureType_REFLECTION);
    if (reflection.empty() && is_obj) {
      // Assimp drops OBJ refl statements; they were read from the MTL.
      const auto it = obj_facts.reflection_maps.find(name);
      if (it != obj_facts.reflection_maps.end()) reflection = it->second;
    }
    m.SetEmapBitmapFileName(TexturePath(reflection, name, "environment"));
    // An MTL reflection's "-mm base gain" says how strongly it shows: the
    // renderer's environment map amount (else its default, a full mirror).
    if (const auto it = obj_facts.reflection_strengths.find(name);
        is_obj && it != obj_facts.reflection_strengths.end() && !m.EmapBitmapFileName().IsEmpty()) {
      MaterialRecord settings;
      // The maps the host material names, as the renderer takes them without a record of its own.
      for (auto [map, file] : {std::pair{&settings.texture, m.TextureBitmapFileName()},
                               std::pair{&settings.bump, m.BumpBitmapFileName()},
                               std::pair{&settings.environment, m.EmapBitmapFileName()}}) {
        map->file_name = file;
        map->enabled = !file.IsEmpty();
      }
      settings.environment.amount = it->second;
      m.SetMaterialPlugInUuid(renderer_records::PlugInUuid());
      renderer_records::AttachMaterialRecord(m, renderer_records::WriteMaterialRecord(m, settings),
                                             TK_ClassId::ClassId(renderer_records::kMaterialClassName));
    }
    return m;
  }

  // The model material of an Assimp material index: made on first use, so
  // that materials no mesh uses stay out. The OBJ importer's own
  // "DefaultMaterial" is the document's default, and so is a material the
  // OBJ never names with usemtl: Assimp hands the MTL's last material to
  // faces that have none. (Faces without usemtl in a file that also names
  // that last material cannot be told apart and keep it.)
  int MaterialIndex(unsigned index, ImportedModel& model) {
    if (index >= scene->mNumMaterials || !scene->mMaterials[index]) return -1;
    int& slot = material_slot[index];
    if (slot != -2) return slot;
    const aiMaterial& am = *scene->mMaterials[index];
    aiString name;
    am.Get(AI_MATKEY_NAME, name);
    if (std::string(name.C_Str()) == AI_DEFAULT_MATERIAL_NAME) return slot = -1;
    if (is_obj && !obj_facts.used.contains(name.C_Str())) return slot = -1;
    model.materials.push_back(MakeMaterial(am));
    return slot = int(model.materials.size()) - 1;
  }

  // One part from one Assimp mesh under a node's transform. False for a
  // fault that fails the whole import; an empty mesh is skipped.
  bool AddPart(const aiMesh& am, const TK_Xform& xform, const std::string& node_name, ImportedModel& model,
               long long& vertices, long long& faces) {
    const std::string name = am.mName.length ? am.mName.C_Str() : node_name;
    if (am.mNumVertices == 0 || am.mNumFaces == 0 || !am.mVertices || !am.mFaces) {
      Warn("mesh \"" + name + "\" has no faces: left out");
      return true;
    }
    faces += am.mNumFaces;
    if (faces > CAssimpImporter::kMaxFaces) return TooMany();
    TK_Mesh mesh;
    mesh.m_V.reserve(am.mNumVertices);
    for (unsigned i = 0; i < am.mNumVertices; ++i) mesh.m_V.emplace_back(am.mVertices[i].x, am.mVertices[i].y, am.mVertices[i].z);
    mesh.m_F.reserve(am.mNumFaces);
    for (unsigned f = 0; f < am.mNumFaces; ++f) {
      const aiFace& face = am.mFaces[f];
      if (face.mNumIndices != 3 || !face.mIndices) continue;  // points and lines left after triangulation
      for (unsigned k = 0; k < 3; ++k) {
        if (face.mIndices[k] >= am.mNumVertices) {
          Fail("mesh \"" + name + "\": face " + std::to_string(f) + " refers to vertex " +
               std::to_string(face.mIndices[k]) + " past the " + std::to_string(am.mNumVertices) + " vertices");
          return false;
        }
      }
      mesh.SetTriangle(mesh.FaceCount(), int(face.mIndices[0]), int(face.mIndices[1]), int(face.mIndices[2]));
    }
    if (am.HasTextureCoords(0)) {
      mesh.m_T.reserve(am.mNumVertices);
      for (unsigned i = 0; i < am.mNumVertices; ++i) mesh.m_T.emplace_back(am.mTextureCoords[0][i].x, am.mTextureCoords[0][i].y);
    }
    if (am.HasNormals()) {
      mesh.m_N.reserve(am.mNumVertices);
      for (unsigned i = 0; i < am.mNumVertices; ++i) mesh.m_N.emplace_back(am.mNormals[i].x, am.mNormals[i].y, am.mNormals[i].z);
    }
    const Shaped shaped =
        ShapePart(mesh, mesh_welding::UniquePositions(mesh.m_V, ThreadsFor(mesh.m_V.size())), name, xform, node_name, vertices);
    if (shaped == Shaped::kept)
      model.parts.push_back({TK_wString::FromUtf8(name), std::move(mesh), MaterialIndex(am.mMaterialIndex, model)});
    return shaped != Shaped::failed;
  }

  enum class Shaped { kept, left_out, failed };

  // Checks, welds and places a mesh as its reader made it: a vertex per
  // face corner where the file gives each face its own (OBJ, STL), normals
  // and texture coordinates where the file has them. `failed` for a fault
  // that fails the whole import, `left_out` for a mesh left out with a
  // warning. `positions` are those of the mesh's vertices.
  Shaped ShapePart(TK_Mesh& mesh, const mesh_welding::Positions& positions, const std::string& name,
                   const TK_Xform& xform, const std::string& node_name, long long& vertices) const {
    if (!AllFinite(mesh.m_V.size(), [&](std::size_t v) -> const TK_3fPoint& { return mesh.m_V[v]; }, name))
      return Shaped::failed;
    if (mesh.m_F.empty()) {
      Warn("mesh \"" + name + "\" has no triangles: left out");
      return Shaped::left_out;
    }
    for (TK_2fPoint& t : mesh.m_T) t = TK_2fPoint(std::isfinite(t.x) ? t.x : 0.0f, std::isfinite(t.y) ? t.y : 0.0f);
    // The weld shares the readers' corners again. Normals the file states
    // take part in it; a mesh without them gets smooth ones first. Normals
    // that are not all finite say nothing and are computed from the welded
    // faces, and so are STL facet normals that contradict the winding
    // (written by tools that never read them), after a weld that keeps the
    // facets apart as stated.
    bool computed_normals = false;
    if (!mesh.m_N.empty()) {
      if (!std::all_of(mesh.m_N.begin(), mesh.m_N.end(), FiniteNormal)) {
        mesh.m_N.clear();
        computed_normals = true;
      } else {
        computed_normals = is_stl && StlNormalsContradictWinding(mesh);
      }
    } else {
      mesh_welding::SmoothNormals(mesh, positions, ThreadsFor(mesh.m_V.size()));
    }
    mesh_welding::Weld(mesh, positions, ThreadsFor(mesh.m_V.size()));
    if (computed_normals) mesh.ComputeVertexNormals();
    return Place(mesh, name, xform, node_name, vertices);
  }

  // The plain OBJ reader's corners shaped as ShapePart shapes the mesh they
  // unfold to (the one Assimp's reader makes of the file), without making
  // that mesh of a vertex per corner: the same checks, the same mesh. The
  // reader gives a model only when it has faces.
  Shaped ShapeCorners(const plain_obj::PlainModel& plain, TK_Mesh& mesh, long long& vertices) const {
    const mesh_welding::CornerMesh& corners = plain.mesh;
    const auto point = [&](std::size_t v) -> const TK_3fPoint& { return corners.points[corners.corners[v].point]; };
    if (!AllFinite(corners.corners.size(), point, plain.name)) return Shaped::failed;
    using mesh_welding::CornerNormals;
    CornerNormals normals = corners.normals.empty() ? CornerNormals::smooth : CornerNormals::stated;
    if (normals == CornerNormals::stated &&
        !std::all_of(corners.corners.begin(), corners.corners.end(),
                     [&](const mesh_welding::CornerMesh::Corner& c) { return FiniteNormal(corners.normals[c.normal]); }))
      normals = CornerNormals::none;
    mesh = mesh_welding::WeldCorners(corners, plain.positions, normals, ThreadsFor(corners.corners.size()));
    if (normals == CornerNormals::none) mesh.ComputeVertexNormals();
    return Place(mesh, plain.name, TK_Xform(), plain.name, vertices);
  }

  // Threads worth giving a step over a mesh's `elements` vertices or corners.
  int ThreadsFor(std::size_t elements) const {
    return ThreadsWorth(elements, kElementsPerThread, log.Threads());
  }

  static bool FiniteNormal(const TK_3fVector& n) { return std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z); }

  // Whether the `count` points of a mesh, point(v) the v-th, are finite;
  // fails the import when one is not.
  template <class PointOf> bool AllFinite(std::size_t count, const PointOf& point, const std::string& name) const {
    for (std::size_t i = 0; i < count; ++i) {
      const TK_3fPoint& v = point(i);
      if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) {
        Fail("mesh \"" + name + "\": vertex " + std::to_string(i) + " is not a finite point");
        return false;
      }
    }
    return true;
  }

  // Counts a welded mesh's vertices against the import's bound, gives it
  // face normals and places it by its node's transform.
  Shaped Place(TK_Mesh& mesh, const std::string& name, const TK_Xform& xform, const std::string& node_name,
               long long& vertices) const {
    vertices += mesh.VertexCount();
    if (vertices > CAssimpImporter::kMaxVertices) {
      TooMany();
      return Shaped::failed;
    }
    mesh.ComputeFaceNormals();
    if (!xform.IsIdentity() && !mesh.Transform(xform)) {
      Warn("mesh \"" + name + "\": the transform of node \"" + node_name + "\" cannot be applied: left out");
      return Shaped::left_out;
    }
    return Shaped::kept;
  }

  // Walks the node tree without recursion (a hostile file may nest deeply),
  // adding a part for every mesh reference under the node's global transform.
  bool AddNodes(ImportedModel& model) {
    long long vertices = 0, faces = 0;
    std::vector<std::pair<const aiNode*, TK_Xform>> stack;
    if (scene->mRootNode) stack.emplace_back(scene->mRootNode, TK_Xform());
    std::size_t visited = 0;
    while (!stack.empty()) {
      auto [node, parent] = stack.back();
      stack.pop_back();
      if (++visited > 10'000'000) {
        Fail("too many nodes");
        return false;
      }
      const TK_Xform global = parent * ToXform(node->mTransformation);
      if (!IsFinite(global)) {
        Fail("node \"" + std::string(node->mName.C_Str()) + "\" has a transform that is not finite");
        return false;
      }
      node_xforms.emplace(node->mName.C_Str(), global);
      for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        const unsigned index = node->mMeshes[i];
        if (index >= scene->mNumMeshes || !scene->mMeshes[index]) continue;
        if (!AddPart(*scene->mMeshes[index], global, node->mName.C_Str(), model, vertices, faces)) return false;
      }
      for (unsigned i = node->mNumChildren; i-- > 0;)
        if (node->mChildren[i]) stack.emplace_back(node->mChildren[i], global);
    }
    return true;
  }

  TK_Xform NodeXform(const aiString& name) const {
    const auto it = node_xforms.find(name.C_Str());
    return it == node_xforms.end() ? TK_Xform() : it->second;
  }

  void AddCameras(ImportedModel& model) {
    std::vector<StatedCamera> gltf;
    if (is_gltf) gltf = gltf_cameras::ReadCameras(path).value_or(std::vector<StatedCamera>());
    std::map<std::string, StatedCamera> dae;
    if (is_dae) dae = collada_cameras::ReadCameras(path);
    for (unsigned i = 0; i < scene->mNumCameras; ++i) {
      const aiCamera* cam = scene->mCameras[i];
      if (!cam) continue;
      const TK_Xform g = NodeXform(cam->mName);
      // glTF cameras sit at their node's origin looking down -z with +y up;
      // Assimp repeats the node's translation in mPosition, so it is not used.
      const TK_3dPoint local = is_gltf ? TK_3dPoint(0, 0, 0) : ToPoint(cam->mPosition);
      const TK_3dVector look = is_gltf ? TK_3dVector(0, 0, -1) : ToVector(cam->mLookAt);
      const TK_3dVector up = is_gltf ? TK_3dVector(0, 1, 0) : ToVector(cam->mUp);
      double aspect = cam->mAspect;
      bool perspective = cam->mOrthographicWidth <= 0;
      double half_x = cam->mHorizontalFOV;  // Assimp: half the horizontal angle
      double half_y = 0, ortho_x = cam->mOrthographicWidth, ortho_y = 0;
      // Assimp's glTF field of view is yfov x aspect, its COLLADA one a full
      // angle taken for a half, its COLLADA orthographic cameras perspective:
      // the file's own numbers win.
      const StatedCamera* stated = nullptr;
      if (is_gltf && i < gltf.size()) stated = &gltf[i];
      if (const auto it = dae.find(cam->mName.C_Str()); it != dae.end()) stated = &it->second;
      if (stated) {
        perspective = stated->perspective;
        aspect = stated->aspect > 0 ? stated->aspect
                 : !perspective && stated->ymag > 0 ? stated->xmag / stated->ymag
                 : stated->xfov > 0 && stated->yfov > 0 ? std::tan(stated->xfov / 2) / std::tan(stated->yfov / 2)
                                                        : (is_gltf ? 0.0 : aspect);
        half_y = stated->yfov / 2;
        if (stated->xfov > 0) half_x = stated->xfov / 2;
        ortho_x = stated->xmag;
        ortho_y = stated->ymag;
      }
      if (!(aspect > 0) || !std::isfinite(aspect)) aspect = double(kViewWidth) / kViewHeight;
      if (!(half_y > 0)) half_y = std::atan(std::tan(half_x) / aspect);
      if (!(ortho_y > 0)) ortho_y = ortho_x / aspect;

      TK_ScnView view;
      view.m_name = TK_wString::FromUtf8(cam->mName.length ? cam->mName.C_Str() : "Camera " + std::to_string(i + 1));
      TK_Viewport& vp = view.m_vp;
      if (!vp.SetCameraLocation(g * local) || !vp.SetCameraDirection(g * look) || !vp.SetCameraUp(g * up)) {
        Warn("camera \"" + view.m_name.ToUtf8() + "\" has no usable placement: left out");
        continue;
      }
      const int width = kViewWidth;
      const int height = std::clamp(int(std::lround(kViewWidth / aspect)), 1, 16 * kViewWidth);
      if (perspective) {
        // The toolkit's camera angle is the half-angle of the narrower side.
        const double half = aspect >= 1 ? half_y : std::atan(std::tan(half_y) * aspect);
        const double limit = 89.0 * std::numbers::pi / 180.0;
        vp.SetProjection(TK::perspective);
        vp.SetFrustumAspect(aspect);
        vp.SetCameraAngle(std::clamp(std::isfinite(half) ? half : 0.35, 0.001, limit));
      } else {
        vp.SetProjection(TK::parallel);
        if (ortho_y > 0 && std::isfinite(ortho_y))
          vp.SetFrustum(-ortho_y * aspect, ortho_y * aspect, -ortho_y, ortho_y, 1.0, 1000.0);
      }
      CKavraView kv(view, width, height);
      model.cameras.push_back(kv);
    }
  }

  void AddLights(ImportedModel& model) {
    for (unsigned i = 0; i < scene->mNumLights; ++i) {
      const aiLight* al = scene->mLights[i];
      if (!al) continue;
      const std::string name = al->mName.length ? al->mName.C_Str() : "Light " + std::to_string(i + 1);
      const TK_Xform g = NodeXform(al->mName);
      // glTF lights sit at their node's origin and shine down -z.
      const TK_3dPoint location = g * (is_gltf ? TK_3dPoint(0, 0, 0) : ToPoint(al->mPosition));
      const TK_3dVector direction = g * (is_gltf ? TK_3dVector(0, 0, -1) : ToVector(al->mDirection));
      TK_Light light;
      light.SetName(TK_wString::FromUtf8(name));
      switch (al->mType) {
        case aiLightSource_DIRECTIONAL: light.SetStyle(TK::directional_light); break;
        case aiLightSource_POINT: light.SetStyle(TK::point_light); break;
        case aiLightSource_SPOT: {
          light.SetStyle(TK::spot_light);
          // Assimp's cone angles are full angles, except from glTF whose
          // importer passes the file's half-angles through.
          double half = is_gltf ? al->mAngleOuterCone : al->mAngleOuterCone / 2;
          if (!(half > 0) || !std::isfinite(half)) half = std::numbers::pi / 4;
          light.SetSpotAngleRadians(std::min(half, std::numbers::pi / 2));
          break;
        }
        case aiLightSource_AREA: {
          light.SetStyle(TK::rectangular_light);
          TK_3dVector length = g * ToVector(al->mUp);
          TK_3dVector width = TK_CrossProduct(direction, length);
          length.Unitize();
          width.Unitize();
          length *= double(al->mSize.y);
          width *= double(al->mSize.x);
          light.SetLength(length);
          light.SetWidth(width);
          // The toolkit places a rectangle by its corner.
          light.SetLocation(location - (length + width) * 0.5);
          break;
        }
        default:
          Warn("light \"" + name + "\": ambient and undefined lights are left out");
          continue;
      }
      if (al->mType != aiLightSource_AREA && !light.SetLocation(location)) {
        Warn("light \"" + name + "\" has no usable placement: left out");
        continue;
      }
      if (!light.SetDirection(direction)) light.SetDirection(TK_3dVector(0, 0, -1));
      // Assimp hands colour x intensity (glTF's intensity may be in the
      // hundreds). The colour keeps its hue scaled into 0..1; the factor k
      // goes where it still acts on the diffuse light: into the attenuation
      // (1 / ((c0 + c1 d + c2 d^2) / k)), or, for a directional light, which
      // is not attenuated, into the intensity.
      const aiColor3D& c = al->mColorDiffuse;
      double k = std::max({double(c.r), double(c.g), double(c.b)});
      if (!std::isfinite(k) || k <= 0) k = 1;
      const double scale = k > 1 ? k : 1;
      light.SetDiffuse(TK_Color(Byte(float(c.r / scale)), Byte(float(c.g / scale)), Byte(float(c.b / scale))));
      double c0 = al->mAttenuationConstant, c1 = al->mAttenuationLinear, c2 = al->mAttenuationQuadratic;
      if (!std::isfinite(c0) || !std::isfinite(c1) || !std::isfinite(c2) || c0 < 0 || c1 < 0 || c2 < 0 ||
          c0 + c1 + c2 <= 0) {
        c0 = 1, c1 = 0, c2 = 0;  // no falloff rather than a light that never shines
      }
      if (al->mType == aiLightSource_DIRECTIONAL) {
        light.SetIntensity(scale);
      } else {
        light.SetAttenuation(c0 / scale, c1 / scale, c2 / scale);
      }
      model.lights.push_back(light);
    }
  }
};

// COLLADA states opacity as the transparent colour's alpha times
// `transparency`; many exporters wrote `transparency` as its complement
// (0 for opaque), which makes every material vanish. A file whose every
// material comes out fully transparent means the other convention: one that
// shows nothing is never what it means, and a warning says what was read.
void ReadStatedOpacityAsComplement(ImportedModel& model, CImportLog& log, const std::string& file) {
  if (model.materials.empty() ||
      !std::all_of(model.materials.begin(), model.materials.end(),
                   [](const TK_Material& m) { return m.Transparency() >= 1.0; }))
    return;
  for (TK_Material& m : model.materials) m.SetTransparency(0.0);
  log.Warning(CImportLog::Line(file, {}, "every material is fully transparent as the file states it; read as opaque "
                                         "(the file seems to state transparency as its complement)"));
}

}  // namespace

bool CAssimpImporter::Load(const fs::path& given_path, ImportedModel& model, CImportLog& log) {
  // Texture names resolve against the model's folder and are kept absolute,
  // so that the document finds them wherever it is saved.
  std::error_code absolute_error;
  fs::path path = fs::absolute(given_path, absolute_error);
  if (absolute_error) path = given_path;
  Reader r(path, log);
  r.file = given_path.string();
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    r.Fail("no such file");
    return false;
  }
  if (!fs::is_regular_file(path, ec)) {
    r.Fail("not a regular file");
    return false;
  }
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size == 0) {
    r.Fail(ec ? "cannot read the file" : "the file is empty");
    return false;
  }
  if (size > kMaxFileBytes) {
    r.Fail("the file is too large (more than 2 GiB)");
    return false;
  }
  const std::string ext = Lower(path.extension().string());
  r.is_obj = ext == ".obj";
  r.is_gltf = ext == ".gltf" || ext == ".glb";
  r.is_stl = ext == ".stl";
  r.is_dae = ext == ".dae";
  if (r.is_obj) {
    // The large models come as plain OBJ files, which a reader of our own
    // takes in a fraction of Assimp's time, making the same mesh.
    // Stretches of a few MiB a thread: smaller ones cost more to start than they save.
    const int threads = ThreadsWorth(std::size_t(size), kBytesPerThread, log.Threads());
    if (std::optional<plain_obj::PlainModel> plain =
            plain_obj::Read(path, [&log] { return log.StopRequested(); }, threads)) {
      long long vertices = 0;
      TK_Mesh mesh;
      const Reader::Shaped shaped = r.ShapeCorners(*plain, mesh, vertices);
      if (shaped == Reader::Shaped::left_out) r.Fail("the model has no mesh with faces");
      if (shaped != Reader::Shaped::kept) return false;
      model = ImportedModel();
      model.parts.push_back({TK_wString::FromUtf8(plain->name), std::move(mesh), -1});
      return true;
    }
    r.obj_facts = obj_materials::ReadMaterialFacts(path);
    if (!r.obj_facts.problem.empty()) {
      r.Fail("the material library is malformed: " + r.obj_facts.problem);
      return false;
    }
  }
  if (std::string problem; ext == ".ply" && !ply_counts::Check(path, problem)) {
    r.Fail(problem);
    return false;
  }
  if (std::string problem; (r.is_dae && !collada_checks::Check(path, problem)) ||
                            (r.is_gltf && !gltf_checks::Check(path, problem))) {
    r.Fail(problem);
    return false;
  }

  Assimp::Importer importer;
  // Assimp asks its progress handler now and then whether to go on: a stop
  // request ends a long read within moments. The importer owns the handler.
  importer.SetProgressHandler(new StopWhenAsked(log));
  importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
  // Read first and post-processed after a look at the faces the reader
  // made: Assimp's later steps abort the program on faces they cannot take.
  r.scene = importer.ReadFile(r.file, aiProcess_ValidateDataStructure);
  if (r.scene && r.FacesFitTheirMeshes(const_cast<aiScene&>(*r.scene))) {
    r.scene = importer.ApplyPostProcessing(aiProcess_Triangulate | aiProcess_SortByPType);
  } else if (r.scene) {
    return false;
  }
  if (!r.scene && log.StopRequested()) {
    r.Fail("reading stopped");
    return false;
  }
  if (!r.scene) {
    std::string why = importer.GetErrorString();
    // Assimp catches running out of memory and reports it as text; it is not the file's fault.
    if (why == std::string("std::bad_alloc")) throw std::bad_alloc();
    // Point clouds and line sets leave meshes without faces, which Assimp's check words as its own fault.
    if (why.find("contains no faces") != std::string::npos) {
      r.Fail("the model holds points or lines but no faces: nothing to render");
      return false;
    }
    if (why.empty()) why = "unknown format or damaged file";
    std::replace(why.begin(), why.end(), '\n', ' ');
    r.Fail("cannot read the model: " + why);
    return false;
  }
  r.material_slot.assign(r.scene->mNumMaterials, -2);
  ImportedModel result;
  if (!r.AddNodes(result)) return false;
  if (result.parts.empty()) {
    r.Fail("the model has no mesh with faces");
    return false;
  }
  if (r.is_dae) ReadStatedOpacityAsComplement(result, log, r.file);
  r.AddCameras(result);
  r.AddLights(result);
  model = std::move(result);
  return true;
}

void CAssimpImporter::AddToDocument(ImportedModel model, CKavraDoc& doc, int layer_index) {
  const TK_BoundingBox box = model.BoundingBox();
  TK_ScnObjectAttributes attributes;
  attributes.SetLayerIndex(layer_index);
  model.AddParts(doc, attributes, [](const ImportedModel::Part& part) { return part.name; });
  for (const TK_Light& light : model.lights) doc.LightTable().Add(CKavraLight(light, layer_index));
  if (model.cameras.empty())
    model.cameras.emplace_back(framing::FramingView(box, TK_3dVector(0, 1, 0), double(kViewWidth) / kViewHeight),
                               kViewWidth, kViewHeight);
  for (const CKavraView& view : model.cameras) doc.AddView(view);
}

bool CAssimpImporter::Import(const fs::path& path, CKavraDoc& doc, CImportLog& log) {
  ImportedModel model;
  if (!Load(path, model, log)) return false;
  if (doc.LayerTable().Count() == 0) {
    TK_Layer layer;
    layer.SetName(L"Default");
    doc.LayerTable().Add(layer);
  }
  AddToDocument(std::move(model), doc, 0);
  return true;
}
