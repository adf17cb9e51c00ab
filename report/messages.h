// Reporting of every message through the string table and the UI port.
// Each call blocks its own thread until the user has dismissed the box.
// None of these functions sets or clears AbortFlag.
#pragma once

#include <cstdint>
#include <string>

// Where the VOB reader stands: the part open and the byte offset in it. The
// reader registers the function that tells it, so that this layer needs no
// knowledge of the reader; without one, part and offset show as 0.
struct VobPosition {
  uint32_t part = 0;
  uint32_t offset = 0;
};
using VobPositionFunction = VobPosition (*)();
void SetVobPositionFunction(VobPositionFunction function);

// Shows the text of id in an error box.
void ShowError(unsigned id);

// Shows "<text of id> "<path>": <reason>" in an error box: a failure of a
// file, named with the system's reason.
void ShowFileError(unsigned id, const std::string& path, const std::string& reason);

// Shows "<text of id> VOB file #<part>" for the part the reader has open.
// Always shown.
void ShowVobError(unsigned id);

// Shows "<text of id> (offset XXXXXXXX in VOB file #<part>)" with the
// reader's current offset in its part; only in verbose mode.
void ShowVobDetailError(unsigned id);

// Where the reader stands now (part and offset 0 when no reader registered).
VobPosition CurrentVobPosition();

// Detail errors raised on a thread that works ahead of the reader (a
// track's decoder) would name wherever the reader has gone meanwhile: that
// thread holds them instead, and the walk shows them with the position at
// which it gathered the data.
struct HeldDetailErrors {
  static constexpr uint32_t CAPACITY = 8;
  unsigned ids[CAPACITY] = {};
  uint32_t count = 0;  // ids beyond CAPACITY are dropped
};
// From now on this thread's detail errors go into held; null: shown at once.
void HoldDetailErrors(HeldDetailErrors* held);
// Shows the held errors as ShowVobDetailError does, at position, and empties
// held.
void ShowHeldDetailErrors(HeldDetailErrors& held, VobPosition position);

// "%02u:%02u:%02u" of a count of seconds; hours are not wrapped.
std::string FormatHms(uint32_t seconds);
