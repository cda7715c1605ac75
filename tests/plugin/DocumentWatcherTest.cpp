// The document watcher's rules, driven by real document operations through
// the host's event dispatch.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/DocumentFile.h"
#include "host/import/AssimpImporter.h"
#include "host/import/ImportLog.h"
#include "host/import/JsonSceneImporter.h"
#include "host/toolkit/Layer.h"
#include "host/toolkit/Light.h"
#include "host/toolkit/Material.h"
#include "plugin/DocumentWatcher.h"

namespace {

TK_Mesh Triangle() {
  TK_Mesh mesh;
  mesh.SetVertex(0, TK_3fPoint(-1, 0, 2));
  mesh.SetVertex(1, TK_3fPoint(1, 0, 2));
  mesh.SetVertex(2, TK_3fPoint(0, 3, 2));
  mesh.SetTriangle(0, 0, 1, 2);
  mesh.ComputeFaceNormals();
  return mesh;
}

CKavraObject MeshObject() {
  CKavraObject object;
  EXPECT_TRUE(object.AddRenderMesh(Triangle()));
  return object;
}

CKavraObject CurveObject() {
  CKavraObject object;
  object.SetRenderable(false);
  return object;
}

// The ten flags, in their order.
std::vector<int> Flags(const CDocumentWatcher& w) {
  return {w.MaterialModified(), w.MaterialsAddedOrUndeleted(), w.MaterialDeleted(), w.ObjectMaterialChanged(),
          w.ObjectChange1(),    w.ObjectChange2(),             w.ObjectChange3(),   w.LightModified(),
          w.LightsAddedOrUndeleted(), w.LightDeleted()};
}

const std::vector<int> kNone(10, 0);
const std::vector<int> kAll(10, 1);

std::vector<int> Only(int index) {
  std::vector<int> flags(10, 0);
  flags[std::size_t(index)] = 1;
  return flags;
}
enum FlagIndex { material3, material02, material1, object_material, change1, change2, change3, light3, light02, light1 };

class DocumentWatcherTest : public ::testing::Test {
protected:
  void SetUp() override {
    watcher.Register();
    watcher.Enable(true);
  }
  // Runs f on a fresh document with the flags cleared; answers the flags.
  std::vector<int> After(const std::function<void()>& f) {
    watcher.MarkAllChanged(false);
    f();
    return Flags(watcher);
  }

  CDocumentWatcher watcher;
  CKavraDoc doc;
};

}  // namespace

TEST_F(DocumentWatcherTest, StartsClearAndGroupsMoveTogether) {
  CDocumentWatcher fresh;
  EXPECT_EQ(Flags(fresh), kNone);
  EXPECT_FALSE(fresh.SceneChanged());
  EXPECT_FALSE(fresh.LightsChanged());
  fresh.MarkSceneChanged(true);
  EXPECT_EQ(Flags(fresh), (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 0, 0, 0}));
  EXPECT_TRUE(fresh.SceneChanged());
  EXPECT_FALSE(fresh.LightsChanged());
  fresh.MarkLightsChanged(true);
  EXPECT_EQ(Flags(fresh), kAll);
  fresh.MarkSceneChanged(false);
  EXPECT_EQ(Flags(fresh), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 1, 1, 1}));
  EXPECT_TRUE(fresh.LightsChanged());
  fresh.MarkAllChanged(false);
  EXPECT_EQ(Flags(fresh), kNone);
}

TEST_F(DocumentWatcherTest, DocumentsSetAndCloseClears) {
  CKavraDoc* created = nullptr;
  EXPECT_EQ(After([&] { created = &KavraApp().NewDocument(); }), kAll);
  const std::filesystem::path path = std::filesystem::path(DM_BINARY_DIR) / "watcher-open.kvd";
  std::filesystem::remove(path);
  // Saving changes nothing.
  EXPECT_EQ(After([&] { ASSERT_TRUE(CKavraDocumentFile().Write(*created, path).Ok()); }), kNone);
  EXPECT_EQ(After([&] { KavraApp().CloseDocument(*created); }), kNone);
  watcher.MarkAllChanged(true);
  KvDocumentFileResult result;
  CKavraDoc* opened = KavraApp().OpenDocument(path, result);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(Flags(watcher), kAll);
  KavraApp().CloseDocument(*opened);
  EXPECT_EQ(Flags(watcher), kNone);
  // A disabled watcher hears nothing.
  watcher.Enable(false);
  CKavraDoc& unheard = KavraApp().NewDocument();
  EXPECT_EQ(Flags(watcher), kNone);
  KavraApp().CloseDocument(unheard);
  std::filesystem::remove(path);
}

TEST_F(DocumentWatcherTest, ObjectsWithRenderMeshesCount) {
  const CKavraObject* mesh = nullptr;
  EXPECT_EQ(After([&] { mesh = &doc.AddObject(MeshObject()); }), Only(change1));
  EXPECT_EQ(After([&] { doc.DeleteObject(*mesh); }), Only(change2));
  EXPECT_EQ(After([&] { doc.UndeleteObject(*mesh); }), Only(change1));
  const CKavraObject* curve = nullptr;
  EXPECT_EQ(After([&] { curve = &doc.AddObject(CurveObject()); }), kNone);
  EXPECT_EQ(After([&] { doc.DeleteObject(*curve); }), kNone);
  EXPECT_EQ(After([&] { doc.UndeleteObject(*curve); }), kNone);
}

TEST_F(DocumentWatcherTest, ReplacedObjectsCompareTheirRenderMeshes) {
  const CKavraObject& meshed = doc.AddObject(MeshObject());
  const CKavraObject& curve = doc.AddObject(CurveObject());
  const CKavraObject& empty = doc.AddObject(CKavraObject());  // renderable, no meshes yet
  const CKavraObject& other_empty = doc.AddObject(CKavraObject());
  const CKavraObject& meshed_again = doc.AddObject(MeshObject());
  const CKavraObject& last_meshed = doc.AddObject(MeshObject());
  // None before: the new one is not renderable, or has meshes -> change 2.
  EXPECT_EQ(After([&] { doc.ReplaceObject(curve, CurveObject()); }), Only(change2));
  EXPECT_EQ(After([&] { doc.ReplaceObject(empty, MeshObject()); }), Only(change2));
  // None before, renderable without meshes now: the material may differ.
  EXPECT_EQ(After([&] { doc.ReplaceObject(other_empty, CKavraObject()); }), Only(object_material));
  // Meshes before and after -> change 1.
  EXPECT_EQ(After([&] { doc.ReplaceObject(meshed, MeshObject()); }), Only(change1));
  // Meshes before, none after -> change 1, renderable or not.
  EXPECT_EQ(After([&] { doc.ReplaceObject(meshed_again, CKavraObject()); }), Only(change1));
  EXPECT_EQ(After([&] { doc.ReplaceObject(last_meshed, CurveObject()); }), Only(change1));
}

TEST_F(DocumentWatcherTest, AttributeChangesThatChangeTheMaterial) {
  doc.LayerTable().Add(TK_Layer());
  doc.LayerTable().Add(TK_Layer());
  doc.MaterialTable().Add(TK_Material());
  doc.MaterialTable().Add(TK_Material());
  const CKavraObject& object = doc.AddObject(MeshObject());
  TK_ScnObjectAttributes a = object.Attributes();
  ASSERT_EQ(a.MaterialSource(), TK_ScnObjectAttributes::material_from_layer);
  // From the layer: a new layer changes the material, a new material index not.
  a.SetLayerIndex(1);
  EXPECT_EQ(After([&] { doc.ModifyObjectAttributes(object, a); }), Only(object_material));
  a.SetMaterialIndex(1);
  EXPECT_EQ(After([&] { doc.ModifyObjectAttributes(object, a); }), kNone);
  // A new source always does.
  a.SetMaterialSource(TK_ScnObjectAttributes::material_from_object);
  EXPECT_EQ(After([&] { doc.ModifyObjectAttributes(object, a); }), Only(object_material));
  // From the object: the material index counts, the layer not.
  a.SetMaterialIndex(0);
  EXPECT_EQ(After([&] { doc.ModifyObjectAttributes(object, a); }), Only(object_material));
  a.SetLayerIndex(0);
  EXPECT_EQ(After([&] { doc.ModifyObjectAttributes(object, a); }), kNone);
  // Objects without render meshes of any kind are ignored.
  const CKavraObject& curve = doc.AddObject(CurveObject());
  TK_ScnObjectAttributes c = curve.Attributes();
  c.SetMaterialSource(TK_ScnObjectAttributes::material_from_object);
  EXPECT_EQ(After([&] { doc.ModifyObjectAttributes(curve, c); }), kNone);
}

TEST_F(DocumentWatcherTest, MaterialAssignmentCountsOnlyRealChanges) {
  doc.MaterialTable().Add(TK_Material());
  const CKavraObject& object = doc.AddObject(MeshObject());
  EXPECT_EQ(After([&] { doc.AssignMaterialToObject(object, 0); }), Only(object_material));
  EXPECT_EQ(After([&] {
              KavraApp().DispatchEvent([&](CKavraEventWatcher& w) { w.OnObjectMaterialAssignment(doc, object, 0); });
            }),
            kNone);
  EXPECT_EQ(After([&] {
              KavraApp().DispatchEvent([&](CKavraEventWatcher& w) { w.OnObjectMaterialAssignment(doc, object, 1); });
            }),
            Only(object_material));
}

TEST_F(DocumentWatcherTest, LayerChangesOfMaterialAndVisibility) {
  const int index = doc.LayerTable().Add(TK_Layer());
  EXPECT_EQ(After([&] { doc.LayerTable().Add(TK_Layer()); }), kNone);
  TK_Layer layer = doc.LayerTable()[index];
  layer.SetRenderMaterialIndex(layer.RenderMaterialIndex() + 1);
  EXPECT_EQ(After([&] { doc.LayerTable().Modify(layer, index); }), Only(object_material));
  ASSERT_TRUE(layer.SetMode(TK_Layer::hidden_layer));
  std::vector<int> hidden = Only(object_material);
  hidden[light3] = 1;
  EXPECT_EQ(After([&] { doc.LayerTable().Modify(layer, index); }), hidden);
  ASSERT_TRUE(layer.SetMode(TK_Layer::locked_layer));
  EXPECT_EQ(After([&] { doc.LayerTable().Modify(layer, index); }), hidden);  // leaves hidden
  ASSERT_TRUE(layer.SetMode(TK_Layer::normal_layer));
  EXPECT_EQ(After([&] { doc.LayerTable().Modify(layer, index); }), kNone);  // locked to normal
  EXPECT_EQ(After([&] { doc.LayerTable().Delete(index); }), kNone);
}

TEST_F(DocumentWatcherTest, LightAndMaterialTableCodes) {
  int light = 0;
  EXPECT_EQ(After([&] { light = doc.LightTable().Add(CKavraLight(TK_Light())); }), Only(light02));
  EXPECT_EQ(After([&] { doc.LightTable().Modify(CKavraLight(TK_Light()), light); }), Only(light3));
  EXPECT_EQ(After([&] { doc.LightTable().Delete(light); }), Only(light1));
  EXPECT_EQ(After([&] { doc.LightTable().Undelete(light); }), Only(light02));
  int material = 0;
  EXPECT_EQ(After([&] { material = doc.MaterialTable().Add(TK_Material()); }), Only(material02));
  EXPECT_EQ(After([&] { doc.MaterialTable().Modify(TK_Material(), material); }), Only(material3));
  EXPECT_EQ(After([&] { doc.MaterialTable().Delete(material); }), Only(material1));
  EXPECT_EQ(After([&] { doc.MaterialTable().Undelete(material); }), Only(material02));
  // Codes the watcher does not know change nothing.
  EXPECT_EQ(After([&] {
              KavraApp().DispatchEvent([&](CKavraEventWatcher& w) {
                w.LightTableEvent(7, doc.LightTable(), light, nullptr);
                w.MaterialTableEvent(-1, doc.MaterialTable(), material, nullptr);
                w.LayerTableEvent(CKavraEventWatcher::modified, doc.LayerTable(), 99, nullptr);
              });
            }),
            kNone);
}

TEST_F(DocumentWatcherTest, UnregisteredWatcherHearsNothing) {
  watcher.UnRegister();
  EXPECT_EQ(After([&] { doc.AddObject(MeshObject()); }), kNone);
}

TEST_F(DocumentWatcherTest, ImportsMoveTheFlags) {
  // A scene description is read as one merge into the document.
  CImportLog log;
  EXPECT_EQ(After([&] {
              EXPECT_TRUE(CJsonSceneImporter::ImportText(R"({"version": 1, "materials": [{"name": "clay"}]})",
                                                         "scene.json", DM_BINARY_DIR, doc, log));
            }),
            kAll);
  EXPECT_FALSE(doc.EventsSuppressed());
  // A mesh file adds its objects one by one.
  const std::filesystem::path obj = std::filesystem::path(DM_BINARY_DIR) / "watcher-import.obj";
  {
    std::ofstream out(obj);
    out << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
  }
  CKavraDoc imported;
  const std::vector<int> flags = After([&] { EXPECT_TRUE(CAssimpImporter::Import(obj, imported, log)); });
  EXPECT_EQ(flags[change1], 1);
  EXPECT_EQ(flags[light02], 0);
  std::filesystem::remove(obj);
}
