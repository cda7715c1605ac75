// Replacing a file: a write killed at any moment leaves the old file whole and nothing else,
// and temporaries that killed writes of the named kind left behind go with the next write.

#include "host/platform/FileReplacement.h"

#include <gtest/gtest.h>

#include <signal.h>
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
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"scene.kvd"}) << delay_us << " us";
    EXPECT_TRUE(Size(target) == old_bytes.size() || Size(target) == new_bytes.size()) << delay_us << " us";
    ASSERT_EQ(KvReplaceFile(target, old_bytes), 0);
  }
}

TEST(FileReplacement, StaleTemporariesOfTheTargetGoWithTheNextWrite) {
  TempDir dir;
  const auto make = [&](const std::string& name, std::chrono::minutes age) {
    std::ofstream(dir / name) << "left";
    std::filesystem::last_write_time(dir / name, std::filesystem::file_time_type::clock::now() - age);
  };
  make(".out.png.tmp-123", std::chrono::minutes(5));  // a killed write's
  make(".out.png.tmp-456", std::chrono::minutes(0));  // perhaps a write going on now
  make(".other.png.tmp-789", std::chrono::minutes(5));  // another target's
  const std::vector<std::uint8_t> bytes{1, 2, 3};
  ASSERT_EQ(KvReplaceFile(dir / "out.png", bytes), 0);
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{".other.png.tmp-789", ".out.png.tmp-456", "out.png"}));
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
