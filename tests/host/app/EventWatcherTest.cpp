// Event dispatch: only registered, enabled watchers hear document
// operations, with the table codes 0 added, 1 deleted, 2 undeleted, 3 modified.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/app/EventWatcher.h"
#include "host/app/SampleDocument.h"

namespace {

std::string Narrow(const TK_wString& s) { return s.ToUtf8(); }

class RecordingWatcher : public CKavraEventWatcher {
public:
  std::vector<std::string> log;

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
struct ActiveWatcher : RecordingWatcher {
  ActiveWatcher() { Register(), Enable(true); }
};

TK_Layer Layer(const wchar_t* name, int mode = TK_Layer::normal_layer) {
  TK_Layer l;
  return l.SetName(name), l.SetMode(mode), l;
}

CKavraObject Object(const wchar_t* name) {
  TK_ScnObjectAttributes a;
  a.SetName(name);
  CKavraObject o(a);
  return o.AddRenderMesh(SampleTriangleMesh()), o;
}

// Each operation on a document with one layer, material, light and two
// objects (A, B), what the watchers hear and whether it succeeds. An
// operation that changes nothing raises nothing and leaves the document
// unmodified.
struct Operation {
  const char* name;
  std::function<bool(CKavraDoc&)> run;
  std::vector<std::string> heard;
  bool result = true;
};

const CKavraObject& Nth(CKavraDoc& doc, int i) { return *doc.ObjectAt(i); }

template <class T>
T Named(const wchar_t* name) {
  T t;
  return t.SetName(name), t;
}

const Operation kOperations[] = {
    {"AddLayer", [](CKavraDoc& d) { return d.LayerTable().Add(Layer(L"Roof")) == 1; }, {"layer 0 1 Roof"}},
    {"ModifyLayer", [](CKavraDoc& d) { return d.LayerTable().Modify(Layer(L"W2", TK_Layer::hidden_layer), 0); },
     {"layer 3 0 W2 old Walls mode 0"}},
    {"ModifyMissingLayer", [](CKavraDoc& d) { return d.LayerTable().Modify(Layer(L"x"), 5); }, {}, false},
    {"DeleteLayer", [](CKavraDoc& d) { return d.LayerTable().Delete(0); }, {"layer 1 0 Walls"}},
    {"DeleteDeletedLayer", [](CKavraDoc& d) { return d.LayerTable().Delete(0) && d.LayerTable().Delete(0); },
     {"layer 1 0 Walls"}, false},
    {"UndeleteLayer", [](CKavraDoc& d) { return d.LayerTable().Delete(0) && d.LayerTable().Undelete(0); },
     {"layer 1 0 Walls", "layer 2 0 Walls"}},
    {"UndeleteLiveLayer", [](CKavraDoc& d) { return d.LayerTable().Undelete(0); }, {}, false},
    {"ModifyLight", [](CKavraDoc& d) { return d.LightTable().Modify(CKavraLight(Named<TK_Light>(L"Moon"), 0), 0); },
     {"light 3 0 Moon old Sun"}},
    {"DeleteLight", [](CKavraDoc& d) { return d.LightTable().Delete(0); }, {"light 1 0 Sun"}},
    {"ModifyMaterial", [](CKavraDoc& d) { return d.MaterialTable().Modify(Named<TK_Material>(L"Blue"), 0); },
     {"material 3 0 Blue old Red"}},
    {"UndeleteMaterial", [](CKavraDoc& d) { return d.MaterialTable().Delete(0) && d.MaterialTable().Undelete(0); },
     {"material 1 0 Red", "material 2 0 Red"}},
    {"AddObject", [](CKavraDoc& d) { d.AddObject(Object(L"C")); return d.ObjectCount() == 3; }, {"add C"}},
    {"DeleteObject", [](CKavraDoc& d) { return d.DeleteObject(Nth(d, 0)) && d.ObjectCount() == 1; }, {"delete A"}},
    {"UndeleteObject", [](CKavraDoc& d) {
       const CKavraObject& a = Nth(d, 0);
       return d.DeleteObject(a) && d.UndeleteObject(a) && !d.UndeleteObject(a);
     }, {"delete A", "undelete A"}},
    {"ReplaceObject", [](CKavraDoc& d) {  // the replaced object leaves the document but stays valid for undo
       const CKavraObject& b = Nth(d, 1);
       return d.ReplaceObject(b, Object(L"C")) && !d.ReplaceObject(b, Object(L"D")) && d.IsDeletedObject(b) &&
              b.Name() == TK_wString(L"B");
     }, {"replace B by C"}},
    {"AssignMaterial", [](CKavraDoc& d) { return d.AssignMaterialToObject(Nth(d, 0), 0); },
     {"attributes A was source 0 index -1 now source 1 index 0", "assign A 1"}},
    {"AssignMaterialAgain",
     [](CKavraDoc& d) { return d.AssignMaterialToObject(Nth(d, 0), 0) && d.AssignMaterialToObject(Nth(d, 0), 0); },
     {"attributes A was source 0 index -1 now source 1 index 0", "assign A 1",
      "attributes A was source 1 index 0 now source 1 index 0", "assign A 0"}},
    {"AssignMissingMaterial", [](CKavraDoc& d) { return d.AssignMaterialToObject(Nth(d, 0), 1); }, {}, false},
    {"SuppressedEvents", [](CKavraDoc& d) {
       d.SuppressEvents(true);
       d.AddObject(Object(L"C"));
       return d.LayerTable().Add(Layer(L"L")) == 1;
     }, {}},
};

void PrintTo(const Operation& c, std::ostream* os) { *os << c.name; }

class DocumentOperation : public testing::TestWithParam<Operation> {};

TEST_P(DocumentOperation, RaisesItsEventsAndMarksTheDocument) {
  CKavraDoc doc;
  doc.LayerTable().Add(Layer(L"Walls"));
  doc.MaterialTable().Add(Named<TK_Material>(L"Red"));
  doc.LightTable().Add(CKavraLight(Named<TK_Light>(L"Sun")));
  doc.AddObject(Object(L"A"));
  doc.AddObject(Object(L"B"));
  doc.SetModified(false);
  ActiveWatcher w;
  RecordingWatcher disabled;  // registered, never enabled: hears nothing
  disabled.Register();
  EXPECT_EQ(GetParam().run(doc), GetParam().result);
  EXPECT_EQ(w.log, GetParam().heard);
  EXPECT_TRUE(disabled.log.empty());
  EXPECT_EQ(doc.IsModified(), GetParam().result || !GetParam().heard.empty());
}

INSTANTIATE_TEST_SUITE_P(Host, DocumentOperation, testing::ValuesIn(kOperations),
                         [](const auto& info) { return std::string(info.param.name); });

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

}  // namespace
