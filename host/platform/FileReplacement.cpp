#include "host/platform/FileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <random>
#include <string>
#include <system_error>

namespace {

// ".NAME.tmp-" followed by a random number: hidden, and known as ours.
std::string TemporaryPrefix(const std::filesystem::path& target) { return "." + target.filename().string() + ".tmp-"; }

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += std::size_t(n);
  }
  return true;
}

// Temporaries of this target a killed write left; a minute is far longer
// than any write keeps one under its name.
void RemoveStaleTemporaries(const std::filesystem::path& folder, const std::filesystem::path& target) {
  const std::string prefix = TemporaryPrefix(target);
  const auto stale = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1);
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0 || !it->is_regular_file(ec)) continue;
    std::error_code time_error;
    if (it->last_write_time(time_error) < stale && !time_error) std::filesystem::remove(it->path(), ec);
  }
}

mode_t NewFileMode(const std::filesystem::path& target) {
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) return old.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

int KvReplaceFile(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
  return KvReplaceFile(target, [bytes](const KvFileWriter& write) { return write(bytes); });
}

int KvReplaceFile(const std::filesystem::path& target, const std::function<bool(const KvFileWriter&)>& produce) {
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  RemoveStaleTemporaries(folder, target);
  const mode_t mode = NewFileMode(target);

  // Unnamed until complete: killed before the link, it is gone with the process.
  int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  const bool unnamed = fd >= 0;
  std::random_device random;
  std::filesystem::path temporary;
  const auto fresh_name = [&] { return folder / (TemporaryPrefix(target) + std::to_string(random())); };
  for (int attempt = 0; !unnamed && fd < 0 && attempt < 8; ++attempt) {
    temporary = fresh_name();
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return errno ? errno : EEXIST;
  int error = 0;
  const KvFileWriter write = [fd, &error](std::span<const std::uint8_t> bytes) {
    if (!error && !WriteAll(fd, bytes)) error = errno ? errno : EIO;
    return error == 0;
  };
  bool produced = false;
  try {
    produced = produce(write);
  } catch (...) {
    // The half-made file goes with its descriptor; the caller hears why.
    ::close(fd);
    if (!unnamed) ::unlink(temporary.c_str());
    throw;
  }
  if (!produced && !error) error = EIO;
  if (!error && ::fsync(fd) != 0) error = errno ? errno : EIO;
  if (!error) ::fchmod(fd, mode);  // a named temporary was made under the umask
  if (unnamed && !error) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 8; ++attempt) {
      temporary = fresh_name();
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) break;
      temporary.clear();
      if (errno != EEXIST) {
        error = errno;
        break;
      }
    }
    if (temporary.empty() && !error) error = EEXIST;
  }
  if (::close(fd) != 0 && !error) error = errno;
  if (!error && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error) {
    if (!temporary.empty()) ::unlink(temporary.c_str());
    return error;
  }
  // Make the rename itself durable (best effort: some file systems refuse).
  if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return 0;
}
