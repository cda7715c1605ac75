#pragma once
// The Win32 vocabulary the plug-in is written in (integer types, handles,
// MSG, COLORREF), declared here so that no Windows header is ever needed.
// Handles are opaque ids issued by the platform stand-ins; they own nothing.

#include <cstdint>

using UINT = unsigned int;
using DWORD = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

using HANDLE = void*;
struct HWND__;
using HWND = HWND__*;

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

inline constexpr UINT WM_USER = 0x0400;
// A wait time that never runs out.
inline constexpr DWORD INFINITE = 0xFFFFFFFF;

// Sizes, points and rectangles in pixels; a rectangle's right and bottom
// lie just outside it.
struct SIZE {
  int cx = 0;
  int cy = 0;
  bool operator==(const SIZE&) const = default;
};
struct POINT {
  int x = 0;
  int y = 0;
  bool operator==(const POINT&) const = default;
};
struct RECT {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const RECT&) const = default;
};

// Red in the low byte, then green, then blue; the high byte stays zero.
using COLORREF = std::uint32_t;

constexpr COLORREF MakeColorRef(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return COLORREF(red) | (COLORREF(green) << 8) | (COLORREF(blue) << 16);
}
constexpr std::uint8_t GetRValue(COLORREF c) { return std::uint8_t(c & 0xFF); }
constexpr std::uint8_t GetGValue(COLORREF c) { return std::uint8_t((c >> 8) & 0xFF); }
constexpr std::uint8_t GetBValue(COLORREF c) { return std::uint8_t((c >> 16) & 0xFF); }
