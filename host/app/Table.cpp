#include "host/app/Table.h"

#include "host/app/Doc.h"
#include "host/app/EventWatcher.h"

namespace {
void Notify(const CKavraLayerTable& table, int code, int index, const TK_Layer* old) {
  table.Document().RaiseEvent([&](CKavraEventWatcher& w) { w.LayerTableEvent(code, table, index, old); });
}
void Notify(const CKavraLightTable& table, int code, int index, const CKavraLight* old) {
  table.Document().RaiseEvent([&](CKavraEventWatcher& w) { w.LightTableEvent(code, table, index, old); });
}
void Notify(const CKavraMaterialTable& table, int code, int index, const TK_Material* old) {
  table.Document().RaiseEvent([&](CKavraEventWatcher& w) { w.MaterialTableEvent(code, table, index, old); });
}
}  // namespace

template <typename Record> const Record* CKavraTable<Record>::At(int index) const {
  return index >= 0 && index < Count() ? &records_[std::size_t(index)].record : nullptr;
}

template <typename Record> bool CKavraTable<Record>::IsDeleted(int index) const {
  return index >= 0 && index < Count() && records_[std::size_t(index)].deleted;
}

template <typename Record> int CKavraTable<Record>::Add(Record record) {
  records_.push_back({std::move(record), false});
  const int index = Count() - 1;
  doc_.SetModified(true);
  Notify(*this, CKavraEventWatcher::added, index, nullptr);
  return index;
}

template <typename Record> bool CKavraTable<Record>::Modify(Record record, int index) {
  if (!At(index)) return false;
  Record old = std::move(records_[std::size_t(index)].record);
  records_[std::size_t(index)].record = std::move(record);
  doc_.SetModified(true);
  Notify(*this, CKavraEventWatcher::modified, index, &old);
  return true;
}

template <typename Record> bool CKavraTable<Record>::Delete(int index) {
  if (!At(index) || IsDeleted(index)) return false;
  records_[std::size_t(index)].deleted = true;
  doc_.SetModified(true);
  Notify(*this, CKavraEventWatcher::deleted, index, nullptr);
  return true;
}

template <typename Record> bool CKavraTable<Record>::Undelete(int index) {
  if (!IsDeleted(index)) return false;
  records_[std::size_t(index)].deleted = false;
  doc_.SetModified(true);
  Notify(*this, CKavraEventWatcher::undeleted, index, nullptr);
  return true;
}

template <typename Record> void CKavraTable<Record>::Load(Record record, bool deleted) {
  records_.push_back({std::move(record), deleted});
}

template class CKavraTable<TK_Layer>;
template class CKavraTable<TK_Material>;
template class CKavraTable<CKavraLight>;
