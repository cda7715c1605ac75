#include "shading/HitRecord.h"

#include <algorithm>

void InitHitRecord(HitRecord& record) { record = HitRecord{}; }

// Short lists, nearly all of them, are sorted in place by insertion: they
// mostly come nearly in order, and a library sort would allocate for
// anything past a few records. Long ones go to the library's stable sort.
void SortHitsNearestFirst(std::span<HitRecord> hits) {
  constexpr std::size_t kShort = 32;
  if (hits.size() > kShort) {
    std::stable_sort(hits.begin(), hits.end(), [](const HitRecord& a, const HitRecord& b) { return a.depth < b.depth; });
    return;
  }
  for (std::size_t i = 1; i < hits.size(); ++i) {
    if (!(hits[i].depth < hits[i - 1].depth)) continue;
    // Record by record: nearly every move is one place, where a call to
    // memmove costs more than the copy.
    const HitRecord moving = hits[i];
    std::size_t j = i;
    for (; j > 0 && moving.depth < hits[j - 1].depth; --j) hits[j] = hits[j - 1];
    hits[j] = moving;
  }
}

TK_2fPoint InterpolatedTextureCoordinate(const HitRecord& record) {
  const TK_2fPoint* t = record.texture_coordinates;
  return t[0] * record.weights.x + t[1] * record.weights.y + t[2] * record.weights.z;
}
