#include "platform/console.h"

#include <unistd.h>

#include <csignal>

namespace {

void (*interruptCallback)() = nullptr;

void OnInterrupt(int) {
  std::signal(SIGINT, SIG_DFL);
  if (interruptCallback != nullptr) interruptCallback();
}

}  // namespace

void ConsolePrepare() {}

bool StderrIsConsole() { return isatty(STDERR_FILENO) == 1; }

void InstallInterruptHandler(void (*onInterrupt)()) {
  interruptCallback = onInterrupt;
  std::signal(SIGINT, OnInterrupt);
}
