#include "host/import/ImageFileCheck.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/platform/KavraDib.h"

std::optional<std::string> UnreadableImageReason(const std::filesystem::path& file) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(file, ec);
  if (std::filesystem::is_directory(status)) return "it is a folder";
  if (!std::filesystem::is_regular_file(status)) return "it is not a regular file";
  if (::access(file.c_str(), R_OK) != 0) return std::strerror(errno);
  // Decoded whole: a file cut short reads as damaged only past its header.
  CKavraDib image;
  if (!image.ReadFromFile(TK_wString::FromUtf8(file.string())))
    return "it is not an image this program reads, or it is damaged";
  return std::nullopt;
}
