#pragma once
// KvPaintSurface: what a window draws on while it paints, in its client
// coordinates (y downward). The toolkit that paints the window makes one
// for each paint and owns it; a view draws its image, borders, fills and
// lines through it and keeps nothing of it.

#include "host/platform/Pixmap.h"
#include "host/platform/WinTypes.h"

class KvDisplayImage;

class KvPaintSurface {
public:
  virtual ~KvPaintSurface() = default;

  // The area the paint is for; drawing outside it may be dropped.
  virtual RECT PaintArea() const = 0;

  // COLORONCOLOR takes the nearest source pixel; HALFTONE averages the
  // source area each destination pixel covers (smooth reduction).
  virtual void SetStretchMode(int mode) = 0;
  // The whole image stretched into the destination rectangle.
  virtual void StretchImage(const RECT& destination, const KvDisplayImage& image) = 0;

  // Drawing is clipped to `clip`, or to `clip` without `hole`: the region
  // a frame drawn around an image leaves free. Both replace the clip before.
  virtual void ClipTo(const RECT& clip) = 0;
  virtual void ClipToExcluding(const RECT& clip, const RECT& hole) = 0;

  virtual void FillSolid(const RECT& area, COLORREF colour) = 0;
  // Tiles the pattern from the surface's origin over the area.
  virtual void FillPattern(const RECT& area, const KvPixmap& pattern) = 0;
  // A one-pixel frame just inside the rectangle.
  virtual void FrameRect(const RECT& rect, COLORREF colour) = 0;
  // A one-pixel line from `from` up to, not including, `to`.
  virtual void Line(POINT from, POINT to, COLORREF colour) = 0;
};
