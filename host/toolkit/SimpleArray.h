#pragma once
// A growable array with a count and a capacity: an append to a full array
// doubles the capacity, and an empty one first gets room for 2. The array
// owns its elements; copies keep the capacity. Allocation failures answer
// false instead of throwing.

#include <climits>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "host/toolkit/AllocationFailures.h"

template <typename T> class TK_SimpleArray {
public:
  TK_SimpleArray() = default;
  explicit TK_SimpleArray(int capacity) { Reserve(capacity); }
  TK_SimpleArray(const TK_SimpleArray& o) { CopyFrom(o); }
  TK_SimpleArray& operator=(const TK_SimpleArray& o) {
    if (this != &o) CopyFrom(o);
    return *this;
  }
  TK_SimpleArray(TK_SimpleArray&& o) noexcept : items_(std::exchange(o.items_, {})) {}
  TK_SimpleArray& operator=(TK_SimpleArray&& o) noexcept {
    items_ = std::exchange(o.items_, {});
    return *this;
  }

  int Count() const { return int(items_.size()); }
  int Capacity() const { return int(items_.capacity()); }
  T* Array() { return items_.data(); }
  const T* Array() const { return items_.data(); }
  // Unchecked: 0 <= i < Count().
  T& operator[](int i) { return items_[std::size_t(i)]; }
  const T& operator[](int i) const { return items_[std::size_t(i)]; }

  // Room for at least capacity elements; never shrinks.
  bool Reserve(int capacity) {
    if (capacity <= Capacity()) return true;
    try {
      items_.reserve(std::size_t(capacity));
    } catch (const std::bad_alloc&) {
      KvNoteAllocationFailure();
      return false;
    } catch (const std::length_error&) {
      return false;
    }
    return true;
  }

  bool Append(const T& item) {
    if (Count() < Capacity()) {
      items_.push_back(item);
      return true;
    }
    if (Capacity() > INT_MAX / 2) return false;
    T copy(item);  // item may live in this array: copy it before growing
    if (!Reserve(Capacity() == 0 ? 2 : 2 * Capacity())) return false;
    items_.push_back(std::move(copy));
    return true;
  }

  // Shrinking destroys the elements past count; growing (up to the
  // capacity only) adds value-initialised elements. The capacity is kept.
  bool SetCount(int count) {
    if (count < 0 || count > Capacity()) return false;
    items_.resize(std::size_t(count));
    return true;
  }
  void Empty() { items_.clear(); }

  T* begin() { return items_.data(); }
  T* end() { return items_.data() + items_.size(); }
  const T* begin() const { return items_.data(); }
  const T* end() const { return items_.data() + items_.size(); }

private:
  void CopyFrom(const TK_SimpleArray& o) {
    std::vector<T> copy;
    copy.reserve(o.items_.capacity());
    copy.insert(copy.end(), o.items_.begin(), o.items_.end());
    items_.swap(copy);
  }

  // The vector's own growth is never used: every reserve names the exact
  // capacity, which is what Capacity() reports.
  std::vector<T> items_;
};
