// The Windows program: start-up, then the message loop until Quit, the
// close box or Esc.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "app/command_line.h"
#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"
#include "app/win32/win32_ui.h"
#include "extract/title_selection.h"
#include "platform/drives.h"
#include "platform/media_change.h"
#include "platform/win32/wide.h"
#include "platform/work_buffers.h"
#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "source/title_scanner.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
  // No critical-error or file-open boxes of the system's own.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  Shell.main = nullptr;
  TitleSelection.outputPath[0] = '\0';
  VerboseErrors = false;
  UiInstall(&WindowsUi);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&controls);
  // The folder picker is a COM object of the shell.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  // A syntax error is reported and start-up goes on.
  ParseCommandLine(Utf8FromUtf16(commandLine));
  // A drive without a disc is an empty list; a folder named is told.
  TitleScanner.quietEmptyDrive = true;

  DriveList.clear();
  DiscoverDrives();
  if (DriveList.empty()) {
    ShowError(IDS_NO_DRIVE);
    return 1;
  }
  if (!AllocateWorkBuffers()) {
    ShowError(IDS_NO_BUFFER);
    return 1;
  }
  SelectedDrive = 0;
  if (!CreateMainWindow(instance)) return 1;
  SuspendMediaChangeNotify();
  ShowWindow(Shell.main, showCommand);
  // The first scan runs before the message loop starts.
  SendMessageW(Shell.main, WM_COMMAND, IDM_REFRESH, 0);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(Shell.main, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  UiInstall(nullptr);
  CoUninitialize();
  return 0;
}
