// Replacing a file: a write killed at any moment leaves the old file whole, and
// temporaries that killed writes left behind go with the next write of the target.

#include "host/platform/FileReplacement.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace {

std::vector<std::string> Names(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::uintmax_t Size(const std::filesystem::path& file) { return std::filesystem::file_size(file); }

TEST(FileReplacement, AWriteKilledAtAnyMomentLeavesTheOldFileAndNothingElse) {
  TempDir dir;
  const std::filesystem::path target = dir / "scene.kvd";
  const std::vector<std::uint8_t> old_bytes(1000, 7), new_bytes(std::size_t(48) << 20, 9);
  ASSERT_EQ(KvReplaceFile(target, old_bytes), 0);
  for (const int delay_us : {0, 200, 1000, 5000, 20000, 80000}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(KvReplaceFile(target, new_bytes));
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    // Killed between its link and its rename, the write leaves its temporary: the next write takes it away.
    const std::vector<std::string> names = Names(dir.Path());
    EXPECT_TRUE(names == std::vector<std::string>{"scene.kvd"} ||
                (names.size() == 2 && names[0].rfind(".scene.kvd.tmp-", 0) == 0 && names[1] == "scene.kvd"))
        << delay_us << " us";
    EXPECT_TRUE(Size(target) == old_bytes.size() || Size(target) == new_bytes.size()) << delay_us << " us";
    ASSERT_EQ(KvReplaceFile(target, old_bytes), 0);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"scene.kvd"}) << delay_us << " us";
  }
}

// A temporary no live write holds goes with the next write of its target;
// one a write holds, or a named one just made and not yet locked, stays.
TEST(FileReplacement, AbandonedTemporariesOfTheTargetGoWithTheNextWrite) {
  TempDir dir;
  const auto make = [&](const std::string& name, const std::string& bytes, std::chrono::minutes age) {
    std::ofstream(dir / name) << bytes;
    std::filesystem::last_write_time(dir / name, std::filesystem::file_time_type::clock::now() - age);
  };
  make(".out.png.tmp-123", "left", std::chrono::minutes(5));  // a killed write's, long ago
  make(".out.png.tmp-124", "left", std::chrono::minutes(0));  // killed just now, before its rename
  make(".out.png.tmp-125", "", std::chrono::minutes(5));      // an empty one, long ago
  make(".out.png.tmp-456", "going", std::chrono::minutes(0));  // a write going on now
  make(".out.png.tmp-457", "", std::chrono::minutes(0));       // a named write just starting
  make(".other.png.tmp-789", "left", std::chrono::minutes(5));  // another target's
  const int writing = ::open((dir / ".out.png.tmp-456").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(writing, 0);
  ASSERT_EQ(::flock(writing, LOCK_EX), 0);
  const std::vector<std::uint8_t> bytes{1, 2, 3};
  ASSERT_EQ(KvReplaceFile(dir / "out.png", bytes), 0);
  ::close(writing);
  EXPECT_EQ(Names(dir.Path()),
            (std::vector<std::string>{".other.png.tmp-789", ".out.png.tmp-456", ".out.png.tmp-457", "out.png"}));
  EXPECT_NE(KvReplaceFile(dir / "missing" / "out.png", bytes), 0);
}

// A producer that gives up or throws halfway leaves the old file and nothing else.
TEST(FileReplacement, AProducerThatFailsLeavesTheOldFile) {
  TempDir dir;
  const std::vector<std::uint8_t> old_bytes{1, 2, 3}, half(4096, 5);
  ASSERT_EQ(KvReplaceFile(dir / "out.png", old_bytes), 0);
  EXPECT_EQ(KvReplaceFile(dir / "out.png", [&](const KvFileWriter& write) { return write(half) && false; }), EIO);
  EXPECT_THROW(KvReplaceFile(dir / "out.png",
                             [&](const KvFileWriter& write) -> bool {
                               write(half);
                               throw std::bad_alloc();
                             }),
               std::bad_alloc);
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.png"});
  EXPECT_EQ(Size(dir / "out.png"), old_bytes.size());
}

}  // namespace
