#include "platform/drives.h"
#include "platform/linux/mount_table.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/temp_dir.h"

TEST(Drives, MountPointsAreFoundByDeviceNumberWithTheirEscapesDecoded) {
  std::string mountinfo =
      "22 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
      "97 22 11:0 / /media/user/MY\\040DISC ro,nosuid shared:50 master:3 - iso9660 /dev/sr0 ro\n"
      "98 22 11:1 / /mnt/tab\\011and\\134slash ro - udf /dev/sr1 ro\n";
  EXPECT_EQ(MountPointIn(mountinfo, 11, 0), "/media/user/MY DISC");
  EXPECT_EQ(MountPointIn(mountinfo, 11, 1), "/mnt/tab\tand\\slash");
  EXPECT_EQ(MountPointIn(mountinfo, 11, 2), "");
}

TEST(Drives, FolderSourcesResolveToTheFolderThatHoldsVideoTs) {
  TempDir dir;
  std::filesystem::create_directories(dir / "disc/video_ts");
  std::string root, error;
  ASSERT_TRUE(ResolveSourceRoot(DriveFromArgument((dir / "disc").string()), root, error));
  EXPECT_EQ(std::filesystem::path(root), dir / "disc");
  ASSERT_TRUE(ResolveSourceRoot(DriveFromArgument((dir / "disc/video_ts/").string()), root, error));
  EXPECT_EQ(std::filesystem::canonical(root), std::filesystem::canonical(dir / "disc"));
  EXPECT_FALSE(ResolveSourceRoot(DriveFromArgument((dir / "none").string()), root, error));
  EXPECT_NE(error.find("none"), std::string::npos);
  std::string label;
  EXPECT_FALSE(ReadVolumeLabel(DriveFromArgument((dir / "disc").string()), label));  // a plain folder has none
}

TEST(Drives, TheLabelOfAnIso9660FileSystemIsRead) {
  // The least of an ISO 9660 image: a primary volume descriptor at 32 KiB
  // and the set terminator.
  std::vector<uint8_t> image(0x9000, 0);
  auto descriptor = [&](size_t at, uint8_t type) {
    image[at] = type;
    std::memcpy(&image[at + 1], "CD001", 5);
    image[at + 6] = 1;
  };
  descriptor(0x8000, 1);
  std::string volumeId = "MY_MOVIE";
  volumeId.resize(32, ' ');
  std::memcpy(&image[0x8028], volumeId.data(), 32);
  descriptor(0x8800, 255);
  TempDir dir;
  WriteFileBytes(dir / "disc.iso", image.data(), image.size());
  std::string label;
  ASSERT_TRUE(ReadFileSystemLabel((dir / "disc.iso").string(), label));
  EXPECT_EQ(label, "MY_MOVIE");
}
