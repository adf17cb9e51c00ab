#include "platform/stop_signals.h"

#include <csignal>

namespace {

// Written by the handler only: lock-free atomics are safe in a handler.
std::atomic<bool>* abortFlag = nullptr;
std::atomic<bool>* stopFlag = nullptr;
std::atomic<int> received{static_cast<int>(StopSignal::None)};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

void OnStopSignal(int number) {
  const StopSignal kind = number == SIGTERM ? StopSignal::Terminate : StopSignal::Interrupt;
  int none = static_cast<int>(StopSignal::None);
  received.compare_exchange_strong(none, static_cast<int>(kind));
  if (abortFlag != nullptr) abortFlag->store(true);
  if (stopFlag != nullptr) stopFlag->store(true);
  // A second signal of either kind is not caught: the user insists.
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
}

}  // namespace

void StopSignalsInstall(std::atomic<bool>* abort, std::atomic<bool>* stop) {
  abortFlag = abort;
  stopFlag = stop;
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
}

StopSignal StopSignalReceived() { return static_cast<StopSignal>(received.load()); }
