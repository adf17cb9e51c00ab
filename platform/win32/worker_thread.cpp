#include "platform/worker_thread.h"

#include <windows.h>

#include <system_error>

bool StartWorkerThread(std::thread& thread, int (*proc)(), const char*) {
  try {
    thread = std::thread([proc] { proc(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void RaiseCurrentThreadPriority(ThreadPriority priority) {
  int level = THREAD_PRIORITY_NORMAL;
  switch (priority) {
    case ThreadPriority::Normal: return;
    case ThreadPriority::AboveNormal: level = THREAD_PRIORITY_ABOVE_NORMAL; break;
    case ThreadPriority::Highest: level = THREAD_PRIORITY_HIGHEST; break;
  }
  (void)SetThreadPriority(GetCurrentThread(), level);
}

void JoinWorkerThread(std::thread& thread) {
  if (thread.joinable()) thread.join();
}
