#pragma once
// A packed RGB colour of the toolkit: red in the low byte, then green, then
// blue (the fourth byte is kept but unused). Fractions are byte / 255.

#include <array>
#include <cstdint>

class TK_Color {
public:
  constexpr TK_Color() = default;
  constexpr explicit TK_Color(std::uint32_t packed) : value_(packed) {}
  constexpr TK_Color(int red, int green, int blue)
      : value_(std::uint32_t(Clamp(red)) | std::uint32_t(Clamp(green)) << 8 | std::uint32_t(Clamp(blue)) << 16) {}

  constexpr std::uint32_t Value() const { return value_; }
  constexpr explicit operator std::uint32_t() const { return value_; }
  constexpr int Red() const { return int(value_ & 0xFF); }
  constexpr int Green() const { return int((value_ >> 8) & 0xFF); }
  constexpr int Blue() const { return int((value_ >> 16) & 0xFF); }
  constexpr double FractionRed() const { return kFractions[std::size_t(Red())]; }
  constexpr double FractionGreen() const { return kFractions[std::size_t(Green())]; }
  constexpr double FractionBlue() const { return kFractions[std::size_t(Blue())]; }
  constexpr bool operator==(const TK_Color&) const = default;

private:
  // Shading asks for fractions of every hit's colours: a table the compiler
  // fills by the same division, instead of a division each time.
  static constexpr std::array<double, 256> kFractions = [] {
    std::array<double, 256> f{};
    for (int i = 0; i < 256; ++i) f[std::size_t(i)] = i / 255.0;
    return f;
  }();
  static constexpr int Clamp(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
  std::uint32_t value_ = 0;
};
