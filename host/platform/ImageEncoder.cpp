#include "host/platform/ImageEncoder.h"

#include <zlib.h>

#include "host/platform/InParts.h"

#include <stb/stb_image_write.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutBigEndian32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

void PutLittleEndian(Bytes& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}

// One PNG chunk: length, type, data, CRC of type and data.
bool PutChunk(const KvByteSink& sink, const char (&type)[5], std::span<const std::uint8_t> data) {
  Bytes head;
  PutBigEndian32(head, std::uint32_t(data.size()));
  head.insert(head.end(), type, type + 4);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
  if (!data.empty()) crc = crc32(crc, data.data(), uInt(data.size()));  // a null buffer would restart it at 0
  Bytes tail;
  PutBigEndian32(tail, std::uint32_t(crc));
  return sink(head) && sink(data) && sink(tail);
}

// Paeth's predictor, as the PNG format defines it.
std::uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return std::uint8_t(a);
  return std::uint8_t(pb <= pc ? b : c);
}

// Each row gets the filter whose output has the smallest sum of magnitudes
// (read as signed bytes): the usual heuristic, good for rendered images.
// One loop per filter, so that the simple ones vectorise.
void FilterRow(const std::uint8_t* row, const std::uint8_t* above, std::size_t size, int bpp,
               std::array<Bytes, 5>& candidates, Bytes*& best) {
  const std::size_t b = std::min(std::size_t(bpp), size);
  std::uint8_t* none = candidates[0].data() + 1;
  std::uint8_t* sub = candidates[1].data() + 1;
  std::uint8_t* up = candidates[2].data() + 1;
  std::uint8_t* average = candidates[3].data() + 1;
  std::uint8_t* paeth = candidates[4].data() + 1;
  for (std::size_t i = 0; i < size; ++i) none[i] = row[i];
  for (std::size_t i = 0; i < b; ++i) sub[i] = row[i];
  for (std::size_t i = b; i < size; ++i) sub[i] = std::uint8_t(row[i] - row[i - b]);
  for (std::size_t i = 0; i < size; ++i) up[i] = std::uint8_t(row[i] - above[i]);
  for (std::size_t i = 0; i < b; ++i) average[i] = std::uint8_t(row[i] - above[i] / 2);
  for (std::size_t i = b; i < size; ++i) average[i] = std::uint8_t(row[i] - (row[i - b] + above[i]) / 2);
  for (std::size_t i = 0; i < b; ++i) paeth[i] = std::uint8_t(row[i] - Paeth(0, above[i], 0));
  for (std::size_t i = b; i < size; ++i) paeth[i] = std::uint8_t(row[i] - Paeth(row[i - b], above[i], above[i - b]));
  long best_cost = -1;
  for (int f = 0; f < 5; ++f) {
    Bytes& out = candidates[std::size_t(f)];
    out[0] = std::uint8_t(f);
    long cost = 0;
    for (std::size_t i = 1; i <= size; ++i) cost += std::abs(int(std::int8_t(out[i])));
    if (best_cost < 0 || cost < best_cost) {
      best_cost = cost;
      best = &out;
    }
  }
}

class Deflater {
public:
  Deflater() {
    if (deflateInit(&stream_, Z_DEFAULT_COMPRESSION) != Z_OK) throw std::bad_alloc();
  }
  ~Deflater() { deflateEnd(&stream_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Compresses `in` (all of it when `finish`), handing full IDAT chunks on.
  bool Put(std::span<const std::uint8_t> in, bool finish, const KvByteSink& sink) {
    stream_.next_in = const_cast<Bytef*>(in.data());
    stream_.avail_in = uInt(in.size());
    for (;;) {
      stream_.next_out = out_.data() + used_;
      stream_.avail_out = uInt(out_.size() - used_);
      const int status = deflate(&stream_, finish ? Z_FINISH : Z_NO_FLUSH);
      if (status == Z_STREAM_ERROR) return false;
      used_ = out_.size() - stream_.avail_out;
      if (used_ == out_.size() || (finish && status == Z_STREAM_END && used_ > 0)) {
        if (!PutChunk(sink, "IDAT", std::span(out_.data(), used_))) return false;
        used_ = 0;
      }
      if (finish ? status == Z_STREAM_END : stream_.avail_in == 0) return true;
    }
  }

private:
  z_stream stream_{};
  Bytes out_ = Bytes(std::size_t(1) << 16);
  std::size_t used_ = 0;
};

// Rows are filtered a block ahead of their compression, on a second thread
// when there is one: each stage keeps its own order, so the file is the same
// byte for byte either way.
bool EncodePng(int width, int height, int channels, const KvRowSource& rows, const KvByteSink& sink, int threads) {
  static constexpr std::uint8_t kSignature[] = {137, 80, 78, 71, 13, 10, 26, 10};
  Bytes header;
  PutBigEndian32(header, std::uint32_t(width));
  PutBigEndian32(header, std::uint32_t(height));
  header.insert(header.end(), {8, std::uint8_t(channels == 4 ? 6 : 2), 0, 0, 0});
  if (!sink(kSignature) || !PutChunk(sink, "IHDR", header)) return false;

  const std::size_t size = std::size_t(width) * std::size_t(channels);
  constexpr int kBlockRows = 32;
  const int blocks = (height + kBlockRows - 1) / kBlockRows;
  const auto rows_in = [&](int block) { return std::min(kBlockRows, height - block * kBlockRows); };
  // The filter stage's own: the row, the one above it, the candidates.
  Bytes row(size), above(size, 0);
  std::array<Bytes, 5> candidates;
  for (Bytes& c : candidates) c.resize(size + 1);
  // Filtered rows (the filter byte first) of the block being filtered and
  // of the one being compressed.
  std::array<Bytes, 2> filtered{Bytes(kBlockRows * (size + 1)), Bytes(kBlockRows * (size + 1))};
  const auto filter = [&](int block) {
    std::uint8_t* out = filtered[std::size_t(block % 2)].data();
    for (int i = 0; i < rows_in(block); ++i, out += size + 1) {
      rows(block * kBlockRows + i, row.data());
      Bytes* best = nullptr;
      FilterRow(row.data(), above.data(), size, channels, candidates, best);
      std::copy(best->begin(), best->end(), out);
      row.swap(above);
    }
  };
  Deflater deflater;
  bool written = true;
  const auto compress = [&](int block) {
    const std::uint8_t* in = filtered[std::size_t(block % 2)].data();
    for (int i = 0; i < rows_in(block) && written; ++i, in += size + 1)
      written = deflater.Put(std::span(in, size + 1), false, sink);
  };
  for (int block = 0; block <= blocks && written; ++block) {
    const auto stage = [&](int part) {
      if (part == 0 && block > 0) compress(block - 1);
      if (part == 1 && block < blocks) filter(block);
    };
    if (threads > 1) {
      InParts(0, 2, 2, [&](int part, std::size_t, std::size_t) { stage(part); });
    } else {
      stage(0);
      stage(1);
    }
  }
  return written && deflater.Put({}, true, sink) && PutChunk(sink, "IEND", {});
}

// 24-bit BMP, rows bottom-up, each padded to 4 bytes.
bool EncodeBmp(int width, int height, const KvRowSource& rows, const KvByteSink& sink) {
  const std::size_t stride = (std::size_t(width) * 3 + 3) / 4 * 4;
  const std::uint64_t file_size = 54 + std::uint64_t(stride) * std::uint64_t(height);
  if (file_size > 0xFFFFFFFFu) return false;
  Bytes header{'B', 'M'};
  PutLittleEndian(header, std::uint32_t(file_size), 4);
  PutLittleEndian(header, 0, 4);
  PutLittleEndian(header, 54, 4);
  PutLittleEndian(header, 40, 4);
  PutLittleEndian(header, std::uint32_t(width), 4);
  PutLittleEndian(header, std::uint32_t(height), 4);
  PutLittleEndian(header, 1, 2);
  PutLittleEndian(header, 24, 2);
  for (int i = 0; i < 6; ++i) PutLittleEndian(header, 0, 4);  // no compression, sizes and palette unstated
  if (!sink(header)) return false;
  Bytes rgb(std::size_t(width) * 3), out(stride, 0);
  for (int y = height - 1; y >= 0; --y) {
    rows(y, rgb.data());
    for (std::size_t x = 0; x < std::size_t(width); ++x) {
      out[3 * x] = rgb[3 * x + 2];
      out[3 * x + 1] = rgb[3 * x + 1];
      out[3 * x + 2] = rgb[3 * x];
    }
    if (!sink(out)) return false;
  }
  return true;
}

// Run-length TGA (type 10), rows top-down; packets never cross a row.
bool EncodeTga(int width, int height, int channels, const KvRowSource& rows, const KvByteSink& sink) {
  if (width > 0xFFFF || height > 0xFFFF) return false;
  Bytes header{0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  PutLittleEndian(header, std::uint32_t(width), 2);
  PutLittleEndian(header, std::uint32_t(height), 2);
  header.push_back(std::uint8_t(8 * channels));
  header.push_back(std::uint8_t(0x20 | (channels == 4 ? 8 : 0)));  // top-left origin, alpha bits
  if (!sink(header)) return false;
  const std::size_t n = std::size_t(channels);
  Bytes row(std::size_t(width) * n), out;
  out.reserve(row.size() + row.size() / 128 + 1);
  const auto same = [&](int a, int b) { return std::equal(&row[a * n], &row[a * n] + n, &row[b * n]); };
  const auto put_pixel = [&](int x) {  // TGA stores BGR(A)
    out.insert(out.end(), {row[x * n + 2], row[x * n + 1], row[x * n]});
    if (n == 4) out.push_back(row[x * n + 3]);
  };
  for (int y = 0; y < height; ++y) {
    rows(y, row.data());
    out.clear();
    for (int x = 0; x < width;) {
      int run = 1;
      while (x + run < width && run < 128 && same(x, x + run)) ++run;
      if (run > 1) {
        out.push_back(std::uint8_t(0x80 | (run - 1)));
        put_pixel(x);
        x += run;
        continue;
      }
      int raw = 1;  // up to the next pair of equal pixels
      while (x + raw < width && raw < 128 && !(x + raw + 1 < width && same(x + raw, x + raw + 1))) ++raw;
      out.push_back(std::uint8_t(raw - 1));
      for (int i = 0; i < raw; ++i) put_pixel(x + i);
      x += raw;
    }
    if (!sink(out)) return false;
  }
  return true;
}

bool EncodeJpeg(int width, int height, const KvRowSource& rows, const KvByteSink& sink) {
  if (width > 0xFFFF || height > 0xFFFF) return false;
  Bytes rgb(std::size_t(width) * std::size_t(height) * 3);
  for (int y = 0; y < height; ++y) rows(y, rgb.data() + std::size_t(y) * std::size_t(width) * 3);
  struct Sink {
    const KvByteSink& sink;
    bool ok = true;
  } context{sink};
  const auto write = [](void* c, void* data, int size) {
    auto& s = *static_cast<Sink*>(c);
    s.ok = s.ok && s.sink(std::span(static_cast<const std::uint8_t*>(data), std::size_t(size)));
  };
  return stbi_write_jpg_to_func(write, &context, width, height, 3, rgb.data(), 95) != 0 && context.ok;
}

}  // namespace

KvImageFormat KvImageFormatOf(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return KvImageFormat::none;
  std::string ext(path.substr(dot + 1));
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "png") return KvImageFormat::png;
  if (ext == "bmp") return KvImageFormat::bmp;
  if (ext == "jpg" || ext == "jpeg") return KvImageFormat::jpeg;
  if (ext == "tga") return KvImageFormat::tga;
  return KvImageFormat::none;
}

bool KvEncodeImage(KvImageFormat format, int width, int height, int channels, const KvRowSource& rows,
                   const KvByteSink& sink, int threads) {
  if (width < 1 || height < 1 || (channels != 3 && channels != 4)) return false;
  switch (format) {
    case KvImageFormat::png: return EncodePng(width, height, channels, rows, sink, threads);
    case KvImageFormat::tga: return EncodeTga(width, height, channels, rows, sink);
    case KvImageFormat::bmp: return channels == 3 && EncodeBmp(width, height, rows, sink);
    case KvImageFormat::jpeg: return channels == 3 && EncodeJpeg(width, height, rows, sink);
    case KvImageFormat::none: break;
  }
  return false;
}
