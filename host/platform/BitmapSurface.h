#pragma once
// KvBitmapSurface: a paint surface that draws into a bitmap of the client
// area's size, where the headless toolkit keeps what its windows show. The
// bitmap belongs to the caller and must outlive the surface.

#include "host/platform/PaintSurface.h"

class COruDib;

class KvBitmapSurface : public KvPaintSurface {
public:
  KvBitmapSurface(COruDib& target, const RECT& paint_area);

  RECT PaintArea() const override { return area_; }
  void SetStretchMode(int mode) override;
  void StretchImage(const RECT& destination, const KvDisplayImage& image) override;
  void ClipTo(const RECT& clip) override;
  void ClipToExcluding(const RECT& clip, const RECT& hole) override;
  void FillSolid(const RECT& area, COLORREF colour) override;
  void FillPattern(const RECT& area, const KvPixmap& pattern) override;
  void FrameRect(const RECT& rect, COLORREF colour) override;
  void Line(POINT from, POINT to, COLORREF colour) override;

private:
  bool Inside(int x, int y) const;
  void Put(int x, int y, COLORREF colour);

  COruDib& target_;
  RECT area_;
  RECT clip_;
  RECT hole_{};
};
