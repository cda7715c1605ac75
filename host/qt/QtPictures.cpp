#include "host/qt/QtPictures.h"

#include <cstring>

#include <QPixmap>

#include "host/platform/OruDib.h"

QColor ToQColor(COLORREF colour) { return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour)); }

QRect ToQRect(const RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

QImage ToQImage(const COruDib& bitmap, const QRect& wanted) {
  const QRect part = wanted & QRect(0, 0, bitmap.Width(), bitmap.Height());
  if (!bitmap.HasPixels() || part.isEmpty()) return {};
  QImage image(part.size(), QImage::Format_RGB32);
  if (image.isNull()) return {};
  const int bytes = bitmap.BitsPerPixel() / 8;
  for (int y = 0; y < part.height(); ++y) {
    // Memory row 0 is the bottom image row.
    const unsigned char* source = bitmap.FindDIBBits() +
                                  std::size_t(bitmap.Height() - 1 - (part.top() + y)) * std::size_t(bitmap.GetStorageWidth()) +
                                  std::size_t(part.left()) * std::size_t(bytes);
    auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
    // The fourth byte of a 32-bit pixel is no alpha: Qt wants it opaque.
    for (int x = 0; x < part.width(); ++x, source += bytes) target[x] = qRgb(source[2], source[1], source[0]);
  }
  return image;
}

QImage ToQImage(const COruDib& bitmap) { return ToQImage(bitmap, QRect(0, 0, bitmap.Width(), bitmap.Height())); }

bool ToBitmap(const QImage& image, COruDib& bitmap) {
  if (image.isNull()) return false;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  if (rgb.isNull() || !bitmap.CreateDib(rgb.width(), rgb.height(), 32, true, nullptr)) return false;
  for (int y = 0; y < rgb.height(); ++y) {
    unsigned char* target = bitmap.FindDIBBits() + std::size_t(rgb.height() - 1 - y) * std::size_t(bitmap.GetStorageWidth());
    const auto* source = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x, target += 4) {
      target[0] = std::uint8_t(qBlue(source[x]));
      target[1] = std::uint8_t(qGreen(source[x]));
      target[2] = std::uint8_t(qRed(source[x]));
    }
  }
  return true;
}

QImage ToQImage(const KvPixmap& pixmap) {
  if (pixmap.IsEmpty()) return {};
  QImage image(pixmap.width, pixmap.height, QImage::Format_ARGB32);
  if (image.isNull()) return {};
  for (int y = 0; y < pixmap.height; ++y)
    std::memcpy(image.scanLine(y), pixmap.argb.data() + std::size_t(y) * std::size_t(pixmap.width),
                std::size_t(pixmap.width) * 4);
  return image;
}

QIcon ToQIcon(const KvIcon& icon) {
  QIcon result;
  for (const KvPixmap& size : icon.sizes)
    if (!size.IsEmpty()) result.addPixmap(QPixmap::fromImage(ToQImage(size)));
  return result;
}

QCursor ToQCursor(const KvCursorShape& shape) {
  return QCursor(QPixmap::fromImage(ToQImage(shape.picture)), shape.hot_spot.x, shape.hot_spot.y);
}
