// The sources of a windowed front end found anew after a drive or disc came
// or went: the folders of VOLTARK_DRIVES as they are now, the added ones
// kept, and the source in use kept where it is still listed.
#include "app/source_list.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

void SetDrivesVariable(const std::string& value) {
#ifdef _WIN32
  _putenv_s("VOLTARK_DRIVES", value.c_str());
#else
  setenv("VOLTARK_DRIVES", value.c_str(), 1);
#endif
}

#ifdef _WIN32
constexpr char SEPARATOR = ';';
#else
constexpr char SEPARATOR = ':';
#endif

int IndexOf(const std::string& name) {
  for (size_t i = 0; i < DriveList.size(); ++i)
    if (DriveList[i].name == name) return static_cast<int>(i);
  return -1;
}

class SourceListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* drives = std::getenv("VOLTARK_DRIVES");
    savedVariable_ = drives != nullptr ? drives : "";
    savedDrives_ = DriveList;
    savedSelected_ = SelectedDrive;
  }
  void TearDown() override {
    SetDrivesVariable(savedVariable_);
    DriveList = savedDrives_;
    SelectedDrive = savedSelected_;
    AddedSources.clear();
  }
  std::string savedVariable_;
  std::vector<Drive> savedDrives_;
  int savedSelected_ = 0;
};

TEST_F(SourceListTest, FoundAnewTheSourcesKeepTheOneInUseAndTheAddedFolders) {
  const std::string first = "/nonexistent/voltark-a", second = "/nonexistent/voltark-b";
  const std::string added = "/nonexistent/voltark-added";
  SetDrivesVariable(first + SEPARATOR + second);
  DriveList.clear();
  DiscoverDrives();
  SelectedDrive = IndexOf(first);
  ASSERT_GE(SelectedDrive, 0);

  const int index = AddSource(DriveFromArgument(added));
  EXPECT_EQ(AddSource(DriveFromArgument(added)), index);  // listed once
  EXPECT_TRUE(TakeSource(index));
  EXPECT_FALSE(TakeSource(index));                     // the same source again: nothing changes
  EXPECT_FALSE(TakeSource(static_cast<int>(DriveList.size())));

  // A folder of the variable went away; the added one in use stays in use.
  SetDrivesVariable(second);
  EXPECT_FALSE(RediscoverSources());
  EXPECT_EQ(IndexOf(first), -1);
  EXPECT_GE(IndexOf(second), 0);
  ASSERT_GE(IndexOf(added), 0);
  EXPECT_EQ(DriveList[SelectedDrive].name, added);

  // The source in use went away: the first one is taken.
  SelectedDrive = IndexOf(second);
  SetDrivesVariable(first);
  EXPECT_TRUE(RediscoverSources());
  EXPECT_EQ(SelectedDrive, 0);
  EXPECT_EQ(IndexOf(second), -1);
  EXPECT_GE(IndexOf(added), 0);
}

}  // namespace
