#include "platform/auto_reset_event.h"

void EventReset(AutoResetEvent& event) {
  std::lock_guard lock(event.mutex);
  event.signalled = false;
}

void EventSignal(AutoResetEvent& event) {
  {
    std::lock_guard lock(event.mutex);
    event.signalled = true;
  }
  event.changed.notify_one();
}

void EventWait(AutoResetEvent& event) {
  std::unique_lock lock(event.mutex);
  event.changed.wait(lock, [&event] { return event.signalled; });
  event.signalled = false;
}
