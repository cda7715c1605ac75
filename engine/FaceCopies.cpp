#include "engine/FaceCopies.h"

#include <algorithm>
#include <bit>

#include "host/toolkit/Mesh.h"

namespace {
// 64 KB at most: the table stays in the nearest caches whatever the mesh's
// size. Coincident faces of a mesh whose vertices were joined share their
// indices up to order (six triples at most), so a few thousand slots find
// the copies of any triangle repeated more often than other faces come between.
constexpr std::size_t kMaxSlots = std::size_t(1) << 12;
}  // namespace

FaceCopies::FaceCopies(const TK_Mesh& mesh) : m_mesh(mesh) {
  const std::size_t slots = std::min(std::bit_ceil(std::max<std::size_t>(mesh.m_F.size(), 1)), kMaxSlots);
  m_slots.resize(slots);
  m_mask = slots - 1;
}

int FaceCopies::EarlierCopies(int face) {
  const int* v = m_mesh.m_F[std::size_t(face)].vi;
  std::uint64_t h = std::uint32_t(v[0]) * 0x9E3779B97F4A7C15ull;
  h = (h ^ std::uint32_t(v[1])) * 0xC2B2AE3D27D4EB4Full;
  h = (h ^ std::uint32_t(v[2])) * 0x165667B19E3779F9ull;
  // The indices are kept in the slot: no second look into the mesh's faces.
  Slot& slot = m_slots[std::size_t(h >> 32) & m_mask];
  if (slot.v[0] == v[0] && slot.v[1] == v[1] && slot.v[2] == v[2]) {
    const int before = slot.count;
    slot.count = std::min(before + 1, 1 << 30);
    return before;
  }
  slot = Slot{{v[0], v[1], v[2]}, 1};
  return 0;
}
