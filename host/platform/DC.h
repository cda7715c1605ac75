#pragma once
// The drawing surface of a COruDib, with the semantics of a GDI memory device
// context in top-down coordinates (y = 0 is the top row). It belongs to its
// bitmap and draws into it only while the bitmap is selected. Every operation
// is clipped to both bitmaps and never touches memory outside them.

#include "host/platform/WinTypes.h"

class COruDib;

inline constexpr DWORD SRCCOPY = 0x00CC0020;
// Stretch modes: COLORONCOLOR (the default) takes the nearest source pixel,
// HALFTONE averages the source area each destination pixel covers. The two
// older modes behave as COLORONCOLOR on colour bitmaps.
inline constexpr int BLACKONWHITE = 1;
inline constexpr int WHITEONBLACK = 2;
inline constexpr int COLORONCOLOR = 3;
inline constexpr int HALFTONE = 4;

class CDC {
public:
  explicit CDC(COruDib& bitmap) : bitmap_(bitmap) {}
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  // Whether drawing reaches the bitmap (selected and holding pixels).
  bool IsSelected() const;

  // Answers the previous mode, or 0 (and no change) for an unknown mode.
  int SetStretchBltMode(int mode);
  int GetStretchBltMode() const { return mode_; }

  // Each answers false when nothing could be drawn: no bitmap selected (here
  // or in the source), an empty or negative size, or a raster operation
  // other than SRCCOPY. Mirroring through negative sizes is not supported.
  bool FillSolidRect(int x, int y, int width, int height, COLORREF colour);
  bool BitBlt(int x, int y, int width, int height, const CDC* source, int sx, int sy,
              DWORD rop);
  // Maps the source rectangle onto the destination rectangle; destination
  // pixels whose source area lies wholly outside the source bitmap are left.
  bool StretchBlt(int x, int y, int width, int height, const CDC* source, int sx, int sy,
                  int sourceWidth, int sourceHeight, DWORD rop);

private:
  friend class COruDib;
  COruDib& bitmap_;
  int mode_ = COLORONCOLOR;
  bool selected_ = false;
};
