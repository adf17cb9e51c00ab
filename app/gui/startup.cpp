#include "app/gui/startup.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "app/command_line.h"
#include "app/gui/main_window.h"
#include "app/gui/qt_ui.h"
#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "extract/title_selection.h"
#include "platform/drives.h"
#include "platform/media_change.h"
#include "platform/work_buffers.h"
#include "source/title_scanner.h"

void InitGuiResources() { Q_INIT_RESOURCE(voltark); }

int StartUp(const std::string& commandLine) {
  InitGuiResources();
  MainWindow = nullptr;
  TitleSelection.outputPath[0] = '\0';
  VerboseErrors = false;
  UiInstall(&GuiUi());
  QIcon icon;
  icon.addFile(QStringLiteral(":/voltark/icon16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/voltark/icon32.png"), QSize(32, 32));
  QApplication::setWindowIcon(icon);

  // A syntax error is reported and start-up goes on.
  ParseCommandLine(commandLine);
  // A drive without a disc is an empty list; a folder or image named is told.
  TitleScanner.quietEmptyDrive = true;

  DriveList.clear();
  DiscoverDrives();
  if (DriveList.empty()) {
    ShowError(IDS_NO_DRIVE);
    std::fprintf(stderr,
                 "VOLTARK: no DVD drive was found. Name a folder that holds VIDEO_TS, or a disc image file, in "
                 "the colon-separated VOLTARK_DRIVES variable, for example\n"
                 "  VOLTARK_DRIVES=/path/to/dvd.iso:/path/to/folder voltark\n"
                 "More images can then be added with File > Open Image.\n");
    return 1;
  }
  if (!AllocateWorkBuffers()) {
    ShowError(IDS_NO_BUFFER);
    return 1;
  }

  SelectedDrive = 0;
  MainWindow = new VoltarkMainWindow();
  SuspendMediaChangeNotify();
  MainWindow->show();
  MainWindow->Refresh();
  return 0;
}

void DestroyMainWindow() {
  ResumeMediaChangeNotify();
  delete MainWindow;
  MainWindow = nullptr;
  GuiUi().SetTitleList(nullptr);
}

int RunProgram(int argc, char** argv) {
  // Answered before any window system is needed.
  const std::string answer = TerminalAnswer(argc, argv, VOLTARK_VERSION);
  if (!answer.empty()) {
    std::fputs(answer.c_str(), stdout);
    return 0;
  }
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  int status = StartUp(JoinArguments(argc, argv));
  if (MainWindow == nullptr) return status;
  MessageLoopRunning = true;
  application.exec();
  MessageLoopRunning = false;
  DestroyMainWindow();
  UiInstall(nullptr);
  return 0;
}
