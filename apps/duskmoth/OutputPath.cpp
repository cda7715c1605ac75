#include "apps/duskmoth/OutputPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// 0 when the file may be written, else the errno a write would meet.
int OutputError(const std::filesystem::path& file) {
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return errno;
  if (!S_ISDIR(info.st_mode)) return ENOTDIR;
  // The file is replaced through a new one in the folder: the folder must be writable.
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return errno;
  if (::stat(file.c_str(), &info) != 0) return errno == ENOENT ? 0 : errno;
  if (S_ISDIR(info.st_mode)) return EISDIR;
  // Write-protected: refused as for any user, root included.
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(file.c_str(), W_OK) != 0) return EACCES;
  return 0;
}

}  // namespace

bool CheckOutputPath(const std::filesystem::path& file, std::ostream& err) {
  const int error = OutputError(file);
  if (error != 0) ReportWriteError(file, error, err);
  return error == 0;
}

void ReportWriteError(const std::filesystem::path& file, int error, std::ostream& err) {
  err << "duskmoth: " << file.string() << ": " << (error != 0 ? std::strerror(error) : "cannot write the file") << '\n';
}
