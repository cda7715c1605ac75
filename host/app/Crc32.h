#pragma once
// KvCrc32: the CRC-32 of zlib and PNG (reflected polynomial 0xEDB88320,
// initial value and final xor 0xFFFFFFFF), which guards document chunks.
// Pass the previous result as crc to continue over more bytes.

#include <cstdint>
#include <span>

std::uint32_t KvCrc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);
