// The document model: the material an object renders with, file names,
// meshes, views, plug-in data and the modified flag.
#include <gtest/gtest.h>

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/SampleDocument.h"

namespace {

CKavraObject WithSource(int layer, int source, int material) {
  TK_ScnObjectAttributes a;
  a.SetLayerIndex(layer);
  a.SetMaterialSource(source);
  a.SetMaterialIndex(material);
  return CKavraObject(a);
}

TEST(Doc, TheRenderMaterialFollowsTheMaterialSource) {
  CKavraDoc doc;
  TK_Material red, green, gone;
  red.SetName(L"Red");
  green.SetName(L"Green");
  gone.SetName(L"Gone");
  doc.MaterialTable().Add(red);
  doc.MaterialTable().Add(green);
  doc.MaterialTable().Add(gone);
  doc.MaterialTable().Delete(2);
  TK_Layer plain, painted, stale;
  painted.SetRenderMaterialIndex(1);
  stale.SetRenderMaterialIndex(2);
  doc.LayerTable().Add(plain);
  doc.LayerTable().Add(painted);
  doc.LayerTable().Add(stale);

  const struct { int layer, source, material, expected; } cases[] = {
      {1, 0, 0, 1},    // from the layer, whatever the object's own index
      {0, 0, 1, -1},   // the layer has none: the default material
      {2, 0, 0, -1},   // the layer's material is deleted
      {7, 0, 0, -1},   // no such layer
      {1, 1, 0, 0},    // from the object
      {1, 1, -1, -1},  // the object asks for the default
      {1, 1, 3, -1},   // out of range
      {1, 1, 2, -1},   // deleted
  };
  for (const auto& c : cases) {
    const CKavraObject o = WithSource(c.layer, c.source, c.material);
    EXPECT_EQ(doc.RenderMaterialIndex(o), c.expected) << c.layer << " " << c.source << " " << c.material;
    const TK_Material& m = doc.RenderMaterial(o);
    if (c.expected < 0)
      EXPECT_EQ(&m, &CKavraDoc::DefaultMaterial());
    else
      EXPECT_EQ(&m, &doc.MaterialTable()[c.expected]);
  }
  EXPECT_TRUE(CKavraDoc::DefaultMaterial() == TK_Material());
}

TEST(Doc, RelativeFileNamesResolveAgainstTheDocumentFolder) {
  CKavraDoc doc;
  doc.SetPath("/models/house/house.kvd");
  EXPECT_EQ(doc.Folder(), std::filesystem::path("/models/house"));
  EXPECT_EQ(doc.ResolveFileName(L"maps/brick.png"), TK_wString(L"/models/house/maps/brick.png"));
  EXPECT_EQ(doc.ResolveFileName(L"../shared/sky.jpg"), TK_wString(L"/models/shared/sky.jpg"));
  EXPECT_EQ(doc.ResolveFileName(L"/abs/wood.bmp"), TK_wString(L"/abs/wood.bmp"));
  EXPECT_EQ(doc.ResolveFileName(L""), TK_wString(L""));
  CKavraDoc untitled;
  EXPECT_EQ(untitled.Folder(), std::filesystem::current_path());
}

TEST(Doc, ObjectsHandOutTheirRenderMeshes) {
  CKavraObject o;
  EXPECT_TRUE(o.AddRenderMesh(SampleQuadMesh()));
  EXPECT_TRUE(o.AddRenderMesh(SampleTriangleMesh()));
  EXPECT_FALSE(o.AddRenderMesh(TK_Mesh()));  // empty: not a usable mesh
  TK_Mesh broken = SampleTriangleMesh();
  broken.m_F[0].vi[1] = 9;
  EXPECT_FALSE(o.AddRenderMesh(broken));
  TK_SimpleArray<const TK_Mesh*> meshes;
  ASSERT_EQ(o.GetMeshes(CKavraObject::render_mesh, meshes), 2);
  EXPECT_EQ(meshes[0], o.RenderMesh(0));
  EXPECT_EQ(meshes[1], o.RenderMesh(1));
  EXPECT_EQ(o.RenderMesh(2), nullptr);
  EXPECT_EQ(o.GetMeshes(2, meshes), 0);
  EXPECT_EQ(meshes.Count(), 0);
  EXPECT_TRUE(o.IsMeshable(CKavraObject::render_mesh));
  EXPECT_FALSE(o.IsMeshable(0));
  o.SetRenderable(false);
  EXPECT_FALSE(o.IsMeshable(CKavraObject::render_mesh));
}

TEST(Doc, ViewsHaveOneActiveAndPixelSizes) {
  CKavraDoc doc;
  EXPECT_EQ(doc.ActiveView(), nullptr);
  CKavraView v;
  EXPECT_FALSE(v.SetSize(0, 10));
  EXPECT_EQ(v.Width(), 640);
  doc.AddView(v);
  ASSERT_NE(doc.ActiveView(), nullptr);
  EXPECT_EQ(doc.ActiveViewIndex(), 0);
  ASSERT_TRUE(v.SetSize(300, 200));
  EXPECT_EQ(doc.AddView(v), 1);
  EXPECT_EQ(doc.ActiveViewIndex(), 0);
  EXPECT_TRUE(doc.SetActiveView(1));
  EXPECT_FALSE(doc.SetActiveView(2));
  EXPECT_EQ(doc.ActiveView()->Width(), 300);

  CKavraApp& app = KavraApp();
  app.SetActiveDoc(&doc);
  EXPECT_EQ(app.ActiveView(), doc.ActiveView());
  app.SetActiveDoc(nullptr);
  EXPECT_EQ(app.ActiveView(), nullptr);
}

TEST(Doc, ADestroyedDocumentIsNoLongerActive) {
  CKavraApp& app = KavraApp();
  {
    CKavraDoc doc;
    app.SetActiveDoc(&doc);
  }
  EXPECT_EQ(app.ActiveDoc(), nullptr);
}

TEST(Doc, PropertiesRefuseBadSizesAndMarkTheDocumentModified) {
  CKavraDoc doc;
  const KvRenderSize bad[] = {{100, 100}, {0, 5}};
  const std::vector<KvRenderSize> before(doc.Properties().CustomRenderSizes().begin(),
                                         doc.Properties().CustomRenderSizes().end());
  EXPECT_FALSE(doc.Properties().SetCustomRenderSizes(bad));
  EXPECT_TRUE(std::ranges::equal(doc.Properties().CustomRenderSizes(), before));
  EXPECT_FALSE(doc.IsModified());
  EXPECT_TRUE(doc.Properties().SetCustomRenderSizes({}));
  TK_SimpleArray<KvRenderSize> sizes;
  EXPECT_EQ(doc.Properties().GetCustomRenderSizes(sizes), 0);
  EXPECT_TRUE(doc.IsModified());
  doc.SetModified(false);
  TK_ScnRenderSettings s = doc.Properties().RenderSettings();
  s.m_image_width = 77;
  doc.Properties().SetRenderSettings(s);
  EXPECT_EQ(doc.Properties().RenderSettings().m_image_width, 77);
  EXPECT_TRUE(doc.IsModified());
}

TEST(Doc, PlugInDataIsKeptByIdentifier) {
  CKavraDoc doc;
  const TK_UUID a = *TK_UUID::FromString(kPlugInA), b = *TK_UUID::FromString(kPlugInB);
  doc.SetPlugInData(a, {1});
  doc.SetPlugInData(b, {2, 2});
  doc.SetPlugInData(a, {3, 3, 3});
  ASSERT_NE(doc.PlugInData(a), nullptr);
  EXPECT_EQ(*doc.PlugInData(a), (std::vector<std::uint8_t>{3, 3, 3}));
  EXPECT_EQ(doc.PlugInDataIds().size(), 2u);
  EXPECT_TRUE(doc.RemovePlugInData(b));
  EXPECT_FALSE(doc.RemovePlugInData(b));
  EXPECT_EQ(doc.PlugInData(b), nullptr);
}

}  // namespace
