// Writes the example scenes' maps as PNG files into the folder given on the
// command line: a checker and a wood texture, a tile height map for bump
// mapping, a sphere-mapped sky for environment mapping and a transparency
// mask. Everything is computed here, deterministically, so the images can be
// made again bit for bit.
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

struct Rgb { double r, g, b; };

Rgb Mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

// Value noise from an integer hash: smooth, repeatable, no library random generator.
double Hash(int x, int y) {
  std::uint32_t h = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return double(h ^ (h >> 16)) / 4294967295.0;
}

// Periodic with `period` cells, so textures built from it tile seamlessly.
double Noise(double x, double y, int period) {
  const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
  const double fx = x - x0, fy = y - y0;
  auto at = [&](int i, int j) { return Hash(((i % period) + period) % period, ((j % period) + period) % period); };
  const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const double a = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
  const double b = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
  return a + (b - a) * sy;
}

bool Write(const std::filesystem::path& folder, const char* name, int w, int h,
           const std::function<Rgb(double u, double v)>& shade) {
  std::vector<std::uint8_t> pixels(std::size_t(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      // u, v at pixel centres; v grows upward, image rows run top down.
      const Rgb c = shade((x + 0.5) / w, 1.0 - (y + 0.5) / h);
      std::uint8_t* p = &pixels[(std::size_t(y) * w + x) * 3];
      p[0] = std::uint8_t(std::clamp(c.r, 0.0, 1.0) * 255 + 0.5);
      p[1] = std::uint8_t(std::clamp(c.g, 0.0, 1.0) * 255 + 0.5);
      p[2] = std::uint8_t(std::clamp(c.b, 0.0, 1.0) * 255 + 0.5);
    }
  }
  const std::string path = (folder / name).string();
  if (!stbi_write_png(path.c_str(), w, h, 3, pixels.data(), w * 3)) {
    std::fprintf(stderr, "make_textures: %s: cannot write the file\n", path.c_str());
    return false;
  }
  return true;
}

Rgb Checker(double u, double v) {
  const bool dark = (int(u * 8) + int(v * 8)) % 2 != 0;
  const double grain = 0.06 * (Noise(u * 64, v * 64, 64) - 0.5);
  const Rgb light{0.86, 0.82, 0.74}, deep{0.22, 0.24, 0.30};
  const Rgb c = dark ? deep : light;
  return {c.r + grain, c.g + grain, c.b + grain};
}

// Grooves along the checker's square edges; the squares themselves slightly dimpled.
Rgb Tiles(double u, double v) {
  auto edge = [](double t) {
    const double f = t * 8 - std::floor(t * 8);
    return std::min(f, 1 - f);  // 0 on a grout line, 0.5 mid-tile
  };
  const double d = std::min(edge(u), edge(v));
  const double groove = std::clamp(d / 0.06, 0.0, 1.0);
  const double g = 0.15 + 0.75 * groove * groove * (3 - 2 * groove) + 0.08 * (Noise(u * 32, v * 32, 32) - 0.5);
  return {g, g, g};
}

Rgb Wood(double u, double v) {
  const double x = u - 0.5, y = v * 0.2 - 0.35;  // stretched rings: a plank cut along the grain
  const double warp = 0.08 * Noise(u * 8, v * 8, 8);
  const double ring = std::fmod(std::sqrt(x * x + y * y) * 24 + warp * 24, 1.0);
  const double t = std::pow(0.5 + 0.5 * std::cos(ring * 2 * std::numbers::pi), 3);
  const double fibre = 0.05 * (Noise(u * 128, v * 8, 128) - 0.5);
  const Rgb c = Mix(Rgb{0.72, 0.49, 0.27}, Rgb{0.45, 0.27, 0.13}, t);
  return {c.r + fibre, c.g + fibre, c.b + fibre};
}

// A sphere map: the view of a mirror ball looking down -z of a world with
// +z up: sky above the horizon with a sun, warm ground below.
Rgb Sky(double u, double v) {
  const double x = 2 * u - 1, y = 2 * v - 1, r2 = x * x + y * y;
  if (r2 > 1) return {0.1, 0.1, 0.12};
  // Ball normal n = (x, y, nz), eye ray d = (0, 0, -1): the reflection
  // d - 2 (d.n) n has the upward component 2 nz y (the ball's image has +y up).
  const double nz = std::sqrt(1 - r2);
  const double up = 2 * nz * y;
  if (up < 0) {
    const double t = std::clamp(-up * 3, 0.0, 1.0);
    return Mix(Rgb{0.55, 0.50, 0.42}, Rgb{0.30, 0.24, 0.18}, t);
  }
  Rgb c = Mix(Rgb{0.85, 0.90, 0.95}, Rgb{0.25, 0.45, 0.80}, std::pow(up, 0.6));
  const double sx = x - 0.35, sy = y - 0.55, sun = std::exp(-(sx * sx + sy * sy) * 120);
  const double cloud = std::clamp((Noise(u * 12, v * 12, 12) - 0.55) * 3, 0.0, 1.0) * up;
  c = Mix(c, Rgb{1, 1, 1}, std::clamp(cloud, 0.0, 1.0) * 0.7);
  return Mix(c, Rgb{1.0, 0.97, 0.85}, sun);
}

// A transparency mask: white (opaque) lattice, black (see-through) round holes.
Rgb Holes(double u, double v) {
  const double x = u * 6 - std::floor(u * 6) - 0.5, y = v * 6 - std::floor(v * 6) - 0.5;
  const double d = std::sqrt(x * x + y * y);
  const double g = std::clamp((d - 0.30) / 0.04, 0.0, 1.0);
  return {g, g, g};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_textures OUTPUT_FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const bool ok = Write(folder, "checker.png", 256, 256, Checker) && Write(folder, "tiles_height.png", 256, 256, Tiles) &&
                  Write(folder, "wood.png", 128, 256, Wood) && Write(folder, "sky_sphere.png", 256, 256, Sky) &&
                  Write(folder, "holes.png", 128, 128, Holes);
  return ok ? 0 : 1;
}
