#pragma once
// Checks of an image file's bytes made before the image library (stb_image)
// decodes them, for files it is known to mishandle: whether the bytes may be
// handed to it at all, and whether they can hold the pixels the header
// declares. Functions of bytes; the caller keeps the bytes.

#include <cstddef>

namespace image_checks {

// False for files on which the library would crash, hang or ask for far
// more memory than the file can fill:
// - Softimage PIC files (one cut short is read through a null pointer);
// - PNG chunks longer than the rest of the file (the library allocates the
//   declared length before reading it);
// - JPEG Huffman tables of more than 256 codes (written past their table),
//   and scans that use tables the file does not define before them (decoded
//   with whatever memory held);
// - run-length Radiance HDR scanlines with an empty literal packet, or cut
//   short (the library loops on them without end);
// - PNM headers with numbers of more than nine digits (they overflow int),
//   and 16-bit grey PNM (converted to colour reading past its pixels).
bool SafeToDecode(const unsigned char* bytes, std::size_t size);

// Whether the bytes can hold the pixels the header declares, for the formats
// where that can be told: a run-length TGA makes at most 128 pixels of a
// packet of two bytes or more, deflate (PNG) expands at most 1032 times, to
// rows of at least one byte per eight pixels, and uncompressed TGA and
// binary PNM pixels take a byte each at least, BMP pixels a bit.
bool CanHold(const unsigned char* bytes, std::size_t size, long long width, long long height);

}  // namespace image_checks
