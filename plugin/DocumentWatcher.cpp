// The watcher's handlers: which host event raises which change flag.

#include "plugin/DocumentWatcher.h"

#include "host/app/KavraLight.h"
#include "host/app/KavraObject.h"
#include "host/app/Table.h"
#include "host/toolkit/Layer.h"
#include "host/toolkit/Material.h"
#include "host/toolkit/SimpleArray.h"

namespace {

bool HasRenderMeshKind(const CKavraObject& object) { return object.IsMeshable(CKavraObject::render_mesh); }

int RenderMeshCount(const CKavraObject& object) {
  TK_SimpleArray<const TK_Mesh*> meshes;
  return object.GetMeshes(CKavraObject::render_mesh, meshes);
}

}  // namespace

void CDocumentWatcher::MarkSceneChanged(bool changed) {
  const int value = changed ? 1 : 0;
  m_material_event_3 = m_material_events_0_2 = m_material_event_1 = value;
  m_object_material_changed = m_object_change_1 = m_object_change_2 = m_object_change_3 = value;
}

void CDocumentWatcher::MarkLightsChanged(bool changed) {
  const int value = changed ? 1 : 0;
  m_light_event_3 = m_light_events_0_2 = m_light_event_1 = value;
}

void CDocumentWatcher::MarkAllChanged(bool changed) {
  MarkSceneChanged(changed);
  MarkLightsChanged(changed);
}

void CDocumentWatcher::OnCloseDocument(CKavraDoc&) { MarkAllChanged(false); }
void CDocumentWatcher::OnNewDocument(CKavraDoc&) { MarkAllChanged(true); }
void CDocumentWatcher::OnBeginOpenDocument(CKavraDoc&, const TK_wString&, bool, bool) { MarkAllChanged(true); }
void CDocumentWatcher::OnEndOpenDocument(CKavraDoc&, const TK_wString&, bool, bool) { MarkAllChanged(true); }

void CDocumentWatcher::OnAddObject(CKavraDoc&, const CKavraObject& object) {
  if (HasRenderMeshKind(object)) m_object_change_1 = 1;
}

void CDocumentWatcher::OnDeleteObject(CKavraDoc&, const CKavraObject& object) {
  if (HasRenderMeshKind(object)) m_object_change_2 = 1;
}

void CDocumentWatcher::OnReplaceObject(CKavraDoc&, const CKavraObject& old_object, const CKavraObject& new_object) {
  const int old_meshes = RenderMeshCount(old_object);
  const int new_meshes = RenderMeshCount(new_object);
  if (old_meshes == 0) {
    if (!HasRenderMeshKind(new_object) || new_meshes > 0) m_object_change_2 = 1;
    else m_object_material_changed = 1;
  } else if (new_meshes > 0) {
    if (HasRenderMeshKind(new_object)) m_object_change_1 = 1;
  } else {
    m_object_change_1 = 1;
  }
}

void CDocumentWatcher::OnUnDeleteObject(CKavraDoc&, const CKavraObject& object) {
  if (HasRenderMeshKind(object)) m_object_change_1 = 1;
}

void CDocumentWatcher::OnModifyObjectAttributes(CKavraDoc&, const CKavraObject& object,
                                                const TK_ScnObjectAttributes& old_attributes) {
  if (!HasRenderMeshKind(object)) return;
  const TK_ScnObjectAttributes& now = object.Attributes();
  const int source = now.MaterialSource();
  if (source != old_attributes.MaterialSource() ||
      (source == TK_ScnObjectAttributes::material_from_object &&
       now.MaterialIndex() != old_attributes.MaterialIndex()) ||
      (source == TK_ScnObjectAttributes::material_from_layer && now.LayerIndex() != old_attributes.LayerIndex()))
    m_object_material_changed = 1;
}

void CDocumentWatcher::OnObjectMaterialAssignment(CKavraDoc&, const CKavraObject&, int changed) {
  if (changed == 1) m_object_material_changed = 1;
}

void CDocumentWatcher::LayerTableEvent(int code, const CKavraLayerTable& table, int index,
                                       const TK_Layer* old_layer) {
  // Without the old layer, or with an index the table does not hold, there
  // is nothing to compare.
  if (code != modified || !old_layer) return;
  const TK_Layer* layer = table.At(index);
  if (!layer) return;
  if (layer->RenderMaterialIndex() != old_layer->RenderMaterialIndex()) m_object_material_changed = 1;
  // Hidden layers decide which objects and lights take part.
  if ((layer->Mode() == TK_Layer::hidden_layer) != (old_layer->Mode() == TK_Layer::hidden_layer)) {
    m_object_material_changed = 1;
    m_light_event_3 = 1;
  }
}

void CDocumentWatcher::LightTableEvent(int code, const CKavraLightTable&, int, const CKavraLight*) {
  if (code == added || code == undeleted) m_light_events_0_2 = 1;
  else if (code == deleted) m_light_event_1 = 1;
  else if (code == modified) m_light_event_3 = 1;
}

void CDocumentWatcher::MaterialTableEvent(int code, const CKavraMaterialTable&, int, const TK_Material*) {
  if (code == added || code == undeleted) m_material_events_0_2 = 1;
  else if (code == deleted) m_material_event_1 = 1;
  else if (code == modified) m_material_event_3 = 1;
}

bool CDocumentWatcher::SceneChanged() const {
  return m_material_event_3 || m_material_events_0_2 || m_material_event_1 || m_object_material_changed ||
         m_object_change_1 || m_object_change_2 || m_object_change_3;
}

bool CDocumentWatcher::LightsChanged() const { return m_light_event_3 || m_light_events_0_2 || m_light_event_1; }
