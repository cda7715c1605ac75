#pragma once
// The host's file-backed bitmap: a COruDib that reads BMP, PNG, JPEG, TGA,
// GIF, PSD and HDR images (always as 24 bits) and writes PNG, BMP, JPEG or
// TGA chosen by the file extension. It owns its pixels like any COruDib.

#include "host/platform/OruDib.h"
#include "host/toolkit/String.h"

#include <cstddef>

class KvFrameWindow;

class CKavraDib : public COruDib {
public:
  // Images larger than this are refused from their header, before any
  // decoding, so that a hostile file cannot ask for a huge allocation:
  // at most 16384 pixels a side and 2^24 pixels (4096 x 4096, more than a
  // map or wallpaper can show) in all. A guard on decoding files, not the
  // render image limit of CKavraSdkRender, though the side is the same.
  // A compressed file whose bytes cannot hold the pixels its header
  // declares (run-length TGA, PNG) is refused too.
  static constexpr int kMaxReadSide = 16384;
  static constexpr long long kMaxReadPixels = 1LL << 24;
  // Larger files are not read at all.
  static constexpr std::size_t kMaxFileBytes = std::size_t(1) << 30;

  // Reads an image: grey, grey with alpha and palette images become colour,
  // alpha is dropped, HDR values are clamped to 0..1. Files the image
  // library is known to mishandle are refused first (ImageChecks.h). On
  // failure (missing, unreadable, corrupt, truncated or oversized) answers
  // false and the bitmap keeps what it held, unless the final CreateDib
  // failed.
  bool ReadFromFile(const TK_wString& path);
  bool ReadFromMemory(const void* data, std::size_t size);

  // Writes the image beside the target first and renames it into place, so
  // a failed write leaves an older file untouched. The extension (any case)
  // picks the format: .png, .bmp, .jpg/.jpeg (quality 95) or .tga; any other
  // extension fails. With alpha, a 32-bit image's fourth byte is written as
  // the alpha channel: PNG and TGA only, any other format or a 24-bit image
  // fails. On failure errno says why (EINVAL: no pixels, no known extension
  // or no alpha in the format). `threads` above 1 lets a PNG's rows be
  // filtered and compressed at once (KvEncodeImage); the file is the same.
  bool WriteToFile(const TK_wString& path, bool with_alpha = false, int threads = 1);
  // The path of the last successful WriteToFile, empty before one.
  const TK_wString& LastSaveName() const { return lastSaveName_; }

  // Puts a copy of the image on the clipboard of the window's toolkit.
  // False without pixels or a window, or when the clipboard refuses.
  bool CopyToClipboard(KvFrameWindow* parent) const;
  // Prints the image through the window's toolkit (which asks for the
  // printer); false when cancelled or failed.
  bool Print(KvFrameWindow* parent) const;

private:
  TK_wString lastSaveName_;
};
