#include "host/platform/ImageChecks.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>

namespace image_checks {
namespace {

// The bytes, read the way the image library reads its input: a read past
// the end gives 0.
class Reader {
public:
  Reader(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  bool AtEnd() const { return pos_ >= size_; }
  std::size_t Position() const { return pos_; }
  std::size_t Left() const { return AtEnd() ? 0 : size_ - pos_; }
  unsigned Byte() { return AtEnd() ? 0 : bytes_[pos_++]; }
  unsigned BigEndian16() {
    const unsigned high = Byte();
    return high << 8 | Byte();
  }
  std::uint32_t BigEndian32() {
    const std::uint32_t high = BigEndian16();
    return high << 16 | BigEndian16();
  }
  void Skip(std::size_t n) { pos_ = n > Left() ? size_ : pos_ + n; }
  // Whether the data (not what is left of it) starts with the text.
  bool StartsWith(std::string_view text) const {
    return size_ >= text.size() &&
           std::equal(text.begin(), text.end(), bytes_, [](char t, unsigned char b) { return (unsigned char)t == b; });
  }
  // One line without its '\n' (the last one may have none).
  std::string_view Line() {
    const std::size_t start = std::min(pos_, size_);
    while (!AtEnd() && bytes_[pos_] != '\n') ++pos_;
    const std::string_view line(reinterpret_cast<const char*>(bytes_) + start, pos_ - start);
    if (!AtEnd()) ++pos_;
    return line;
  }

private:
  const unsigned char* bytes_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Chunks up to the end chunk, each with its length, type and checksum.
bool PngChunksFit(Reader in) {
  in.Skip(8);
  for (;;) {
    if (in.Left() < 12) return false;
    const std::uint32_t length = in.BigEndian32();
    const std::uint32_t type = in.BigEndian32();
    if (std::uint64_t(length) + 4 > in.Left()) return false;
    if (type == 0x49454E44) return true;  // IEND
    in.Skip(std::size_t(length) + 4);
  }
}

// The segments wherever the library finds a marker: after the start
// marker, between segments (which it skips by their lengths), and after the
// entropy-coded data of a scan at the first 0xFF that is no stuffing, fill
// or restart. Huffman tables (DHT) may hold at most 256 codes, and a scan
// may only use quantisation and Huffman tables defined before it: the
// library would decode it with tables of whatever its memory held.
// The library takes a file for JPEG when its first marker, after any 0xFF
// fill bytes, is the start of an image.
bool IsJpeg(Reader in) {
  if (in.Byte() != 0xFF) return false;
  unsigned c = in.Byte();
  while (c == 0xFF && !in.AtEnd()) c = in.Byte();
  return c == 0xD8;
}

bool JpegTablesSound(Reader in) {
  while (in.Byte() == 0xFF && !in.AtEnd()) {
  }  // the start-of-image marker, after any fill bytes
  bool in_scan = false, progressive = false;
  bool quantisation[4] = {}, huffman[2][4] = {};
  int component_table[256];
  std::fill(std::begin(component_table), std::end(component_table), -1);
  while (!in.AtEnd()) {
    if (in.Byte() != 0xFF) continue;
    unsigned marker = in.Byte();
    while (marker == 0xFF && !in.AtEnd()) marker = in.Byte();
    if (in_scan && (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7))) continue;
    if (marker == 0xD9) return true;  // end of image
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // no segment
    const unsigned length = in.BigEndian16();
    if (length < 2) continue;
    const std::size_t segment_end = in.Position() + (length - 2);
    long left = long(length) - 2;
    if (marker == 0xC4) {
      while (left > 0 && !in.AtEnd()) {
        const unsigned table = in.Byte();
        int codes = 0;
        for (int i = 0; i < 16; ++i) codes += int(in.Byte());
        if (codes > 256) return false;
        if (table >> 4 <= 1 && (table & 15) <= 3) huffman[table >> 4][table & 15] = true;
        in.Skip(std::size_t(codes));
        left -= 17 + codes;
      }
    } else if (marker == 0xDB) {
      while (left > 0 && !in.AtEnd()) {
        const unsigned table = in.Byte();
        if ((table & 15) <= 3) quantisation[table & 15] = true;
        const long bytes = table >> 4 ? 128 : 64;
        in.Skip(std::size_t(bytes));
        left -= 1 + bytes;
      }
    } else if (marker >= 0xC0 && marker <= 0xC2) {
      progressive = marker == 0xC2;
      in.Skip(5);  // precision, height, width
      const unsigned components = in.Byte();
      for (unsigned i = 0; i < components && !in.AtEnd(); ++i) {
        const unsigned id = in.Byte();
        in.Byte();  // sampling
        component_table[id] = int(in.Byte() & 15);
      }
    } else if (marker == 0xDA) {
      const unsigned components = in.Byte();
      unsigned used[4][2] = {};
      for (unsigned i = 0; i < components && i < 4; ++i) {
        const int quant = component_table[in.Byte()];
        const unsigned tables = in.Byte();
        used[i][0] = tables >> 4;
        used[i][1] = tables & 15;
        if (quant >= 0 && quant <= 3 && !quantisation[quant]) return false;
      }
      const unsigned first = in.Byte(), last = in.Byte();
      for (unsigned i = 0; i < components && i < 4; ++i) {
        const bool dc = !progressive || first == 0, ac = !progressive || last > 0;
        if ((dc && used[i][0] <= 3 && !huffman[0][used[i][0]]) || (ac && used[i][1] <= 3 && !huffman[1][used[i][1]]))
          return false;
      }
    }
    in.Skip(segment_end > in.Position() ? segment_end - in.Position() : 0);
    in_scan = marker == 0xDA;
  }
  return true;
}

// Run-length scanlines (width 8 to 32767, each starting 2, 2, width), as the
// library decodes them until a scanline that is not run-length switches it
// to flat pixels, which always end.
bool HdrRunsEnd(Reader in) {
  // The library reads lines as C strings (a line starting with a zero byte
  // is empty), keeps 1023 characters of each and takes the sides as int.
  in.Line();  // the signature
  for (std::string_view line = in.Line(); !line.empty() && line[0] != '\0';) line = in.Line();
  const std::string resolution(in.Line().substr(0, 1023));
  if (resolution.rfind("-Y ", 0) != 0) return true;
  char* rest = nullptr;
  const int height = int(std::strtol(resolution.c_str() + 3, &rest, 10));
  while (*rest == ' ') ++rest;
  if (std::string_view(rest).rfind("+X ", 0) != 0) return true;
  const int width = int(std::strtol(rest + 3, nullptr, 10));
  if (width < 8 || width >= 32768) return true;
  for (int y = 0; y < height; ++y) {
    const unsigned c1 = in.Byte(), c2 = in.Byte(), high = in.Byte();
    if (c1 != 2 || c2 != 2 || (high & 0x80)) return true;
    if (int(high << 8 | in.Byte()) != width) return true;
    for (int component = 0; component < 4; ++component)
      for (int x = 0; x < width;) {
        unsigned count = in.Byte();
        if (count > 128) {
          count -= 128;
          in.Byte();
        } else {
          if (count == 0) return false;
          in.Skip(count);
        }
        if (int(count) > width - x) return true;
        x += int(count);
      }
  }
  return true;
}

// Width, height and maximum value, each after blanks and '#' comments: no
// more than nine digits each, and grey (P5) of 8 bits only, since the library
// converts 16-bit grey to colour as if it were 8-bit (reading past its end).
bool PnmHeaderSound(Reader in) {
  const bool grey = in.StartsWith("P5");
  in.Skip(2);
  unsigned c = in.Byte();
  long value = 0;
  for (int number = 0; number < 3; ++number) {
    for (;;) {
      while (!in.AtEnd() && std::isspace(int(c))) c = in.Byte();
      if (in.AtEnd() || c != '#') break;
      while (!in.AtEnd() && c != '\n' && c != '\r') c = in.Byte();
    }
    int digits = 0;
    value = 0;
    while (!in.AtEnd() && std::isdigit(int(c))) {
      if (++digits > 9) return false;
      value = value * 10 + long(c - '0');
      c = in.Byte();
    }
  }
  return !grey || value <= 255;
}

}  // namespace

bool SafeToDecode(const unsigned char* bytes, std::size_t size) {
  const Reader in(bytes, size);
  if (in.StartsWith("\x53\x80\xF6\x34")) return false;
  if (in.StartsWith("\x89PNG\r\n\x1A\n")) return PngChunksFit(in);
  if (IsJpeg(in)) return JpegTablesSound(in);
  if (in.StartsWith("#?RADIANCE\n") || in.StartsWith("#?RGBE\n")) return HdrRunsEnd(in);
  if (in.StartsWith("P5") || in.StartsWith("P6")) return PnmHeaderSound(in);
  return true;
}

bool CanHold(const unsigned char* bytes, std::size_t size, long long width, long long height) {
  const long long pixels = width * height;
  const Reader in(bytes, size);
  if (in.StartsWith("\x89PNG")) return pixels / 8 <= 1032LL * (long long)size;
  // A TGA shorter than its header still reads (as zeros past the end).
  constexpr std::size_t kTgaHeader = 18;
  const long long tga_data = size > kTgaHeader ? (long long)(size - kTgaHeader) : 0;
  const bool run_length_tga = size >= 3 && (bytes[2] == 9 || bytes[2] == 10 || bytes[2] == 11);
  if (run_length_tga) return pixels <= 64LL * tga_data + 128;
  // Uncompressed pixels take a byte each at least (a bit, in a BMP): the
  // library would read a file cut short to its declared end as zeros.
  const bool plain_tga = size >= 3 && (bytes[2] == 1 || bytes[2] == 2 || bytes[2] == 3) && bytes[1] <= 1;
  if (plain_tga) return pixels <= tga_data;
  if (in.StartsWith("P5") || in.StartsWith("P6")) return pixels <= (long long)size;
  if (in.StartsWith("BM")) return pixels / 8 <= (long long)size;
  return true;
}

}  // namespace image_checks
