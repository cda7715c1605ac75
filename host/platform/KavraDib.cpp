#include "host/platform/KavraDib.h"

#include "host/platform/FileReplacement.h"
#include "host/platform/ImageChecks.h"
#include "host/platform/NativeWindows.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct StbFree {
  void operator()(void* p) const { stbi_image_free(p); }
};

bool AcceptableSize(long long width, long long height) {
  return width > 0 && height > 0 && width <= CKavraDib::kMaxReadSide &&
         height <= CKavraDib::kMaxReadSide && width * height <= CKavraDib::kMaxReadPixels;
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& out) {
  // Non-blocking, so that a FIFO or device named as an image is refused by
  // the check below instead of waiting for a writer that never comes.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
            std::size_t(st.st_size) <= CKavraDib::kMaxFileBytes;
  if (ok) {
    out.resize(std::size_t(st.st_size));
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += std::size_t(n);
    }
    out.resize(done);  // a file that shrank while being read is read as it is now
    ok = done > 0;
  }
  ::close(fd);
  return ok;
}

enum class Format { None, Png, Bmp, Jpeg, Tga };

Format FormatOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return Format::None;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  if (ext == "png") return Format::Png;
  if (ext == "bmp") return Format::Bmp;
  if (ext == "jpg" || ext == "jpeg") return Format::Jpeg;
  if (ext == "tga") return Format::Tga;
  return Format::None;
}

void AppendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<unsigned char>*>(context);
  const auto* bytes = static_cast<const unsigned char*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

bool CKavraDib::ReadFromFile(const TK_wString& path) {
  std::vector<unsigned char> data;
  return ReadWholeFile(path.ToUtf8(), data) && ReadFromMemory(data.data(), data.size());
}

bool CKavraDib::ReadFromMemory(const void* data, std::size_t size) {
  if (!data || size == 0 || size > std::size_t(INT_MAX)) return false;
  const auto* bytes = static_cast<const stbi_uc*>(data);
  const int length = int(size);
  int width = 0, height = 0, channels = 0;
  if (!image_checks::SafeToDecode(bytes, size) || !stbi_info_from_memory(bytes, length, &width, &height, &channels))
    return false;
  // The library tells a top-down BMP's height as it is stored, negative.
  const long long rows = height < 0 ? -(long long)height : height;
  if (!AcceptableSize(width, rows) || !image_checks::CanHold(bytes, size, width, rows)) return false;

  // Decode to top-down RGB bytes; HDR images are clamped, not tone-mapped.
  std::vector<unsigned char> rgb;
  if (stbi_is_hdr_from_memory(bytes, length)) {
    std::unique_ptr<float, StbFree> pixels(
        stbi_loadf_from_memory(bytes, length, &width, &height, &channels, 3));
    if (!pixels || !AcceptableSize(width, height)) return false;
    rgb.resize(std::size_t(width) * std::size_t(height) * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) {
      const float v = pixels.get()[i];
      rgb[i] = v > 0.0f ? static_cast<unsigned char>(std::min(v, 1.0f) * 255.0f + 0.5f) : 0;
    }
  } else {
    std::unique_ptr<stbi_uc, StbFree> pixels(
        stbi_load_from_memory(bytes, length, &width, &height, &channels, 3));
    if (!pixels || !AcceptableSize(width, height)) return false;
    rgb.assign(pixels.get(), pixels.get() + std::size_t(width) * std::size_t(height) * 3);
  }

  if (!CreateDib(width, height, 24, true, nullptr)) return false;
  unsigned char* bits = FindDIBBits();
  for (int y = 0; y < height; ++y) {
    const unsigned char* in = rgb.data() + std::size_t(y) * std::size_t(width) * 3;
    unsigned char* out = bits + std::size_t(height - 1 - y) * std::size_t(GetStorageWidth());
    for (int x = 0; x < width; ++x, in += 3, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
  return true;
}

bool CKavraDib::WriteToFile(const TK_wString& path) {
  const std::string target = path.ToUtf8();
  const Format format = FormatOf(target);
  const int width = Width(), height = Height();
  if (!HasPixels() || format == Format::None ||
      (long long)(width * 3 + 1) * height > (long long)INT_MAX)
    return false;

  const int bytes = BitsPerPixel() / 8;
  std::vector<unsigned char> rgb(std::size_t(width) * std::size_t(height) * 3);
  for (int y = 0; y < height; ++y) {
    const unsigned char* in =
        FindDIBBits() + std::size_t(height - 1 - y) * std::size_t(GetStorageWidth());
    unsigned char* out = rgb.data() + std::size_t(y) * std::size_t(width) * 3;
    for (int x = 0; x < width; ++x, in += bytes, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }

  std::vector<unsigned char> encoded;
  int ok = 0;
  switch (format) {
    case Format::Png:
      ok = stbi_write_png_to_func(AppendBytes, &encoded, width, height, 3, rgb.data(), width * 3);
      break;
    case Format::Bmp:
      ok = stbi_write_bmp_to_func(AppendBytes, &encoded, width, height, 3, rgb.data());
      break;
    case Format::Jpeg:
      ok = stbi_write_jpg_to_func(AppendBytes, &encoded, width, height, 3, rgb.data(), 95);
      break;
    case Format::Tga:
      ok = stbi_write_tga_to_func(AppendBytes, &encoded, width, height, 3, rgb.data());
      break;
    case Format::None:
      break;
  }
  if (!ok || encoded.empty() || KvReplaceFile(std::filesystem::path(target), encoded) != 0) return false;
  lastSaveName_ = path;
  return true;
}

bool CKavraDib::CopyToClipboard(KvFrameWindow* parent) const {
  return parent && HasPixels() && parent->Toolkit().CopyImageToClipboard(*this);
}

bool CKavraDib::Print(KvFrameWindow* parent) const { return parent && HasPixels() && parent->Toolkit().PrintImage(parent, *this); }
