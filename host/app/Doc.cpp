#include "host/app/Doc.h"

#include <algorithm>
#include <atomic>
#include <system_error>

#include "host/app/App.h"
#include "host/app/EventWatcher.h"

namespace {
unsigned int NextSerialNumber() {
  static std::atomic<unsigned int> next{1};
  return next++;
}
}  // namespace

CKavraDoc::CKavraDoc()
    : serial_(NextSerialNumber()), properties_(*this), layers_(*this), materials_(*this), lights_(*this) {}

CKavraDoc::~CKavraDoc() {
  // A document going away must not stay active behind the application's back.
  if (KavraApp().ActiveDoc() == this) KavraApp().SetActiveDoc(nullptr);
}

void CKavraDoc::RaiseEvent(const std::function<void(CKavraEventWatcher&)>& f) {
  if (!events_suppressed_) KavraApp().DispatchEvent(f);
}

std::filesystem::path CKavraDoc::Folder() const {
  if (!path_.empty() && path_.has_parent_path()) return path_.parent_path();
  std::error_code ec;
  std::filesystem::path cwd = std::filesystem::current_path(ec);
  return ec ? std::filesystem::path(".") : cwd;
}

TK_wString CKavraDoc::ResolveFileName(const TK_wString& file_name) const {
  if (file_name.IsEmpty()) return file_name;
  const std::filesystem::path name(file_name.str());
  if (name.is_absolute()) return file_name;
  return TK_wString::FromUtf8((Folder() / name).lexically_normal().string());
}

const TK_Material& CKavraDoc::DefaultMaterial() {
  static const TK_Material material;
  return material;
}

int CKavraDoc::RenderMaterialIndex(const CKavraObject& object) const {
  const TK_ScnObjectAttributes& a = object.Attributes();
  int index = -1;
  if (a.MaterialSource() == TK_ScnObjectAttributes::material_from_object) {
    index = a.MaterialIndex();
  } else if (const TK_Layer* layer = layers_.At(a.LayerIndex())) {
    index = layer->RenderMaterialIndex();
  }
  return materials_.At(index) && !materials_.IsDeleted(index) ? index : -1;
}

const TK_Material& CKavraDoc::RenderMaterial(const CKavraObject& object) const {
  const int index = RenderMaterialIndex(object);
  return index < 0 ? DefaultMaterial() : materials_[index];
}

const CKavraObject* CKavraDoc::ObjectAt(int index) const {
  return index >= 0 && index < ObjectCount() ? objects_[std::size_t(index)].get() : nullptr;
}

std::vector<std::unique_ptr<CKavraObject>>::iterator CKavraDoc::FindLive(const CKavraObject& object) {
  return std::find_if(objects_.begin(), objects_.end(), [&](const auto& o) { return o.get() == &object; });
}

std::vector<std::unique_ptr<CKavraObject>>::iterator CKavraDoc::FindDeleted(const CKavraObject& object) {
  return std::find_if(deleted_objects_.begin(), deleted_objects_.end(),
                      [&](const auto& o) { return o.get() == &object; });
}

bool CKavraDoc::IsDeletedObject(const CKavraObject& object) const {
  return std::any_of(deleted_objects_.begin(), deleted_objects_.end(),
                     [&](const auto& o) { return o.get() == &object; });
}

const CKavraObject& CKavraDoc::AddObject(CKavraObject object) {
  objects_.push_back(std::make_unique<CKavraObject>(std::move(object)));
  const CKavraObject& added = *objects_.back();
  Changed();
  RaiseEvent([&](CKavraEventWatcher& w) { w.OnAddObject(*this, added); });
  return added;
}

bool CKavraDoc::DeleteObject(const CKavraObject& object) {
  auto it = FindLive(object);
  if (it == objects_.end()) return false;
  deleted_objects_.push_back(std::move(*it));
  objects_.erase(it);
  Changed();
  RaiseEvent([&](CKavraEventWatcher& w) { w.OnDeleteObject(*this, object); });
  return true;
}

bool CKavraDoc::UndeleteObject(const CKavraObject& object) {
  auto it = FindDeleted(object);
  if (it == deleted_objects_.end()) return false;
  objects_.push_back(std::move(*it));
  deleted_objects_.erase(it);
  Changed();
  RaiseEvent([&](CKavraEventWatcher& w) { w.OnUnDeleteObject(*this, object); });
  return true;
}

const CKavraObject* CKavraDoc::ReplaceObject(const CKavraObject& old_object, CKavraObject replacement) {
  auto it = FindLive(old_object);
  if (it == objects_.end()) return nullptr;
  deleted_objects_.push_back(std::move(*it));
  *it = std::make_unique<CKavraObject>(std::move(replacement));
  const CKavraObject& added = **it;
  Changed();
  RaiseEvent([&](CKavraEventWatcher& w) { w.OnReplaceObject(*this, old_object, added); });
  return &added;
}

bool CKavraDoc::ModifyObjectAttributes(const CKavraObject& object, const TK_ScnObjectAttributes& attributes) {
  auto it = FindLive(object);
  if (it == objects_.end()) return false;
  const TK_ScnObjectAttributes old = (*it)->Attributes();
  (*it)->SetAttributes(attributes);
  Changed();
  RaiseEvent([&](CKavraEventWatcher& w) { w.OnModifyObjectAttributes(*this, object, old); });
  return true;
}

bool CKavraDoc::AssignMaterialToObject(const CKavraObject& object, int material_index) {
  if (FindLive(object) == objects_.end() || !materials_.At(material_index) || materials_.IsDeleted(material_index))
    return false;
  const int before = RenderMaterialIndex(object);
  TK_ScnObjectAttributes attributes = object.Attributes();
  attributes.SetMaterialSource(TK_ScnObjectAttributes::material_from_object);
  attributes.SetMaterialIndex(material_index);
  ModifyObjectAttributes(object, attributes);
  const int changed = RenderMaterialIndex(object) != before ? 1 : 0;
  RaiseEvent([&](CKavraEventWatcher& w) { w.OnObjectMaterialAssignment(*this, object, changed); });
  return true;
}

CKavraView* CKavraDoc::ViewAt(int index) {
  return index >= 0 && index < ViewCount() ? views_[std::size_t(index)].get() : nullptr;
}

const CKavraView* CKavraDoc::ViewAt(int index) const {
  return index >= 0 && index < ViewCount() ? views_[std::size_t(index)].get() : nullptr;
}

int CKavraDoc::AddView(const CKavraView& view) {
  views_.push_back(std::make_unique<CKavraView>(view));
  if (active_view_ < 0) active_view_ = 0;
  Changed();
  return ViewCount() - 1;
}

CKavraView* CKavraDoc::ActiveView() { return ViewAt(active_view_); }
const CKavraView* CKavraDoc::ActiveView() const { return ViewAt(active_view_); }

bool CKavraDoc::SetActiveView(int index) {
  if (!ViewAt(index)) return false;
  active_view_ = index;
  return true;
}

const std::vector<std::uint8_t>* CKavraDoc::PlugInData(const TK_UUID& plugin_id) const {
  for (const auto& [id, bytes] : plugin_data_)
    if (id == plugin_id) return &bytes;
  return nullptr;
}

void CKavraDoc::SetPlugInData(const TK_UUID& plugin_id, std::vector<std::uint8_t> bytes) {
  for (auto& [id, stored] : plugin_data_) {
    if (id == plugin_id) {
      stored = std::move(bytes);
      return;
    }
  }
  plugin_data_.emplace_back(plugin_id, std::move(bytes));
}

bool CKavraDoc::RemovePlugInData(const TK_UUID& plugin_id) {
  return std::erase_if(plugin_data_, [&](const auto& entry) { return entry.first == plugin_id; }) > 0;
}

std::vector<TK_UUID> CKavraDoc::PlugInDataIds() const {
  std::vector<TK_UUID> ids;
  for (const auto& entry : plugin_data_) ids.push_back(entry.first);
  return ids;
}

void CKavraDoc::Clear() {
  properties_.Load(TK_ScnRenderSettings(), CKavraDocProperties::DefaultCustomRenderSizes());
  layers_.Clear();
  materials_.Clear();
  lights_.Clear();
  objects_.clear();
  deleted_objects_.clear();
  views_.clear();
  active_view_ = -1;
  plugin_data_.clear();
  path_.clear();
  modified_ = false;
}

void CKavraDoc::LoadObject(CKavraObject object) { objects_.push_back(std::make_unique<CKavraObject>(std::move(object))); }
