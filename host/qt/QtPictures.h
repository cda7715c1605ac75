#pragma once
// Conversions between the host's pictures and Qt's: bitmaps (bottom-up BGR
// rows) to and from top-down QImages, small ARGB pixmaps, icons, cursors and
// colours. Every result is a copy that owns its pixels; the sources stay the
// caller's.

#include <QColor>
#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QRect>

#include "host/platform/Pixmap.h"
#include "host/platform/WinTypes.h"

class COruDib;

QColor ToQColor(COLORREF colour);
QRect ToQRect(const RECT& rect);

// The bitmap's columns and rows in `part` (image coordinates, y downward),
// top-down and opaque (Format_RGB32); null without pixels or for an empty part.
QImage ToQImage(const COruDib& bitmap, const QRect& part);
QImage ToQImage(const COruDib& bitmap);
// The image into a 32-bit bitmap of its size; false when it cannot be made.
bool ToBitmap(const QImage& image, COruDib& bitmap);

QImage ToQImage(const KvPixmap& pixmap);
QIcon ToQIcon(const KvIcon& icon);
QCursor ToQCursor(const KvCursorShape& shape);
