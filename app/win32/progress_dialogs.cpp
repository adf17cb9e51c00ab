// "REFRESH" and "EXTRACT": each starts its worker in a thread of its own
// when it opens and ends only when the worker has sent WM_WORKER_DONE. Esc
// does nothing; the dialogs have no close box.
#include <windows.h>

#include <commctrl.h>

#include <thread>

#include "app/extraction_batch.h"
#include "app/win32/dialogs.h"
#include "app/win32/resource_ids.h"
#include "app/win32/win32_ui.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "source/title_scanner.h"

namespace {

struct ProgressRun {
  std::thread worker;
  bool stopQuestionOpen = false;
  bool stopDisabledByWorker = false;
};

ProgressRun Run;

void StartWorker(const ProgressControls& controls, int (*worker)()) {
  WindowsUi.SetProgress(controls);
  StopRequested = false;
  AbortFlag = false;
  Run.worker = std::thread(worker);
}

// Shared by both dialogs: the worker's last message, and its boxes.
bool OnWorkerMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_WORKER_DONE) {
    EndDialog(dialog, 0);
    return true;
  }
  if (message == WM_WORKER_BOX) {
    ShowWorkerBox(dialog, wParam, lParam);
    return true;
  }
  return false;
}

void RunProgressDialog(HWND owner, const wchar_t* templateName, DLGPROC procedure) {
  Run.stopDisabledByWorker = false;
  DialogBoxParamW(GetModuleHandleW(nullptr), templateName, owner, procedure, 0);
  if (Run.worker.joinable()) Run.worker.join();
  WindowsUi.SetProgress(ProgressControls{});
}

INT_PTR CALLBACK ScanDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (OnWorkerMessage(dialog, message, wParam, lParam)) return TRUE;
  switch (message) {
    case WM_INITDIALOG:
      StartWorker(ProgressControls{dialog, GetDlgItem(dialog, IDC_SCAN_STATUS), nullptr, nullptr},
                  ScanWorker);
      return TRUE;
    case WM_COMMAND:
      // The dialog stays open until the scanner has ended.
      if (LOWORD(wParam) == IDC_ABORT) AbortFlag = true;
      return TRUE;
    default:
      return FALSE;
  }
}

// The "Stop MEPG2 extraction?" box, if it is up: the work it would stop has
// ended, so it is answered No.
BOOL CALLBACK CloseStopQuestion(HWND window, LPARAM dialog) {
  if (GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(dialog) && GetDlgItem(window, IDNO) != nullptr)
    SendMessageW(window, WM_COMMAND, IDNO, 0);
  return TRUE;
}

void AskStop(HWND dialog) {
  // After a failure the worker is already winding down: nothing to ask.
  if (AbortFlag) return;
  HWND stop = GetDlgItem(dialog, IDC_STOP);
  EnableWindow(stop, FALSE);
  wchar_t question[32];
  LoadStringW(GetModuleHandleW(nullptr), IDS_STOP_QUESTION, question, 32);
  // The worker's calls are served while the question is up: it runs on.
  Run.stopQuestionOpen = true;
  const int answer = MessageBoxW(dialog, question, L"VOLTARK", MB_YESNO | MB_ICONERROR | MB_DEFBUTTON2);
  Run.stopQuestionOpen = false;
  if (answer == IDYES) {
    StopRequested = true;  // a batch starts no further title
    AbortFlag = true;
  }
  // Once the output is closed the button stays disabled.
  if (!Run.stopDisabledByWorker) EnableWindow(stop, TRUE);
}

void WorkerEnded(HWND dialog) {
  if (Run.stopQuestionOpen) EnumThreadWindows(GetCurrentThreadId(), CloseStopQuestion, reinterpret_cast<LPARAM>(dialog));
}

INT_PTR CALLBACK ExtractDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_WORKER_DONE) WorkerEnded(dialog);
  if (OnWorkerMessage(dialog, message, wParam, lParam)) return TRUE;
  switch (message) {
    case WM_INITDIALOG: {
      // The bar: 100 x 10 dialog units at 30, 28, range 0..100.
      RECT rect{30, 28, 100, 10};
      MapDialogRect(dialog, &rect);
      HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr,
                                 WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_BORDER | PBS_SMOOTH, rect.left,
                                 rect.top, rect.right, rect.bottom, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS)),
                                 GetModuleHandleW(nullptr), nullptr);
      StartWorker(ProgressControls{dialog, GetDlgItem(dialog, IDC_EXTRACT_STATUS), GetDlgItem(dialog, IDC_TIME), bar},
                  ExtractionBatchWorker);
      return TRUE;
    }
    case WM_WORKER_DISABLE_STOP:
      Run.stopDisabledByWorker = true;
      EnableWindow(GetDlgItem(dialog, IDC_STOP), FALSE);
      WorkerEnded(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_STOP && HIWORD(wParam) == BN_CLICKED) AskStop(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void RunScanDialog(HWND owner) { RunProgressDialog(owner, L"REFRESH", ScanDialogProc); }

void RunExtractDialog(HWND owner) { RunProgressDialog(owner, L"EXTRACT", ExtractDialogProc); }
