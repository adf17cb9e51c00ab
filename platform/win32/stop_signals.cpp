#include "platform/stop_signals.h"

#include <windows.h>

namespace {

std::atomic<bool>* abortFlag = nullptr;
std::atomic<bool>* stopFlag = nullptr;
std::atomic<int> received{static_cast<int>(StopSignal::None)};

// Ctrl-C and Ctrl-Break stop as SIGINT does; closing the console window, a
// log-off or a shutdown as SIGTERM does. A second event of any kind goes on
// to the default handler, which ends the process at once.
BOOL WINAPI OnConsoleControl(DWORD event) {
  const StopSignal kind =
      event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? StopSignal::Interrupt : StopSignal::Terminate;
  int none = static_cast<int>(StopSignal::None);
  if (!received.compare_exchange_strong(none, static_cast<int>(kind))) return FALSE;
  if (abortFlag != nullptr) abortFlag->store(true);
  if (stopFlag != nullptr) stopFlag->store(true);
  return TRUE;
}

}  // namespace

void StopSignalsInstall(std::atomic<bool>* abort, std::atomic<bool>* stop) {
  abortFlag = abort;
  stopFlag = stop;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopSignal StopSignalReceived() { return static_cast<StopSignal>(received.load()); }
