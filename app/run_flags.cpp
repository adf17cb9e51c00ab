#include "app/run_flags.h"

std::atomic<bool> AbortFlag{false};
std::atomic<bool> VerboseErrors{false};
