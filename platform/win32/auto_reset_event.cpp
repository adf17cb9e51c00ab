#include "platform/auto_reset_event.h"

#include <windows.h>

void EventReset(AutoResetEvent& event) { event.state.store(0, std::memory_order_release); }

void EventSignal(AutoResetEvent& event) {
  if (event.state.exchange(1, std::memory_order_acq_rel) == 0) WakeByAddressSingle(&event.state);
}

// A wait looks at the word again at least this often (milliseconds): should
// a wake-up ever not arrive (an emulator's bug, say), it costs a moment, not a
// hung extraction.
constexpr DWORD EVENT_RECHECK_MS = 50;

void EventWait(AutoResetEvent& event) {
  for (;;) {
    uint32_t expected = 1;
    // Taking the signal leaves the event non-signalled: one wait returns.
    if (event.state.compare_exchange_strong(expected, 0, std::memory_order_acq_rel)) return;
    uint32_t unsignalled = 0;
    WaitOnAddress(&event.state, &unsignalled, sizeof unsignalled, EVENT_RECHECK_MS);
  }
}
