#include "engine/WallpaperBackground.h"

#include <cstddef>
#include <cstdint>

namespace {

// Grey with the renderer's own weights (0.111 blue, 0.589 green).
void MakeGrey(COruDib& image) {
  unsigned char* bits = image.FindDIBBits();
  for (int y = 0; y < image.Height(); ++y) {
    unsigned char* p = bits + std::size_t(y) * std::size_t(image.GetStorageWidth());
    for (int x = 0; x < image.Width(); ++x, p += 3) {
      const auto g = std::uint8_t(0.299 * p[2] + 0.111 * p[0] + 0.589 * p[1]);
      p[0] = p[1] = p[2] = g;
    }
  }
}

}  // namespace

SIZE ScaledWallpaperSize(int width, int height, int wb, int hb, bool stretch) {
  if (stretch) return SIZE{width, height};
  SIZE size;
  if (wb <= hb) {
    const double t = double(wb) / hb * height;
    size = t <= width ? SIZE{int(t) + 3, height} : SIZE{width + 3, int(double(width) * hb / wb)};
  } else {
    const double t = double(hb) / wb * width;
    size = t <= height ? SIZE{width + 3, int(t)} : SIZE{int(double(height) * wb / hb) + 3, height};
  }
  size.cx &= ~3;
  return size;
}

std::unique_ptr<CKavraDib> MakeWallpaperBackground(int width, int height, const TK_wString& file_name, bool grey,
                                                   bool stretch, COLORREF background_colour) {
  if (file_name.IsEmpty() || width < 1 || height < 1) return nullptr;
  CKavraDib wallpaper;
  if (!wallpaper.ReadFromFile(file_name) || !wallpaper.DCSelectBitmap(true)) return nullptr;
  const SIZE size = ScaledWallpaperSize(width, height, wallpaper.Width(), wallpaper.Height(), stretch);
  COruDib scaled;
  if (size.cx < 1 || size.cy < 1 || !scaled.CreateDib(size.cx, size.cy, 24, true, nullptr)) return nullptr;
  scaled.DC().SetStretchBltMode(HALFTONE);
  scaled.DC().StretchBlt(0, 0, size.cx, size.cy, &wallpaper.DC(), 0, 0, wallpaper.Width(), wallpaper.Height(),
                         SRCCOPY);
  if (grey) MakeGrey(scaled);
  wallpaper.DestroyDib();

  auto background = std::make_unique<CKavraDib>();
  if (!background->CreateDib(width, height, 24, true, nullptr)) return nullptr;
  background->DC().FillSolidRect(0, 0, width, height, background_colour);
  background->DC().BitBlt((width - size.cx) / 2, (height - size.cy) / 2, size.cx, size.cy, &scaled.DC(), 0, 0,
                          SRCCOPY);
  return background;
}
