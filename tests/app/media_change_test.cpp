#include "platform/media_change.h"

#include <gtest/gtest.h>

#include "platform/drives.h"
#include "tests/support/temp_dir.h"

namespace {

class MediaChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedDrives_ = DriveList;
    savedSelected_ = SelectedDrive;
  }
  void TearDown() override {
    ResumeMediaChangeNotify();
    DriveList = savedDrives_;
    SelectedDrive = savedSelected_;
  }
  std::vector<Drive> savedDrives_;
  int savedSelected_ = 0;
};

TEST_F(MediaChangeTest, FoldersAndRefusingDevicesHoldNothingAndResumeIsHarmless) {
  TempDir dir;
  WriteFileBytes(dir / "not-a-drive", "x", 1);
  DriveList = {{"folder", "", dir.path().string()},
               {"missing", "/nonexistent/sr9", ""},
               {"plain file", (dir / "not-a-drive").string(), ""}};
  for (int i = 0; i < 3; ++i) {
    SelectedDrive = i;
    SuspendMediaChangeNotify();
    EXPECT_FALSE(MediaChange.mediaNotifySuspended) << i;
    EXPECT_EQ(MediaChange.fd, -1) << i;
    ResumeMediaChangeNotify();
    ResumeMediaChangeNotify();
    EXPECT_FALSE(MediaChange.mediaNotifySuspended);
  }
  SelectedDrive = 7;  // out of the list
  SuspendMediaChangeNotify();
  EXPECT_FALSE(MediaChange.mediaNotifySuspended);
  EXPECT_EQ(LockDeviceDoor("/dev/null"), -1);
}

}  // namespace
