// Sorting a sample's hits: nearest first, hits at equal depth in the order
// they were found, for the short lists sorted in place and the long ones.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "shading/HitRecord.h"

namespace {

TEST(HitRecord, SortsNearestFirstKeepingTheOrderOfEqualDepths) {
  std::mt19937 random(7);
  // Sizes either side of the in-place limit; few distinct depths, so that
  // most hits tie with others.
  for (const int count : {0, 1, 2, 3, 17, 31, 32, 33, 64, 500}) {
    for (const int order : {0, 1, 2}) {  // shuffled, already sorted, reversed
      std::vector<HitRecord> hits(static_cast<std::size_t>(count));
      std::uniform_int_distribution<int> depth(0, 5);
      for (int i = 0; i < count; ++i) hits[std::size_t(i)].depth = 0.25 * depth(random);
      if (order == 1) std::stable_sort(hits.begin(), hits.end(), [](auto& a, auto& b) { return a.depth < b.depth; });
      if (order == 2) std::stable_sort(hits.begin(), hits.end(), [](auto& a, auto& b) { return a.depth > b.depth; });
      for (int i = 0; i < count; ++i) hits[std::size_t(i)].face_index = i;  // the order found

      SortHitsNearestFirst(hits);

      std::vector<int> faces;
      for (std::size_t i = 0; i < hits.size(); ++i) {
        faces.push_back(hits[i].face_index);
        if (i == 0) continue;
        ASSERT_LE(hits[i - 1].depth, hits[i].depth) << count << " hits, order " << order << ", at " << i;
        if (hits[i - 1].depth == hits[i].depth) {
          ASSERT_LT(hits[i - 1].face_index, hits[i].face_index) << count << " hits, order " << order << ", at " << i;
        }
      }
      std::sort(faces.begin(), faces.end());
      for (int i = 0; i < count; ++i) ASSERT_EQ(faces[std::size_t(i)], i) << "every hit kept once";
    }
  }
}

}  // namespace
