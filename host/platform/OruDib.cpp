#include "host/platform/OruDib.h"

#include <cstdlib>
#include <cstring>

#include "host/toolkit/AllocationFailures.h"

COruDib::COruDib() : dc_(*this) {}

COruDib::~COruDib() = default;

void COruDib::Free::operator()(unsigned char* p) const { std::free(p); }

bool COruDib::CreateDib(int width, int height, int bits, bool clear, const void* palette) {
  const bool valid = width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
                     (bits == 24 || bits == 32) && palette == nullptr;
  if (!valid) {
    DestroyDib();
    return false;
  }
  const std::size_t stride =
      bits == 32 ? std::size_t(width) * 4 : (std::size_t(width) * 3 + 3) / 4 * 4;
  const std::size_t bytes = stride * std::size_t(height);
  if (bytes > kMaxStorageBytes) {
    DestroyDib();
    return false;
  }
  if (!bits_ || capacity_ != bytes) {
    DestroyDib();
    // Zeroed: a bitmap never exposes indeterminate bytes. calloc, not new:
    // large blocks come as fresh zero pages, and failure is a null pointer.
    bits_.reset(static_cast<unsigned char*>(std::calloc(bytes, 1)));
    if (!bits_) {
      KvNoteAllocationFailure();
      return false;
    }
    capacity_ = bytes;
  } else if (clear) {
    std::memset(bits_.get(), 0, bytes);
  }
  width_ = width;
  height_ = height;
  bpp_ = bits;
  stride_ = int(stride);
  dc_.selected_ = true;
  return true;
}

void COruDib::DestroyDib() {
  bits_.reset();
  capacity_ = 0;
  width_ = height_ = bpp_ = stride_ = 0;
  dc_.selected_ = false;
}

bool COruDib::GetPixel(int x, int y, float& red, float& green, float& blue) const {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) {
    red = green = blue = 0.0f;
    return false;
  }
  const unsigned char* p = bits_.get() + std::size_t(y) * std::size_t(stride_) +
                           std::size_t(x) * std::size_t(bpp_ / 8);
  blue = p[0] / 255.0f;
  green = p[1] / 255.0f;
  red = p[2] / 255.0f;
  return true;
}

bool COruDib::DCSelectBitmap(bool select) {
  dc_.selected_ = select && bits_ != nullptr;
  return dc_.selected_;
}
