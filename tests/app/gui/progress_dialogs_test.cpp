#include <QApplication>
#include <QCheckBox>
#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

#include "app/gui/extract_dialog.h"
#include "app/gui/gui_workers.h"
#include "app/gui/main_window.h"
#include "app/gui/scan_dialog.h"
#include "extract/title_selection.h"
#include "platform/drives.h"
#include "report/run_flags.h"
#include "platform/ui_port.h"
#include "tests/app/gui/gui_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

// What the stand-in extraction worker saw and did.
struct WorkerLog {
  TitleSelectionRecord selection;
  std::atomic<unsigned> lastProgressSent{0};
  bool abortSeenAfterQuestion = false;
  bool dialogOpenBeforeDone = false;
  bool runs = false;
};
WorkerLog Log;
std::promise<void>* QuestionAnswered = nullptr;
std::promise<void>* QuestionShown = nullptr;
std::atomic<QEventLoop*> QuestionLoop{nullptr};

ExtractDialog* RunningExtractDialog() { return MainWindow->findChild<ExtractDialog*>(); }

void SendProgress(unsigned from, unsigned to) {
  for (unsigned p = from; p <= to; ++p) {
    Ui().SetProgress(p);
    Log.lastProgressSent = p;
  }
}

// Presses Stop mid-way without waiting, runs on while the question is up,
// then carries on or winds down as AbortFlag says.
int StopMidwayWorker() {
  Log.runs = true;
  Log.selection = TitleSelection;
  Ui().SetStatusText("Extracting Title #1 with AC3 stream #1...");
  SendProgress(0, 10);
  Ui().SetTimeText("00:00:04", 4);
  // As a user's click, from outside the queue of the worker's calls: a
  // timer's expiry on the GUI thread.
  QPushButton* stop = RunningExtractDialog()->stopButton();
  QMetaObject::invokeMethod(stop, [stop] { QTimer::singleShot(1, stop, [stop] { stop->click(); }); },
                            Qt::QueuedConnection);
  QuestionShown->get_future().wait();
  SendProgress(11, 20);  // served while the question is shown
  QMetaObject::invokeMethod(QuestionLoop.load(), "quit", Qt::QueuedConnection);
  QuestionAnswered->get_future().wait();
  Ui().SetTimeText("00:00:05", 5);  // a barrier: the Stop handler has ended
  Log.abortSeenAfterQuestion = AbortFlag;
  if (!AbortFlag) SendProgress(21, 150);  // a title larger than listed
  Ui().DisableStop();
  Ui().ShowBox("MPEG2 extraction done!\r Video time = 00:00:05", BoxKind::Information);
  GuiUi().OnGuiThread([] { Log.dialogOpenBeforeDone = RunningExtractDialog()->isVisible(); });
  Ui().WorkerDone();
  return 0;
}

// A failure has set AbortFlag when the user presses Stop.
int FailedThenStopWorker() {
  Log.runs = true;
  AbortFlag = true;
  GuiUi().OnGuiThread([] { RunningExtractDialog()->stopButton()->click(); });
  Ui().ShowBox("Error detected while extracting MPEG2 stream", BoxKind::Error);
  Ui().WorkerDone();
  return 0;
}

int RecordSelectionWorker() {
  Log.runs = true;
  Log.selection = TitleSelection;
  Ui().WorkerDone();
  return 0;
}

class ExtractTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    Log.selection = {};
    Log.lastProgressSent = 0;
    Log.abortSeenAfterQuestion = false;
    Log.dialogOpenBeforeDone = false;
    Log.runs = false;
    ASSERT_EQ(Start("/tmp/disc-a"), 0);
    MainWindow->titleList()->setCurrentRow(4);  // AC3 #1
    saveAsAnswer = QStringLiteral("/tmp/out.MPG");
  }
};

TEST_F(ExtractTest, SaveAsAsksWithTheProgramsTitleFiltersAndThePreviousName) {
  GuiWorkers.extract = RecordSelectionWorker;
  MainWindow->compressionBox()->setChecked(true);
  MainWindow->extractButton()->click();
  ASSERT_EQ(saveAsRequests.size(), 1u);
  const SaveAsRequest& first = saveAsRequests[0];
  EXPECT_EQ(first.title, "Save MPEG2 stream as");
  EXPECT_EQ(first.nameFilters,
            QStringList({"MPEG2 (*.MPG *.MPEG *.MP2 *.MPE *.MPV *.MPV2)", "All files (*.*)"}));
  EXPECT_EQ(first.defaultSuffix, "MPG");
  EXPECT_TRUE(first.confirmOverwrite);
  EXPECT_TRUE(first.offeredPath.isEmpty());
  ASSERT_TRUE(Log.runs);
  EXPECT_STREQ(Log.selection.outputPath, "/tmp/out.MPG");
  EXPECT_EQ(Log.selection.subStreamId, 0x81);
  EXPECT_TRUE(Log.selection.dynamicCompression);

  // The next Extract offers the same name; a cancel runs nothing.
  Log.runs = false;
  saveAsAnswer.reset();
  MainWindow->extractAction()->trigger();
  ASSERT_EQ(saveAsRequests.size(), 2u);
  EXPECT_EQ(saveAsRequests[1].offeredPath, "/tmp/out.MPG");
  EXPECT_FALSE(Log.runs);

  // A name longer than the output name buffer fails like a cancel.
  saveAsAnswer = QString("/tmp/") + QString(300, 'a');
  MainWindow->extractAction()->trigger();
  EXPECT_FALSE(Log.runs);
  EXPECT_STREQ(TitleSelection.outputPath, "/tmp/out.MPG");

  // PCM leaves the compression flag alone.
  MainWindow->compressionBox()->setChecked(false);
  MainWindow->titleList()->setCurrentRow(3);
  saveAsAnswer = QStringLiteral("/tmp/pcm.MPG");
  MainWindow->extractButton()->click();
  ASSERT_TRUE(Log.runs);
  EXPECT_EQ(Log.selection.streamKind, STREAM_KIND_PCM);
  EXPECT_TRUE(Log.selection.dynamicCompression);
}

void RunStopCase(GuiTest* test, std::vector<BoxRequest>& boxes, QMessageBox::StandardButton reply,
                 std::function<QMessageBox::StandardButton(const BoxRequest&)>& answer) {
  std::promise<void> answered, shown;
  QuestionAnswered = &answered;
  QuestionShown = &shown;
  unsigned progressWhileAsked = 0;
  answer = [&](const BoxRequest& request) {
    if (request.buttons != (QMessageBox::Yes | QMessageBox::No)) return QMessageBox::Ok;
    // The worker keeps sending while the question is up.
    // A modal loop like the real box's, which the worker ends once it has
    // sent its updates.
    QEventLoop loop;
    QuestionLoop = &loop;
    shown.set_value();
    loop.exec();
    QuestionLoop = nullptr;
    progressWhileAsked = RunningExtractDialog()->lastPosition();
    EXPECT_FALSE(RunningExtractDialog()->stopButton()->isEnabled()) << "disabled while asking";
    answered.set_value();
    return reply;
  };
  GuiWorkers.extract = StopMidwayWorker;
  MainWindow->extractButton()->click();
  EXPECT_EQ(progressWhileAsked, 20u);
  EXPECT_EQ(MainWindow->findChild<ExtractDialog*>(), nullptr) << "the dialog is gone";
  QuestionAnswered = nullptr;
  QuestionShown = nullptr;
}

TEST_F(ExtractTest, SaveAsOverOneOfTheTitlesFilesIsRefusedAndAskedAgain) {
  TempDir disc;
  std::filesystem::create_directories(disc.path() / "VIDEO_TS");
  const std::filesystem::path vob = disc.path() / "VIDEO_TS/VTS_01_1.VOB";
  WriteFileBytes(vob, "input", 5);
  DriveList[0] = DriveFromArgument(disc.path().string());
  GuiWorkers.extract = RecordSelectionWorker;
  std::vector<QString> answers = {QString::fromStdString((disc.path() / "VIDEO_TS/../VIDEO_TS/VTS_01_1.VOB").string()),
                                  QStringLiteral("/tmp/out.MPG")};
  SetSaveAsAnswerer([&](const SaveAsRequest&) -> std::optional<QString> {
    QString next = answers.front();
    answers.erase(answers.begin());
    return next;
  });
  MainWindow->extractButton()->click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "The output file is one of the source disc's files: choose another file");
  EXPECT_TRUE(answers.empty()) << "the dialog is shown again";
  ASSERT_TRUE(Log.runs);
  EXPECT_STREQ(Log.selection.outputPath, "/tmp/out.MPG");
  EXPECT_EQ(ReadFileBytes(vob), "input");
}

TEST_F(ExtractTest, StopAnsweredNoGoesOn) {
  RunStopCase(this, boxes, QMessageBox::No, answer);
  ASSERT_EQ(boxes.size(), 2u);
  const BoxRequest& question = boxes[0];
  EXPECT_EQ(question.text, "Stop MEPG2 extraction?");
  EXPECT_EQ(question.caption, "VOLTARK");
  EXPECT_EQ(question.icon, QMessageBox::Critical);
  EXPECT_EQ(question.defaultButton, QMessageBox::No);
  EXPECT_TRUE(question.owned);
  EXPECT_FALSE(Log.abortSeenAfterQuestion);
  EXPECT_EQ(Log.lastProgressSent, 150u);
  EXPECT_EQ(boxes[1].text, "MPEG2 extraction done!\n Video time = 00:00:05");
  EXPECT_EQ(boxes[1].icon, QMessageBox::NoIcon);
  EXPECT_EQ(boxes[1].buttons, QMessageBox::Ok);
}

TEST_F(ExtractTest, StopAnsweredYesStopsAndTheDialogClosesOnlyWhenTheWorkerHasEnded) {
  RunStopCase(this, boxes, QMessageBox::Yes, answer);
  EXPECT_TRUE(Log.abortSeenAfterQuestion);
  EXPECT_TRUE(Log.dialogOpenBeforeDone);
  EXPECT_EQ(Log.lastProgressSent, 20u);
  ASSERT_EQ(boxes.size(), 2u);
}

// Stop is pressed; the extraction ends while its question (a real box) is up.
int EndsWhileAskedWorker() {
  GuiUi().OnGuiThread([] { QTimer::singleShot(0, [] { RunningExtractDialog()->stopButton()->click(); }); });
  for (bool up = false; !up;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    GuiUi().OnGuiThread([&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      up = box != nullptr && box->isVisible();
    });
  }
  Ui().DisableStop();
  Ui().WorkerDone();
  return 0;
}

TEST_F(ExtractTest, AStopQuestionStillOpenWhenTheExtractionEndsIsClosedWithIt) {
  SetBoxAnswerer({});
  // A question left open is closed here after a while: the test fails, not hangs.
  bool leftOpen = false;
  QObject guard;
  QTimer::singleShot(10000, &guard, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if ((leftOpen = box != nullptr)) box->done(QMessageBox::No);
  });
  GuiWorkers.extract = EndsWhileAskedWorker;
  MainWindow->extractButton()->click();
  EXPECT_FALSE(leftOpen);
  EXPECT_FALSE(AbortFlag);
  EXPECT_EQ(MainWindow->findChild<ExtractDialog*>(), nullptr);
}

TEST_F(ExtractTest, StopAfterAFailureAsksNothing) {
  GuiWorkers.extract = FailedThenStopWorker;
  MainWindow->extractButton()->click();
  ASSERT_TRUE(Log.runs);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Error detected while extracting MPEG2 stream");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
}

int ShowDialogStateWorker() {
  GuiUi().OnGuiThread([] {
    ExtractDialog* dialog = RunningExtractDialog();
    Log.dialogOpenBeforeDone = dialog->isVisible() && dialog->windowTitle() == "VOLTARK" &&
                               dialog->statusLabel()->text() == "Extracting title..." &&
                               dialog->timeLabel()->text() == "00:00:00" &&
                               dialog->progressBar()->value() == 0 && dialog->stopButton()->isDefault();
    // Esc and the close request leave a progress dialog open.
    QTest::keyClick(dialog, Qt::Key_Escape);
    dialog->close();
    Log.abortSeenAfterQuestion = dialog->isVisible();
  });
  Ui().WorkerDone();
  return 0;
}

TEST_F(ExtractTest, TheDialogOpensAsDesignedAndEscDoesNotCloseIt) {
  GuiWorkers.extract = ShowDialogStateWorker;
  MainWindow->extractButton()->click();
  EXPECT_TRUE(Log.dialogOpenBeforeDone);
  EXPECT_TRUE(Log.abortSeenAfterQuestion) << "still open after Esc";
}

std::atomic<bool> ScanAbortSeen{false};

int AbortableScanWorker() {
  Ui().ListReset();
  Ui().ListAppend("Title #1  (12MB)");
  Ui().SetStatusText("Scanning Title #1 (12MB)...");
  GuiUi().OnGuiThread([] {
    ScanDialog* dialog = MainWindow->findChild<ScanDialog*>();
    QTest::keyClick(dialog, Qt::Key_Escape);  // does nothing
    dialog->abortButton()->click();
    Log.dialogOpenBeforeDone = dialog->isVisible() && dialog->statusLabel()->text() == "Scanning Title #1 (12MB)...";
  });
  ScanAbortSeen = AbortFlag.load();
  Ui().SetStatusText("Scanning done");
  Ui().WorkerDone();
  return 0;
}

TEST_F(ExtractTest, AbortAsksTheScanToStopAndTheListSoFarStays) {
  GuiWorkers.scan = AbortableScanWorker;
  MainWindow->refreshAction()->trigger();
  EXPECT_TRUE(ScanAbortSeen.load());
  EXPECT_TRUE(Log.dialogOpenBeforeDone);
  EXPECT_EQ(MainWindow->titleList()->count(), 1);
  EXPECT_EQ(MainWindow->findChild<ScanDialog*>(), nullptr);
}

}  // namespace

namespace {

std::string Probe(const std::string& file) {
  std::string command = "ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + file + "' 2>/dev/null";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
  }
  return out;
}

TEST_F(GuiTest, AnOutputThatCannotBeCreatedIsAskedForAgain) {
  UseProgramWorkers();
  ASSERT_EQ(Start(VOLTARK_SOURCE_DIR "/samples/sample-dvd"), 0);
  MainWindow->titleList()->setCurrentRow(3);  // title 1, AC3 stream #0
  TempDir dir;
  const std::string missing = (dir / "no/such/title1.MPG").string();
  const std::string output = (dir / "title1.MPG").string();
  int asked = 0;
  SetSaveAsAnswerer([&](const SaveAsRequest&) {
    return std::optional<QString>(QString::fromStdString(asked++ == 0 ? missing : output));
  });
  MainWindow->extractButton()->click();
  EXPECT_EQ(asked, 2) << "the dialog is shown again";
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text.toStdString(),
            "Unable to create output file \"" + missing + "\": No such file or directory");
  EXPECT_TRUE(boxes[1].text.startsWith("MPEG2 extraction done!")) << boxes[1].text.toStdString();
}

TEST_F(GuiTest, ExtractionFromTheWindowWritesTheFileAndEndsWithTheCompletionBox) {
  UseProgramWorkers();
  ASSERT_EQ(Start(VOLTARK_SOURCE_DIR "/samples/sample-dvd"), 0);
  MainWindow->titleList()->setCurrentRow(3);  // title 1, AC3 stream #0
  TempDir dir;
  std::string output = (dir / "title1.MPG").string();
  saveAsAnswer = QString::fromStdString(output);
  MainWindow->extractButton()->click();

  EXPECT_EQ(MainWindow->findChild<ExtractDialog*>(), nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].text.startsWith("MPEG2 extraction done!\n Video time = 00:00:0")) << boxes[0].text.toStdString();
  EXPECT_EQ(boxes[0].icon, QMessageBox::NoIcon);
  EXPECT_TRUE(boxes[0].owned);

  std::string bytes = ReadFileBytes(output);
  ASSERT_GE(bytes.size(), 2048u);
  EXPECT_EQ(bytes.size() % 2048, 0u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\0\0\1\xBA", 4));
  if (system("command -v ffprobe >/dev/null 2>&1") == 0) {
    std::string streams = Probe(output);
    EXPECT_NE(streams.find("mpeg2video"), std::string::npos) << streams;
    EXPECT_NE(streams.find("mp2"), std::string::npos) << streams;
  }
}

}  // namespace

namespace {

std::atomic<bool> BoxReturned{false};

int ErrorBoxWorker() {
  Ui().ShowBox("Unable to create output file", BoxKind::Error);
  BoxReturned = true;
  Ui().WorkerDone();
  return 0;
}

TEST_F(GuiTest, AWorkersBoxIsARealModalBoxAndTheWorkerWaitsForIt) {
  ASSERT_EQ(Start("/tmp/disc-a"), 0);
  MainWindow->titleList()->setCurrentRow(3);
  saveAsAnswer = QStringLiteral("/tmp/unused.MPG");
  SetBoxAnswerer({});  // the real box, dismissed below as a user would
  GuiWorkers.extract = ErrorBoxWorker;
  QString caption, text;
  bool workerWaited = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    poll.stop();
    caption = box->windowTitle();
    text = box->text();
    workerWaited = !BoxReturned;
    box->defaultButton()->click();
  });
  poll.start(5);
  MainWindow->extractButton()->click();
  EXPECT_EQ(caption, "VOLTARK");
  EXPECT_EQ(text, "Unable to create output file");
  EXPECT_TRUE(workerWaited);
  EXPECT_TRUE(BoxReturned);
}

}  // namespace
