#include "engine/BandCells.h"

#include <algorithm>
#include <bit>

#include "engine/InclusiveRect.h"
#include "engine/ScreenProjection.h"

bool BandCells::Prepare(int first, int count) {
  if (m_index->Aborted()) return false;
  for (PixelCell& cell : m_grid) cell.clear();
  const int width = m_index->Camera().ScreenWidth(), height = m_index->Camera().ScreenHeight();
  if (first < 0 || first >= height || count < 1) return false;
  if (m_grid.empty()) {
    m_width = width;
    m_grid.resize(std::size_t(count) * std::size_t(m_width));
    m_grid_rows = count;
  }
  const int rows = std::min(count, height - first);
  if (rows > m_grid_rows) return false;
  m_first = first;
  m_rows = rows;

  const std::vector<ProjectedFace>& faces = m_index->ProjectedFaces();
  const std::vector<int>& by_top = m_index->FacesByTopRow();
  if (m_live.empty()) m_live.assign((faces.size() + 63) / 64, 0);
  const RECT band{0, first, m_width - 1, first + rows - 1};
  // Only faces whose first row the bands have reached can meet this band;
  // they are filed in list order, as a pass over the whole list would.
  while (m_entered < by_top.size() && m_index->TopRow(faces[std::size_t(by_top[m_entered])]) <= band.bottom) {
    const auto index = std::size_t(by_top[m_entered++]);
    m_live[index / 64] |= std::uint64_t(1) << (index % 64);
  }
  for (std::size_t word = 0; word < m_live.size(); ++word) {
    for (std::uint64_t bits = m_live[word]; bits != 0; bits &= bits - 1) {
      if (m_index->Aborted()) return false;
      const std::size_t index = word * 64 + std::size_t(std::countr_zero(bits));
      const ProjectedFace& face = faces[index];
      // A rectangle ending on the band's last row is filed again by the next
      // band, which holds that row too; one ending above it is done, also
      // when this cursor started below it.
      if (face.rect.bottom < band.bottom) m_live[word] &= ~(std::uint64_t(1) << (index % 64));
      const RECT part = inclusive_rect::Intersect(face.rect, band);
      if (inclusive_rect::IsEmpty(part)) continue;
      const FaceRef ref{face.mesh_index, face.face_index};
      for (int y = part.top; y <= part.bottom; ++y) {
        PixelCell* row = &m_grid[std::size_t(y - first) * std::size_t(m_width)];
        for (int x = part.left; x <= part.right; ++x)
          if (!face.triangle.Excludes(x, y, ScreenTriangle::kMargin)) row[x].push_back(ref);
      }
    }
  }
  return true;
}

long long BandCells::CapacityTotal() const {
  long long total = 0;
  for (const PixelCell& cell : m_grid) total += (long long)cell.capacity();
  return total;
}
