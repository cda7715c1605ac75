#pragma once
// A pixel format as the platform describes it (PixelFormatDescriptor, the
// fields the catalogue reads) and as the catalogue keeps it
// (PixelFormatRecord: ten 32-bit integers). Plain values.

#include <cstdint>

// Descriptor flag bits.
inline constexpr std::uint32_t PFD_DOUBLEBUFFER = 0x00000001;
inline constexpr std::uint32_t PFD_DRAW_TO_WINDOW = 0x00000004;
inline constexpr std::uint32_t PFD_DRAW_TO_BITMAP = 0x00000008;
inline constexpr std::uint32_t PFD_SUPPORT_OPENGL = 0x00000020;
inline constexpr std::uint32_t PFD_GENERIC_FORMAT = 0x00000040;
inline constexpr std::uint32_t PFD_SWAP_COPY = 0x00000400;
// Pixel types.
inline constexpr int PFD_TYPE_RGBA = 0;
inline constexpr int PFD_TYPE_COLORINDEX = 1;

struct PixelFormatDescriptor {
  std::uint32_t flags = 0;
  int pixel_type = PFD_TYPE_RGBA;
  int color_bits = 0;
  int alpha_bits = 0;
  int accum_bits = 0;
  int depth_bits = 0;
  int stencil_bits = 0;
};

// Kinds of catalogue records.
enum PixelFormatKind : std::int32_t {
  kAcceleratedDoubleBuffered = 0,
  kGenericDoubleBuffered = 1,
  kGenericBitmap = 2,
  kSingleBufferedWindow = 3,
};

struct PixelFormatRecord {
  std::int32_t format_index = 0;  // 1-based; 0: no format
  std::int32_t kind = 0;
  std::int32_t flags = 0;
  std::int32_t color_bits = 0;
  std::int32_t alpha_bits = 0;
  std::int32_t accum_bits = 0;
  std::int32_t depth_bits = 0;
  std::int32_t stencil_bits = 0;
  // Kind 2: the bitmap depth (32, 24 or 16) the format worked with, 0 when
  // none did; other kinds: the colour bits.
  std::int32_t bitmap_color_bits = 0;
  std::int32_t score = 0;
};
