// The UI port of the Windows program. Every call of a worker is a
// synchronous window message to the control or dialog it concerns
// (SendMessage), so the worker goes on only once the main thread has taken
// the update; a message box is shown by the main thread, owned by the
// dialog that runs the worker, while the worker waits.
#pragma once

#include <windows.h>

#include "platform/ui_port.h"

struct ProgressControls {
  HWND dialog = nullptr;  // the target of WM_WORKER_DONE
  HWND status = nullptr;
  HWND time = nullptr;    // "EXTRACT" only
  HWND bar = nullptr;     // "EXTRACT" only
};

class Win32Ui : public UiPort {
 public:
  // Set on the main thread while no worker runs.
  void SetTitleList(HWND list) { titleList_ = list; }
  void SetProgress(const ProgressControls& controls) { progress_ = controls; }

  void ListReset() override;
  void ListAppend(const std::string& line) override;
  void SetStatusText(const std::string& text) override;
  void SetTimeText(const std::string& text, uint32_t seconds) override;
  void SetProgress(unsigned position) override;
  void DisableStop() override;
  void ShowBox(const std::string& text, BoxKind kind) override;
  void WorkerDone() override;

 private:
  HWND titleList_ = nullptr;
  ProgressControls progress_;
};

extern Win32Ui WindowsUi;

// The handler of WM_WORKER_BOX in every window that can receive it: shows
// the box (wParam: the BoxKind, lParam: the UTF-16 text) owned by window.
void ShowWorkerBox(HWND window, WPARAM kind, LPARAM text);
