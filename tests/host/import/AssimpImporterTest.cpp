#include "host/app/import/AssimpImporter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/app/Doc.h"
#include "host/app/import/ImportLog.h"
#include "host/import/LogText.h"
#include "host/toolkit/Xform.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace {

// A quad with a material naming a texture, a bump map, a normal map and a
// reflection map; a material nothing uses; and a second model whose faces
// have no material at all (the OBJ importer gives them its "DefaultMaterial").
void WriteObjScene(const TempDir& dir) {
  WriteFile(dir / "scene.obj",
            "mtllib scene.mtl\n"
            "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
            "vt 0.25 0.1\nvt 1 0\nvt 1 1\nvt 0 1\n"
            "o Shiny\nusemtl shiny\nf 1/1 2/2 3/3 4/4\n");
  WriteFile(dir / "plain.obj", "mtllib scene.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  WriteFile(dir / "scene.mtl",
            "newmtl unused\nKd 0 1 0\n\n"
            "newmtl shiny\nKd 1 0 0\nKs 0.5 0.5 0.5\nNs 64\nd 0.75\n"
            "map_Kd tex/wood.png\nmap_Bump -bm 0.3 tex/height.png\nnorm tex/normal.png\n"
            "refl -type sphere tex/sky.png\n");
  WriteFile(dir / "tex/wood.png", "x");
  WriteFile(dir / "tex/height.png", "x");
  WriteFile(dir / "tex/sky.png", "x");
}

void WriteGltfScene(const TempDir& dir);

// The test scenes in a fresh folder, and one model loaded from it.
class AssimpScenes : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.Ok());
    WriteObjScene(dir);
    WriteGltfScene(dir);
  }
  void Load(const char* name) { ASSERT_TRUE(CAssimpImporter::Load(dir / name, model, log)) << Joined(log.Errors()); }
  TempDir dir;
  ImportedModel model;
  CImportLog log;
};

TEST_F(AssimpScenes, ObjMaterialsTakeTheirMapsFromTheMtl) {
  Load("scene.obj");
  // Only the material in use.
  ASSERT_EQ(model.materials.size(), 1u);
  const TK_Material& m = model.materials[0];
  EXPECT_EQ(m.Name(), TK_wString(L"shiny"));
  EXPECT_EQ(m.Diffuse(), TK_Color(255, 0, 0));
  EXPECT_EQ(m.Specular(), TK_Color(128, 128, 128));
  EXPECT_DOUBLE_EQ(m.Shine(), 64.0 / 128.0 * TK_Material::MaxShine());
  EXPECT_NEAR(m.Transparency(), 0.25, 1e-6);
  EXPECT_EQ(m.TextureBitmapFileName().ToUtf8(), (dir / "tex/wood.png").string());
  EXPECT_EQ(m.BumpBitmapFileName().ToUtf8(), (dir / "tex/height.png").string());
  // Assimp drops refl; it was read from the MTL.
  EXPECT_EQ(m.EmapBitmapFileName().ToUtf8(), (dir / "tex/sky.png").string());
  // The normal map is reported and left out; no other file is missing.
  EXPECT_TRUE(AnyContains(log.Warnings(), "normal map tex/normal.png left out")) << Joined(log.Warnings());
  EXPECT_FALSE(AnyContains(log.Warnings(), "not found")) << Joined(log.Warnings());

  ASSERT_EQ(model.parts.size(), 1u);
  const TK_Mesh& mesh = model.parts[0].mesh;
  EXPECT_EQ(model.parts[0].material, 0);
  EXPECT_EQ(mesh.FaceCount(), 2);  // the quad, triangulated
  for (const TK_MeshFace& f : mesh.m_F) EXPECT_TRUE(f.IsTriangle());
  ASSERT_TRUE(mesh.HasTextureCoordinates());
  ASSERT_TRUE(mesh.HasVertexNormals());
  // OBJ texture coordinates are taken as written (v = 0 at the image's bottom).
  int found = 0;
  for (int i = 0; i < mesh.VertexCount(); ++i) {
    if (mesh.m_V[std::size_t(i)] == TK_3fPoint(0, 0, 0)) {
      EXPECT_EQ(mesh.m_T[std::size_t(i)], TK_2fPoint(0.25f, 0.1f));
      ++found;
    }
  }
  EXPECT_EQ(found, 1);
  EXPECT_TRUE(model.cameras.empty());
  EXPECT_TRUE(model.lights.empty());
}

TEST_F(AssimpScenes, ObjFacesWithoutMaterialGetTheDocumentsDefault) {
  Load("plain.obj");
  EXPECT_TRUE(model.materials.empty()) << "Assimp's DefaultMaterial is not a material of the model";
  ASSERT_EQ(model.parts.size(), 1u);
  EXPECT_EQ(model.parts[0].material, -1);
  CKavraDoc doc;
  CAssimpImporter::AddToDocument(std::move(model), doc, 0);
  EXPECT_EQ(doc.MaterialTable().Count(), 0);
  EXPECT_EQ(doc.ObjectAt(0)->Attributes().MaterialSource(), TK_ScnObjectAttributes::material_from_layer);
  EXPECT_EQ(doc.RenderMaterialIndex(*doc.ObjectAt(0)), -1);
}

TEST_F(AssimpScenes, ModelsWithoutCameraGetAViewThatFramesThemAndNoLights) {
  CKavraDoc doc;
  ASSERT_TRUE(CAssimpImporter::Import(dir / "scene.obj", doc, log)) << Joined(log.Errors());
  EXPECT_EQ(doc.LightTable().Count(), 0);
  ASSERT_EQ(doc.LayerTable().Count(), 1);
  ASSERT_EQ(doc.ObjectCount(), 1);
  ASSERT_EQ(doc.ViewCount(), 1);
  const TK_Viewport& vp = doc.ActiveView()->View().m_vp;
  TK_Xform to_clip;
  ASSERT_TRUE(vp.GetXform(TK::world, TK::clip, to_clip));
  const TK_BoundingBox box = doc.ObjectAt(0)->RenderMesh(0)->BoundingBox();
  for (int i = 0; i < 8; ++i) {
    const TK_3dPoint c = to_clip * box.Corner(i);
    EXPECT_LE(std::max({std::fabs(c.x), std::fabs(c.y), std::fabs(c.z)}), 1.0) << "the view sees corner " << i;
  }
  EXPECT_GT(TK_DotProduct(vp.CameraY(), TK_3dVector(0, 1, 0)), 0.5) << "models are y up";
  EXPECT_EQ(doc.MaterialTable().Count(), 1);
  EXPECT_EQ(doc.RenderMaterialIndex(*doc.ObjectAt(0)), 0);
}

// A one-triangle glTF file with its buffer beside it: two cameras, three
// lights, a material with a texture and a normal map.
void WriteGltfScene(const TempDir& dir) {
  std::vector<std::uint8_t> bin(68, 0);
  const float positions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  const float uvs[6] = {0.25f, 0.0f, 1, 0, 0, 1};
  const std::uint16_t indices[3] = {0, 1, 2};
  std::memcpy(bin.data(), positions, 36);
  std::memcpy(bin.data() + 36, uvs, 24);
  std::memcpy(bin.data() + 60, indices, 6);
  WriteFile(dir / "tri.bin", std::string_view(reinterpret_cast<const char*>(bin.data()), bin.size()));
  WriteFile(dir / "tri.gltf", R"({
  "asset": {"version": "2.0"},
  "extensionsUsed": ["KHR_lights_punctual"],
  "extensions": {"KHR_lights_punctual": {"lights": [
    {"name": "Spot", "type": "spot", "color": [0.5, 1.0, 0.25], "intensity": 4,
     "spot": {"innerConeAngle": 0.1, "outerConeAngle": 0.3}},
    {"name": "Sun", "type": "directional", "color": [1, 1, 1], "intensity": 2},
    {"name": "Dim", "type": "point", "color": [0.5, 0.5, 0.5], "intensity": 1}]}},
  "scene": 0,
  "scenes": [{"nodes": [0, 1, 2, 3, 4, 5]}],
  "nodes": [
    {"name": "Tri", "mesh": 0},
    {"name": "Wide", "camera": 0, "translation": [1, 2, 3]},
    {"name": "Tall", "camera": 1, "translation": [0, 0, 5]},
    {"name": "Spot", "translation": [0, 5, 0], "rotation": [-0.70710678, 0, 0, 0.70710678],
     "extensions": {"KHR_lights_punctual": {"light": 0}}},
    {"name": "Sun", "extensions": {"KHR_lights_punctual": {"light": 1}}},
    {"name": "Dim", "translation": [3, 0, 0], "extensions": {"KHR_lights_punctual": {"light": 2}}}],
  "cameras": [
    {"type": "perspective", "perspective": {"yfov": 0.8, "aspectRatio": 2.0, "znear": 0.1, "zfar": 100}},
    {"type": "perspective", "perspective": {"yfov": 0.8, "aspectRatio": 0.5, "znear": 0.1, "zfar": 100}}],
  "meshes": [{"name": "Tri", "primitives": [{"attributes": {"POSITION": 0, "TEXCOORD_0": 1}, "indices": 2, "material": 0}]}],
  "materials": [{"name": "painted", "normalTexture": {"index": 1},
                 "pbrMetallicRoughness": {"baseColorTexture": {"index": 0}, "roughnessFactor": 0.5}}],
  "textures": [{"source": 0}, {"source": 1}],
  "images": [{"uri": "paint.png"}, {"uri": "bumps_normal.png"}],
  "accessors": [
    {"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]},
    {"bufferView": 1, "componentType": 5126, "count": 3, "type": "VEC2"},
    {"bufferView": 2, "componentType": 5123, "count": 3, "type": "SCALAR"}],
  "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36}, {"buffer": 0, "byteOffset": 36, "byteLength": 24},
                  {"buffer": 0, "byteOffset": 60, "byteLength": 6}],
  "buffers": [{"byteLength": 68, "uri": "tri.bin"}]
})");
}

TEST_F(AssimpScenes, GltfCamerasTakeTheFilesAngleAndTheNodesPlace) {
  Load("tri.gltf");
  ASSERT_EQ(model.cameras.size(), 2u);
  // Wide (2:1): the narrower side is the vertical one, half of yfov.
  const CKavraView& wide = model.cameras[0];
  const TK_Viewport& vp = wide.View().m_vp;
  EXPECT_EQ(vp.CameraLocation(), TK_3dPoint(1, 2, 3));  // once, not twice
  EXPECT_EQ(vp.CameraDirection(), TK_3dVector(0, 0, -1));
  EXPECT_EQ(wide.Width(), 640);
  EXPECT_EQ(wide.Height(), 320);
  double l, r, b, t, n, f;
  vp.GetFrustum(l, r, b, t, n, f);
  EXPECT_NEAR(std::atan(t / n), 0.4, 1e-9);
  EXPECT_NEAR((r - l) / (t - b), 2.0, 1e-9);
  // Tall (1:2): the narrower side is the horizontal one.
  const TK_Viewport& tall = model.cameras[1].View().m_vp;
  tall.GetFrustum(l, r, b, t, n, f);
  EXPECT_NEAR(r / n, std::tan(0.4) * 0.5, 1e-9);
  EXPECT_NEAR(t / n, std::tan(0.4), 1e-9);
  EXPECT_EQ(tall.CameraLocation(), TK_3dPoint(0, 0, 5));
}

TEST_F(AssimpScenes, GltfLightsKeepHalfAnglesAndSplitColourFromIntensity) {
  Load("tri.gltf");
  ASSERT_EQ(model.lights.size(), 3u);
  const TK_Light& spot = model.lights[0];
  EXPECT_TRUE(spot.IsSpotLight());
  EXPECT_NEAR(spot.SpotAngleRadians(), 0.3, 1e-6);  // glTF's outer cone angle is a half-angle already
  EXPECT_NEAR(spot.Location().y, 5.0, 1e-6);
  EXPECT_NEAR(spot.Direction().y, -1.0, 1e-6);
  EXPECT_NEAR(spot.Direction().z, 0.0, 1e-6);
  // Colour x intensity (2, 4, 1) comes apart into the colour and a factor of
  // 4 that joins the inverse-square falloff: at distance d the light is 4 / d^2.
  EXPECT_EQ(spot.Diffuse(), TK_Color(128, 255, 64));
  EXPECT_EQ(spot.Intensity(), 1.0);
  EXPECT_NEAR(spot.Attenuation(2.0), 1.0, 1e-6);
  const TK_Light& sun = model.lights[1];
  EXPECT_TRUE(sun.IsDirectionalLight());
  EXPECT_EQ(sun.Diffuse(), TK_Color(255, 255, 255));
  EXPECT_NEAR(sun.Intensity(), 2.0, 1e-6);
  EXPECT_EQ(sun.Direction(), TK_3dVector(0, 0, -1));
  const TK_Light& dim = model.lights[2];
  EXPECT_TRUE(dim.IsPointLight());
  EXPECT_EQ(dim.Location(), TK_3dPoint(3, 0, 0));
  EXPECT_EQ(dim.Diffuse(), TK_Color(128, 128, 128));
  EXPECT_NEAR(dim.Attenuation(3.0), 1.0 / 9.0, 1e-6);
}

TEST_F(AssimpScenes, GltfTexturesFlipVAndNormalMapsAreLeftOut) {
  Load("tri.gltf");
  ASSERT_EQ(model.parts.size(), 1u);
  const TK_Mesh& mesh = model.parts[0].mesh;
  ASSERT_TRUE(mesh.HasTextureCoordinates());
  ASSERT_TRUE(mesh.HasVertexNormals()) << "normals are made when the file has none";
  // glTF's v runs down the image; ours runs up from the bottom row.
  for (int i = 0; i < mesh.VertexCount(); ++i) {
    const TK_3fPoint& p = mesh.m_V[std::size_t(i)];
    const TK_2fPoint& t = mesh.m_T[std::size_t(i)];
    if (p == TK_3fPoint(0, 0, 0)) {
      EXPECT_EQ(t, TK_2fPoint(0.25f, 1.0f));
    } else if (p == TK_3fPoint(0, 1, 0)) {
      EXPECT_EQ(t, TK_2fPoint(0.0f, 0.0f));
    }
  }
  ASSERT_EQ(model.materials.size(), 1u);
  const TK_Material& m = model.materials[0];
  EXPECT_EQ(m.TextureBitmapFileName().ToUtf8(), (dir / "paint.png").string());
  EXPECT_TRUE(m.BumpBitmapFileName().IsEmpty());
  EXPECT_TRUE(AnyContains(log.Warnings(), "normal map", "bumps_normal.png")) << Joined(log.Warnings());
  EXPECT_TRUE(AnyContains(log.Warnings(), "not found", "paint.png")) << Joined(log.Warnings());
  // Roughness 0.5 is a highlight exponent of 2 / 0.25 - 2 = 6.
  EXPECT_NEAR(m.Shine(), 6.0 / 128.0 * TK_Material::MaxShine(), 1e-9);
}

TEST_F(AssimpScenes, BadFilesGetAClearMessageNamingThem) {
  struct Case {
    const char* name;
    std::string content;
    const char* message;
  };
  const Case cases[] = {
      {"nan.obj", "v nan 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", "vertex 0 is not a finite point"},
      {"huge.obj", "v 0 0 0\nv 1e39 0 0\nv 0 1 0\nf 1 2 3\n", "vertex 1 is not a finite point"},
      {"past.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n", "cannot read the model"},
      {"nofaces.obj", "v 0 0 0\nv 1 0 0\n", "cannot read the model"},
      {"empty.obj", "", "the file is empty"},
      {"garbage.fbx", std::string(4000, '\x9c'), "cannot read the model"},
      {"absurd.ply",
       "ply\nformat ascii 1.0\nelement vertex 4000000000\nproperty float x\nproperty float y\nproperty float z\n"
       "end_header\n0 0 0\n",
       "declares 4000000000 \"vertex\" elements"},
      {"absurd_binary.ply",
       "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
       "element face 900000000\nproperty list uchar int vertex_indices\nend_header\n" + std::string(36, '\0'),
       "declares 900000000 \"face\" elements"},
      {"nan.stl", "solid x\nfacet normal 0 0 1\nouter loop\nvertex nan 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\n"
                  "endfacet\nendsolid x\n", "is not a finite point"},
  };
  for (const Case& c : cases) {
    WriteFile(dir / c.name, c.content);
    ImportedModel bad;
    CImportLog log;
    EXPECT_FALSE(CAssimpImporter::Load(dir / c.name, bad, log)) << c.name;
    ASSERT_FALSE(log.Errors().empty()) << c.name;
    EXPECT_EQ(log.FirstError().rfind((dir / c.name).string() + ": ", 0), 0u) << log.FirstError();
    EXPECT_NE(log.FirstError().find(c.message), std::string::npos) << log.FirstError();
    EXPECT_EQ(log.FirstError().find('\n'), std::string::npos) << log.FirstError();
    EXPECT_TRUE(bad.parts.empty()) << c.name;
  }
  CImportLog missing, folder;
  EXPECT_FALSE(CAssimpImporter::Load(dir / "missing.glb", model, missing));
  EXPECT_EQ(missing.FirstError(), (dir / "missing.glb").string() + ": no such file");
  std::filesystem::create_directory(dir / "folder.obj");
  EXPECT_FALSE(CAssimpImporter::Load(dir / "folder.obj", model, folder));
  EXPECT_EQ(folder.FirstError(), (dir / "folder.obj").string() + ": not a regular file");
}

}  // namespace
