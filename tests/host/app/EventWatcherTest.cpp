// Event dispatch: only registered, enabled watchers hear document
// operations, with the table codes 0 added, 1 deleted, 2 undeleted, 3 modified.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/app/App.h"
#include "host/app/DocumentFile.h"
#include "host/app/EventWatcher.h"
#include "host/app/SampleDocument.h"
#include "support/TempDir.h"

namespace {

std::string Narrow(const TK_wString& s) { return s.ToUtf8(); }

class RecordingWatcher : public CKavraEventWatcher {
public:
  std::vector<std::string> log;

  void OnCloseDocument(CKavraDoc&) override { log.push_back("close"); }
  void OnNewDocument(CKavraDoc&) override { log.push_back("new"); }
  void OnBeginOpenDocument(CKavraDoc&, const TK_wString& path, bool, bool) override {
    log.push_back("begin-open " + std::filesystem::path(path.str()).filename().string());
  }
  void OnEndOpenDocument(CKavraDoc& doc, const TK_wString&, bool, bool) override {
    log.push_back("end-open objects=" + std::to_string(doc.ObjectCount()));
  }
  void OnBeginSaveDocument(CKavraDoc&, const TK_wString&, bool) override { log.push_back("begin-save"); }
  void OnEndSaveDocument(CKavraDoc&, const TK_wString&, bool) override { log.push_back("end-save"); }
  void OnDocumentPropertiesChanged(CKavraDoc&) override { log.push_back("properties"); }
  void OnAddObject(CKavraDoc&, const CKavraObject& o) override { log.push_back("add " + Narrow(o.Name())); }
  void OnDeleteObject(CKavraDoc&, const CKavraObject& o) override { log.push_back("delete " + Narrow(o.Name())); }
  void OnUnDeleteObject(CKavraDoc&, const CKavraObject& o) override { log.push_back("undelete " + Narrow(o.Name())); }
  void OnReplaceObject(CKavraDoc&, const CKavraObject& old_object, const CKavraObject& new_object) override {
    log.push_back("replace " + Narrow(old_object.Name()) + " by " + Narrow(new_object.Name()));
  }
  void OnModifyObjectAttributes(CKavraDoc&, const CKavraObject& o, const TK_ScnObjectAttributes& old) override {
    log.push_back("attributes " + Narrow(o.Name()) + " was source " + std::to_string(old.MaterialSource()) +
                  " index " + std::to_string(old.MaterialIndex()) + " now source " +
                  std::to_string(o.Attributes().MaterialSource()) + " index " +
                  std::to_string(o.Attributes().MaterialIndex()));
  }
  void OnObjectMaterialAssignment(CKavraDoc&, const CKavraObject& o, int changed) override {
    log.push_back("assign " + Narrow(o.Name()) + " " + std::to_string(changed));
  }
  void LayerTableEvent(int code, const CKavraLayerTable& table, int index, const TK_Layer* old) override {
    log.push_back("layer " + std::to_string(code) + " " + std::to_string(index) + " " + Narrow(table[index].Name()) +
                  (old ? " old " + Narrow(old->Name()) + " mode " + std::to_string(old->Mode()) : ""));
  }
  void LightTableEvent(int code, const CKavraLightTable& table, int index, const CKavraLight* old) override {
    log.push_back("light " + std::to_string(code) + " " + std::to_string(index) + " " +
                  Narrow(table[index].Light().Name()) + (old ? " old " + Narrow(old->Light().Name()) : ""));
  }
  void MaterialTableEvent(int code, const CKavraMaterialTable& table, int index, const TK_Material* old) override {
    log.push_back("material " + std::to_string(code) + " " + std::to_string(index) + " " +
                  Narrow(table[index].Name()) + (old ? " old " + Narrow(old->Name()) : ""));
  }
};

// Registered and enabled for the life of a test.
class ActiveWatcher : public RecordingWatcher {
public:
  ActiveWatcher() {
    Register();
    Enable(true);
  }
};

TK_Layer Layer(const wchar_t* name, int mode = TK_Layer::normal_layer) {
  TK_Layer l;
  l.SetName(name);
  l.SetMode(mode);
  return l;
}

CKavraObject Object(const wchar_t* name) {
  TK_ScnObjectAttributes a;
  a.SetName(name);
  CKavraObject o(a);
  o.AddRenderMesh(SampleTriangleMesh());
  return o;
}

TEST(EventWatcher, OnlyRegisteredAndEnabledWatchersHearEvents) {
  RecordingWatcher unregistered, disabled, enabled;
  unregistered.Enable(true);
  disabled.Register();
  enabled.Register();
  enabled.Enable(true);
  EXPECT_FALSE(disabled.IsEnabled());
  EXPECT_FALSE(unregistered.IsRegistered());
  CKavraDoc doc;
  doc.AddObject(Object(L"A"));
  EXPECT_TRUE(unregistered.log.empty());
  EXPECT_TRUE(disabled.log.empty());
  EXPECT_EQ(enabled.log, std::vector<std::string>{"add A"});

  enabled.Enable(false);
  doc.AddObject(Object(L"B"));
  enabled.Enable(true);
  enabled.Register();  // a second registration changes nothing
  enabled.UnRegister();
  doc.AddObject(Object(L"C"));
  EXPECT_EQ(enabled.log, std::vector<std::string>{"add A"});
  EXPECT_FALSE(enabled.IsRegistered());
}

TEST(EventWatcher, TableOperationsRaiseTheirCodes) {
  ActiveWatcher w;
  CKavraDoc doc;
  ASSERT_EQ(doc.LayerTable().Add(Layer(L"Walls")), 0);
  ASSERT_TRUE(doc.LayerTable().Modify(Layer(L"Walls2", TK_Layer::hidden_layer), 0));
  ASSERT_TRUE(doc.LayerTable().Delete(0));
  EXPECT_FALSE(doc.LayerTable().Delete(0));
  ASSERT_TRUE(doc.LayerTable().Undelete(0));
  EXPECT_FALSE(doc.LayerTable().Undelete(0));
  EXPECT_FALSE(doc.LayerTable().Modify(Layer(L"x"), 5));
  EXPECT_EQ(w.log, (std::vector<std::string>{"layer 0 0 Walls", "layer 3 0 Walls2 old Walls mode 0", "layer 1 0 Walls2",
                                             "layer 2 0 Walls2"}));
  w.log.clear();

  TK_Light l;
  l.SetName(L"Sun");
  doc.LightTable().Add(CKavraLight(l));
  l.SetName(L"Moon");
  doc.LightTable().Modify(CKavraLight(l, 0), 0);
  doc.LightTable().Delete(0);
  doc.LightTable().Undelete(0);
  EXPECT_EQ(w.log, (std::vector<std::string>{"light 0 0 Sun", "light 3 0 Moon old Sun", "light 1 0 Moon",
                                             "light 2 0 Moon"}));
  w.log.clear();

  TK_Material m;
  m.SetName(L"Red");
  doc.MaterialTable().Add(m);
  m.SetName(L"Blue");
  doc.MaterialTable().Modify(m, 0);
  doc.MaterialTable().Delete(0);
  doc.MaterialTable().Undelete(0);
  EXPECT_EQ(w.log, (std::vector<std::string>{"material 0 0 Red", "material 3 0 Blue old Red", "material 1 0 Blue",
                                             "material 2 0 Blue"}));
  EXPECT_TRUE(doc.IsModified());
}

TEST(EventWatcher, ObjectOperationsRaiseTheirEvents) {
  ActiveWatcher w;
  CKavraDoc doc;
  TK_Material red;
  red.SetName(L"Red");
  doc.MaterialTable().Add(red);
  doc.LayerTable().Add(Layer(L"Default"));
  const CKavraObject& a = doc.AddObject(Object(L"A"));
  const CKavraObject& b = doc.AddObject(Object(L"B"));
  ASSERT_TRUE(doc.DeleteObject(a));
  EXPECT_FALSE(doc.DeleteObject(a));
  EXPECT_TRUE(doc.IsDeletedObject(a));
  EXPECT_EQ(doc.ObjectCount(), 1);
  ASSERT_TRUE(doc.UndeleteObject(a));
  EXPECT_FALSE(doc.UndeleteObject(a));
  const CKavraObject* c = doc.ReplaceObject(b, Object(L"C"));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(doc.ReplaceObject(b, Object(L"D")), nullptr);  // b left the document
  EXPECT_TRUE(doc.IsDeletedObject(b));
  EXPECT_EQ(b.Name(), TK_wString(L"B"));  // still valid for undo
  ASSERT_TRUE(doc.AssignMaterialToObject(*c, 0));
  ASSERT_TRUE(doc.AssignMaterialToObject(*c, 0));
  EXPECT_FALSE(doc.AssignMaterialToObject(*c, 1));
  EXPECT_EQ(w.log, (std::vector<std::string>{
                       "material 0 0 Red", "layer 0 0 Default", "add A", "add B", "delete A", "undelete A",
                       "replace B by C",
                       "attributes C was source 0 index -1 now source 1 index 0", "assign C 1",
                       "attributes C was source 1 index 0 now source 1 index 0", "assign C 0"}));
}

TEST(EventWatcher, AWatcherMayUnregisterItselfOrOthersDuringDispatch) {
  struct Leaving : RecordingWatcher {
    CKavraEventWatcher* also = nullptr;
    void OnAddObject(CKavraDoc& doc, const CKavraObject& o) override {
      RecordingWatcher::OnAddObject(doc, o);
      UnRegister();
      if (also) also->UnRegister();
    }
  };
  Leaving first;
  ActiveWatcher second, third;
  first.also = &third;
  // Registration order decides the call order: first, then second and third.
  first.Register();
  first.Enable(true);
  second.UnRegister();
  third.UnRegister();
  second.Register();
  third.Register();
  CKavraDoc doc;
  doc.AddObject(Object(L"A"));
  doc.AddObject(Object(L"B"));
  EXPECT_EQ(first.log, std::vector<std::string>{"add A"});
  EXPECT_EQ(second.log, (std::vector<std::string>{"add A", "add B"}));
  EXPECT_TRUE(third.log.empty());
}

TEST(EventWatcher, AWatcherDestroyedWhileRegisteredLeavesNoTrace) {
  CKavraDoc doc;
  {
    ActiveWatcher gone;
    EXPECT_TRUE(gone.IsRegistered());
  }
  ActiveWatcher stays;
  doc.AddObject(Object(L"A"));  // would reach the destroyed watcher if it were still listed
  EXPECT_EQ(stays.log, std::vector<std::string>{"add A"});
}

TEST(EventWatcher, SuppressedDocumentsRaiseNothing) {
  ActiveWatcher w;
  CKavraDoc doc;
  doc.SuppressEvents(true);
  doc.AddObject(Object(L"A"));
  doc.LayerTable().Add(Layer(L"L"));
  EXPECT_TRUE(w.log.empty());
  EXPECT_TRUE(doc.IsModified());
}

TEST(EventWatcher, ApplicationDocumentsRaiseNewOpenCloseAndSave) {
  ActiveWatcher w;
  TempDir folder;
  CKavraApp& app = KavraApp();
  CKavraDoc& created = app.NewDocument();
  EXPECT_EQ(app.ActiveDoc(), &created);
  FillSampleDocument(created);
  w.log.clear();
  created.Properties().SetRenderSettings(created.Properties().RenderSettings());
  const auto path = folder / "events.kvd";
  ASSERT_FALSE(CKavraDocumentFile(std::vector<KvDocumentDataClient*>{}).Write(created, path).Failed());
  EXPECT_EQ(w.log, (std::vector<std::string>{"properties", "begin-save", "end-save"}));
  w.log.clear();

  KvDocumentFileResult result;
  CKavraDoc* opened = app.OpenDocument(path, result);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(app.ActiveDoc(), opened);
  EXPECT_EQ(w.log, (std::vector<std::string>{"begin-open events.kvd", "end-open objects=3"}));
  w.log.clear();

  EXPECT_EQ(app.OpenDocument(folder / "none.kvd", result), nullptr);
  EXPECT_TRUE(result.Failed());
  EXPECT_EQ(w.log, std::vector<std::string>{"begin-open none.kvd"});
  EXPECT_EQ(app.ActiveDoc(), opened);
  w.log.clear();

  ASSERT_TRUE(app.CloseDocument(*opened));
  EXPECT_EQ(app.ActiveDoc(), &created);
  ASSERT_TRUE(app.CloseDocument(created));
  EXPECT_EQ(app.ActiveDoc(), nullptr);
  CKavraDoc outsider;
  EXPECT_FALSE(app.CloseDocument(outsider));
  EXPECT_EQ(w.log, (std::vector<std::string>{"close", "close"}));
}

}  // namespace
