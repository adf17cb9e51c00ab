#include "platform/guarded_read.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

// A file of two pages, mapped whole, then cut to one page under the
// mapping: the second page can no longer be delivered.
class TruncatedMapping : public ::testing::Test {
 protected:
  void SetUp() override {
    page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    std::vector<uint8_t> bytes(2 * page_, 0x5A);
    WriteFileBytes(dir_ / "file", bytes.data(), bytes.size());
    fd_ = open((dir_ / "file").c_str(), O_RDONLY);
    ASSERT_GE(fd_, 0);
    void* view = mmap(nullptr, 2 * page_, PROT_READ, MAP_SHARED, fd_, 0);
    ASSERT_NE(view, MAP_FAILED);
    view_ = static_cast<const uint8_t*>(view);
    ASSERT_EQ(truncate((dir_ / "file").c_str(), static_cast<off_t>(page_)), 0);
  }
  void TearDown() override {
    munmap(const_cast<uint8_t*>(view_), 2 * page_);
    close(fd_);
  }

  TempDir dir_;
  size_t page_ = 0;
  int fd_ = -1;
  const uint8_t* view_ = nullptr;
};

}  // namespace

TEST_F(TruncatedMapping, FaultOnALostPageIsAFalseResultEveryTimeAndOnEveryThread) {
  uint8_t byte = 0;
  EXPECT_TRUE(GuardedReadByte(view_ + page_ - 1, byte));
  EXPECT_EQ(byte, 0x5A);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(GuardedReadByte(view_ + page_, byte));
  uint8_t pair[2];
  EXPECT_FALSE(GuardedRead(view_ + page_ - 1, 2, pair));  // a read that crosses into the lost page

  bool otherThreadFaulted = false;
  std::thread other([&] {
    uint8_t b;
    otherThreadFaulted = !GuardedReadByte(view_ + page_ + 10, b);
  });
  other.join();
  EXPECT_TRUE(otherThreadFaulted);
  EXPECT_TRUE(GuardedReadByte(view_, byte));  // good pages still read after faults
}

TEST_F(TruncatedMapping, FaultOutsideAGuardStillEndsTheProcess) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "death tests fork, which the thread sanitizer does not support well";
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
  GTEST_SKIP() << "death tests fork, which the thread sanitizer does not support well";
#endif
#endif
  GuardedReadInstall();
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        volatile uint8_t b = view_[page_];
        (void)b;
      },
      "");
}
