#include "host/platform/KavraDib.h"

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <csignal>
#include <cstdint>
#include <random>
#include <vector>

#include <sys/resource.h>

#include "host/platform/DibPixels.h"
#include "support/Files.h"
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

TEST_F(KavraDibFiles, LosslessFormatsRoundTripExactly) {
  for (int bits : {24, 32})
    for (const char* name : {"a.png", "b.bmp", "c.tga", "D.PnG"}) {
      CKavraDib out, in;
      Noise(out, 7, 5, bits, 11);  // odd width: padded 24-bit rows
      const auto path = dir / name;
      ASSERT_TRUE(out.WriteToFile(Wide(path))) << name;
      EXPECT_EQ(out.LastSaveName(), Wide(path));
      ASSERT_TRUE(in.ReadFromFile(Wide(path))) << name;
      EXPECT_EQ(in.BitsPerPixel(), 24);
      ASSERT_EQ(in.Width(), 7);
      ASSERT_EQ(in.Height(), 5);
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) ASSERT_EQ(PixelAt(in, x, y), PixelAt(out, x, y)) << name << bits;
    }
}

TEST_F(KavraDibFiles, JpegRoundTripsWithinTolerance) {
  CKavraDib out, in;
  ASSERT_TRUE(out.CreateDib(32, 24, 32, true, nullptr));
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x)
      out.DC().FillSolidRect(x, y, 1, 1, MakeColorRef(std::uint8_t(x * 8), std::uint8_t(y * 10), 128));
  for (const char* name : {"g.jpg", "h.JPEG"}) {
    ASSERT_TRUE(out.WriteToFile(Wide(dir / name)));
    ASSERT_TRUE(in.ReadFromFile(Wide(dir / name)));
    ASSERT_EQ(in.Width(), 32);
    ASSERT_EQ(in.Height(), 24);
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 32; ++x) {
        const COLORREF a = PixelAt(in, x, y), b = PixelAt(out, x, y);
        ASSERT_NEAR(GetRValue(a), GetRValue(b), 8);
        ASSERT_NEAR(GetGValue(a), GetGValue(b), 8);
        ASSERT_NEAR(GetBValue(a), GetBValue(b), 8);
      }
  }
}

TEST_F(KavraDibFiles, UnknownExtensionsAndEmptyBitmapsAreNotWritten) {
  CKavraDib dib;
  EXPECT_FALSE(dib.WriteToFile(Wide(dir / "empty.png")));
  Noise(dib, 2, 2, 24, 1);
  for (const char* name : {"x.gif", "x", "dir.png/x", "x.png.txt"})
    EXPECT_FALSE(dib.WriteToFile(Wide(dir / name))) << name;
  EXPECT_TRUE(dib.LastSaveName().IsEmpty());
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST_F(KavraDibFiles, NonAsciiPathsWork) {
  CKavraDib out, in;
  Noise(out, 3, 3, 24, 5);
  const TK_wString path = Wide(dir.Path()) + TK_wString(L"/bild-\u00e4\u4e2d.png");
  ASSERT_TRUE(out.WriteToFile(path));
  ASSERT_TRUE(in.ReadFromFile(path));
  EXPECT_EQ(PixelAt(in, 2, 1), PixelAt(out, 2, 1));
}

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
  rlimit limited = saved;
  limited.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool written = big.WriteToFile(Wide(path));
  setrlimit(RLIMIT_FSIZE, &saved);

  EXPECT_FALSE(written);
  EXPECT_EQ(FileBytes(path), before);
  EXPECT_EQ(big.LastSaveName(), TK_wString());
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++files;
  EXPECT_EQ(files, 1);
}

TEST_F(KavraDibFiles, GreyAndGreyAlphaImagesReadAsColour) {
  ASSERT_TRUE(WriteGreyPng(dir / "grey.png", 3, 2, 1, 77));
  ASSERT_TRUE(WriteGreyPng(dir / "grey-alpha.png", 3, 2, 2, 200, 0));  // fully transparent
  CKavraDib dib;
  ASSERT_TRUE(dib.ReadFromFile(Wide(dir / "grey.png")));
  EXPECT_EQ(PixelAt(dib, 2, 1), MakeColorRef(77, 77, 77));
  ASSERT_TRUE(dib.ReadFromFile(Wide(dir / "grey-alpha.png")));
  EXPECT_EQ(PixelAt(dib, 0, 0), MakeColorRef(200, 200, 200));  // alpha dropped, not applied
}

TEST_F(KavraDibFiles, PaletteBitmapReadsAsColourTopRowFirst) {
  // 3x2, 8 bits with a 3-colour palette, rows stored bottom-up and padded to 4 bytes.
  const std::vector<unsigned char> bmp = {
      'B', 'M', 74, 0, 0, 0, 0, 0, 0, 0, 66, 0, 0, 0,   // file header, pixels at 66
      40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 8, 0,  // 3 x 2, 1 plane, 8 bits
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   // no compression
      3, 0, 0, 0, 0, 0, 0, 0,                           // 3 colours used
      0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0,         // red, green, blue (B, G, R, 0)
      2, 2, 0, 0,                                       // bottom row: blue blue red
      0, 1, 2, 0};                                      // top row: red green blue
  CKavraDib dib;
  ASSERT_TRUE(dib.ReadFromMemory(bmp.data(), bmp.size()));
  ASSERT_EQ(dib.Width(), 3);
  ASSERT_EQ(dib.Height(), 2);
  const COLORREF red = MakeColorRef(255, 0, 0), green = MakeColorRef(0, 255, 0),
                 blue = MakeColorRef(0, 0, 255);
  EXPECT_EQ(PixelAt(dib, 0, 0), red);
  EXPECT_EQ(PixelAt(dib, 1, 0), green);
  EXPECT_EQ(PixelAt(dib, 2, 0), blue);
  EXPECT_EQ(PixelAt(dib, 0, 1), blue);
  EXPECT_EQ(PixelAt(dib, 2, 1), red);
}

TEST_F(KavraDibFiles, HdrIsClampedToTheByteRange) {
  const float px[] = {0.0f, 0.25f, 2.0f, 1.0f, 16.0f, 0.5f};  // 2x1 RGB
  ASSERT_TRUE(stbi_write_hdr((dir / "light.hdr").c_str(), 2, 1, 3, px));
  CKavraDib dib;
  ASSERT_TRUE(dib.ReadFromFile(Wide(dir / "light.hdr")));
  EXPECT_EQ(dib.BitsPerPixel(), 24);
  EXPECT_EQ(PixelAt(dib, 0, 0), MakeColorRef(0, 64, 255));
  EXPECT_EQ(PixelAt(dib, 1, 0), MakeColorRef(255, 255, 128));
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

  CKavraDib dib;
  ASSERT_TRUE(dib.ReadFromFile(Wide(dir / "good.png")));
  for (const char* name : {"truncated.png", "header-only.png", "empty.bmp", "garbage.jpg",
                           "corrupt.png", "missing.png", ""}) {
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
  ASSERT_TRUE(WriteGreyPng(dir / "too-many.png", CKavraDib::kMaxReadSide, 4097, 1, 0));
  EXPECT_FALSE(dib.ReadFromFile(Wide(dir / "too-many.png")));

  // A bare header claiming 100000 x 100000.
  const std::vector<unsigned char> header = {
      0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
      0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0, 8, 2, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(dib.ReadFromMemory(header.data(), header.size()));
}

}  // namespace
