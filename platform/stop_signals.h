// Stopping by signal: Ctrl-C (SIGINT) and SIGTERM stop the running work as
// the Stop button does, and the program learns afterwards which one came,
// so that a script can tell a stopped run from a finished one.
#pragma once

#include <atomic>

enum class StopSignal : int {
  None = 0,
  Interrupt = 1,  // SIGINT, Ctrl-C
  Terminate = 2,  // SIGTERM
};

// From now on the first SIGINT or SIGTERM sets both flags (either may be
// null) and is recorded; a second one ends the program at once, as the
// signal's default action does.
void StopSignalsInstall(std::atomic<bool>* abort, std::atomic<bool>* stop);

// The first stop signal received since StopSignalsInstall; None before.
StopSignal StopSignalReceived();
