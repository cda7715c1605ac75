#pragma once
// CDocumentWatcher: records which kinds of scene change (materials, objects
// and their material assignment, lights and layer visibility) happened since
// the last render. The plug-in object embeds it; the flags are recorded and
// cleared, nothing skips work on them.

#include "host/app/EventWatcher.h"

class CDocumentWatcher : public CKavraEventWatcher {
public:
  // Flags start cleared.
  CDocumentWatcher() = default;

  // The seven scene flags, the three light flags, or all ten at once.
  void MarkSceneChanged(bool changed);
  void MarkLightsChanged(bool changed);
  void MarkAllChanged(bool changed);

  // Documents: closing clears every flag; a new or opened document sets them.
  void OnCloseDocument(CKavraDoc& doc) override;
  void OnNewDocument(CKavraDoc& doc) override;
  void OnBeginOpenDocument(CKavraDoc& doc, const TK_wString& path, bool merge, bool reference) override;
  void OnEndOpenDocument(CKavraDoc& doc, const TK_wString& path, bool merge, bool reference) override;

  // Objects: only objects that can have render meshes count.
  void OnAddObject(CKavraDoc& doc, const CKavraObject& object) override;
  void OnDeleteObject(CKavraDoc& doc, const CKavraObject& object) override;
  void OnReplaceObject(CKavraDoc& doc, const CKavraObject& old_object, const CKavraObject& new_object) override;
  void OnUnDeleteObject(CKavraDoc& doc, const CKavraObject& object) override;
  void OnModifyObjectAttributes(CKavraDoc& doc, const CKavraObject& object,
                                const TK_ScnObjectAttributes& old_attributes) override;
  void OnObjectMaterialAssignment(CKavraDoc& doc, const CKavraObject& object, int changed) override;

  // Tables.
  void LayerTableEvent(int code, const CKavraLayerTable& table, int index, const TK_Layer* old_layer) override;
  void LightTableEvent(int code, const CKavraLightTable& table, int index, const CKavraLight* old_light) override;
  void MaterialTableEvent(int code, const CKavraMaterialTable& table, int index,
                          const TK_Material* old_material) override;

  virtual bool SceneChanged() const;
  virtual bool LightsChanged() const;

  // The flags, for the render properties page and the tests.
  int MaterialModified() const { return m_material_event_3; }
  int MaterialsAddedOrUndeleted() const { return m_material_events_0_2; }
  int MaterialDeleted() const { return m_material_event_1; }
  int ObjectMaterialChanged() const { return m_object_material_changed; }
  int ObjectChange1() const { return m_object_change_1; }
  int ObjectChange2() const { return m_object_change_2; }
  int ObjectChange3() const { return m_object_change_3; }
  int LightModified() const { return m_light_event_3; }
  int LightsAddedOrUndeleted() const { return m_light_events_0_2; }
  int LightDeleted() const { return m_light_event_1; }

private:
  // Plain ints used as booleans: events and the page both arrive on the
  // user-interface thread.
  int m_material_event_3 = 0;
  int m_material_events_0_2 = 0;
  int m_material_event_1 = 0;
  int m_object_material_changed = 0;
  int m_object_change_1 = 0;
  int m_object_change_2 = 0;
  int m_object_change_3 = 0;
  int m_light_event_3 = 0;
  int m_light_events_0_2 = 0;
  int m_light_event_1 = 0;
};
