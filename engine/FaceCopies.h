#pragma once
// Finds copies of a mesh's faces (the same three vertex indices in the same
// order) while the screen projection files them. A copy meets every ray
// where its original does and shades alike, so copies beyond those that can
// show are left out: behind an opaque face nothing shows, and no sample keeps
// more than CScreenProjection::kMaxHitsPerSample hits. Files that repeat
// triangles a million times then cost what the triangles cost.
//
// The faces seen are remembered in a small table, one per slot of their
// hash (a later face takes the slot): it costs a few nanoseconds a face and
// finds the copies of the faces a file repeats, unless thousands of
// different faces come between two copies (which bounds the copies a file
// of any size can hold at one place).

#include <cstdint>
#include <vector>

class TK_Mesh;

class FaceCopies {
public:
  explicit FaceCopies(const TK_Mesh& mesh);

  // Counts `face` and answers how many copies of it came before (those the
  // table still remembers).
  int EarlierCopies(int face);

private:
  struct Slot {
    std::int32_t v[3] = {-1, -1, -1};  // the face's indices; -1: empty
    std::int32_t count = 0;
  };
  const TK_Mesh& m_mesh;
  std::vector<Slot> m_slots;
  std::size_t m_mask = 0;
};
