#include "host/import/EmbeddedTextures.h"

#include <cstdlib>
#include <cstdio>
#include <vector>

#include "host/app/Crc32.h"
#include "host/platform/FileReplacement.h"
#include "host/platform/KavraDib.h"

namespace embedded_textures {
namespace {

// Named by length and checksum: the same image always lands in the same file.
std::filesystem::path NameFor(std::span<const std::uint8_t> bytes, const std::string& extension) {
  char name[64];
  std::snprintf(name, sizeof name, "%08x-%zu.", unsigned(KvCrc32(bytes)), bytes.size());
  return CacheFolder() / (name + extension);
}

bool SafeExtension(const std::string& extension) {
  if (extension.empty() || extension.size() > 4) return false;
  for (char c : extension)
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

std::filesystem::path CacheFolder() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  // The XDG rules ignore a relative value.
  if (xdg && *xdg && std::filesystem::path(xdg).is_absolute())
    return std::filesystem::path(xdg) / "duskmoth" / "textures";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::filesystem::path(home) / ".cache" / "duskmoth" / "textures";
  return {};
}

std::optional<std::filesystem::path> StoreEncoded(std::span<const std::uint8_t> bytes, const std::string& extension) {
  if (bytes.empty() || CacheFolder().empty()) return std::nullopt;
  const std::filesystem::path file = NameFor(bytes, SafeExtension(extension) ? extension : "img");
  std::error_code ec;
  if (std::filesystem::is_regular_file(file, ec) && std::filesystem::file_size(file, ec) == bytes.size()) return file;
  std::filesystem::create_directories(file.parent_path(), ec);
  if (KvReplaceFile(file, bytes) != 0) return std::nullopt;
  return file;
}

std::optional<std::filesystem::path> StorePixels(std::span<const std::uint32_t> argb, int width, int height) {
  if (width < 1 || height < 1 || argb.size() != std::size_t(width) * std::size_t(height)) return std::nullopt;
  CKavraDib image;
  if (!image.CreateDib(width, height, 24, true, nullptr)) return std::nullopt;
  for (int y = 0; y < height; ++y) {
    unsigned char* row = image.FindDIBBits() + std::size_t(height - 1 - y) * std::size_t(image.GetStorageWidth());
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = argb[std::size_t(y) * std::size_t(width) + std::size_t(x)];
      row[3 * x] = std::uint8_t(p), row[3 * x + 1] = std::uint8_t(p >> 8), row[3 * x + 2] = std::uint8_t(p >> 16);
    }
  }
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(argb.data()), argb.size_bytes());
  const std::filesystem::path file = NameFor(bytes, "png");
  std::error_code ec;
  if (std::filesystem::is_regular_file(file, ec)) return file;
  std::filesystem::create_directories(file.parent_path(), ec);
  if (!image.WriteToFile(TK_wString::FromUtf8(file.string()))) return std::nullopt;
  return file;
}

}  // namespace embedded_textures
