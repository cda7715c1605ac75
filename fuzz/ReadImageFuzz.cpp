// Feeds arbitrary bytes to the image reader; whatever it accepts must be a
// 24-bit bitmap within the size caps that the drawing surface can scale.
//   fuzz_read_image -max_total_time=60 CORPUS_DIR fuzz/seeds/read_image

#include "host/platform/KavraDib.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CKavraDib image;
  if (!image.ReadFromMemory(data, size)) {
    if (image.HasPixels()) __builtin_trap();  // a failed first read leaves nothing
    return 0;
  }
  const long long w = image.Width(), h = image.Height();
  if (image.BitsPerPixel() != 24 || w < 1 || h < 1 || w > CKavraDib::kMaxReadSide ||
      h > CKavraDib::kMaxReadSide || w * h > CKavraDib::kMaxReadPixels)
    __builtin_trap();
  COruDib thumb;
  if (!thumb.CreateDib(5, 3, 32, true, nullptr)) __builtin_trap();
  thumb.DC().SetStretchBltMode(size % 2 ? HALFTONE : COLORONCOLOR);
  // The whole of small images; a corner of large ones keeps the runs quick.
  const int sw = w * h <= (1 << 20) ? int(w) : 64, sh = w * h <= (1 << 20) ? int(h) : 64;
  thumb.DC().StretchBlt(-1, 0, 7, 3, &image.DC(), 0, 0, sw, sh, SRCCOPY);
  float r, g, b;
  image.GetPixel(int(w) - 1, int(h) - 1, r, g, b);
  return 0;
}
