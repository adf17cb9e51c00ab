// The exit statuses of every command, and their precedence when one run ends
// several pieces of work (a batch of titles, or a walk that met damage and
// then failed): the worst status wins.
//
//   2    usage error: nothing was done
//   130  stopped by SIGINT (Ctrl-C), 143 by SIGTERM
//   1    failed
//   3    done, with damaged stretches of the input skipped
//   0    done
#pragma once

enum class ExitStatus : int {
  Done = 0,
  Failed = 1,
  Usage = 2,
  Damaged = 3,
  Interrupted = 130,
  Terminated = 143,
};

// The higher, the worse: Done < Damaged < Failed < stopped < Usage.
constexpr int ExitStatusRank(ExitStatus status) {
  switch (status) {
    case ExitStatus::Done:
      return 0;
    case ExitStatus::Damaged:
      return 1;
    case ExitStatus::Failed:
      return 2;
    case ExitStatus::Terminated:
      return 3;
    case ExitStatus::Interrupted:
      return 4;
    case ExitStatus::Usage:
      return 5;
  }
  return 2;
}

constexpr ExitStatus WorstExitStatus(ExitStatus a, ExitStatus b) {
  return ExitStatusRank(a) >= ExitStatusRank(b) ? a : b;
}

constexpr int ExitCode(ExitStatus status) { return static_cast<int>(status); }

// The lines that `--help` and the README show for the statuses above.
constexpr const char* EXIT_STATUS_HELP =
    "Exit status: 0 done; 3 done, with damaged stretches of the input skipped; 1 failed; "
    "130 stopped by Ctrl-C (143 by SIGTERM); 2 usage error.";

static_assert(WorstExitStatus(ExitStatus::Damaged, ExitStatus::Failed) == ExitStatus::Failed);
static_assert(WorstExitStatus(ExitStatus::Interrupted, ExitStatus::Failed) == ExitStatus::Interrupted);
static_assert(WorstExitStatus(ExitStatus::Usage, ExitStatus::Terminated) == ExitStatus::Usage);
