#include "host/platform/FileReplacement.h"

#include <fcntl.h>
#include <sys/file.h>
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

// Temporaries of this target that no write holds any more. A writer locks its
// temporary before it has a name or a byte and keeps the lock until the
// rename, so a named temporary that takes the lock is a killed write's. A
// fresh empty one may be a named write between its creation and its lock,
// and one we cannot open is judged by age: a minute is far longer than any
// write keeps one under its name.
void RemoveStaleTemporaries(const std::filesystem::path& folder, const std::filesystem::path& target) {
  const std::string prefix = TemporaryPrefix(target);
  const auto stale = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1);
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0 || !it->is_regular_file(ec)) continue;
    std::error_code time_error;
    const bool old = it->last_write_time(time_error) < stale && !time_error;
    const int fd = ::open(it->path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      if (old) ::unlink(it->path().c_str());
      continue;
    }
    struct stat held {}, named {};
    bool abandoned;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      abandoned = errno != EWOULDBLOCK && old;  // a file system without locks: by age alone
    } else {
      // The name must still be the file we locked: a writer may have renamed it meanwhile.
      abandoned = ::fstat(fd, &held) == 0 && ::lstat(it->path().c_str(), &named) == 0 &&
                  held.st_ino == named.st_ino && held.st_dev == named.st_dev && (held.st_size > 0 || old);
    }
    if (abandoned) ::unlink(it->path().c_str());
    ::close(fd);
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
  ::flock(fd, LOCK_EX);  // held until the rename; see RemoveStaleTemporaries
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
  // The descriptor (and its lock) stays open over the rename, so no other
  // write can take the named temporary for a killed write's. Its data is
  // already flushed, so a late close error loses nothing.
  if (!error && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error && !temporary.empty()) ::unlink(temporary.c_str());
  ::close(fd);
  if (error) return error;
  // Make the rename itself durable (best effort: some file systems refuse).
  if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return 0;
}
