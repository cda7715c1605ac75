#pragma once
// CKavraDoc: a document of the host: properties (render settings, custom
// sizes), the layer, material and light tables, objects, views and each
// plug-in's document data. Operations that change objects and tables raise
// the events of CKavraEventWatcher (unless suppressed, as while a file is
// read) and mark the document modified. The document owns everything in
// it; references it hands out stay valid until the object or record is
// removed for good (Clear or destruction: deleted objects are kept).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "host/app/DocProperties.h"
#include "host/app/KavraLight.h"
#include "host/app/KavraObject.h"
#include "host/app/Table.h"
#include "host/app/View.h"
#include "host/toolkit/Layer.h"
#include "host/toolkit/Material.h"
#include "host/toolkit/Uuid.h"

class CKavraEventWatcher;

class CKavraDoc {
public:
  CKavraDoc();
  virtual ~CKavraDoc();
  CKavraDoc(const CKavraDoc&) = delete;
  CKavraDoc& operator=(const CKavraDoc&) = delete;

  // A number unique among the documents of this run.
  unsigned int RuntimeSerialNumber() const { return serial_; }

  CKavraDocProperties& Properties() { return properties_; }
  const CKavraDocProperties& Properties() const { return properties_; }

  // Headless: counts the requests so that callers can be checked.
  void Redraw() { ++redraw_count_; }
  int RedrawCount() const { return redraw_count_; }

  virtual void SetModified(bool modified) { modified_ = modified; }
  bool IsModified() const { return modified_; }

  // The file the document was read from or saved to (empty: untitled).
  const std::filesystem::path& Path() const { return path_; }
  void SetPath(const std::filesystem::path& path) { path_ = path; }
  // The folder of Path(); the current directory for an untitled document.
  std::filesystem::path Folder() const;
  // A relative file name (a map bitmap) resolved against Folder(); absolute
  // and empty names are answered unchanged.
  TK_wString ResolveFileName(const TK_wString& file_name) const;

  // Tables.
  CKavraLayerTable& LayerTable() { return layers_; }
  const CKavraLayerTable& LayerTable() const { return layers_; }
  CKavraMaterialTable& MaterialTable() { return materials_; }
  const CKavraMaterialTable& MaterialTable() const { return materials_; }
  CKavraLightTable& LightTable() { return lights_; }
  const CKavraLightTable& LightTable() const { return lights_; }

  // The white material of objects without a usable one.
  static const TK_Material& DefaultMaterial();
  // The material-table index an object renders with, by its material
  // source: 0 the render material index of its layer, 1 its own material
  // index. -1 when that index (or the layer) is out of range or deleted.
  int RenderMaterialIndex(const CKavraObject& object) const;
  // The material at RenderMaterialIndex, or DefaultMaterial() for -1.
  const TK_Material& RenderMaterial(const CKavraObject& object) const;

  // Objects in the document (deleted ones not counted).
  int ObjectCount() const { return int(objects_.size()); }
  // Null for an index out of range.
  const CKavraObject* ObjectAt(int index) const;
  // Adds the object; raises object added. Answers the document's copy.
  const CKavraObject& AddObject(CKavraObject object);
  // Moves a live object to the deleted ones (its reference stays valid);
  // raises object deleted. False when it is not a live object here.
  bool DeleteObject(const CKavraObject& object);
  // Brings a deleted object back; raises object undeleted.
  bool UndeleteObject(const CKavraObject& object);
  // The replacement takes the old object's place; the old one joins the
  // deleted objects. Raises object replaced; null when old is not live here.
  const CKavraObject* ReplaceObject(const CKavraObject& old_object, CKavraObject replacement);
  // Raises object attributes modified with the old attributes.
  bool ModifyObjectAttributes(const CKavraObject& object, const TK_ScnObjectAttributes& attributes);
  // Makes the object take material index from the material table (material
  // source 1); raises attributes modified, then the material-assignment
  // event. False for a live object out of this document or a bad index.
  bool AssignMaterialToObject(const CKavraObject& object, int material_index);
  bool IsDeletedObject(const CKavraObject& object) const;

  // Views; one is active while there are any.
  int ViewCount() const { return int(views_.size()); }
  CKavraView* ViewAt(int index);
  const CKavraView* ViewAt(int index) const;
  // Adds a view (the first one becomes active); answers its index.
  int AddView(const CKavraView& view);
  CKavraView* ActiveView();
  const CKavraView* ActiveView() const;
  int ActiveViewIndex() const { return active_view_; }
  bool SetActiveView(int index);

  // Plug-in document data kept as bytes by plug-in identifier, for plug-ins
  // not loaded (their blocks are written back unchanged) and as read.
  const std::vector<std::uint8_t>* PlugInData(const TK_UUID& plugin_id) const;
  void SetPlugInData(const TK_UUID& plugin_id, std::vector<std::uint8_t> bytes);
  bool RemovePlugInData(const TK_UUID& plugin_id);
  std::vector<TK_UUID> PlugInDataIds() const;

  // Calls f on every registered, enabled watcher unless events are
  // suppressed (reading a file, bulk imports).
  void RaiseEvent(const std::function<void(CKavraEventWatcher&)>& f);
  // Events are raised unless suppressed.
  void SuppressEvents(bool suppress) { events_suppressed_ = suppress; }
  bool EventsSuppressed() const { return events_suppressed_; }

  // Empties the document (settings back to defaults, no events); used
  // before reading a file into it.
  void Clear();
  // Loading: appends an object without events.
  void LoadObject(CKavraObject object);

private:
  std::vector<std::unique_ptr<CKavraObject>>::iterator FindLive(const CKavraObject& object);
  std::vector<std::unique_ptr<CKavraObject>>::iterator FindDeleted(const CKavraObject& object);
  void Changed() { SetModified(true); }

  unsigned int serial_;
  CKavraDocProperties properties_;
  int redraw_count_ = 0;
  bool modified_ = false;
  bool events_suppressed_ = false;
  std::filesystem::path path_;
  CKavraLayerTable layers_;
  CKavraMaterialTable materials_;
  CKavraLightTable lights_;
  std::vector<std::unique_ptr<CKavraObject>> objects_;
  std::vector<std::unique_ptr<CKavraObject>> deleted_objects_;
  std::vector<std::unique_ptr<CKavraView>> views_;
  int active_view_ = -1;
  std::vector<std::pair<TK_UUID, std::vector<std::uint8_t>>> plugin_data_;
};
