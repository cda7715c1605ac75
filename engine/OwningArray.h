#pragma once
// OwningArray: a growable array of pointers that owns the objects they point
// to, the one place where the session's owning lists keep their rule. It
// grows like every list of the render (capacity doubles, 2 first) and
// deletes its elements, in order, when emptied or destroyed. Growing throws
// std::bad_alloc when memory runs out; the plug-in's entry points catch it.

#include <memory>
#include <vector>

template <typename T> class OwningArray {
public:
  OwningArray() = default;
  ~OwningArray() { Empty(); }
  OwningArray(const OwningArray&) = delete;
  OwningArray& operator=(const OwningArray&) = delete;

  int Count() const { return int(m_items.size()); }
  int Capacity() const { return int(m_items.capacity()); }
  // Unchecked: 0 <= i < Count().
  T* operator[](int i) const { return m_items[std::size_t(i)]; }
  T* const* begin() const { return m_items.data(); }
  T* const* end() const { return m_items.data() + m_items.size(); }

  // Makes room for one more element, growing exactly as an append would;
  // the next Append then cannot fail.
  void ReserveForAppend() {
    if (m_items.size() == m_items.capacity()) m_items.reserve(m_items.empty() ? 2 : 2 * m_items.capacity());
  }
  // Takes a non-null object over.
  void Append(std::unique_ptr<T> item) {
    ReserveForAppend();
    m_items.push_back(item.release());
  }
  // Deletes every element, first to last; the capacity stays.
  void Empty() {
    for (T* item : m_items) delete item;
    m_items.clear();
  }

private:
  std::vector<T*> m_items;
};
