#include "host/qt/QtPaintSurface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <QBrush>
#include <QPainter>
#include <QPen>
#include <QPolygon>

#include "host/platform/DC.h"
#include "host/platform/DisplayImage.h"
#include "host/qt/QtPictures.h"

KvQtPaintSurface::KvQtPaintSurface(QPainter& painter, const QRegion& area)
    : painter_(painter), area_(area), clip_(area), stretch_mode_(COLORONCOLOR) {
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setClipRegion(area_);
}

RECT KvQtPaintSurface::PaintArea() const {
  const QRect r = area_.boundingRect();
  return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void KvQtPaintSurface::SetClip(const QRegion& clip) {
  clip_ = area_ & clip;
  painter_.setClipRegion(clip_);
}

void KvQtPaintSurface::ClipTo(const RECT& clip) { SetClip(QRegion(ToQRect(clip))); }

void KvQtPaintSurface::ClipToExcluding(const RECT& clip, const RECT& hole) {
  SetClip(QRegion(ToQRect(clip)).subtracted(QRegion(ToQRect(hole))));
}

void KvQtPaintSurface::StretchImage(const RECT& d, const KvDisplayImage& image) {
  const int w = image.Width(), h = image.Height();
  const QRect target = ToQRect(d);
  const QRect visible = target & clip_.boundingRect();
  if (!image.HasPixels() || visible.isEmpty()) return;
  // Only the source pixels that land in the clip are converted (with one
  // more around them for smoothing): a paint of a few rows of a large image
  // copies a few rows.
  const double sx = double(w) / target.width(), sy = double(h) / target.height();
  const int left = std::max(int(std::floor((visible.left() - target.left()) * sx)) - 1, 0);
  const int top = std::max(int(std::floor((visible.top() - target.top()) * sy)) - 1, 0);
  const int right = std::min(int(std::ceil((visible.left() + visible.width() - target.left()) * sx)) + 1, w);
  const int bottom = std::min(int(std::ceil((visible.top() + visible.height() - target.top()) * sy)) + 1, h);
  const QImage part = ToQImage(image.Bitmap(), QRect(left, top, right - left, bottom - top));
  if (part.isNull()) return;
  const QRectF placed(target.left() + left / sx, target.top() + top / sy, (right - left) / sx, (bottom - top) / sy);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, stretch_mode_ == HALFTONE);
  painter_.drawImage(placed, part);
}

void KvQtPaintSurface::FillSolid(const RECT& area, COLORREF colour) { painter_.fillRect(ToQRect(area), ToQColor(colour)); }

void KvQtPaintSurface::FillPattern(const RECT& area, const KvPixmap& pattern) {
  if (pattern.IsEmpty()) return;
  // The brush's origin is the painter's, the widget's own corner.
  painter_.setBrushOrigin(0, 0);
  painter_.fillRect(ToQRect(area), QBrush(ToQImage(pattern)));
}

void KvQtPaintSurface::FrameRect(const RECT& r, COLORREF colour) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  const QColor c = ToQColor(colour);
  painter_.fillRect(r.left, r.top, w, 1, c);
  painter_.fillRect(r.left, r.bottom - 1, w, 1, c);
  painter_.fillRect(r.left, r.top, 1, h, c);
  painter_.fillRect(r.right - 1, r.top, 1, h, c);
}

void KvQtPaintSurface::Line(POINT from, POINT to, COLORREF colour) {
  const QColor c = ToQColor(colour);
  const int dx = to.x - from.x, dy = to.y - from.y;
  // Rows and columns are rectangles one pixel thick; other lines step along
  // their longer axis, the end point left out.
  if (dy == 0 && dx != 0) {
    painter_.fillRect(std::min(from.x, to.x + 1), from.y, std::abs(dx), 1, c);
  } else if (dx == 0 && dy != 0) {
    painter_.fillRect(from.x, std::min(from.y, to.y + 1), 1, std::abs(dy), c);
  } else {
    const int steps = std::max(std::abs(dx), std::abs(dy));
    QPolygon points;
    for (int i = 0; i < steps; ++i) points << QPoint(from.x + dx * i / steps, from.y + dy * i / steps);
    painter_.setPen(QPen(c, 0));
    painter_.drawPoints(points);
  }
}
