#pragma once
// KvDisplayImage: the user-interface thread's copy of a bitmap that another
// thread fills row by row. The filling thread publishes how many rows from
// the top it has finished; the copy takes only those rows, each once, so
// a window paints from memory no other thread writes and never shows a row
// before it was written. The window that paints owns the copy.

#include "host/platform/OruDib.h"

class KvDisplayImage {
public:
  // Copies the source's top `published_rows` rows that were not copied yet.
  // Nothing of the source is read while published_rows is 0 or less: its
  // size may be changing. A source of another size starts a fresh copy in
  // the colour `unwritten` below the rows copied; fewer published rows than
  // copied before (the source was filled anew) copy every one again.
  void Refresh(const COruDib& source, int published_rows, COLORREF unwritten);
  // Forgets what was copied: the next Refresh copies every published row
  // (after the owning thread itself changed the source).
  void Reset() { rows_copied_ = 0; }

  bool HasPixels() const { return copy_.HasPixels(); }
  int Width() const { return copy_.Width(); }
  int Height() const { return copy_.Height(); }
  int RowsCopied() const { return rows_copied_; }
  // 32 bits per pixel, bottom-up rows, as the source.
  const COruDib& Bitmap() const { return copy_; }

private:
  COruDib copy_;
  int rows_copied_ = 0;
};
