#include "apps/duskmoth/DemoMaps.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

#include "host/platform/KavraDib.h"

namespace demo_maps {
namespace {

struct Rgb {
  double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

double Smooth(double t) {
  t = std::clamp(t, 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// Value noise from an integer hash, periodic with `period` cells so that
// the maps tile without seams.
double Hash(int x, int y) {
  std::uint32_t h = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return double(h ^ (h >> 16)) / 4294967295.0;
}

double Noise(double x, double y, int period) {
  const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
  const auto at = [period](int i, int j) { return Hash((i % period + period) % period, (j % period + period) % period); };
  const double sx = Smooth(x - x0), sy = Smooth(y - y0);
  const double a = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
  const double b = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
  return a + (b - a) * sy;
}

// u and v at pixel centres, v growing upward.
bool Write(const std::filesystem::path& path, int size, const std::function<Rgb(double u, double v)>& shade) {
  CKavraDib image;
  if (!image.CreateDib(size, size, 24, true, nullptr)) return false;
  for (int row = 0; row < size; ++row) {
    // Rows are stored bottom-up: the first row in memory is v near 0.
    unsigned char* p = image.FindDIBBits() + std::size_t(row) * std::size_t(image.GetStorageWidth());
    for (int x = 0; x < size; ++x, p += 3) {
      const Rgb c = shade((x + 0.5) / size, (row + 0.5) / size);
      p[0] = std::uint8_t(std::clamp(c.b, 0.0, 1.0) * 255 + 0.5);
      p[1] = std::uint8_t(std::clamp(c.g, 0.0, 1.0) * 255 + 0.5);
      p[2] = std::uint8_t(std::clamp(c.r, 0.0, 1.0) * 255 + 0.5);
    }
  }
  return image.WriteToFile(TK_wString::FromUtf8(path.string()));
}

// Four by four tiles per image: distance from the nearest grout line, 0 on
// the line, 0.5 in the middle of a tile, and which tile it is.
double GroutDistance(double u, double v, int& tile) {
  const auto edge = [](double t) {
    const double f = t * 4 - std::floor(t * 4);
    return std::min(f, 1 - f);
  };
  tile = int(u * 4) + 4 * int(v * 4);
  return std::min(edge(u), edge(v));
}

Rgb Tiles(double u, double v) {
  int tile = 0;
  const double d = GroutDistance(u, v, tile);
  const Rgb grout{0.62, 0.60, 0.56};
  // Terracotta and cream in a checker, each tile a little different.
  const bool dark = (tile + tile / 4) % 2 != 0;
  const double shade = 0.9 + 0.2 * Hash(tile, 7);
  const Rgb base = dark ? Rgb{0.66 * shade, 0.33 * shade, 0.20 * shade} : Rgb{0.90 * shade, 0.84 * shade, 0.70 * shade};
  const double mottle = 0.10 * (Noise(u * 48, v * 48, 48) - 0.5);
  const Rgb tile_colour{base.r + mottle, base.g + mottle, base.b + mottle};
  return Mix(grout, tile_colour, Smooth(d / 0.035));
}

Rgb TilesHeight(double u, double v) {
  int tile = 0;
  const double groove = Smooth(GroutDistance(u, v, tile) / 0.035);
  const double g = 0.2 + 0.7 * groove + 0.06 * (Noise(u * 32, v * 32, 32) - 0.5);
  return {g, g, g};
}

// A mirror ball's view down -z of a world with +z up: sky with a sun and
// clouds above the horizon, warm ground below.
Rgb Sky(double u, double v) {
  const double x = 2 * u - 1, y = 2 * v - 1, r2 = x * x + y * y;
  if (r2 > 1) return {0.1, 0.1, 0.12};
  // The reflection of the eye ray (0, 0, -1) off the ball's normal
  // (x, y, nz) rises by 2 nz y.
  const double up = 2 * std::sqrt(1 - r2) * y;
  if (up < 0) return Mix(Rgb{0.80, 0.70, 0.55}, Rgb{0.55, 0.42, 0.30}, std::clamp(-up * 2, 0.0, 1.0));
  Rgb c = Mix(Rgb{0.88, 0.92, 0.96}, Rgb{0.22, 0.42, 0.80}, std::pow(up, 0.6));
  const double cloud = std::clamp((Noise(u * 10, v * 10, 10) - 0.5) * 3, 0.0, 1.0) * up;
  c = Mix(c, Rgb{1, 1, 1}, cloud * 0.7);
  const double sx = x - 0.35, sy = y - 0.55;
  return Mix(c, Rgb{1.0, 0.97, 0.86}, std::exp(-(sx * sx + sy * sy) * 120));
}

}  // namespace

bool WriteAll(const std::filesystem::path& folder) {
  return Write(folder / kTiles, 512, Tiles) && Write(folder / kTilesHeight, 512, TilesHeight) &&
         Write(folder / kSky, 256, Sky);
}

}  // namespace demo_maps
