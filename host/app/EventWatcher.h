#pragma once
// CKavraEventWatcher: base of the plug-ins' document watchers. The host calls
// its virtual handlers when documents, objects and tables change; a plug-in
// overrides the ones it cares about (each does nothing by default). Only
// registered and enabled watchers get events. The application keeps a
// pointer to each registered watcher; the watcher unregisters itself when
// destroyed.
//
// Table event codes (layers, lights and materials alike):
//   0 added, 1 deleted, 2 undeleted, 3 modified.

#include "host/toolkit/ScnObjectAttributes.h"
#include "host/toolkit/String.h"

class CKavraApp;
class CKavraAppSettings;
class CKavraDoc;
class CKavraObject;
class CKavraLight;
class TK_Layer;
class TK_Material;
template <typename Record> class CKavraTable;
using CKavraLayerTable = CKavraTable<TK_Layer>;
using CKavraLightTable = CKavraTable<CKavraLight>;
using CKavraMaterialTable = CKavraTable<TK_Material>;

class CKavraEventWatcher {
public:
  enum TableEvent : int { added = 0, deleted = 1, undeleted = 2, modified = 3 };

  CKavraEventWatcher();
  virtual ~CKavraEventWatcher();
  CKavraEventWatcher(const CKavraEventWatcher&) = delete;
  CKavraEventWatcher& operator=(const CKavraEventWatcher&) = delete;

  // Registering twice is harmless; UnRegister of an unregistered watcher too.
  void Register();
  void UnRegister();
  bool IsRegistered() const;
  // Watchers start disabled.
  void Enable(bool enable) { enabled_ = enable; }
  bool IsEnabled() const { return enabled_; }

  // Documents.
  virtual void OnCloseDocument(CKavraDoc& /*doc*/) {}
  virtual void OnNewDocument(CKavraDoc& /*doc*/) {}
  virtual void OnBeginOpenDocument(CKavraDoc& /*doc*/, const TK_wString& /*path*/, bool /*merge*/, bool /*reference*/) {}
  virtual void OnEndOpenDocument(CKavraDoc& /*doc*/, const TK_wString& /*path*/, bool /*merge*/, bool /*reference*/) {}
  virtual void OnBeginSaveDocument(CKavraDoc& /*doc*/, const TK_wString& /*path*/, bool /*export_selected*/) {}
  virtual void OnEndSaveDocument(CKavraDoc& /*doc*/, const TK_wString& /*path*/, bool /*export_selected*/) {}
  virtual void OnDocumentPropertiesChanged(CKavraDoc& /*doc*/) {}
  virtual void OnAppSettingsChanged(const CKavraAppSettings& /*settings*/) {}

  // Objects. Replace hands the object that leaves and the one that takes
  // its place; attribute changes hand the attributes before the change.
  virtual void OnAddObject(CKavraDoc& /*doc*/, const CKavraObject& /*object*/) {}
  virtual void OnDeleteObject(CKavraDoc& /*doc*/, const CKavraObject& /*object*/) {}
  virtual void OnReplaceObject(CKavraDoc& /*doc*/, const CKavraObject& /*old_object*/, const CKavraObject& /*new_object*/) {}
  virtual void OnUnDeleteObject(CKavraDoc& /*doc*/, const CKavraObject& /*object*/) {}
  virtual void OnModifyObjectAttributes(CKavraDoc& /*doc*/, const CKavraObject& /*object*/,
                                        const TK_ScnObjectAttributes& /*old_attributes*/) {}
  // A material was assigned to the object; changed is 1 when the material
  // the object renders with is now a different one, else 0.
  virtual void OnObjectMaterialAssignment(CKavraDoc& /*doc*/, const CKavraObject& /*object*/, int /*changed*/) {}

  // Tables: code as above; old_record is the record before a modification
  // (null for the other codes). The table holds the current record at index.
  virtual void LayerTableEvent(int /*code*/, const CKavraLayerTable& /*table*/, int /*index*/, const TK_Layer* /*old_layer*/) {}
  virtual void LightTableEvent(int /*code*/, const CKavraLightTable& /*table*/, int /*index*/, const CKavraLight* /*old_light*/) {}
  virtual void MaterialTableEvent(int /*code*/, const CKavraMaterialTable& /*table*/, int /*index*/,
                                  const TK_Material* /*old_material*/) {}

private:
  bool enabled_ = false;
};
