#include "app/win32/win32_ui.h"

#include <windows.h>

#include <commctrl.h>

#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"
#include "platform/win32/wide.h"

Win32Ui WindowsUi;

namespace {
void SetText(HWND control, const std::string& text) {
  if (control == nullptr) return;
  const std::wstring wide = Utf16FromUtf8(text);
  SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}
}  // namespace

void Win32Ui::ListReset() {
  if (titleList_ != nullptr) SendMessageW(titleList_, LB_RESETCONTENT, 0, 0);
}

void Win32Ui::ListAppend(const std::string& line) {
  if (titleList_ == nullptr) return;
  const std::wstring wide = Utf16FromUtf8(line);
  SendMessageW(titleList_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void Win32Ui::SetStatusText(const std::string& text) { SetText(progress_.status, text); }

void Win32Ui::SetTimeText(const std::string& text, uint32_t) { SetText(progress_.time, text); }

void Win32Ui::SetProgress(unsigned position) {
  // The bar's range is 0..100; it holds a larger position at its end.
  if (progress_.bar != nullptr) SendMessageW(progress_.bar, PBM_SETPOS, position, 0);
}

void Win32Ui::DisableStop() {
  if (progress_.dialog != nullptr) SendMessageW(progress_.dialog, WM_WORKER_DISABLE_STOP, 0, 0);
}

void Win32Ui::ShowBox(const std::string& text, BoxKind kind) {
  // A lone carriage return ("done!\r Video time") breaks the line.
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    lines += text[i];
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) lines += '\n';
  }
  const std::wstring wide = Utf16FromUtf8(lines);
  // The box belongs to the dialog running the work, else to the main window
  // (none before it exists).
  HWND owner = progress_.dialog != nullptr ? progress_.dialog : Shell.main;
  if (owner == nullptr) {
    ShowWorkerBox(nullptr, static_cast<WPARAM>(kind), reinterpret_cast<LPARAM>(wide.c_str()));
    return;
  }
  SendMessageW(owner, WM_WORKER_BOX, static_cast<WPARAM>(kind), reinterpret_cast<LPARAM>(wide.c_str()));
}

void Win32Ui::WorkerDone() {
  if (progress_.dialog != nullptr) SendMessageW(progress_.dialog, WM_WORKER_DONE, 0, 0);
}

void ShowWorkerBox(HWND window, WPARAM kind, LPARAM text) {
  const UINT icon = static_cast<BoxKind>(kind) == BoxKind::Error ? MB_ICONERROR : 0;
  MessageBoxW(window, reinterpret_cast<const wchar_t*>(text), L"VOLTARK", MB_OK | icon);
}
