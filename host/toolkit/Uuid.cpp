#include "host/toolkit/Uuid.h"

#include <cstdio>

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::optional<TK_UUID> TK_UUID::FromString(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36) return std::nullopt;
  std::array<std::uint8_t, 16> bytes{};
  size_t b = 0;
  for (size_t i = 0; i < text.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    const int hi = HexValue(text[i]);
    const int lo = HexValue(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[b++] = std::uint8_t(hi * 16 + lo);
    i += 2;
  }
  TK_UUID id;
  id.Data1 = std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
  id.Data2 = std::uint16_t(bytes[4] << 8 | bytes[5]);
  id.Data3 = std::uint16_t(bytes[6] << 8 | bytes[7]);
  for (int i = 0; i < 8; ++i) id.Data4[size_t(i)] = bytes[size_t(8 + i)];
  return id;
}

std::string TK_UUID::ToString() const {
  char text[40];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", unsigned(Data1),
                unsigned(Data2), unsigned(Data3), Data4[0], Data4[1], Data4[2], Data4[3], Data4[4], Data4[5],
                Data4[6], Data4[7]);
  return text;
}
