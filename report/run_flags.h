// Flags shared by every thread of a run.
#pragma once

#include <atomic>

// Stops the running work: set by a failure that ends it, by the user's Abort
// or confirmed Stop. Cleared by the progress dialog just before it starts a
// worker. Workers poll it once per pack or packet.
extern std::atomic<bool> AbortFlag;

// Set by the verbose switch; detail messages with offsets are shown only then.
extern std::atomic<bool> VerboseErrors;

// Set by --stop-on-damage: the walk ends at the first damage of the input,
// as it did before damaged stretches were skipped.
extern std::atomic<bool> StopOnDamage;
