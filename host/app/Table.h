#pragma once
// CKavraTable: one of a document's tables (layers, lights, materials).
// Records keep their index for the life of the document: a deleted record
// stays in its place, marked deleted, so that objects referring to it by
// index keep working (they render with the default material). Every change
// raises the matching table event and marks the document modified. The
// document owns its tables; a table owns its records.

#include <vector>

#include "host/app/KavraLight.h"
#include "host/toolkit/Layer.h"
#include "host/toolkit/Material.h"

class CKavraDoc;

template <typename Record> class CKavraTable {
public:
  explicit CKavraTable(CKavraDoc& doc) : doc_(doc) {}
  CKavraTable(const CKavraTable&) = delete;
  CKavraTable& operator=(const CKavraTable&) = delete;

  CKavraDoc& Document() const { return doc_; }
  // Records, deleted ones included.
  int Count() const { return int(records_.size()); }
  // Null for an index out of range.
  const Record* At(int index) const;
  const Record& operator[](int index) const { return records_[std::size_t(index)].record; }
  // False for an index out of range.
  bool IsDeleted(int index) const;

  // Each answers false (and raises nothing) for an index out of range, a
  // delete of a deleted record or an undelete of a live one.
  int Add(Record record);                  // event 0; answers the new index
  bool Modify(Record record, int index);   // event 3, with the old record
  bool Delete(int index);                  // event 1
  bool Undelete(int index);                // event 2

  // Loading and closing: replaces the contents without events.
  void Clear() { records_.clear(); }
  void Load(Record record, bool deleted);

private:
  struct Entry {
    Record record;
    bool deleted = false;
  };
  CKavraDoc& doc_;
  std::vector<Entry> records_;
};

extern template class CKavraTable<TK_Layer>;
extern template class CKavraTable<TK_Material>;
extern template class CKavraTable<CKavraLight>;
using CKavraLayerTable = CKavraTable<TK_Layer>;
using CKavraLightTable = CKavraTable<CKavraLight>;
using CKavraMaterialTable = CKavraTable<TK_Material>;
