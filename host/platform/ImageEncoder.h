#pragma once
// Encodes an image file a row at a time: the pixels are asked for row by
// row and the bytes handed on as they are made, so writing a large render
// never needs a second full copy of it. PNG, BMP and TGA stream; JPEG's
// encoder (stb's) needs the whole image packed once.

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

enum class KvImageFormat { none, png, bmp, jpeg, tga };

// The format an output name's extension asks for (case-insensitive).
KvImageFormat KvImageFormatOf(std::string_view path);

// Fills `row` (width * channels bytes, RGB or RGBA) with image row y, 0 at the top.
using KvRowSource = std::function<void(int y, std::uint8_t* row)>;
// Takes the next bytes of the file; false stops the encoding.
using KvByteSink = std::function<bool(std::span<const std::uint8_t> bytes)>;

// False when the sink refused bytes, memory ran out (std::bad_alloc is
// thrown), or the format cannot hold the image (BMP and JPEG hold 3 channels;
// PNG and TGA 3 or 4; JPEG sides up to 65535). With `threads` above 1, PNG
// rows are filtered on a thread of their own while the rows before them are
// compressed (so `rows` is called on that thread, `sink` on this one); the
// bytes are the same.
bool KvEncodeImage(KvImageFormat format, int width, int height, int channels, const KvRowSource& rows,
                   const KvByteSink& sink, int threads = 1);
