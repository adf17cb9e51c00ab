#include "report/run_flags.h"

std::atomic<bool> AbortFlag{false};
std::atomic<bool> VerboseErrors{false};
std::atomic<bool> StopRequested{false};
std::atomic<bool> StopOnDamage{false};
