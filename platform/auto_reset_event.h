// An auto-reset event: Signal lets exactly one wait return (or the next wait,
// if nobody waits yet); several signals before a wait fold into one. Waits have
// no time limit, so every caller re-tests its own flag in a loop around them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

struct AutoResetEvent {
  // Linux: a mutex and a condition variable.
  std::mutex mutex;
  std::condition_variable changed;
  bool signalled = false;
  // Windows: one word, 1 while signalled, waited on with WaitOnAddress (the
  // run-time's condition variables cost a round trip to the system per
  // wait; an address wait does not when nobody sleeps).
  std::atomic<uint32_t> state{0};
};

// Puts the event back to non-signalled, as a newly created event is.
void EventReset(AutoResetEvent& event);
void EventSignal(AutoResetEvent& event);
// Returns once the event is signalled, and leaves it non-signalled.
void EventWait(AutoResetEvent& event);
