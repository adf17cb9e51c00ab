// An auto-reset event: Signal lets exactly one wait return (or the next wait,
// if nobody waits yet); several signals before a wait fold into one. Waits have
// no time limit, so every caller re-tests its own flag in a loop around them.
#pragma once

#include <condition_variable>
#include <mutex>

struct AutoResetEvent {
  std::mutex mutex;
  std::condition_variable changed;
  bool signalled = false;
};

// Puts the event back to non-signalled, as a newly created event is.
void EventReset(AutoResetEvent& event);
void EventSignal(AutoResetEvent& event);
// Returns once the event is signalled, and leaves it non-signalled.
void EventWait(AutoResetEvent& event);
