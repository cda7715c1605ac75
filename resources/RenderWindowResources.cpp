#include "resources/RenderWindowResources.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace {

constexpr unsigned kRenderWindow = 12000;
constexpr unsigned kHandCursor = 132;
constexpr unsigned kBackgroundPattern = 6001;

KvMenuItem Command(const wchar_t* text, int id) { return KvMenuItem{TK_wString(text), id, {}}; }
KvMenuItem Separator() { return KvMenuItem{}; }

KvMenuItem BuildRenderWindowMenu() {
  using namespace render_commands;
  KvMenuItem zoom{TK_wString(L"&Zoom[[0201]]"), 0, {}};
  for (int z = 10; z >= 2; --z)
    zoom.items.push_back(Command((L"In " + std::to_wstring(z) + L"x").c_str(), kZoomIn2x + z - 2));
  zoom.items.push_back(Separator());
  zoom.items.push_back(Command(L"&Normal Viewing 1:1", kNormalViewing));
  zoom.items.push_back(Separator());
  for (int z = 2; z <= 10; ++z)
    zoom.items.push_back(Command((L"Out " + std::to_wstring(z) + L"x").c_str(), kZoomOut2x + z - 2));
  KvMenuItem help{TK_wString(L"&Help"), 0, {Command(L"Display Help", kDisplayHelp)}};
  help.right_justified = true;
  return KvMenuItem{TK_wString(), 0,
                    {KvMenuItem{TK_wString(L"&File"), 0,
                                {Command(L"Save &As...", kSaveAs), Command(L"&Print", kPrint), Separator(),
                                 Command(L"E&xit", kExit)}},
                     KvMenuItem{TK_wString(L"&Edit[[0067]]"), 0, {Command(L"&Copy[[0144]]", kCopy)}}, zoom, help}};
}

// A moth with dusky wings spread over a pale moon, drawn at any size by
// sampling each pixel's centre: the same picture serves 32 and 16 pixels.
KvPixmap DrawMoth(int size) {
  KvPixmap picture{size, size, std::vector<std::uint32_t>(std::size_t(size) * std::size_t(size), 0)};
  const auto inside_ellipse = [](double x, double y, double cx, double cy, double rx, double ry, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    const double u = ((x - cx) * c + (y - cy) * s) / rx, v = (-(x - cx) * s + (y - cy) * c) / ry;
    return u * u + v * v <= 1.0;
  };
  for (int py = 0; py < size; ++py)
    for (int px = 0; px < size; ++px) {
      // Unit coordinates: -1 .. 1 across the picture, y downward.
      const double x = (px + 0.5) / size * 2 - 1, y = (py + 0.5) / size * 2 - 1;
      const double ax = std::abs(x);  // the moth is symmetric
      std::uint32_t colour = 0;
      if (x * x + y * y <= 0.96) colour = 0xFFF2E3B3;  // the moon
      if (inside_ellipse(ax, y, 0.45, -0.18, 0.52, 0.30, -0.35)) colour = 0xFF5B4A78;  // fore wing
      if (inside_ellipse(ax, y, 0.30, 0.38, 0.34, 0.24, 0.45)) colour = 0xFF463A60;    // hind wing
      if (inside_ellipse(ax, y, 0.55, -0.22, 0.12, 0.10, 0.0)) colour = 0xFFD9C6F0;    // eye spot
      if (inside_ellipse(x, y, 0.0, 0.05, 0.09, 0.55, 0.0)) colour = 0xFF201A2C;       // body
      if (y < -0.45 && std::abs(ax - (-0.45 - y) * 0.6) < 0.05) colour = 0xFF201A2C;   // antennae
      picture.argb[std::size_t(py) * std::size_t(size) + std::size_t(px)] = colour;
    }
  return picture;
}

KvCursorShape BuildHandCursor() {
  // '#' black outline, '.' white palm, blank transparent.
  static constexpr std::string_view kArt[32] = {
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "               ##               ",
    "           ## #..###            ",
    "          #..##..#..#           ",
    "          #..##..#..# #         ",
    "           #..#..#..##.#        ",
    "           #..#..#..#..#        ",
    "         ## #.......#..#        ",
    "        #..##..........#        ",
    "        #...#.........#         ",
    "         #.............#        ",
    "          #............#        ",
    "          #...........#         ",
    "           #..........#         ",
    "           #.........#          ",
    "            #........#          ",
    "            #........#          ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
  };
  KvCursorShape hand{KvPixmap{32, 32, std::vector<std::uint32_t>(32 * 32, 0)}, POINT{17, 17}};
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const char c = kArt[y][std::size_t(x)];
      hand.picture.argb[std::size_t(y) * 32 + std::size_t(x)] = c == '#' ? 0xFF000000u : c == '.' ? 0xFFFFFFFFu : 0u;
    }
  return hand;
}

// Two diagonals forming an X in (191, 153, 157) on a ground of (178, 178, 178).
KvPixmap BuildBackgroundPattern() {
  KvPixmap pattern{8, 8, std::vector<std::uint32_t>(64, OpaqueArgb(MakeColorRef(178, 178, 178)))};
  for (int i = 0; i < 8; ++i) {
    pattern.argb[std::size_t(i) * 8 + std::size_t(i)] = OpaqueArgb(MakeColorRef(191, 153, 157));
    pattern.argb[std::size_t(i) * 8 + std::size_t(7 - i)] = OpaqueArgb(MakeColorRef(191, 153, 157));
  }
  return pattern;
}

}  // namespace

const KvMenuItem* LoadMenuResource(unsigned id) {
  static const KvMenuItem menu = BuildRenderWindowMenu();
  return id == kRenderWindow ? &menu : nullptr;
}

const KvIcon* LoadIconResource(unsigned id) {
  static const KvIcon icon{{DrawMoth(32), DrawMoth(16)}};
  return id == kRenderWindow ? &icon : nullptr;
}

const KvCursorShape* LoadCursorResource(unsigned id) {
  static const KvCursorShape hand = BuildHandCursor();
  return id == kHandCursor ? &hand : nullptr;
}

const KvPixmap* LoadBitmapResource(unsigned id) {
  static const KvPixmap pattern = BuildBackgroundPattern();
  return id == kBackgroundPattern ? &pattern : nullptr;
}
