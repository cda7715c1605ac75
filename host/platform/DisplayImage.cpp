#include "host/platform/DisplayImage.h"

#include <algorithm>

void KvDisplayImage::Refresh(const COruDib& source, int published_rows, COLORREF unwritten) {
  if (published_rows <= 0) return;
  const int rows = std::min(published_rows, source.Height());
  if (copy_.Width() != source.Width() || copy_.Height() != source.Height()) {
    if (!copy_.CreateDib(source.Width(), source.Height(), 32, true, nullptr)) return;
    copy_.DC().FillSolidRect(0, 0, copy_.Width(), copy_.Height(), unwritten);
    rows_copied_ = 0;
  }
  if (rows < rows_copied_) rows_copied_ = 0;
  if (rows == rows_copied_) return;
  // Top-down coordinates: rows_copied_ .. rows - 1 from the top.
  copy_.DC().BitBlt(0, rows_copied_, source.Width(), rows - rows_copied_, &source.DC(), 0, rows_copied_, SRCCOPY);
  rows_copied_ = rows;
}
