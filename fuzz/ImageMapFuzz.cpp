// Feeds arbitrary bytes of one image format (DM_FUZZ_IMAGE_FORMAT; inputs
// whose signature names another format are left out of the corpus) to a
// material's texture map: the file is read the way a render reads its maps,
// then the bitmap is drawn into a thumbnail and sampled the way shading does.
// Whatever is accepted must be a 24-bit bitmap within the size caps, bound
// to the slot exactly when it is at least 3 x 3 pixels; samples are colours.
//   fuzz_image_png -max_total_time=60 CORPUS_DIR fuzz/seeds/image_png

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "fuzz/FuzzFiles.h"
#include "host/platform/KavraDib.h"
#include "shading/MaterialEntry.h"
#include "shading/TextureSampling.h"

#ifndef DM_FUZZ_IMAGE_FORMAT
#error "DM_FUZZ_IMAGE_FORMAT names the image format of the target"
#endif

namespace {

// The format stb's reader takes the bytes for, by the signatures it tests
// in its own order; TGA, which has none, is what is left.
std::string_view FormatOf(std::string_view b) {
  const auto starts = [&](std::string_view s) { return b.substr(0, s.size()) == s; };
  if (starts("\xFF\xD8")) return "jpeg";
  if (starts("\x89PNG\r\n\x1A\n")) return "png";
  if (starts("BM")) return "bmp";
  if (starts("GIF8")) return "gif";
  if (starts("8BPS")) return "psd";
  if (starts("S\x80\xF6\x34")) return "pic";
  if (starts("P5") || starts("P6")) return "pnm";
  if (starts("#?RADIANCE\n") || starts("#?RGBE\n")) return "hdr";
  return "tga";
}

bool IsFraction(float v) { return v >= -1e-5f && v <= 1.0f + 1e-5f; }
bool IsColour(const Colour3f& c) { return IsFraction(c.red) && IsFraction(c.green) && IsFraction(c.blue); }
bool IsFinite(const Colour3f& c) { return std::isfinite(c.red) && std::isfinite(c.green) && std::isfinite(c.blue); }

void CheckBitmap(const CKavraDib& image, const MaterialMap& slot) {
  const long long w = image.Width(), h = image.Height();
  if (!image.HasPixels() || image.BitsPerPixel() != 24 || w < 1 || h < 1 || w > CKavraDib::kMaxReadSide ||
      h > CKavraDib::kMaxReadSide || w * h > CKavraDib::kMaxReadPixels)
    __builtin_trap();
  const bool bound = w >= 3 && h >= 3;
  if (bound != (slot.bitmap == &image) || slot.width_limit != (bound ? w - 2 : 0) ||
      slot.height_limit != (bound ? h - 2 : 0))
    __builtin_trap();
  COruDib thumb;
  if (!thumb.CreateDib(5, 3, 32, true, nullptr)) __builtin_trap();
  thumb.DC().SetStretchBltMode(w % 2 ? HALFTONE : COLORONCOLOR);
  // The whole of small images; a corner of large ones keeps the runs quick.
  const bool small = w * h <= (1 << 20);
  thumb.DC().StretchBlt(-1, 0, 7, 3, &image.DC(), 0, 0, small ? int(w) : 64, small ? int(h) : 64, SRCCOPY);
}

// Samples the slot as shading does, with both filters. Positions inside
// the image and wrapped past it give colours of its pixels or blends of
// them; behind its start the filtered weights extrapolate (as designed), so
// there and for the bump neighbours only finite colours are asked for.
void CheckSamples(MaterialMap slot) {
  const TK_2dPoint ahead[] = {{0, 0}, {0.5, 0.5}, {1, 1}, {0.999999, 1e-7}, {0.25, 3.75}, {7.5, 1000}};
  const TK_2dPoint behind[] = {{-0.3, 2.7}, {-1000, -0.5}};
  for (const int filter : {0, 1})
    for (const double tiling : {1.0, 3.5}) {
      slot.filter = filter;
      slot.tiling_u = tiling;
      slot.tiling_v = 1 / tiling;
      slot.offset_u = tiling > 1 ? 7 : 0;
      Colour3f left, down, right, up;
      for (const TK_2dPoint& uv : ahead) {
        if (!IsColour(SampleMap(slot, uv))) __builtin_trap();
        SampleMapNeighbours(slot, uv, left, down, right, up);
        if (!IsFinite(left) || !IsFinite(down) || !IsFinite(right) || !IsFinite(up)) __builtin_trap();
      }
      for (const TK_2dPoint& uv : behind)
        if (!IsFinite(SampleMap(slot, uv))) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz_files::Text(data, size);
  if (FormatOf(bytes) != DM_FUZZ_IMAGE_FORMAT) return -1;
  const std::filesystem::path file = fuzz_files::ScratchFolder() / ("map." DM_FUZZ_IMAGE_FORMAT);
  fuzz_files::Write(file, bytes);

  auto material = std::make_unique<CRenderMaterial>();
  material->m_texture_map.enabled = true;
  material->m_texture_map.file_name = TK_wString::FromUtf8(file.string());
  MaterialEntry entry(std::move(material));
  const MaterialMap& slot = entry.Material()->m_texture_map;
  // Bound, or read again: a failed read is not kept.
  const CKavraDib* image = slot.bitmap ? static_cast<const CKavraDib*>(slot.bitmap)
                                       : entry.FindOrLoadMapBitmap(slot.file_name);
  if (!image) {
    if (slot.bitmap || slot.width_limit != 0 || slot.height_limit != 0) __builtin_trap();
    return 0;
  }
  CheckBitmap(*image, slot);
  CheckSamples(slot);
  return 0;
}
