#include "tests/app/gui/gui_fixture.h"

#include <cstdlib>

#include "app/gui/gui_workers.h"
#include "app/gui/main_window.h"
#include "app/gui/startup.h"
#include "report/run_flags.h"
#include "extract/title_selection.h"
#include "platform/drives.h"
#include "platform/ui_port.h"
#include "source/title_scanner.h"

#include <tuple>

int FakeScanRuns = 0;

int FakeScanWorker() {
  ++FakeScanRuns;
  Ui().ListReset();
  TitleListCount = 0;
  for (const char* line : {"MY DISC", "Title #1  (12MB)", "  MPEG stream #0", "  PCM stream #0", "  AC3 stream #1",
                           "  DTS stream #0"})
    Ui().ListAppend(line);
  TitleList[0] = {3, 1, 12, STREAM_KIND_PCM, 0xA0};
  TitleList[1] = {4, 1, 12, STREAM_KIND_AC3, 0x81};
  TitleListCount = 2;
  // The same list as the scan's model, which a request is checked against.
  TitleScanner.titles.clear();
  ScannedTitle title;
  title.title = 1;
  title.sizeMB = 12;
  title.line = 1;
  for (auto [kind, index, line, entry] : {std::tuple{"MPEG", 0, 2, -1}, {"PCM", 0, 3, 0}, {"AC3", 1, 4, 1}, {"DTS", 0, 5, -1}}) {
    ScannedStream stream{};
    stream.kind = kind;
    stream.index = index;
    stream.line = line;
    stream.entry = entry;
    title.streams.push_back(stream);
  }
  TitleScanner.titles.push_back(title);
  Ui().SetStatusText("Scanning done");
  Ui().WorkerDone();
  return 0;
}

void GuiTest::SetUp() {
  const char* drives = std::getenv("VOLTARK_DRIVES");
  hadDrives_ = drives != nullptr;
  if (hadDrives_) savedDrives_ = drives;
  FakeScanRuns = 0;
  GuiWorkers.scan = FakeScanWorker;
  AbortFlag = false;
  TitleSelection = {};
  SetBoxAnswerer([this](const BoxRequest& request) {
    boxes.push_back(request);
    if (answer) return answer(request);
    return request.buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::No;
  });
  SetSaveAsAnswerer([this](const SaveAsRequest& request) {
    saveAsRequests.push_back(request);
    return saveAsAnswer;
  });
}

void GuiTest::TearDown() {
  if (MainWindow != nullptr) DestroyMainWindow();
  SetBoxAnswerer({});
  SetSaveAsAnswerer({});
  UseProgramWorkers();
  DriveList.clear();
  SelectedDrive = 0;
  TitleListCount = 0;
  AbortFlag = false;
  VerboseErrors = false;
  if (hadDrives_)
    setenv("VOLTARK_DRIVES", savedDrives_.c_str(), 1);
  else
    unsetenv("VOLTARK_DRIVES");
}

int GuiTest::Start(const std::string& drives, const std::string& commandLine) {
  setenv("VOLTARK_DRIVES", drives.c_str(), 1);
  return StartUp(commandLine);
}
