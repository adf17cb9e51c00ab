#include "app/win32/main_window.h"

#include <windows.h>

#include <dbt.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/extract_flow.h"
#include "app/source_list.h"
#include "app/stream_selection.h"
#include "app/win32/dialogs.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/resource_ids.h"
#include "app/win32/win32_ui.h"
#include "platform/drives.h"
#include "platform/media_change.h"
#include "platform/ui_port.h"
#include "platform/win32/wide.h"
#include "source/dvd_disc.h"

Win32ShellState Shell;

namespace {

// A source chosen with the keyboard, the list closed, is taken once it has
// stayed this long.
constexpr UINT SOURCE_SETTLE_TIMER = 1;
constexpr UINT SOURCE_SETTLE_MS = 400;

void FillSourceBox() {
  SendMessageW(Shell.source, CB_RESETCONTENT, 0, 0);
  for (const Drive& drive : DriveList) {
    const std::wstring name = Utf16FromUtf8(drive.name);
    SendMessageW(Shell.source, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  SendMessageW(Shell.source, CB_SETCURSEL, static_cast<WPARAM>(SelectedDrive), 0);
}

void SetExtractionEnabled(bool extract, bool compression) {
  EnableMenuItem(Shell.menu, IDM_EXTRACT, MF_BYCOMMAND | (extract ? MF_ENABLED : MF_GRAYED));
  EnableWindow(Shell.start, extract);
  EnableWindow(Shell.compression, compression);
  EnableWindow(Shell.keepAudio, extract);
}

bool Checked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// The selected lines, in list order.
std::vector<int> SelectedLines() {
  const LRESULT count = SendMessageW(Shell.titles, LB_GETSELCOUNT, 0, 0);
  if (count <= 0) return {};
  std::vector<int> lines(static_cast<size_t>(count));
  SendMessageW(Shell.titles, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(lines.data()));
  std::sort(lines.begin(), lines.end());
  return lines;
}

void SelectionChanged() {
  // The list changes under a scan only by the scanner: no selection then.
  if (Shell.workerRunning) return;
  const ExtractionControls controls = SelectionUpdateLines(SelectedLines(), Checked(Shell.keepAudio));
  SetExtractionEnabled(controls.extractEnabled, controls.compressionEnabled);
}

void Scan() {
  // The list is about to be emptied: nothing stays selectable.
  SetExtractionEnabled(false, false);
  if (DriveList.empty()) {
    WindowsUi.ListReset();
    return;
  }
  Shell.workerRunning = true;
  RunScanDialog(Shell.main);
  Shell.workerRunning = false;
}

// Takes the source the box shows, with a scan, when it is not the one in
// use; true when it did.
bool UseShownSource() {
  KillTimer(Shell.main, SOURCE_SETTLE_TIMER);
  const int index = static_cast<int>(SendMessageW(Shell.source, CB_GETCURSEL, 0, 0));
  if (Shell.workerRunning || !TakeSource(index)) return false;
  Scan();
  return true;
}

void Refresh() {
  // A source shown but not yet taken is the one scanned.
  if (UseShownSource()) return;
  Scan();
}

void Extract() {
  // The listed titles are those of the source shown: a source change not yet
  // taken is taken now (a scan, which leaves nothing selected) instead.
  if (UseShownSource()) return;
  ExtractQuestions questions;
  questions.discTitle = [](const std::vector<const DiscTitle*>& titles) { return AskDiscTitle(Shell.main, titles); };
  questions.outputFile = [](const std::string& previous) { return AskSaveAs(Shell.main, previous); };
  questions.folder = [] { return AskFolder(Shell.main, L"Folder for the disc titles"); };
  questions.runExtraction = [] {
    Shell.workerRunning = true;
    RunExtractDialog(Shell.main);
    Shell.workerRunning = false;
  };
  RunExtractCommand(JobOfSelectedLines(SelectedLines(), Checked(Shell.keepAudio), Checked(Shell.compression)),
                    questions);
}

void AddFolder() {
  std::optional<std::string> folder = AskFolder(Shell.main, L"Add a folder that holds VIDEO_TS");
  if (!folder) return;
  const Drive drive = DriveFromArgument(*folder);
  std::string error;
  if (!CheckSource(drive, error)) {
    Ui().ShowBox(error, BoxKind::Error);
    return;
  }
  const int index = AddSource(drive);
  FillSourceBox();
  SendMessageW(Shell.source, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  TakeSource(index);
  Refresh();
}

void Quit() {
  ResumeMediaChangeNotify();
  PostQuitMessage(0);
}

// The drive letters (bit 0: A:) of the source in use, if it is a drive.
DWORD SelectedDriveUnit() {
  if (SelectedDrive < 0 || SelectedDrive >= static_cast<int>(DriveList.size())) return 0;
  const std::string& device = DriveList[SelectedDrive].device;
  if (device.empty()) return 0;
  const char letter = static_cast<char>(device[0] & ~0x20);
  return letter >= 'A' && letter <= 'Z' ? 1u << (letter - 'A') : 0;
}

// A drive, a disc or a mounted image came or went (units: its letters).
void SourcesChanged(DWORD units) {
  const bool mediaInUse = (units & SelectedDriveUnit()) != 0;
  const bool otherSource = RediscoverSources();
  FillSourceBox();
  if (otherSource || mediaInUse) Scan();
}

void TakePendingSourcesChange() {
  if (!Shell.sourcesChangePending || Shell.workerRunning) return;
  Shell.sourcesChangePending = false;
  SourcesChanged(~0u);
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  if (id == IDC_TITLES && code == LBN_SELCHANGE) {
    SelectionChanged();
    return DefDlgProcW(window, WM_COMMAND, wParam, lParam);
  }
  if (id == IDC_SOURCE && code == CBN_CLOSEUP) {
    UseShownSource();
    return DefDlgProcW(window, WM_COMMAND, wParam, lParam);
  }
  if (id == IDC_SOURCE && code == CBN_SELCHANGE) {
    SetTimer(window, SOURCE_SETTLE_TIMER, SOURCE_SETTLE_MS, nullptr);
    return DefDlgProcW(window, WM_COMMAND, wParam, lParam);
  }
  if (code != 0) return DefDlgProcW(window, WM_COMMAND, wParam, lParam);
  switch (id) {
    case IDCANCEL:
      // The close box and Esc give no control handle; a control could.
      if (lParam == 0) Quit();
      break;
    case IDM_EXTRACT:
    case IDC_START: Extract(); break;
    case IDM_QUIT: Quit(); break;
    case IDM_REFRESH: Refresh(); break;
    case IDM_README: RunReadmeDialog(window); break;
    case IDM_ABOUT: RunAboutDialog(window); break;
    case IDM_ADD_FOLDER: AddFolder(); break;
    case IDC_KEEP_AUDIO: SelectionChanged(); break;
    default: break;
  }
  TakePendingSourcesChange();
  return 0;
}

LRESULT OnDeviceChange(WPARAM event, LPARAM data) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return TRUE;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
  if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_VOLUME) return TRUE;
  const DWORD units = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(data)->dbcv_unitmask;
  // The sources do not change under a worker, nor under an open dialog
  // whose answer refers to them: they are taken once it has closed.
  if (Shell.workerRunning || !IsWindowEnabled(Shell.main)) {
    Shell.sourcesChangePending = true;
    return TRUE;
  }
  SourcesChanged(units);
  return TRUE;
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      Quit();
      return 0;
    case WM_COMMAND:
      return OnCommand(window, wParam, lParam);
    case WM_TIMER:
      if (wParam == SOURCE_SETTLE_TIMER) UseShownSource();
      return 0;
    case WM_DEVICECHANGE:
      return OnDeviceChange(wParam, lParam);
    case WM_WORKER_BOX:
      ShowWorkerBox(window, wParam, lParam);
      return 0;
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      ShowLogoAtDpi(window);
      return 0;
    }
    default:
      return DefDlgProcW(window, message, wParam, lParam);
  }
}

}  // namespace

bool CreateMainWindow(HINSTANCE instance) {
  Shell.instance = instance;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWndProc;
  windowClass.cbWndExtra = DLGWINDOWEXTRA;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, L"VOLTARK");
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, L"VOLTARK", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszMenuName = L"VOLTARK";
  windowClass.lpszClassName = L"VOLTARK";
  if (RegisterClassExW(&windowClass) == 0) return false;

  Shell.main = CreateDialogParamW(instance, L"VOLTARK", nullptr, nullptr, 0);
  if (Shell.main == nullptr) return false;
  Shell.menu = GetMenu(Shell.main);
  Shell.source = GetDlgItem(Shell.main, IDC_SOURCE);
  Shell.titles = GetDlgItem(Shell.main, IDC_TITLES);
  Shell.start = GetDlgItem(Shell.main, IDC_START);
  Shell.compression = GetDlgItem(Shell.main, IDC_COMPRESSION);
  Shell.keepAudio = GetDlgItem(Shell.main, IDC_KEEP_AUDIO);
  // Folder names are longer than the box: its list shows them whole.
  RECT box;
  GetWindowRect(Shell.source, &box);
  SendMessageW(Shell.source, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(3 * (box.right - box.left)), 0);
  WindowsUi.SetTitleList(Shell.titles);
  ShowLogoAtDpi(Shell.main);
  FillSourceBox();
  return true;
}
