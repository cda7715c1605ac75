#pragma once
// BandCells: the pixel cells of one band of rows of a screen projection
// index, and the cursor that files the index's faces into them band by band
// downward. Which faces a cell holds, and their order, depend only on the
// pixel, never on how the rows were cut into bands: so each thread that
// gathers hits keeps its own BandCells over the one shared index, and any
// thread may start at any row. The index must outlive it. A band's cells
// lie one after another in one array, in row order, so that the filing and
// the reading both go through memory in order.

#include <cstdint>
#include <span>
#include <vector>

#include "engine/FaceRef.h"
#include "host/platform/WinTypes.h"

class CScreenProjection;
struct ProjectedFace;
using PixelCell = std::span<const FaceRef>;

class BandCells {
public:
  explicit BandCells(const CScreenProjection& index) : m_index(&index) {}
  // Back to the top, for an index whose faces were listed anew.
  void Reset() { *this = BandCells(*m_index); }

  // Files the index's listed faces into the cells of rows first .. first +
  // count - 1 (cut at the image's bottom) that their rectangles cover,
  // passing over cells whose pixel point lies well outside the face's screen
  // triangle. Faces whose rectangles end above a band are done: no later
  // band of this cursor files them again. The first call fixes the grid's
  // row capacity; a later band of more rows is refused. False when aborted,
  // when first is outside the image, or for a band without rows.
  bool Prepare(int first, int count);
  int FirstRow() const { return m_first; }
  int Width() const { return m_width; }
  int Rows() const { return m_rows; }
  bool Holds(int y) const { return m_rows > 0 && y >= m_first && y < m_first + m_rows; }
  // The cell of column x, row y; y must lie within the current band.
  PixelCell Cell(int x, int y) const {
    const std::size_t cell = std::size_t(y - m_first) * std::size_t(m_width) + std::size_t(x);
    return PixelCell(m_refs.data() + m_starts[cell], m_starts[cell + 1] - m_starts[cell]);
  }
  // Room for face references in all cells together: it only ever grows.
  long long CapacityTotal() const { return (long long)m_refs.capacity(); }

private:
  // Sends for the face `m_band_faces` names a few places after i.
  void FetchAhead(const std::vector<ProjectedFace>& faces, std::size_t i) const;

  const CScreenProjection* m_index;
  int m_width = 0;
  int m_first = 0;
  int m_rows = 0;
  int m_grid_rows = 0;  // the rows of the first band: no later band may have more
  // Cell c of the band holds m_refs[m_starts[c] .. m_starts[c + 1]).
  std::vector<std::size_t> m_starts;
  std::vector<FaceRef> m_refs;
  std::vector<std::uint32_t> m_band_faces;  // the listed faces that meet the band, in list order
  // The band's cells each small band face covers (at most kKeptCells of
  // them), in the order of m_band_faces, and how many each face has there
  // (kNotKept for a larger face).
  static constexpr int kKeptCells = 64;
  static constexpr std::uint8_t kNotKept = 0xFF;
  struct CoveredCell {
    std::uint32_t cell;
    FaceRef face;
  };
  std::vector<CoveredCell> m_covered;
  std::vector<std::uint8_t> m_covered_counts;
  // Faces by first row that bands have reached, and one bit per listed
  // face: reached and not done.
  std::size_t m_entered = 0;
  std::vector<std::uint64_t> m_live;
};
