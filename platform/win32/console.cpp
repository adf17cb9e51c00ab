#include "platform/console.h"

#include <windows.h>

#include <atomic>

#include "platform/win32/wide.h"

namespace {

void (*interruptCallback)() = nullptr;
std::atomic<bool> interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // A second Ctrl-C goes on to the default handler, which ends the process.
  if (interrupted.exchange(true)) return FALSE;
  if (interruptCallback != nullptr) interruptCallback();
  return TRUE;
}

}  // namespace

void ConsolePrepare() {
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
  // The progress line redraws itself with "\r\033[K".
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode;
  if (GetConsoleMode(error, &mode)) SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

bool StderrIsConsole() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void InstallInterruptHandler(void (*onInterrupt)()) {
  interruptCallback = onInterrupt;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

std::string ArgumentAsUtf8(const wchar_t* argument) { return Utf8FromUtf16(argument); }
