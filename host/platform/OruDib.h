#pragma once
// A device-independent bitmap of 24 or 32 bits per pixel with rows stored
// bottom-up (the top image row is the last row in memory), as the renderer
// addresses it. The bitmap owns its pixel memory; its drawing surface (DC())
// is part of it. Neither can be copied or moved: windows and caches hold
// pointers to them.

#include "host/platform/DC.h"

#include <cstddef>
#include <memory>

class COruDib {
public:
  // Largest side and storage CreateDib accepts. The storage cap keeps every
  // byte offset a caller computes with int arithmetic in range.
  static constexpr int kMaxSide = 1 << 16;
  static constexpr std::size_t kMaxStorageBytes = 0x7FFFFFFF;

  COruDib();
  virtual ~COruDib();
  COruDib(const COruDib&) = delete;
  COruDib& operator=(const COruDib&) = delete;

  // Makes a width x height bitmap of 24 or 32 bits and selects it into its
  // surface. `clear` zeroes the pixels; without it, storage of the same size
  // is reused with its pixels kept (a view may be painting from it) and new
  // storage is zeroed anyway. The palette must be null: there are no palette
  // formats. Any failure answers false and leaves the bitmap empty.
  bool CreateDib(int width, int height, int bits, bool clear, const void* palette);
  void DestroyDib();

  bool HasPixels() const { return bits_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitsPerPixel() const { return bpp_; }
  // Bytes per stored row: width * 4, or width * 3 rounded up to a multiple of 4.
  int GetStorageWidth() const { return stride_; }
  std::size_t StorageBytes() const { return std::size_t(stride_) * std::size_t(height_); }

  // The pixel bits, null when empty: bytes blue, green, red (and a fourth
  // byte for 32 bits); memory row 0 is the bottom image row.
  unsigned char* FindDIBBits() { return bits_.get(); }
  const unsigned char* FindDIBBits() const { return bits_.get(); }

  // Colour fractions (byte / 255) of column x, memory row y counted from the
  // bottom. Outside the bitmap gives black and false.
  bool GetPixel(int x, int y, float& red, float& green, float& blue) const;

  // Selects the bitmap into its surface (true) or takes it out (false); the
  // surface draws only while a bitmap with pixels is selected. Answers
  // whether the bitmap is selected afterwards.
  bool DCSelectBitmap(bool select);

  CDC& DC() { return dc_; }
  const CDC& DC() const { return dc_; }

private:
  struct Free {
    void operator()(unsigned char* p) const;
  };
  std::unique_ptr<unsigned char[], Free> bits_;
  std::size_t capacity_ = 0;
  int width_ = 0;
  int height_ = 0;
  int bpp_ = 0;
  int stride_ = 0;
  CDC dc_;
};
