#pragma once
// A 128-bit identifier in the registry form "61A1375D-8F84-43b5-826D-2D6FAE6E6535";
// names classes, user data and plug-ins. A plain value.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct TK_UUID {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::array<std::uint8_t, 8> Data4{};

  // Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (either letter case, optional
  // braces); nothing for any other text.
  static std::optional<TK_UUID> FromString(std::string_view text);
  // Upper-case registry form without braces.
  std::string ToString() const;
  bool IsNil() const { return *this == TK_UUID{}; }
  bool operator==(const TK_UUID&) const = default;
};
