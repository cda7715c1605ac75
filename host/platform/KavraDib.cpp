#include "host/platform/KavraDib.h"

#include "host/platform/FileReplacement.h"
#include "host/platform/ImageChecks.h"
#include "host/platform/ImageEncoder.h"
#include "host/platform/NativeWindows.h"

#include <stb/stb_image.h>

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

bool CKavraDib::WriteToFile(const TK_wString& path, bool with_alpha, int threads) {
  const std::string target = path.ToUtf8();
  const KvImageFormat format = KvImageFormatOf(target);
  const int width = Width(), height = Height(), bytes = BitsPerPixel() / 8;
  const int channels = with_alpha ? 4 : 3;
  if (!HasPixels() || format == KvImageFormat::none ||
      (with_alpha && (bytes != 4 || (format != KvImageFormat::png && format != KvImageFormat::tga)))) {
    errno = EINVAL;
    return false;
  }
  // Rows are converted as the encoder asks for them: no second copy of the image.
  const KvRowSource rows = [&](int y, std::uint8_t* out) {
    const unsigned char* in = FindDIBBits() + std::size_t(height - 1 - y) * std::size_t(GetStorageWidth());
    for (int x = 0; x < width; ++x, in += bytes, out += channels) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      if (with_alpha) out[3] = in[3];
    }
  };
  const int error = KvReplaceFile(std::filesystem::path(target), [&](const KvFileWriter& write) {
    return KvEncodeImage(format, width, height, channels, rows, write, threads);
  });
  if (error != 0) {
    errno = error;  // for the caller's message
    return false;
  }
  lastSaveName_ = path;
  return true;
}

bool CKavraDib::CopyToClipboard(KvFrameWindow* parent) const {
  return parent && HasPixels() && parent->Toolkit().CopyImageToClipboard(*this);
}

bool CKavraDib::Print(KvFrameWindow* parent) const { return parent && HasPixels() && parent->Toolkit().PrintImage(parent, *this); }
