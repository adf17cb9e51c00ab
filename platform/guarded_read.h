// Reads of memory-mapped file data that survive a read fault.
//
// A page of a mapped file that the device cannot deliver (an unreadable
// sector, a file truncated under the mapping) raises SIGBUS on Linux. The
// readers of the VOB data read the first bytes of every new record through
// GuardedRead, which turns such a fault into a false result instead of the
// death of the process. Faults outside a guarded read are passed on to the
// handler that was in place before (by default: the process dies as usual).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Copies count bytes from p to out. False when the read faulted; out may
// then hold part of the bytes. Safe to call from any thread.
bool GuardedRead(const uint8_t* p, size_t count, uint8_t* out);

inline bool GuardedReadByte(const uint8_t* p, uint8_t& out) { return GuardedRead(p, 1, &out); }

// Installs the SIGBUS handler now rather than at the first guarded read.
void GuardedReadInstall();

// Fault injection for tests: when set, called on the reading thread before
// every guarded read with the address about to be read (the first bytes of
// each record of the walks), so that a test can act at a chosen record:
// truncate the file under the mapping, press Stop.
using GuardedReadObserver = void (*)(const uint8_t* p);
extern std::atomic<GuardedReadObserver> GuardedReadWatch;
