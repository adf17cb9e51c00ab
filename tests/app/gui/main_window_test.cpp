#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "app/gui/drive_combo_box.h"
#include "app/gui/gui_workers.h"
#include "app/gui/main_window.h"
#include "app/gui/startup.h"
#include "report/run_flags.h"
#include "extract/title_selection.h"
#include "platform/drives.h"
#include "tests/app/gui/gui_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

struct Enabled {
  bool menu, button, box;
  bool operator==(const Enabled&) const = default;
};

Enabled ExtractionEnabled() {
  return {MainWindow->extractAction()->isEnabled(), MainWindow->extractButton()->isEnabled(),
          MainWindow->compressionBox()->isEnabled()};
}

void SelectLine(int line) { MainWindow->titleList()->setCurrentRow(line); }

using MainWindowTest = GuiTest;

TEST_F(MainWindowTest, StartUpListsTheSourcesAndRunsTheFirstScan) {
  ASSERT_EQ(Start("/tmp/disc-a:/tmp/disc-b"), 0);
  ASSERT_NE(MainWindow, nullptr);
  EXPECT_EQ(MainWindow->windowTitle(), "VOLTARK mpeg2 extractor");
  EXPECT_TRUE(MainWindow->isVisible());
  EXPECT_EQ(FakeScanRuns, 1);
  ASSERT_EQ(MainWindow->sourceBox()->count(), 2);
  EXPECT_EQ(MainWindow->sourceBox()->itemText(0), "/tmp/disc-a");
  EXPECT_EQ(MainWindow->sourceBox()->currentIndex(), 0);
  EXPECT_EQ(SelectedDrive, 0);
  ASSERT_EQ(MainWindow->titleList()->count(), 6);
  EXPECT_EQ(MainWindow->titleList()->item(1)->text(), "Title #1  (12MB)");
  EXPECT_EQ(ExtractionEnabled(), (Enabled{false, false, false}));
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(VerboseErrors.load());
}

TEST_F(MainWindowTest, CommandLineFaultIsReportedAndStartUpGoesOn) {
  ASSERT_EQ(Start("/tmp/disc-a", "/V /X"), 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Command line syntax error");
  EXPECT_EQ(boxes[0].caption, "VOLTARK");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_FALSE(boxes[0].owned) << "shown before the main window exists";
  EXPECT_TRUE(VerboseErrors.load()) << "the switch before the fault counts";
  EXPECT_NE(MainWindow, nullptr);
  EXPECT_EQ(FakeScanRuns, 1);
}

TEST_F(MainWindowTest, NoSourceEndsWithMessage143AndStatus1) {
  setenv("VOLTARK_DRIVES", "", 1);
  DriveList.clear();
  DiscoverDrives();
  if (!DriveList.empty()) GTEST_SKIP() << "this machine has a DVD drive";
  EXPECT_EQ(Start(""), 1);
  EXPECT_EQ(MainWindow, nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "No DVD drive found");
  EXPECT_FALSE(boxes[0].owned);
  EXPECT_EQ(FakeScanRuns, 0);
}

TEST_F(MainWindowTest, SelectedLineEnablesExtractAndCompressionAsItsStreamAllows) {
  ASSERT_EQ(Start("/tmp/disc-a"), 0);
  SelectLine(1);  // title line
  EXPECT_EQ(ExtractionEnabled(), (Enabled{false, false, false}));
  SelectLine(3);  // PCM
  EXPECT_EQ(ExtractionEnabled(), (Enabled{true, true, false}));
  EXPECT_EQ(TitleSelection.streamKind, STREAM_KIND_PCM);
  EXPECT_EQ(TitleSelection.subStreamId, 0xA0);
  SelectLine(4);  // AC3
  EXPECT_EQ(ExtractionEnabled(), (Enabled{true, true, true}));
  EXPECT_EQ(TitleSelection.subStreamId, 0x81);
  MainWindow->compressionBox()->setChecked(true);
  SelectLine(1);  // a title line after a stream line disables again
  EXPECT_EQ(ExtractionEnabled(), (Enabled{false, false, false}));
  SelectLine(0);
  EXPECT_EQ(ExtractionEnabled(), (Enabled{false, false, false}));
  // MPEG and DTS audio can be chosen too, to be kept as they are: nothing to compress.
  for (int line : {2, 5}) {
    SelectLine(line);
    EXPECT_EQ(ExtractionEnabled(), (Enabled{true, true, false})) << line;
  }
  SelectLine(3);
  EXPECT_TRUE(MainWindow->compressionBox()->isChecked()) << "the box keeps its state";
}

TEST_F(MainWindowTest, AfterRefreshExtractStaysDisabledUntilAStreamLineIsSelected) {
  ASSERT_EQ(Start("/tmp/disc-a"), 0);
  SelectLine(4);
  ASSERT_EQ(ExtractionEnabled(), (Enabled{true, true, true}));
  MainWindow->refreshAction()->trigger();
  EXPECT_EQ(FakeScanRuns, 2);
  EXPECT_EQ(MainWindow->titleList()->count(), 6);
  EXPECT_EQ(ExtractionEnabled(), (Enabled{false, false, false}));
  SelectLine(1);
  EXPECT_EQ(ExtractionEnabled(), (Enabled{false, false, false}));
  SelectLine(3);
  EXPECT_EQ(ExtractionEnabled(), (Enabled{true, true, false}));
}

TEST_F(MainWindowTest, TheSourceShownIsTheSourceScannedWhateverChangedIt) {
  ASSERT_EQ(Start("/tmp/disc-a:/tmp/disc-b"), 0);
  DriveComboBox* box = MainWindow->sourceBox();
  box->showPopup();
  box->setCurrentIndex(1);
  box->hidePopup();
  EXPECT_EQ(SelectedDrive, 1);
  EXPECT_EQ(FakeScanRuns, 2);

  box->showPopup();
  box->hidePopup();
  EXPECT_EQ(FakeScanRuns, 2) << "the same source again";

  // With the list closed, a keyboard change is taken once it settles.
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Up);
  EXPECT_EQ(box->currentIndex(), 0);
  EXPECT_TRUE(QTest::qWaitFor([] { return FakeScanRuns == 3; }, 10 * SOURCE_SETTLE_MS));
  EXPECT_EQ(SelectedDrive, 0);
  box->showPopup();
  box->hidePopup();
  EXPECT_EQ(FakeScanRuns, 3);

  // Refresh right after a keyboard change scans the source shown, once.
  QTest::keyClick(box, Qt::Key_Down);
  MainWindow->refreshAction()->trigger();
  EXPECT_EQ(SelectedDrive, 1);
  EXPECT_EQ(FakeScanRuns, 4);
  QTest::qWait(2 * SOURCE_SETTLE_MS);
  EXPECT_EQ(FakeScanRuns, 4);
}

TEST_F(MainWindowTest, QuitCloseBoxAndEscEndTheProgram) {
  ASSERT_EQ(Start("/tmp/disc-a"), 0);
  MainWindow->quitAction()->trigger();
  EXPECT_TRUE(MainWindow->quitRequested());
  EXPECT_FALSE(MainWindow->isVisible());

  MainWindow->show();
  QApplication::setActiveWindow(MainWindow);
  MainWindow->titleList()->setFocus();
  QTest::keyClick(MainWindow->titleList(), Qt::Key_Escape);
  EXPECT_FALSE(MainWindow->isVisible()) << "Esc closes the main window";
}

TEST_F(MainWindowTest, MnemonicsReachTheirControls) {
  ASSERT_EQ(Start("/tmp/disc-a"), 0);
  SelectLine(4);
  QApplication::setActiveWindow(MainWindow);
  QTest::keyClick(MainWindow, Qt::Key_C, Qt::AltModifier);
  // A mnemonic presses its button for a moment before the click.
  EXPECT_TRUE(QTest::qWaitFor([] { return MainWindow->compressionBox()->isChecked(); }));
  QTest::keyClick(MainWindow, Qt::Key_S, Qt::AltModifier);
  EXPECT_TRUE(MainWindow->sourceBox()->hasFocus());
  QTest::keyClick(MainWindow, Qt::Key_T, Qt::AltModifier);
  EXPECT_TRUE(MainWindow->titleList()->hasFocus());

  GuiWorkers.extract = nullptr;
  saveAsAnswer.reset();  // cancelled: no worker, but the question was asked
  QTest::keyClick(MainWindow, Qt::Key_X, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([this] { return !saveAsRequests.empty(); }));

  // Enter presses the focused button and nothing else.
  QTest::keyClick(MainWindow->titleList(), Qt::Key_Return);
  EXPECT_EQ(saveAsRequests.size(), 1u);
  MainWindow->extractButton()->setFocus();
  QTest::keyClick(MainWindow->extractButton(), Qt::Key_Return);
  EXPECT_EQ(saveAsRequests.size(), 2u);
}

}  // namespace

namespace {

std::vector<QString> ListLines() {
  std::vector<QString> lines;
  for (int i = 0; i < MainWindow->titleList()->count(); ++i) lines.push_back(MainWindow->titleList()->item(i)->text());
  return lines;
}

TEST_F(MainWindowTest, StartUpScansTheSampleDiscWithTheProgramsScanner) {
  UseProgramWorkers();
  ASSERT_EQ(Start(VOLTARK_SOURCE_DIR "/samples/sample-dvd"), 0);
  QFile listing(QStringLiteral(VOLTARK_SOURCE_DIR "/samples/sample-dvd-scan.txt"));
  ASSERT_TRUE(listing.open(QIODevice::ReadOnly));
  std::vector<QString> expected;
  for (const QByteArray& line : listing.readAll().split('\n'))
    if (!line.isEmpty()) expected.push_back(QString::fromLatin1(line));
  EXPECT_EQ(ListLines(), expected);
  EXPECT_TRUE(boxes.empty());

  SelectLine(3);  // "  AC3 stream #0" of title 1
  EXPECT_EQ(ExtractionEnabled(), (Enabled{true, true, true}));
  EXPECT_EQ(TitleSelection.title, 1);
  EXPECT_EQ(TitleSelection.sizeMB, 3);
  EXPECT_EQ(TitleSelection.subStreamId, 0x80);
}

TEST_F(MainWindowTest, AScanFailureEndsWithTheSummaryBoxOwnedByTheWindow) {
  UseProgramWorkers();
  StopOnDamage = true;  // a walk that stops at damage fails
  TempDir disc;
  std::string zeros(4096, '\0');
  WriteFileBytes(disc / "VIDEO_TS/VTS_01_1.VOB", zeros.data(), zeros.size());
  ASSERT_EQ(Start(disc.path().string()), 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Error detected while scanning DVD titles");
  EXPECT_EQ(boxes[0].caption, "VOLTARK");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(boxes[0].owned);
  EXPECT_EQ(ListLines(), std::vector<QString>({"Title #1  (1MB)"}));

  // With /V the detail is shown, with its offset, and no summary.
  boxes.clear();
  DestroyMainWindow();
  ASSERT_EQ(Start(disc.path().string(), "/V"), 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Missing PACK START CODE (offset 00000000 in VOB file #1)");
  StopOnDamage = false;
}

}  // namespace
