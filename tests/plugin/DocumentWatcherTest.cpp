// The document watcher driven by real document operations through the host's
// event dispatch: one table of operations, in order, and the flags each raises.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

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

CKavraObject MeshObject() {
  TK_Mesh mesh;
  mesh.SetVertex(0, TK_3fPoint(-1, 0, 2));
  mesh.SetVertex(1, TK_3fPoint(1, 0, 2));
  mesh.SetVertex(2, TK_3fPoint(0, 3, 2));
  mesh.SetTriangle(0, 0, 1, 2);
  CKavraObject object;
  EXPECT_TRUE(object.AddRenderMesh(mesh));
  return object;
}

CKavraObject CurveObject() {  // no render meshes of any kind
  CKavraObject object;
  return object.SetRenderable(false), object;
}

// Material 3, 0/2, 1, object material, object changes 1, 2, 3 | light 3, 0/2, 1.
std::string Flags(const CDocumentWatcher& w) {
  std::string f;
  for (int v : {w.MaterialModified(), w.MaterialsAddedOrUndeleted(), w.MaterialDeleted(), w.ObjectMaterialChanged(),
                w.ObjectChange1(), w.ObjectChange2(), w.ObjectChange3(), -1, w.LightModified(),
                w.LightsAddedOrUndeleted(), w.LightDeleted()})
    f += v < 0 ? '|' : char('0' + v);
  return f;
}

TEST(DocumentWatcher, EachDocumentOperationRaisesItsFlags) {
  CDocumentWatcher watcher;
  watcher.Register();
  watcher.Enable(true);
  CKavraDoc doc, imported, *other = nullptr;
  for (int i = 0; i < 2; ++i) doc.LayerTable().Add(TK_Layer()), doc.MaterialTable().Add(TK_Material());
  const CKavraObject &meshed = doc.AddObject(MeshObject()), &curve = doc.AddObject(CurveObject());
  const CKavraObject &empty = doc.AddObject({}), &other_empty = doc.AddObject({});  // renderable, no meshes yet
  const CKavraObject &meshed_again = doc.AddObject(MeshObject()), &attributed = doc.AddObject(MeshObject()),
                     &assigned = doc.AddObject(MeshObject()), *added = nullptr;
  TK_ScnObjectAttributes a = attributed.Attributes(), c = curve.Attributes();
  ASSERT_EQ(a.MaterialSource(), TK_ScnObjectAttributes::material_from_layer);
  const int layer_index = doc.LayerTable().Add(TK_Layer());
  TK_Layer layer = doc.LayerTable()[layer_index];
  int light = 0, material = 0;
  CImportLog log;
  const std::filesystem::path saved = std::filesystem::path(DM_BINARY_DIR) / "watcher.kvd",
                              obj = std::filesystem::path(DM_BINARY_DIR) / "watcher.obj";
  std::ofstream(obj) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
  const auto assignment = [&](int changed) {
    KavraApp().DispatchEvent([&](CKavraEventWatcher& w) { w.OnObjectMaterialAssignment(doc, assigned, changed); });
  };
  const auto modify_layer = [&](auto change) { change(layer), doc.LayerTable().Modify(layer, layer_index); };
  const auto layer_mode = [&](TK_Layer::LayerMode mode) { modify_layer([mode](TK_Layer& l) { l.SetMode(mode); }); };
  const auto modify = [&](auto change) { change(a), doc.ModifyObjectAttributes(attributed, a); };  // of `attributed`
  constexpr auto from_object = TK_ScnObjectAttributes::material_from_object;

  const std::tuple<const char*, std::function<void()>, std::string> steps[] = {
      {"the scene group", [&] { watcher.MarkSceneChanged(true); }, "1111111|000"},
      {"the light group", [&] { watcher.MarkLightsChanged(true); }, "0000000|111"},
      {"add a mesh object", [&] { added = &doc.AddObject(MeshObject()); }, "0000100|000"},
      {"delete it", [&] { doc.DeleteObject(*added); }, "0000010|000"},
      {"undelete it", [&] { doc.UndeleteObject(*added); }, "0000100|000"},
      {"add and delete a curve", [&] { doc.DeleteObject(doc.AddObject(CurveObject())); }, "0000000|000"},
      {"replace: none before, none renderable after", [&] { doc.ReplaceObject(curve, CurveObject()); }, "0000010|000"},
      {"replace: none before, meshes after", [&] { doc.ReplaceObject(empty, MeshObject()); }, "0000010|000"},
      {"replace: none before, renderable without", [&] { doc.ReplaceObject(other_empty, {}); }, "0001000|000"},
      {"replace: meshes before and after", [&] { doc.ReplaceObject(meshed, MeshObject()); }, "0000100|000"},
      {"replace: meshes before, none after", [&] { doc.ReplaceObject(meshed_again, CKavraObject()); }, "0000100|000"},
      {"from the layer: another layer", [&] { modify([](auto& x) { x.SetLayerIndex(1); }); }, "0001000|000"},
      {"from the layer: another material", [&] { modify([](auto& x) { x.SetMaterialIndex(1); }); }, "0000000|000"},
      {"another material source", [&] { modify([&](auto& x) { x.SetMaterialSource(from_object); }); }, "0001000|000"},
      {"from the object: another material", [&] { modify([](auto& x) { x.SetMaterialIndex(0); }); }, "0001000|000"},
      {"from the object: another layer", [&] { modify([](auto& x) { x.SetLayerIndex(0); }); }, "0000000|000"},
      {"a curve's material source", [&] { c.SetMaterialSource(from_object); doc.ModifyObjectAttributes(curve, c); },
       "0000000|000"},
      {"assign a material", [&] { doc.AssignMaterialToObject(assigned, 0); }, "0001000|000"},
      {"assignment event that changed nothing", [&] { assignment(0); }, "0000000|000"},
      {"assignment event that changed", [&] { assignment(1); }, "0001000|000"},
      {"add a layer", [&] { doc.LayerTable().Add(TK_Layer()); }, "0000000|000"},
      {"a layer's render material",
       [&] { modify_layer([](TK_Layer& l) { l.SetRenderMaterialIndex(l.RenderMaterialIndex() + 1); }); },
       "0001000|000"},
      {"a layer hidden", [&] { layer_mode(TK_Layer::hidden_layer); }, "0001000|100"},
      {"hidden to locked", [&] { layer_mode(TK_Layer::locked_layer); }, "0001000|100"},
      {"locked to normal", [&] { layer_mode(TK_Layer::normal_layer); }, "0000000|000"},
      {"add a light (undelete takes the same path)", [&] { light = doc.LightTable().Add(CKavraLight(TK_Light())); }, "0000000|010"},
      {"modify it", [&] { doc.LightTable().Modify(CKavraLight(TK_Light()), light); }, "0000000|100"},
      {"delete it", [&] { doc.LightTable().Delete(light); }, "0000000|001"},
      {"add a material (as undelete)", [&] { material = doc.MaterialTable().Add(TK_Material()); }, "0100000|000"},
      {"modify it", [&] { doc.MaterialTable().Modify(TK_Material(), material); }, "1000000|000"},
      {"delete it", [&] { doc.MaterialTable().Delete(material); }, "0010000|000"},
      {"event codes the watcher does not know", [&] { KavraApp().DispatchEvent([&](CKavraEventWatcher& w) {
         w.LightTableEvent(7, doc.LightTable(), light, nullptr);
         w.MaterialTableEvent(-1, doc.MaterialTable(), material, nullptr);
         w.LayerTableEvent(CKavraEventWatcher::modified, doc.LayerTable(), 99, nullptr);
       }); }, "0000000|000"},
      {"import a scene description: one merge",
       [&] { CJsonSceneImporter::ImportText(R"({"version": 1, "materials": [{}]})", "s", DM_BINARY_DIR, doc, log); },
       "1111111|111"},
      {"import a mesh file: objects one by one", [&] { CAssimpImporter::Import(obj, imported, log); }, "0000100|000"},
      {"a new document", [&] { other = &KavraApp().NewDocument(); }, "1111111|111"},
      {"save it", [&] { CKavraDocumentFile().Write(*other, saved); }, "0000000|000"},
      {"close it: clears", [&] { watcher.MarkAllChanged(true); KavraApp().CloseDocument(*other); }, "0000000|000"},
      {"open a document", [&] { KvDocumentFileResult r; other = KavraApp().OpenDocument(saved, r); }, "1111111|111"},
      {"disabled: a new document unheard",
       [&] { KavraApp().CloseDocument(*other); watcher.Enable(false); other = &KavraApp().NewDocument(); },
       "0000000|000"},
      {"unregistered: an object unheard", [&] {
         KavraApp().CloseDocument(*other);
         watcher.Enable(true);
         watcher.UnRegister();
         doc.AddObject(MeshObject());
       }, "0000000|000"},
  };
  for (const auto& [what, step, flags] : steps) {
    watcher.MarkAllChanged(false);
    step();
    EXPECT_EQ(Flags(watcher), flags) << what;
    EXPECT_EQ(watcher.SceneChanged(), flags.find('1') < 7) << what;  // the queries answer for their group
    EXPECT_EQ(watcher.LightsChanged(), flags.find('1', 7) != std::string::npos) << what;
  }
  EXPECT_FALSE(doc.EventsSuppressed());
  std::filesystem::remove(saved);
  std::filesystem::remove(obj);
}

}  // namespace
