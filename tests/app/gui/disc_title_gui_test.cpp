// The desktop program on an authored ISO image: the disc's own titles in
// the tool tips, and an extraction narrowed to one of them.
#include <QListWidget>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/gui/disc_title_dialog.h"
#include "app/gui/gui_workers.h"
#include "app/gui/main_window.h"
#include "app/gui/save_as.h"
#include "extract/title_selection.h"
#include "tests/app/gui/gui_fixture.h"
#include "tests/support/fixture_once.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// The authored disc, made by the first test that asks for it.
bool MakeAuthoredDisc(const fs::path& disc) {
  return MakeFixtureOnce(disc, disc / "disc.iso",
                         std::string("'") + VOLTARK_SOURCE_DIR + "/tools/make-authored-disc.sh' '" + disc.string() + "'");
}

TEST_F(GuiTest, AnExtractionNarrowedToADiscTitleWritesOnlyItsChain) {
  const fs::path disc = fs::path(VOLTARK_TESTDATA_DIR) / "authored";
  if (!MakeAuthoredDisc(disc)) GTEST_SKIP() << "no authored disc";
  UseProgramWorkers();
  ASSERT_EQ(Start((disc / "disc.iso").string()), 0);
  QListWidget* list = MainWindow->titleList();
  ASSERT_GE(list->count(), 3);
  EXPECT_EQ(list->item(0)->text(), "AUTHORED DISC");
  EXPECT_TRUE(list->item(1)->toolTip().contains("Disc title  2  set 1  00:00:02")) << list->item(1)->toolTip().toStdString();

  size_t offered = 0;
  SetDiscTitleAnswerer([&offered](const std::vector<const DiscTitle*>& titles) {
    offered = titles.size();
    return std::optional<DiscTitleChoice>(DiscTitleChoice{2, 1, 0, 1});
  });
  list->setCurrentRow(2);  // title 1, AC3 stream #0
  const int32_t listedSize = TitleSelection.sizeMB;
  TempDir dir;
  const std::string output = (dir / "two.MPG").string();
  saveAsAnswer = QString::fromStdString(output);
  MainWindow->extractButton()->click();
  SetDiscTitleAnswerer(nullptr);

  EXPECT_EQ(offered, 2u);  // the two chains of title set 1
  EXPECT_EQ(TitleSelection.title, 1);
  EXPECT_EQ(TitleSelection.sizeMB, listedSize);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].text.startsWith("MPEG2 extraction done!\n Video time = 00:00:02")) << boxes[0].text.toStdString();
  std::string command = "ffprobe -v error -show_entries format=duration -of csv=p=0 '" + output + "' 2>/dev/null";
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char text[64] = {};
    if (std::fgets(text, sizeof text, pipe) != nullptr) {
      EXPECT_NEAR(std::atof(text), 2.0, 0.2);
    }
    pclose(pipe);
  }
}

TEST_F(GuiTest, AllDiscTitlesGoIntoTheChosenFolderWithOneSummary) {
  const fs::path disc = fs::path(VOLTARK_TESTDATA_DIR) / "authored";
  if (!MakeAuthoredDisc(disc)) GTEST_SKIP() << "no authored disc";
  UseProgramWorkers();
  ASSERT_EQ(Start((disc / "disc.iso").string()), 0);
  SetDiscTitleAnswerer([](const std::vector<const DiscTitle*>&) {
    DiscTitleChoice all;
    all.allDiscTitles = true;
    return std::optional<DiscTitleChoice>(all);
  });
  TempDir dir;
  SetFolderAnswerer([&dir](const QString&) { return std::optional<QString>(QString::fromStdString(dir.path().string())); });
  MainWindow->titleList()->setCurrentRow(2);  // title 1, AC3 stream #0
  MainWindow->extractButton()->click();
  SetDiscTitleAnswerer(nullptr);
  SetFolderAnswerer(nullptr);

  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].text.startsWith("MPEG2 extraction of 3 titles: 3 done")) << boxes[0].text.toStdString();
  for (const char* name : {"AUTHORED_DISC_t01.mpg", "AUTHORED_DISC_t02.mpg", "AUTHORED_DISC_t03.mpg"})
    EXPECT_GT(fs::file_size(dir / name), 50u * 2048) << name;
}

}  // namespace
