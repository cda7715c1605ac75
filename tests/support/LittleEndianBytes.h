#pragma once
// Archive bytes laid down by hand in the documented encodings, so that readers
// are checked against the file format rather than against the writer.

#include <cstdint>
#include <bit>
#include <string>
#include <vector>

struct LittleEndianBytes {
  std::vector<std::uint8_t> bytes;

  LittleEndianBytes& Byte(std::uint8_t b) { return Unsigned(b, 1); }
  LittleEndianBytes& Bytes(std::initializer_list<std::uint8_t> list) {
    bytes.insert(bytes.end(), list);
    return *this;
  }
  LittleEndianBytes& Unsigned(std::uint64_t v, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(std::uint8_t(v >> (8 * i)));
    return *this;
  }
  LittleEndianBytes& Int(std::int32_t v) { return Unsigned(std::uint32_t(v), 4); }
  LittleEndianBytes& Bool(bool v) { return Unsigned(v ? 1 : 0, 1); }
  LittleEndianBytes& Double(double v) { return Unsigned(std::bit_cast<std::uint64_t>(v), 8); }
  LittleEndianBytes& Color(std::uint32_t packed) { return Unsigned(packed, 4); }
  LittleEndianBytes& String(const std::u16string& units) {
    Int(std::int32_t(units.size()));
    for (char16_t u : units) Unsigned(u, 2);
    return *this;
  }
  std::size_t size() const { return bytes.size(); }
};
