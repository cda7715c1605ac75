#include "host/import/GlbContainer.h"

#include <cstdint>
#include <cstring>
#include <fstream>

namespace glb_container {
namespace {

std::uint32_t Le32(const unsigned char* b) {
  return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
}

}  // namespace

bool Check(const std::filesystem::path& path, std::string& problem) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  std::ifstream in(path, std::ios::binary);
  unsigned char header[12];
  if (ec || !in || !in.read(reinterpret_cast<char*>(header), sizeof header) || std::memcmp(header, "glTF", 4) != 0)
    return true;
  const std::uint64_t total = Le32(header + 8);
  if (total > size) {
    problem = "the binary glTF declares " + std::to_string(total) + " bytes, more than the file's " + std::to_string(size);
    return false;
  }
  // Chunks: a length, a type, then that many bytes.
  for (std::uint64_t at = 12; at < total;) {
    unsigned char chunk[8];
    if (total - at < 8 || !in.seekg(std::streamoff(at)) || !in.read(reinterpret_cast<char*>(chunk), sizeof chunk)) {
      problem = "the binary glTF chunk at byte " + std::to_string(at) + " is cut short";
      return false;
    }
    const std::uint64_t length = Le32(chunk);
    if (length > total - at - 8) {
      problem = "the binary glTF chunk at byte " + std::to_string(at) + " declares " + std::to_string(length) +
                " bytes, more than the file holds";
      return false;
    }
    at += 8 + length;
  }
  return true;
}

}  // namespace glb_container
