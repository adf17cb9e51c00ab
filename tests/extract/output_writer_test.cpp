#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "report/run_flags.h"
#include "extract/title_selection.h"
#include "extract/output_writer.h"
#include "platform/output_file.h"
#include "tests/extract/extract_test_support.h"

namespace {

class OutputWriterTest : public ExtractTest {
 protected:
  // Pack k is filled with a byte pattern of k, so order and content show.
  static std::vector<uint8_t> NumberedPack(uint32_t k) {
    std::vector<uint8_t> pack(2048);
    for (size_t i = 0; i < pack.size(); ++i) pack[i] = static_cast<uint8_t>(k * 7 + i);
    pack[0] = static_cast<uint8_t>(k >> 8);
    pack[1] = static_cast<uint8_t>(k);
    return pack;
  }

  // Appends packs first..first+count-1; returns how many were taken.
  uint32_t AppendPacks(uint32_t first, uint32_t count) {
    uint32_t taken = 0;
    for (uint32_t k = first; k < first + count; ++k) {
      if (OutputAppendPack(NumberedPack(k).data())) ++taken;
    }
    return taken;
  }

  void ExpectPacksInOrder(const std::vector<uint8_t>& file, uint32_t count) {
    ASSERT_EQ(file.size(), size_t{count} * 2048);
    for (uint32_t k = 0; k < count; ++k) {
      std::vector<uint8_t> expected = NumberedPack(k);
      ASSERT_EQ(0, std::memcmp(file.data() + size_t{k} * 2048, expected.data(), 2048)) << "pack " << k;
    }
  }
};

TEST_F(OutputWriterTest, WritesWholeBuffersAndTheLastPartialOneInOrder) {
  // 1024 packs fill exactly one buffer; 1025 leave one pack for the close;
  // 3000 cross both buffers and wrap to the first again.
  for (uint32_t count : {0u, 1u, 1024u, 1025u, 3000u}) {
    ASSERT_TRUE(OutputOpen());
    EXPECT_EQ(AppendPacks(0, count), count);
    ASSERT_TRUE(OutputClose()) << count;
    ExpectPacksInOrder(OutputBytes(), count);
  }
  EXPECT_TRUE(ui_->boxTexts().empty());
  EXPECT_FALSE(AbortFlag);
}

TEST_F(OutputWriterTest, OddPackCountOnAMemoryFileSystem) {
  // Older tmpfs refuses O_DIRECT at open, newer accepts it; either way an odd
  // count of packs is written whole by the close.
  std::string path = "/dev/shm/voltark-writer-test-" + std::to_string(getpid()) + ".mpg";
  std::snprintf(TitleSelection.outputPath, sizeof TitleSelection.outputPath, "%s", path.c_str());
  ASSERT_TRUE(OutputOpen());
  EXPECT_EQ(AppendPacks(0, 1027), 1027u);
  ASSERT_TRUE(OutputClose());
  std::string bytes = ReadFileBytes(path);
  std::remove(path.c_str());
  ExpectPacksInOrder(std::vector<uint8_t>(bytes.begin(), bytes.end()), 1027);
}

TEST_F(OutputWriterTest, FailedBufferWriteIsShownOnceAndRefusesEveryLaterPack) {
  OutputFileFaults.failWritesBeyond = 0x200000;  // the second full buffer fails
  ASSERT_TRUE(OutputOpen());
  AppendPacks(0, 2048);  // hands over buffer 0 and buffer 1
  // The producer that hands over a buffer is released whatever the writer does.
  OutputAppendPack(NumberedPack(2048).data());
  uint32_t later = 0;
  for (int i = 0; i < 3000 && OutputAppendPack(NumberedPack(0).data()); ++i) ++later;
  EXPECT_LT(later, 1024u);  // refused at the latest once the failure is seen
  EXPECT_FALSE(OutputAppendPack(NumberedPack(0).data()));
  EXPECT_TRUE(AbortFlag);
  EXPECT_FALSE(OutputClose());
  EXPECT_EQ(ui_->boxTexts(), std::vector<std::string>{"Output file write error \"" + OutputPath() +
                                                      "\": No space left on device. The incomplete file was removed."});
  EXPECT_FALSE(std::filesystem::exists(OutputPath()));
}

TEST_F(OutputWriterTest, FailedLastPartialWriteIsReported) {
  OutputFileFaults.failWritesBeyond = 0x200000;
  ASSERT_TRUE(OutputOpen());
  AppendPacks(0, 1030);
  EXPECT_FALSE(OutputClose());
  EXPECT_TRUE(AbortFlag);
  ASSERT_EQ(ui_->boxTexts().size(), 1u);
  EXPECT_EQ(ui_->boxTexts()[0].rfind("Output file write error \"" + OutputPath() + "\": ", 0), 0u);
  EXPECT_FALSE(std::filesystem::exists(OutputPath()));
}

TEST_F(OutputWriterTest, FullDeviceFailsLikeAFullDisk) {
  std::snprintf(TitleSelection.outputPath, sizeof TitleSelection.outputPath, "/dev/full");
  ASSERT_TRUE(OutputOpen());
  AppendPacks(0, 1024 + 5);
  EXPECT_FALSE(OutputClose());
  // A device is told, and never removed.
  EXPECT_EQ(ui_->boxTexts(), std::vector<std::string>{"Output file write error \"/dev/full\": No space left on device"});
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

TEST_F(OutputWriterTest, CloseErrorAndRefusalAfterClose) {
  ASSERT_TRUE(OutputOpen());
  AppendPacks(0, 2);
  OutputFileFaults.failClose = true;
  EXPECT_FALSE(OutputClose());
  EXPECT_TRUE(AbortFlag);
  EXPECT_EQ(ui_->boxTexts(), std::vector<std::string>{"Output file close error"});
  EXPECT_FALSE(OutputAppendPack(NumberedPack(0).data()));
}

TEST_F(OutputWriterTest, OpenFailsWhereTheFileCannotBeCreated) {
  std::snprintf(TitleSelection.outputPath, sizeof TitleSelection.outputPath, "%s",
                (dir_ / "missing/folder/out.mpg").c_str());
  EXPECT_FALSE(OutputOpen());
  EXPECT_FALSE(OutputAppendPack(NumberedPack(0).data()));
}

}  // namespace
