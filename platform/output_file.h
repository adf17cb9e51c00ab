// The output file of an extraction: created anew, written in whole packs.
//
// Writes bypass the page cache (O_DIRECT, FILE_FLAG_NO_BUFFERING) where the
// file system accepts it; that mode needs aligned buffers, lengths and
// offsets, so a length it refuses (the last partial buffer of an odd count of
// 2048-byte packs on a 4 KiB-block device) is written after switching the
// file to ordinary writes (on Windows, whose handles keep their mode, through
// a second handle). File systems that refuse unbuffered writes at open
// (tmpfs) get ordinary writes from the start.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

struct OutputFile {
  intptr_t fd = -1;      // the system's handle: a descriptor, a Windows HANDLE
  bool direct = false;   // unbuffered writes still in force
  intptr_t tail = -1;    // Windows: the buffered handle for the last partial buffer
  std::string failure;   // the system's reason for the last failed create or write
  bool regular = false;  // a regular file (not a device such as /dev/null): it may be removed
};

// Creates (or truncates) the file for writing; path in UTF-8. False when it
// cannot be made, with the reason in file.failure.
bool OutputFileCreate(OutputFile& file, const char* path);

// Opens the system's null device as the file: everything written to it is
// discarded (an extraction that keeps only its subtitles). Never removed.
bool OutputFileCreateDiscard(OutputFile& file);

// Writes all of data; false when the system reports fewer bytes written,
// with the reason in file.failure.
bool OutputFileWrite(OutputFile& file, const uint8_t* data, size_t length);

// Closes the file; false when the close reports an error.
bool OutputFileClose(OutputFile& file);

// Removes the closed output file at path; false when it cannot be removed
// or is not a regular file (a device named as the output is never removed).
bool OutputFileRemove(const OutputFile& file, const char* path);

// Fault injection for tests: every write that would carry the file past
// failWritesBeyond bytes fails as a full disk does (negative: never); failClose makes the next
// close report an error. OutputFileFaultsClear puts both back.
struct OutputFileFaultPlan {
  std::atomic<int64_t> failWritesBeyond{-1};
  std::atomic<bool> failClose{false};
  std::atomic<int64_t> written{0};  // bytes written since the last create
};
extern OutputFileFaultPlan OutputFileFaults;
void OutputFileFaultsClear();
