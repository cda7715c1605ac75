// Images encoded a row at a time decode to exactly the pixels given, in
// every lossless format and channel count, for rows that mix long runs,
// gradients and noise (so that every run-length packet kind and every PNG
// row filter is used), and a PNG's chunks carry valid checksums; a PNG's
// rows filtered on a thread of their own make the same file.

#include "host/platform/ImageEncoder.h"

#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes TestPixels(int width, int height, int channels) {
  Bytes pixels(std::size_t(width) * std::size_t(height) * std::size_t(channels));
  std::mt19937 random(5);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) {
        std::uint8_t& v = pixels[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * std::size_t(channels) + std::size_t(c)];
        if (x < 200) v = std::uint8_t(40 * c + (y % 3 == 0 ? 0 : 1));  // runs longer than a packet
        else if (x < 260) v = std::uint8_t(x * (c + 1) + y);         // gradients
        else v = std::uint8_t(random());                               // noise
      }
  return pixels;
}

Bytes Encode(KvImageFormat format, int width, int height, int channels, const Bytes& pixels, int threads = 1) {
  Bytes file;
  const std::size_t row = std::size_t(width) * std::size_t(channels);
  const bool ok = KvEncodeImage(
      format, width, height, channels,
      [&](int y, std::uint8_t* out) { std::copy_n(pixels.begin() + std::ptrdiff_t(row * std::size_t(y)), row, out); },
      [&](std::span<const std::uint8_t> bytes) {
        file.insert(file.end(), bytes.begin(), bytes.end());
        return true;
      },
      threads);
  return ok ? file : Bytes{};
}

struct Case {
  KvImageFormat format;
  int channels;
};

void PrintTo(const Case& c, std::ostream* os) {
  static const char* const names[] = {"none", "png", "bmp", "jpeg", "tga"};
  *os << names[int(c.format)] << ' ' << c.channels << " channels";
}

class ImageEncoding : public testing::TestWithParam<Case> {};

TEST_P(ImageEncoding, DecodesToThePixelsGiven) {
  const auto [format, channels] = GetParam();
  constexpr int kWidth = 300, kHeight = 70;  // PNG rows go in blocks of 32: the last one short
  const Bytes pixels = TestPixels(kWidth, kHeight, channels);
  const Bytes file = Encode(format, kWidth, kHeight, channels, pixels);
  ASSERT_FALSE(file.empty());
  int w = 0, h = 0, n = 0;
  stbi_uc* decoded = stbi_load_from_memory(file.data(), int(file.size()), &w, &h, &n, channels);
  ASSERT_NE(decoded, nullptr) << stbi_failure_reason();
  const Bytes got(decoded, decoded + pixels.size());
  stbi_image_free(decoded);
  EXPECT_EQ(std::tuple(w, h, n), std::tuple(kWidth, kHeight, channels));
  EXPECT_TRUE(got == pixels);
  for (const int threads : {2, 3}) EXPECT_TRUE(Encode(format, kWidth, kHeight, channels, pixels, threads) == file) << threads;
}

INSTANTIATE_TEST_SUITE_P(Host, ImageEncoding,
                         testing::Values(Case{KvImageFormat::png, 3}, Case{KvImageFormat::png, 4},
                                         Case{KvImageFormat::tga, 3}, Case{KvImageFormat::tga, 4},
                                         Case{KvImageFormat::bmp, 3}));

TEST(ImageEncoding, PngChunksCarryTheirChecksums) {
  const Bytes file = Encode(KvImageFormat::png, 300, 9, 3, TestPixels(300, 9, 3));
  ASSERT_GT(file.size(), 8u);
  int chunks = 0;
  std::string last;
  for (std::size_t at = 8; at + 12 <= file.size(); ++chunks) {
    const std::uint32_t length = std::uint32_t(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
    ASSERT_LE(at + 12 + length, file.size());
    const std::uint8_t* tail = &file[at + 8 + length];
    const std::uint32_t stored = std::uint32_t(tail[0]) << 24 | tail[1] << 16 | tail[2] << 8 | tail[3];
    EXPECT_EQ(crc32(0, &file[at + 4], 4 + length), stored) << "chunk " << chunks;
    last.assign(reinterpret_cast<const char*>(&file[at + 4]), 4);
    at += 12 + length;
  }
  EXPECT_EQ(last, "IEND");
  EXPECT_GE(chunks, 3);
}

TEST(ImageEncoding, RefusesWhatTheFormatCannotHoldAndStopsWhenTheSinkFails) {
  const auto rows = [](int, std::uint8_t* out) { out[0] = out[1] = out[2] = 0; };
  const auto take = [](std::span<const std::uint8_t>) { return true; };
  EXPECT_FALSE(KvEncodeImage(KvImageFormat::bmp, 1, 1, 4, rows, take));
  EXPECT_FALSE(KvEncodeImage(KvImageFormat::jpeg, 1, 1, 4, rows, take));
  EXPECT_FALSE(KvEncodeImage(KvImageFormat::none, 1, 1, 3, rows, take));
  EXPECT_FALSE(KvEncodeImage(KvImageFormat::tga, 70000, 1, 3, rows, take));
  for (const KvImageFormat format : {KvImageFormat::png, KvImageFormat::bmp, KvImageFormat::jpeg, KvImageFormat::tga})
    for (const int threads : {1, 2}) {
      int calls = 0;
      EXPECT_FALSE(KvEncodeImage(format, 4, 4, 3, rows, [&](std::span<const std::uint8_t>) { return ++calls < 2; }, threads));
      EXPECT_EQ(calls, 2);
    }
  // A sink that fails among the compressed rows stops the encoding there.
  for (const int threads : {1, 2}) {
    int calls = 0;
    const Bytes pixels = TestPixels(300, 200, 3);
    EXPECT_FALSE(KvEncodeImage(
        KvImageFormat::png, 300, 200, 3,
        [&](int y, std::uint8_t* out) { std::copy_n(pixels.begin() + std::ptrdiff_t(900 * std::size_t(y)), 900, out); },
        [&](std::span<const std::uint8_t>) { return ++calls < 6; }, threads));
    EXPECT_EQ(calls, 6) << threads;
  }
}

}  // namespace
