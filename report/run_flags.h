// Flags shared by every thread of a run.
#pragma once

#include <atomic>

// Stops the running work: set by a failure that ends it, by the user's Abort
// or confirmed Stop. Cleared by the progress dialog just before it starts a
// worker. Workers poll it once per pack or packet.
extern std::atomic<bool> AbortFlag;

// Set by the verbose switch; detail messages with offsets are shown only then.
extern std::atomic<bool> VerboseErrors;

// The user asked the running work to stop (the Stop button, Ctrl-C,
// SIGTERM), as opposed to a failure that ended it: a batch of extractions
// starts no further title. Set together with AbortFlag; cleared by the front
// end before it starts a run.
extern std::atomic<bool> StopRequested;
// Set by --stop-on-damage: the walk ends at the first damage of the input,
// as it did before damaged stretches were skipped.
extern std::atomic<bool> StopOnDamage;
