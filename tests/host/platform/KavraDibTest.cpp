#include "host/platform/KavraDib.h"
#include "host/platform/ImageChecks.h"

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <csignal>
#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

#include "host/platform/DibPixels.h"
#include "host/Files.h"
#include "support/TempDir.h"

namespace {

TK_wString Wide(const std::filesystem::path& p) { return TK_wString::FromUtf8(p.string()); }

void Noise(CKavraDib& dib, int w, int h, int bits, unsigned seed) {
  ASSERT_TRUE(dib.CreateDib(w, h, bits, true, nullptr));
  std::mt19937 random(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      dib.DC().FillSolidRect(x, y, 1, 1, COLORREF(random() & 0xFFFFFF));
}

// A grey (1 channel) or grey + alpha (2 channels) PNG written by stb.
bool WriteGreyPng(const std::filesystem::path& p, int w, int h, int channels,
                  unsigned char grey, unsigned char alpha = 255) {
  std::vector<unsigned char> px(std::size_t(w) * h * channels, grey);
  if (channels == 2)
    for (std::size_t i = 1; i < px.size(); i += 2) px[i] = alpha;
  return stbi_write_png(p.c_str(), w, h, channels, px.data(), w * channels) != 0;
}

class KavraDibFiles : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(dir.Ok()); }
  TempDir dir;
};

// Every format the host writes reads back at full size; the lossless ones
// exactly, JPEG within its quantisation. The extension picks the format,
// whatever its case, and paths may hold any character.
struct Format {
  const char* name;
  int tolerance;
};

void PrintTo(const Format& c, std::ostream* os) { *os << c.name; }

class ImageFormat : public testing::TestWithParam<Format> {
protected:
  TempDir dir;
};

TEST_P(ImageFormat, WrittenImagesReadBack) {
  for (int bits : {24, 32}) {
    CKavraDib out, in;
    Noise(out, 7, 5, bits, 11);  // odd width: padded 24-bit rows
    const TK_wString path = Wide(dir.Path()) + L"/" + TK_wString::FromUtf8(GetParam().name);
    ASSERT_TRUE(out.WriteToFile(path));
    EXPECT_EQ(out.LastSaveName(), path);
    ASSERT_TRUE(in.ReadFromFile(path));
    ASSERT_EQ(std::tuple(in.BitsPerPixel(), in.Width(), in.Height()), std::tuple(24, 7, 5));
    if (GetParam().tolerance == 0) {
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) ASSERT_EQ(PixelAt(in, x, y), PixelAt(out, x, y)) << bits;
      continue;
    }
    // Noise does not survive JPEG: compare the mean, which quantisation keeps.
    double mean_in = 0, mean_out = 0;
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) {
        mean_in += GetRValue(PixelAt(in, x, y)) + GetGValue(PixelAt(in, x, y)) + GetBValue(PixelAt(in, x, y));
        mean_out += GetRValue(PixelAt(out, x, y)) + GetGValue(PixelAt(out, x, y)) + GetBValue(PixelAt(out, x, y));
      }
    EXPECT_NEAR(mean_in / 105, mean_out / 105, GetParam().tolerance) << bits;
  }
}

INSTANTIATE_TEST_SUITE_P(Host, ImageFormat,
                         testing::Values(Format{"a.png", 0}, Format{"b.bmp", 0}, Format{"c.tga", 0},
                                         Format{"D.PnG", 0}, Format{"bild-\u00e4\u4e2d.png", 0},
                                         Format{"g.jpg", 8}, Format{"h.JPEG", 8}),
                         [](const auto& info) { return "Format" + std::to_string(info.index); });

TEST_F(KavraDibFiles, FailedWriteLeavesTheOlderFileAndNoLeftovers) {
  CKavraDib small, big;
  Noise(small, 2, 2, 24, 1);
  Noise(big, 200, 200, 24, 2);  // noise: the PNG is far larger than the limit below
  const auto path = dir / "keep.png";
  ASSERT_TRUE(small.WriteToFile(Wide(path)));
  const auto before = FileBytes(path);
  ASSERT_LT(before.size(), 4096u);

  // Writes beyond 4 KiB now fail with EFBIG, a real I/O error mid-file.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited{4096, saved.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool written = big.WriteToFile(Wide(path));
  setrlimit(RLIMIT_FSIZE, &saved);

  EXPECT_TRUE(!written && big.LastSaveName().IsEmpty());
  EXPECT_EQ(FileBytes(path), before);
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
  EXPECT_EQ(files, 1);
}

TEST_F(KavraDibFiles, BadFilesFailAndKeepThePreviousImage) {
  CKavraDib good;
  Noise(good, 20, 20, 24, 3);
  ASSERT_TRUE(good.WriteToFile(Wide(dir / "good.png")));
  const auto png = FileBytes(dir / "good.png");
  WriteFile(dir / "truncated.png", std::vector<std::uint8_t>(png.begin(), png.begin() + long(png.size() / 2)));
  WriteFile(dir / "header-only.png", std::vector<std::uint8_t>(png.begin(), png.begin() + 33));
  WriteFile(dir / "empty.bmp", "");
  std::vector<unsigned char> garbage(4096);
  std::mt19937 random(9);
  for (auto& b : garbage) b = static_cast<unsigned char>(random());
  WriteFile(dir / "garbage.jpg", garbage);
  auto flipped = png;
  for (std::size_t i = 40; i < flipped.size(); i += 3) flipped[i] ^= 0x5A;
  WriteFile(dir / "corrupt.png", flipped);
  ASSERT_EQ(mkfifo((dir / "fifo.png").c_str(), 0600), 0);  // nobody writes: reading it must not wait

  CKavraDib dib;
  ASSERT_TRUE(dib.ReadFromFile(Wide(dir / "good.png")));
  for (const char* name : {"truncated.png", "header-only.png", "empty.bmp", "garbage.jpg",
                           "corrupt.png", "missing.png", "fifo.png", ""}) {
    EXPECT_FALSE(dib.ReadFromFile(Wide(dir / name))) << name;  // "" names the directory
    ASSERT_EQ(dib.Width(), 20);
    EXPECT_EQ(PixelAt(dib, 7, 3), PixelAt(good, 7, 3));
  }
  EXPECT_FALSE(dib.ReadFromMemory(nullptr, 10));
}

TEST_F(KavraDibFiles, OversizedImagesAreRefusedFromTheHeader) {
  CKavraDib dib;
  ASSERT_TRUE(WriteGreyPng(dir / "widest.png", CKavraDib::kMaxReadSide, 1, 1, 9));
  ASSERT_TRUE(WriteGreyPng(dir / "too-wide.png", CKavraDib::kMaxReadSide + 1, 1, 1, 9));
  EXPECT_TRUE(dib.ReadFromFile(Wide(dir / "widest.png")));
  EXPECT_FALSE(dib.ReadFromFile(Wide(dir / "too-wide.png")));
  EXPECT_EQ(dib.Width(), CKavraDib::kMaxReadSide);  // unchanged by the refusal

  // Valid, each side allowed, but more pixels than the cap.
  ASSERT_TRUE(WriteGreyPng(dir / "too-many.png", 4096, int(CKavraDib::kMaxReadPixels / 4096) + 1, 1, 0));
  EXPECT_FALSE(dib.ReadFromFile(Wide(dir / "too-many.png")));

  // TGA, run-length (type 10) or plain (type 2), 24 bits, origin top-left.
  const auto tga = [](std::uint8_t type, int width, int height, std::vector<unsigned char> data) {
    std::vector<unsigned char> file = {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, std::uint8_t(width), std::uint8_t(width >> 8),
                                       std::uint8_t(height), std::uint8_t(height >> 8), 24, 0x20};
    for (const unsigned char b : data) file.push_back(b);
    return file;
  };
  const std::vector<unsigned char> honest = tga(10, 4, 2, {0x87, 10, 20, 30});   // 8 pixels of one colour
  const std::vector<unsigned char> bomb = tga(10, 4000, 4000, {0xFF, 10, 20, 30});  // 22 bytes for 16 megapixels
  const std::vector<unsigned char> plain = tga(2, 2, 1, {1, 2, 3, 4, 5, 6});
  const std::vector<unsigned char> cut_short = tga(2, 3854, 3799, {1, 2, 3});  // 21 bytes for 14.6 megapixels
  std::vector<unsigned char> headless = tga(10, 5371, 2560, {});  // 17 bytes for 13.7 megapixels
  headless.pop_back();
  for (const auto& sound : {honest, plain}) {
    ASSERT_TRUE(dib.ReadFromMemory(sound.data(), sound.size()));
    EXPECT_EQ(dib.Width() * dib.Height(), sound == honest ? 8 : 2);
  }
  for (const auto& refused : {bomb, cut_short, headless}) EXPECT_FALSE(dib.ReadFromMemory(refused.data(), refused.size()));

  // A bare header claiming 100000 x 100000.
  const std::vector<unsigned char> header = {
      0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
      0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0, 8, 2, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(dib.ReadFromMemory(header.data(), header.size()));
}

// A BMP stored top row first (negative height) reads the right way up.
TEST(KavraDib, TopDownBmpReads) {
  std::vector<unsigned char> bmp = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0,
                                    0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 24, 0};
  bmp.resize(54);
  for (const unsigned char b : {10, 20, 30, 40, 50, 60, 0, 0, 70, 80, 90, 100, 110, 120, 0, 0}) bmp.push_back(b);
  CKavraDib dib;
  ASSERT_TRUE(dib.ReadFromMemory(bmp.data(), bmp.size()));
  EXPECT_EQ(std::pair(dib.Width(), dib.Height()), std::pair(2, 2));
  EXPECT_EQ(PixelAt(dib, 0, 0), MakeColorRef(30, 20, 10));  // the first stored pixel, blue first
  EXPECT_EQ(PixelAt(dib, 1, 1), MakeColorRef(120, 110, 100));
}

// Files the image library crashes on (a PIC cut short), hangs on (an empty
// HDR literal packet), writes past a table for (a JPEG Huffman table of 4080
// codes, or 257 after 0xFF fill bytes before the start of the image),
// decodes with memory it never set (a JPEG scan without tables),
// allocates the declared length for (a PNG chunk of 1.5 GiB in a small
// file), overflows int on (a PNM side of ten digits) or reads past its
// pixels for (16-bit grey PNM); beside some, a sound file that reads.
TEST(KavraDib, FilesTheImageLibraryMishandlesAreRefused) {
  using Bytes = std::vector<unsigned char>;
  const auto join = [](std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  const auto text = [](std::string_view t) { return Bytes(t.begin(), t.end()); };
  const Bytes pic_head = join({{0x53, 0x80, 0xF6, 0x34}, Bytes(84), text("PICT"), {0, 4, 0, 4, 0x3F, 0x80, 0, 0, 0, 3, 0, 0}});
  const Bytes hdr_head = text("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 8\n");
  Bytes hdr;  // stb writes 8 or more pixels a row run-length encoded
  const float hdr_pixels[24] = {0.5f, 0.25f, 1.0f};
  stbi_write_hdr_to_func([](void* out, void* data, int n) {
    static_cast<Bytes*>(out)->insert(static_cast<Bytes*>(out)->end(), static_cast<unsigned char*>(data),
                                     static_cast<unsigned char*>(data) + n);
  }, &hdr, 8, 1, 3, hdr_pixels);
  const Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1, 0, 0, 0,
                     1, 8, 0, 0, 0, 0, 0x3A, 0x7E, 0x9B, 0x55};
  const struct {
    const char* name;
    Bytes bytes;
    bool reads;
  } files[] = {
      {"pic cut short", join({pic_head, {0, 8, 0, 0xE0, 1, 2, 3}}), false},
      {"hdr empty literal", join({hdr_head, {2, 2, 0, 8, 0}}), false},
      {"hdr header ended by a zero byte", join({text("#?RGBE\nFORMAT=32-bit_rle_rgbe\n"), {0, 'x', '\n'},
                                                text("-Y 1 +X 8\n"), {2, 2, 0, 8, 0}}), false},
      {"hdr", hdr, true},
      {"jpeg 4080 codes", join({{0xFF, 0xD8, 0xFF, 0xC4, 0, 19, 0}, Bytes(16, 255), {0xFF, 0xD9}}), false},
      {"jpeg 257 codes after fill bytes", join({{0xFF, 0xFF, 0xFF, 0xD8, 0xFF, 0xC4, 0x01, 0x14, 0, 255, 2}, Bytes(14 + 257),
                                                {0xFF, 0xD9}}), false},
      {"jpeg scan without tables", join({{0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0, 2, 0, 2, 1, 1, 0x11, 0},
                                         {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0}, Bytes(16, 0x5A), {0xFF, 0xD9}}), false},
      {"png chunk past the end", join({png, {0x60, 0, 0, 0}, text("IDAT"), Bytes(8)}), false},
      {"pnm ten digits", text("P6\n9999999999 1\n255\n"), false},
      {"pnm 16-bit grey", join({text("P5 4 2 256\n"), Bytes(16, 1)}), false},
      {"pnm", join({text("P6 # comment\n3 1\n255\n"), Bytes(9, 200)}), true},
  };
  for (const auto& f : files) {
    CKavraDib dib;
    EXPECT_EQ(dib.ReadFromMemory(f.bytes.data(), f.bytes.size()), f.reads) << f.name;
    // Refused before the library sees them (the image may fail later anyway).
    EXPECT_EQ(image_checks::SafeToDecode(f.bytes.data(), f.bytes.size()), f.reads) << f.name;
  }
}

}  // namespace
