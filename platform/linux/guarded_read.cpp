#include "platform/guarded_read.h"

#include <csetjmp>
#include <csignal>
#include <mutex>

namespace {

// Each thread has its own jump target; it is set only for the duration of
// one guarded copy.
// Volatile keeps its stores in order with the volatile reads they guard.
thread_local sigjmp_buf* volatile guardJump = nullptr;

struct sigaction previousAction;

void OnBusError(int, siginfo_t*, void*) {
  sigjmp_buf* jump = guardJump;
  if (jump != nullptr) {
    guardJump = nullptr;
    siglongjmp(*jump, 1);
  }
  // Not ours: give the fault back to whoever handled it before. Returning
  // re-executes the faulting read, which then meets the previous handler.
  sigaction(SIGBUS, &previousAction, nullptr);
}

void InstallHandler() {
  struct sigaction action = {};
  action.sa_sigaction = OnBusError;
  sigemptyset(&action.sa_mask);
  // SA_NODEFER: the handler leaves by siglongjmp without restoring the
  // signal mask (a mask save per read would cost a system call), so SIGBUS
  // must not be blocked while it runs.
  action.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigaction(SIGBUS, &action, &previousAction);
}

void UnblockBusError() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGBUS);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace

std::atomic<GuardedReadObserver> GuardedReadWatch{nullptr};

void GuardedReadInstall() {
  static std::once_flag installed;
  std::call_once(installed, InstallHandler);
}

bool GuardedRead(const uint8_t* p, size_t count, uint8_t* out) {
  GuardedReadInstall();
  if (GuardedReadObserver watch = GuardedReadWatch.load(std::memory_order_relaxed)) watch(p);
  sigjmp_buf jump;
  if (sigsetjmp(jump, 0) != 0) {
    // Some run-times deliver the signal with SIGBUS blocked whatever the
    // flags said; make sure the next fault is delivered again.
    UnblockBusError();
    return false;
  }
  guardJump = &jump;
  // Volatile: every byte is read here, inside the guard, not later.
  const volatile uint8_t* source = p;
  for (size_t i = 0; i < count; ++i) out[i] = source[i];
  guardJump = nullptr;
  return true;
}
