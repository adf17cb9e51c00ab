#include "platform/worker_thread.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <system_error>

bool StartWorkerThread(std::thread& thread, int (*proc)(), const char* name) {
  try {
    thread = std::thread([proc, name] {
      pthread_setname_np(pthread_self(), name);
      proc();
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void RaiseCurrentThreadPriority(ThreadPriority priority) {
  // Linux gives each thread its own nice value; a lower one needs
  // CAP_SYS_NICE (or an RLIMIT_NICE allowance), so unprivileged runs keep 0.
  int nice = 0;
  switch (priority) {
    case ThreadPriority::Normal: return;
    case ThreadPriority::AboveNormal: nice = -5; break;
    case ThreadPriority::Highest: nice = -10; break;
  }
  pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice);
}

void JoinWorkerThread(std::thread& thread) {
  if (thread.joinable()) thread.join();
}
