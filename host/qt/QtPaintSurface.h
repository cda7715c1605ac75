#pragma once
// KvQtPaintSurface: a paint surface over a QPainter that paints a widget
// (or anything else) for one paint. It draws only inside the area it was
// made for, whatever clip the view asks for. The painter is the caller's and
// outlives the surface.

#include <QRegion>

#include "host/platform/PaintSurface.h"

class QPainter;

class KvQtPaintSurface : public KvPaintSurface {
public:
  KvQtPaintSurface(QPainter& painter, const QRegion& area);

  RECT PaintArea() const override;
  void SetStretchMode(int mode) override { stretch_mode_ = mode; }
  void StretchImage(const RECT& destination, const KvDisplayImage& image) override;
  void ClipTo(const RECT& clip) override;
  void ClipToExcluding(const RECT& clip, const RECT& hole) override;
  void FillSolid(const RECT& area, COLORREF colour) override;
  void FillPattern(const RECT& area, const KvPixmap& pattern) override;
  void FrameRect(const RECT& rect, COLORREF colour) override;
  void Line(POINT from, POINT to, COLORREF colour) override;

private:
  void SetClip(const QRegion& clip);

  QPainter& painter_;
  QRegion area_;
  QRegion clip_;
  int stretch_mode_;
};
