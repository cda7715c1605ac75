#include "engine/BandCells.h"

#include <algorithm>
#include <bit>

#include "engine/InclusiveRect.h"
#include "engine/ScreenProjection.h"

inline void BandCells::FetchAhead(const std::vector<ProjectedFace>& faces, std::size_t i) const {
  constexpr std::size_t kAhead = 8;
  if (i + kAhead < m_band_faces.size()) __builtin_prefetch(&faces[m_band_faces[i + kAhead]]);
}

bool BandCells::Prepare(int first, int count) {
  if (m_index->Aborted()) return false;
  const int width = m_index->Camera().ScreenWidth(), height = m_index->Camera().ScreenHeight();
  if (first < 0 || first >= height || count < 1) return false;
  if (m_grid_rows == 0) {
    m_width = width;
    m_grid_rows = count;
  }
  const int rows = std::min(count, height - first);
  if (rows > m_grid_rows) return false;
  m_rows = 0;  // no cells to read until the band is filed

  const std::vector<ProjectedFace>& faces = m_index->ProjectedFaces();
  const std::vector<int>& by_top = m_index->FacesByTopRow();
  if (m_live.empty()) m_live.assign((faces.size() + 63) / 64, 0);
  const RECT band{0, first, m_width - 1, first + rows - 1};
  // Only faces whose first row the bands have reached can meet this band;
  // they are filed in list order, as a pass over the whole list would.
  for (const std::size_t entered = m_index->FacesStartingBy(band.bottom); m_entered < entered; ++m_entered) {
    const auto index = std::size_t(by_top[m_entered]);
    m_live[index / 64] |= std::uint64_t(1) << (index % 64);
  }
  // The live faces in list order. Faces are read far apart in memory, so
  // each is sent for a few faces ahead.
  m_band_faces.clear();
  for (std::size_t word = 0; word < m_live.size(); ++word)
    for (std::uint64_t bits = m_live[word]; bits != 0; bits &= bits - 1)
      m_band_faces.push_back(std::uint32_t(word * 64 + std::size_t(std::countr_zero(bits))));

  // Two passes over the band's faces: the first retires the faces that end
  // above the band's last row, keeps those that meet the band and counts
  // each cell's faces; the second files them where the counts put each
  // cell's run. The first keeps the cells a small face covers, so that the
  // second reads neither its record nor its triangle again; a large face
  // (rare where faces are many) is looked at again instead of keeping a
  // run of cells per face.
  const std::size_t cells = std::size_t(rows) * std::size_t(m_width);
  m_starts.assign(cells + 1, 0);
  m_covered.clear();
  m_covered_counts.clear();
  // A small face's cells in a row are the set bits of that row of `held`;
  // a large face's are one run, from its edge lines. Cells go in row order,
  // left to right.
  const auto each_cell = [&](const ProjectedFace& face, const RECT& part,
                             const auto& visit) __attribute__((always_inline)) {
    const int width = face.rect.right - face.rect.left + 1;
    if (face.Small()) {
      const auto ones = [](int n) { return n >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << n) - 1; };
      const std::uint64_t columns = ones(part.right - face.rect.left + 1) & ~ones(part.left - face.rect.left);
      for (int y = part.top; y <= part.bottom; ++y) {
        const long long row = (long long)(y - first) * m_width + face.rect.left;
        for (std::uint64_t bits = face.held >> ((y - face.rect.top) * width) & columns; bits != 0; bits &= bits - 1)
          visit(std::uint32_t(row + std::countr_zero(bits)));
      }
      return;
    }
    const bool runs = face.triangle.HasRuns();
    for (int y = part.top; y <= part.bottom; ++y) {
      const std::size_t row = std::size_t(y - first) * std::size_t(m_width);
      if (runs) {
        const auto [begin, end] = face.triangle.KeptRun(y, part.left, part.right, ScreenTriangle::kMargin);
        for (int x = begin; x < end; ++x) visit(std::uint32_t(row + std::size_t(x)));
        continue;
      }
      for (int x = part.left; x <= part.right; ++x)
        if (!face.triangle.Excludes(x, y, ScreenTriangle::kMargin)) visit(std::uint32_t(row + std::size_t(x)));
    }
  };
  std::size_t meeting = 0;
  for (std::size_t i = 0; i < m_band_faces.size(); ++i) {
    if ((i & 1023) == 0 && m_index->Aborted()) return false;
    FetchAhead(faces, i);
    const std::size_t index = m_band_faces[i];
    const ProjectedFace& face = faces[index];
    // A rectangle ending on the band's last row is filed again by the next
    // band, which holds that row too; one ending above it is done, also
    // when this cursor started below it.
    if (face.rect.bottom < band.bottom) m_live[index / 64] &= ~(std::uint64_t(1) << (index % 64));
    const RECT part = inclusive_rect::Intersect(face.rect, band);
    if (inclusive_rect::IsEmpty(part)) continue;
    m_band_faces[meeting++] = std::uint32_t(index);
    const bool keep = inclusive_rect::Area(part) <= kKeptCells;
    std::uint8_t kept = 0;
    each_cell(face, part, [&](std::uint32_t cell) __attribute__((always_inline)) {
      ++m_starts[cell + 1];
      if (!keep) return;
      m_covered.push_back({cell, FaceRef{face.mesh_index, face.face_index}});
      ++kept;
    });
    m_covered_counts.push_back(keep ? kept : kNotKept);
  }
  m_band_faces.resize(meeting);
  for (std::size_t cell = 1; cell <= cells; ++cell) m_starts[cell] += m_starts[cell - 1];
  m_refs.resize(m_starts[cells]);
  // Filing moves each cell's start to its end; the starts are then those of the next cells.
  std::size_t next = 0;
  for (std::size_t i = 0; i < m_band_faces.size(); ++i) {
    if ((i & 1023) == 0 && m_index->Aborted()) return false;
    if (m_covered_counts[i] != kNotKept) {
      for (const std::size_t end = next + m_covered_counts[i]; next < end; ++next)
        m_refs[m_starts[m_covered[next].cell]++] = m_covered[next].face;
      continue;
    }
    const ProjectedFace& face = faces[m_band_faces[i]];
    const FaceRef ref{face.mesh_index, face.face_index};
    each_cell(face, inclusive_rect::Intersect(face.rect, band),
              [&](std::uint32_t cell) __attribute__((always_inline)) { m_refs[m_starts[cell]++] = ref; });
  }
  for (std::size_t cell = cells; cell > 0; --cell) m_starts[cell] = m_starts[cell - 1];
  m_starts[0] = 0;
  m_first = first;
  m_rows = rows;
  return true;
}
