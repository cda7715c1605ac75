#pragma once
// OwningArray: a growable array of pointers that owns the objects they point
// to, the one place where the session's owning lists keep their rule. It
// grows like every list of the render (capacity doubles, 2 first) and
// deletes its elements, in order, when emptied or destroyed.

#include <climits>
#include <memory>

#include "host/toolkit/SimpleArray.h"

template <typename T> class OwningArray {
public:
  OwningArray() = default;
  ~OwningArray() { Empty(); }
  OwningArray(const OwningArray&) = delete;
  OwningArray& operator=(const OwningArray&) = delete;

  int Count() const { return m_items.Count(); }
  int Capacity() const { return m_items.Capacity(); }
  // Unchecked: 0 <= i < Count().
  T* operator[](int i) const { return m_items[i]; }
  T* const* begin() const { return m_items.begin(); }
  T* const* end() const { return m_items.end(); }

  // Makes room for one more element, growing exactly as an append would;
  // after it answered true the next Append cannot fail.
  bool ReserveForAppend() {
    const int capacity = Capacity();
    if (Count() < capacity) return true;
    if (capacity > INT_MAX / 2) return false;
    return m_items.Reserve(capacity == 0 ? 2 : 2 * capacity);
  }
  // Takes the object over on success; on failure the caller keeps it.
  bool Append(std::unique_ptr<T>&& item) {
    if (!item || !ReserveForAppend() || !m_items.Append(item.get())) return false;
    item.release();
    return true;
  }
  // Deletes every element, first to last; the capacity stays.
  void Empty() {
    for (T* item : m_items) delete item;
    m_items.Empty();
  }

private:
  TK_SimpleArray<T*> m_items;
};
