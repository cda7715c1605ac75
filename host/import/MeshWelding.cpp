#include "host/import/MeshWelding.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "host/platform/InParts.h"

namespace mesh_welding {
namespace {

constexpr std::uint32_t kNone = 0xffffffffu;

// Bits of a float for hashing, with -0 as 0 (they compare equal).
std::uint32_t Bits(float f) {
  if (f == 0.0f) f = 0.0f;
  std::uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
  h = (h ^ v) * 0x9E3779B97F4A7C15ull;
  return h ^ (h >> 29);
}

std::uint64_t Hash(const TK_3fPoint& p) { return Mix(Mix(Mix(0, Bits(p.x)), Bits(p.y)), Bits(p.z)); }

bool Same(const TK_3fPoint& a, const TK_3fPoint& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
bool Same(const TK_3fVector& a, const TK_3fVector& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
bool Same(const TK_2fPoint& a, const TK_2fPoint& b) { return a.x == b.x && a.y == b.y; }

// Made unit in single precision: scaled by the reciprocal of the length,
// unless the length is 0 (left as is) or exactly 1.
TK_3fVector UnitOrAsIs(TK_3fVector v) {
  const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (length > 0.0f && length != 1.0f) {
    const float inverse = 1.0f / length;
    v = TK_3fVector(v.x * inverse, v.y * inverse, v.z * inverse);
  }
  return v;
}

// Numbers the groups of a list in the order of their first elements: each
// entry names its group's first element (itself, or one before it; kNone
// for an entry in no group) and becomes that group's number. Returns each
// group's first element. In place: an earlier entry is numbered already.
std::vector<std::uint32_t> NumberByFirst(std::vector<std::uint32_t>& first_of) {
  std::vector<std::uint32_t> firsts;
  for (std::size_t v = 0; v < first_of.size(); ++v) {
    if (first_of[v] == kNone) continue;
    if (first_of[v] == v) {
      first_of[v] = std::uint32_t(firsts.size());
      firsts.push_back(std::uint32_t(v));
    } else {
      first_of[v] = first_of[first_of[v]];
    }
  }
  return firsts;
}

// The unit normal of the face's first three corners, (b - a) x (c - a).
TK_3fVector FaceNormal(const TK_3fPoint& a, const TK_3fPoint& b, const TK_3fPoint& c) {
  const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
  const float vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
  return UnitOrAsIs(TK_3fVector(uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx));
}

// Finds the positions closer than a radius to a given one (squared
// distance, computed in single precision, below the squared radius), through
// a hash grid of cells 16 radii wide: a position looks beyond its own cell
// only along the axes where it lies near the cell's side. Cells are read far
// apart in memory, so each cell's key sits beside the head of its list, a
// position remembers its own cell's slot, and the slots a few positions on
// are sent for ahead of use.
class NearPositions {
public:
  NearPositions(const std::vector<TK_3fPoint>& at, const TK_3fPoint& low, float radius, int threads)
      : at_(at), low_(low), radius_(radius), square_radius_(radius * radius), cell_(16.0 * radius),
        next_(at.size(), kNone), home_(at.size()),
        cells_(std::bit_ceil(std::max<std::size_t>(16, 2 * at.size()))), mask_(cells_.size() - 1) {
    std::vector<std::uint64_t> keys(at.size());
    InParts(0, at.size(), ThreadsWorth(at.size(), 1, threads), [&](int, std::size_t begin, std::size_t end) {
      for (std::size_t p = begin; p < end; ++p) keys[p] = Key(Cell(at[p]));
    });
    for (std::uint32_t p = 0; p < at.size(); ++p) {
      if (p + kAhead < at.size()) __builtin_prefetch(&cells_[Mix(0, keys[p + kAhead]) & mask_]);
      const std::size_t slot = Slot(keys[p]);
      cells_[slot].key = keys[p];
      next_[p] = cells_[slot].head;
      cells_[slot].head = p;
      home_[p] = std::uint32_t(slot);
    }
  }

  // Positions near position p (p among them), into `found`.
  void Find(std::uint32_t p, std::vector<std::uint32_t>& found) const {
    if (p + kAhead < at_.size()) __builtin_prefetch(&cells_[home_[p + kAhead]]);
    found.clear();
    const TK_3fPoint& q = at_[p];
    const std::array<std::int64_t, 3> cell = Cell(q);
    // A margin over the radius covers the rounding of the offsets.
    const double reach = 1.001 * radius_;
    std::array<std::array<std::int64_t, 2>, 3> range;
    const double offsets[3] = {double(q.x) - low_.x, double(q.y) - low_.y, double(q.z) - low_.z};
    for (int axis = 0; axis < 3; ++axis) {
      const double within = offsets[axis] - double(cell[axis]) * cell_;
      range[axis] = {cell[axis] - (within < reach ? 1 : 0), cell[axis] + (within > cell_ - reach ? 1 : 0)};
    }
    for (std::int64_t x = range[0][0]; x <= range[0][1]; ++x)
      for (std::int64_t y = range[1][0]; y <= range[1][1]; ++y)
        for (std::int64_t z = range[2][0]; z <= range[2][1]; ++z) {
          if (x < 0 || y < 0 || z < 0) continue;
          const bool own = x == cell[0] && y == cell[1] && z == cell[2];
          for (std::uint32_t o = cells_[own ? home_[p] : Slot(Key({x, y, z}))].head; o != kNone; o = next_[o]) {
            const float dx = at_[o].x - q.x, dy = at_[o].y - q.y, dz = at_[o].z - q.z;
            if (dx * dx + dy * dy + dz * dz < square_radius_) found.push_back(o);
          }
        }
    // The cells were visited out of order: the sum over them goes by position.
    std::sort(found.begin(), found.end());
  }

private:
  static constexpr std::uint64_t kNoKey = ~std::uint64_t(0);
  static constexpr std::size_t kAhead = 16;
  struct CellSlot {
    std::uint64_t key = kNoKey;
    std::uint32_t head = kNone;  // the cell's last position; each links to the one before
  };

  // Offsets from the low corner span at most the diagonal, 10,000 radii.
  std::array<std::int64_t, 3> Cell(const TK_3fPoint& p) const {
    return {std::int64_t((double(p.x) - low_.x) / cell_), std::int64_t((double(p.y) - low_.y) / cell_),
            std::int64_t((double(p.z) - low_.z) / cell_)};
  }
  static std::uint64_t Key(const std::array<std::int64_t, 3>& c) {
    return std::uint64_t(c[0]) | std::uint64_t(c[1]) << 21 | std::uint64_t(c[2]) << 42;
  }
  // The cell's slot, or the empty slot where it would go (its head kNone).
  std::size_t Slot(std::uint64_t key) const {
    std::size_t s = Mix(0, key) & mask_;
    while (cells_[s].key != key && cells_[s].key != kNoKey) s = (s + 1) & mask_;
    return s;
  }

  const std::vector<TK_3fPoint>& at_;
  TK_3fPoint low_;
  float radius_, square_radius_;
  double cell_;
  std::vector<std::uint32_t> next_;
  std::vector<std::uint32_t> home_;  // each position's own cell's slot
  std::vector<CellSlot> cells_;
  std::size_t mask_;
};

}  // namespace

// Each vertex's first equal vertex is found first, in parts split by the
// hash's top bits, a table for each part. A slot holds a vertex and its
// hash's middle bits, which settle most comparisons without reading the
// vertex, and the slots a few vertices on are sent for ahead of use. The
// table starts at a slot for each of its part's vertices (distinct points
// then grow it once) and grows with the positions it holds (twice their
// count in slots), staying small where positions repeat, as they do six
// times over in a mesh whose faces own their corners. The positions are
// then numbered in the order of their first vertex.
Positions UniquePositions(const std::vector<TK_3fPoint>& vertices, int threads) {
  Positions positions;
  std::vector<std::uint32_t>& of = positions.of;
  of.resize(vertices.size());
  const int parts = ThreadsWorth(vertices.size(), 1, threads);
  InParts(0, std::size_t(parts), parts, [&](int part, std::size_t, std::size_t) {
    struct Slot {
      std::uint32_t vertex = kNone, tag = 0;
    };
    constexpr std::size_t kAhead = 8;
    std::vector<Slot> slots(std::bit_ceil(std::max<std::size_t>(1024, vertices.size() / std::size_t(parts))));
    std::size_t mask = slots.size() - 1, kept = 0;
    const auto part_of = [parts](std::uint64_t hash) { return int((hash >> 32) * std::uint64_t(parts) >> 32); };
    const auto tag_of = [](std::uint64_t hash) { return std::uint32_t(hash >> 16); };
    const auto insert = [&](std::uint32_t v, std::uint64_t hash) {
      std::size_t s = hash & mask;
      while (slots[s].vertex != kNone) s = (s + 1) & mask;
      slots[s] = {v, tag_of(hash)};
    };
    // The hashes of the next kAhead vertices, each made once.
    std::array<std::uint64_t, kAhead> ahead{};
    for (std::size_t v = 0; v < std::min(kAhead, vertices.size()); ++v) ahead[v] = Hash(vertices[v]);
    for (std::size_t v = 0; v < vertices.size(); ++v) {
      const TK_3fPoint& p = vertices[v];
      const std::uint64_t hash = ahead[v % kAhead];
      if (v + kAhead < vertices.size()) {
        ahead[v % kAhead] = Hash(vertices[v + kAhead]);
        __builtin_prefetch(&slots[ahead[v % kAhead] & mask]);
      }
      if (part_of(hash) != part) continue;
      std::size_t s = hash & mask;
      while (slots[s].vertex != kNone && (slots[s].tag != tag_of(hash) || !Same(vertices[slots[s].vertex], p)))
        s = (s + 1) & mask;
      if (slots[s].vertex != kNone) {
        of[v] = slots[s].vertex;
        continue;
      }
      of[v] = std::uint32_t(v);
      slots[s] = {std::uint32_t(v), tag_of(hash)};
      if (2 * ++kept > slots.size()) {
        std::vector<Slot> old(2 * slots.size());
        old.swap(slots);
        mask = slots.size() - 1;
        for (const Slot& slot : old)
          if (slot.vertex != kNone) insert(slot.vertex, Hash(vertices[slot.vertex]));
      }
    }
  });
  for (const std::uint32_t first : NumberByFirst(of)) positions.at.push_back(vertices[first]);
  return positions;
}

// Equal points get one number among the points; the vertices then number
// those in the order of their first vertex, keeping that vertex's own point
// (0 and -0 alike, the first seen is kept, as above).
Positions UniquePositions(const CornerMesh& mesh, int threads) {
  const Positions distinct = UniquePositions(mesh.points, threads);
  Positions positions;
  positions.of.resize(mesh.corners.size());
  std::vector<std::uint32_t> number(distinct.at.size(), kNone);
  for (std::size_t v = 0; v < mesh.corners.size(); ++v) {
    const std::uint32_t point = mesh.corners[v].point;
    std::uint32_t& id = number[distinct.of[point]];
    if (id == kNone) {
      id = std::uint32_t(positions.at.size());
      positions.at.push_back(mesh.points[point]);
    }
    positions.of[v] = id;
  }
  return positions;
}

TK_Mesh Unfold(const CornerMesh& mesh) {
  TK_Mesh unfolded;
  const std::size_t corners = mesh.corners.size();
  unfolded.m_V.resize(corners);
  for (std::size_t v = 0; v < corners; ++v) unfolded.m_V[v] = mesh.points[mesh.corners[v].point];
  if (!mesh.texture.empty()) {
    unfolded.m_T.resize(corners);
    for (std::size_t v = 0; v < corners; ++v) unfolded.m_T[v] = mesh.texture[mesh.corners[v].texture];
  }
  if (!mesh.normals.empty()) {
    unfolded.m_N.resize(corners);
    for (std::size_t v = 0; v < corners; ++v) unfolded.m_N[v] = mesh.normals[mesh.corners[v].normal];
  }
  unfolded.m_F.resize(corners / 3);
  for (std::size_t f = 0; f < corners / 3; ++f) {
    const int a = int(3 * f);
    unfolded.m_F[f] = TK_MeshFace{{a, a + 1, a + 2, a + 2}};
  }
  return unfolded;
}

namespace {

// The box of the positions (those of a mesh's vertices, so the box of the
// vertices: the position of the first vertex met at each value is that
// vertex's own, and of values equal as floats the first met stays).
std::pair<TK_3fPoint, TK_3fPoint> Bounds(const Positions& positions) {
  TK_3fPoint low = positions.at.front(), high = positions.at.front();
  for (const TK_3fPoint& p : positions.at) {
    low = TK_3fPoint(std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z));
    high = TK_3fPoint(std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z));
  }
  return {low, high};
}

// The unit sum of the sums of a group of positions, in the group's order.
TK_3fVector GroupTotal(const std::vector<TK_3fVector>& sum, std::span<const std::uint32_t> group) {
  TK_3fVector total;
  for (const std::uint32_t q : group) total = total + sum[q];
  return UnitOrAsIs(total);
}

// Each position's normal from the sums of what its vertices bring: the
// unit sum over each group of positions near each other (SmoothNormals).
// The groups are found on the threads; a position with no other near it
// (nearness is mutual) forms a group of its own that no other reaches, and
// only the others go through the order of claims, in the order of positions.
std::vector<TK_3fVector> GroupNormals(const std::vector<TK_3fVector>& sum, const Positions& positions, int threads) {
  const auto [low, high] = Bounds(positions);
  const float dx = high.x - low.x, dy = high.y - low.y, dz = high.z - low.z;
  const float radius = std::sqrt(dx * dx + dy * dy + dz * dz) * 1e-4f;
  // A radius of no size (a mesh at one point, or one so small that its
  // square is lost) or beyond the floats: positions group only with their
  // equals.
  const bool near_groups = radius * radius > 0.0f && std::isfinite(radius * radius);

  const std::size_t count = positions.at.size();
  std::vector<TK_3fVector> normal_at(count);
  std::optional<NearPositions> near;
  if (near_groups) near.emplace(positions.at, low, radius, threads);
  // Per part, each crowded position with its group: p, the group's size, the group.
  const int parts = ThreadsWorth(count, 1, threads);
  std::vector<std::vector<std::uint32_t>> crowded(static_cast<std::size_t>(parts));
  InParts(0, count, parts, [&](int part, std::size_t begin, std::size_t end) {
    std::vector<std::uint32_t> group;
    for (std::size_t p = begin; p < end; ++p) {
      if (near) near->Find(std::uint32_t(p), group);
      else group.assign(1, std::uint32_t(p));
      if (group.size() == 1) {
        normal_at[p] = GroupTotal(sum, group);
        continue;
      }
      std::vector<std::uint32_t>& list = crowded[std::size_t(part)];
      list.push_back(std::uint32_t(p));
      list.push_back(std::uint32_t(group.size()));
      list.insert(list.end(), group.begin(), group.end());
    }
  });
  std::vector<bool> claimed(count, false);
  for (const std::vector<std::uint32_t>& list : crowded)
    for (std::size_t i = 0; i < list.size(); i += 2 + list[i + 1]) {
      if (claimed[list[i]]) continue;
      const std::span<const std::uint32_t> group(list.data() + i + 2, list[i + 1]);
      const TK_3fVector total = GroupTotal(sum, group);
      for (const std::uint32_t q : group) {
        normal_at[q] = total;
        claimed[q] = true;
      }
    }
  return normal_at;
}

// Vertex v, if `used(v)`, joins the kept vertex of its position that
// `alike(first, v)` finds alike, comparing with that kept vertex's first
// vertex, or else becomes a kept vertex of its own. Returns each kept
// vertex's first vertex; index[v] is v's kept vertex (kNone if unused).
// Positions are independent: each part of them finds its vertices' first
// vertices on a thread, and the kept vertices are then numbered in the
// order of their first vertex.
template <class Used, class Alike>
std::vector<std::uint32_t> KeepVertices(std::size_t count, const Positions& positions, const Used& used,
                                        const Alike& alike, std::vector<std::uint32_t>& index, int threads) {
  index.assign(count, kNone);
  const std::size_t position_count = positions.at.size();
  InParts(0, position_count, ThreadsWorth(position_count, 1, threads), [&](int, std::size_t begin, std::size_t end) {
    // The kept vertices of a position are a list from `first_kept`, the
    // latest first, linked by `next_kept`.
    std::vector<std::uint32_t> first_kept(end - begin, kNone), next_kept, first_vertex;
    for (std::size_t v = 0; v < count; ++v) {
      const std::size_t p = positions.of[v];
      if (p < begin || p >= end || !used(v)) continue;
      std::uint32_t& first = first_kept[p - begin];
      std::uint32_t k = first;
      while (k != kNone && !alike(first_vertex[k], v)) k = next_kept[k];
      if (k == kNone) {
        k = std::uint32_t(first_vertex.size());
        next_kept.push_back(first);
        first = k;
        first_vertex.push_back(std::uint32_t(v));
      }
      index[v] = first_vertex[k];
    }
  });
  return NumberByFirst(index);
}

}  // namespace

void SmoothNormals(TK_Mesh& mesh, const Positions& positions, int threads) {
  const std::vector<TK_3fPoint>& vertices = mesh.m_V;
  const std::size_t count = vertices.size();
  if (count == 0) return;

  // What each vertex brings: its face's normal, or the unit sum of several.
  std::vector<TK_3fVector>& brought = mesh.m_N;
  brought.assign(count, TK_3fVector());
  std::vector<std::uint8_t> faces_at(count, 0);
  for (const TK_MeshFace& f : mesh.m_F) {
    const TK_3fVector n = FaceNormal(vertices[f.vi[0]], vertices[f.vi[1]], vertices[f.vi[2]]);
    if (std::isnan(n.x) || std::isnan(n.y) || std::isnan(n.z)) continue;
    for (int k = 0; k < (f.IsTriangle() ? 3 : 4); ++k) {
      const std::size_t v = std::size_t(f.vi[k]);
      brought[v] = faces_at[v] == 0 ? n : brought[v] + n;
      faces_at[v] = std::uint8_t(std::min(2, faces_at[v] + 1));
    }
  }
  for (std::size_t v = 0; v < count; ++v)
    if (faces_at[v] > 1) brought[v] = UnitOrAsIs(brought[v]);

  std::vector<TK_3fVector> sum(positions.at.size());
  for (std::size_t v = 0; v < count; ++v) sum[positions.of[v]] = sum[positions.of[v]] + brought[v];
  const std::vector<TK_3fVector> normal_at = GroupNormals(sum, positions, threads);
  for (std::size_t v = 0; v < count; ++v) mesh.m_N[v] = normal_at[positions.of[v]];
}

void Weld(TK_Mesh& mesh, const Positions& positions, int threads) {
  const std::size_t count = mesh.m_V.size();
  const bool normals = mesh.m_N.size() == count, texture = mesh.m_T.size() == count;
  std::vector<bool> used(count, false);
  for (const TK_MeshFace& f : mesh.m_F)
    for (int k : f.vi) used[std::size_t(k)] = true;

  std::vector<std::uint32_t> index;
  const std::vector<std::uint32_t> first = KeepVertices(
      count, positions, [&](std::size_t v) { return bool(used[v]); },
      [&](std::uint32_t a, std::size_t v) {
        return (!normals || Same(mesh.m_N[a], mesh.m_N[v])) && (!texture || Same(mesh.m_T[a], mesh.m_T[v]));
      },
      index, threads);
  // Kept vertex k's first vertex is never before k: they move down in place.
  for (std::size_t k = 0; k < first.size(); ++k) {
    mesh.m_V[k] = mesh.m_V[first[k]];
    if (normals) mesh.m_N[k] = mesh.m_N[first[k]];
    if (texture) mesh.m_T[k] = mesh.m_T[first[k]];
  }
  mesh.m_V.resize(first.size());
  if (normals) mesh.m_N.resize(first.size());
  if (texture) mesh.m_T.resize(first.size());
  for (TK_MeshFace& f : mesh.m_F)
    for (int& k : f.vi) k = int(index[std::size_t(k)]);
}

TK_Mesh WeldCorners(const CornerMesh& mesh, const Positions& positions, CornerNormals normals, int threads) {
  const std::vector<CornerMesh::Corner>& corners = mesh.corners;
  const std::size_t count = corners.size();
  const auto point = [&](std::size_t v) -> const TK_3fPoint& { return mesh.points[corners[v].point]; };
  // As SmoothNormals would on the unfolded mesh, where each corner is a
  // vertex of one face that brings that face's normal (or nothing). Each
  // part of the positions takes the faces that reach it, in face order.
  std::vector<TK_3fVector> normal_at;
  if (normals == CornerNormals::smooth && count > 0) {
    std::vector<TK_3fVector> sum(positions.at.size());
    InParts(0, sum.size(), ThreadsWorth(sum.size(), 1, threads), [&](int, std::size_t begin, std::size_t end) {
      const auto mine = [&](std::size_t v) { return positions.of[v] >= begin && positions.of[v] < end; };
      for (std::size_t f = 0; 3 * f + 2 < count; ++f) {
        if (!mine(3 * f) && !mine(3 * f + 1) && !mine(3 * f + 2)) continue;
        TK_3fVector n = FaceNormal(point(3 * f), point(3 * f + 1), point(3 * f + 2));
        if (std::isnan(n.x) || std::isnan(n.y) || std::isnan(n.z)) n = TK_3fVector();
        for (std::size_t v = 3 * f; v < 3 * f + 3; ++v)
          if (mine(v)) sum[positions.of[v]] = sum[positions.of[v]] + n;
      }
    });
    normal_at = GroupNormals(sum, positions, threads);
  }
  const auto normal = [&](std::size_t v) -> const TK_3fVector& {
    return normals == CornerNormals::stated ? mesh.normals[corners[v].normal] : normal_at[positions.of[v]];
  };
  const bool texture = !mesh.texture.empty();
  const auto texture_at = [&](std::size_t v) -> const TK_2fPoint& { return mesh.texture[corners[v].texture]; };

  std::vector<std::uint32_t> index;
  const std::vector<std::uint32_t> first = KeepVertices(
      count, positions, [](std::size_t) { return true; },
      [&](std::uint32_t a, std::size_t v) {
        return (normals == CornerNormals::none || Same(normal(a), normal(v))) &&
               (!texture || Same(texture_at(a), texture_at(v)));
      },
      index, threads);
  TK_Mesh welded;
  welded.m_V.resize(first.size());
  if (normals != CornerNormals::none) welded.m_N.resize(first.size());
  if (texture) welded.m_T.resize(first.size());
  InParts(0, first.size(), ThreadsWorth(first.size(), 1, threads), [&](int, std::size_t begin, std::size_t end) {
    for (std::size_t k = begin; k < end; ++k) {
      welded.m_V[k] = point(first[k]);
      if (!welded.m_N.empty()) welded.m_N[k] = normal(first[k]);
      if (texture) welded.m_T[k] = texture_at(first[k]);
    }
  });
  welded.m_F.resize(count / 3);
  InParts(0, count / 3, ThreadsWorth(count / 3, 1, threads), [&](int, std::size_t begin, std::size_t end) {
    for (std::size_t f = begin; f < end; ++f) {
      const int a = int(index[3 * f]), b = int(index[3 * f + 1]), c = int(index[3 * f + 2]);
      welded.m_F[f] = TK_MeshFace{{a, b, c, c}};
    }
  });
  return welded;
}

}  // namespace mesh_welding
