// Threads of an extraction: started with a priority hint, joined at their end.
#pragma once

#include <thread>

enum class ThreadPriority {
  Normal,
  AboveNormal,  // the encoder thread
  Highest,      // the output writer thread
};

// Starts proc on a new thread named name (at most 15 characters, shown by
// ps and top); false when the system refuses the thread.
bool StartWorkerThread(std::thread& thread, int (*proc)(), const char* name);

// Raises the calling thread's scheduling priority as far as the system lets
// this process; a refusal (no privilege) is ignored and the thread runs on at
// its normal priority.
void RaiseCurrentThreadPriority(ThreadPriority priority);

// Waits for a thread started by StartWorkerThread to end; nothing when none
// was started.
void JoinWorkerThread(std::thread& thread);
