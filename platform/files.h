// Files as the program reads, compares and removes them, named by UTF-8
// paths on every system. The handle is opaque: a descriptor on Linux, a
// HANDLE on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct InputFile {
  intptr_t handle = -1;
};

// Opens an existing regular file for reading. False when it cannot be
// opened or is not a regular file (a folder, a device).
bool InputFileOpen(InputFile& file, const std::string& path);

// The file's size in bytes; false when the system cannot tell it.
bool InputFileSize(const InputFile& file, uint64_t& size);

// Reads up to length bytes at offset into buffer; the count read (0 at the
// end of the file), or -1 when the read failed (a sector the disc cannot
// deliver).
int64_t InputFileReadAt(const InputFile& file, uint64_t offset, uint8_t* buffer, size_t length);

void InputFileClose(InputFile& file);

// The size of the regular file at path; false when there is none.
bool RegularFileSize(const std::string& path, uint64_t& size);

// True when path names an entry (a dangling link too).
bool PathExists(const std::string& path);

// The names in folder ("." and ".." left out); false when it cannot be read.
bool ListFolder(const std::string& folder, std::vector<std::string>& names);

bool IsFolder(const std::string& path);
bool IsRegularFile(const std::string& path);

// True when both paths name one existing file (links and ".." resolved):
// the same device and inode on Linux, the same volume serial number and
// file index on Windows.
bool SameFile(const std::string& a, const std::string& b);

// Removes the file; false when it cannot be removed.
bool RemoveFile(const std::string& path);

// The path of name inside folder, with the system's separator.
std::string JoinPath(const std::string& folder, const std::string& name);

// A read-only mapping of length bytes at offset (a multiple of the page
// size) with its pages read in at once; null where the system does not map
// the disc's files (Windows: a page that cannot be read there could not be
// survived) or the mapping fails. Reads of pages the disc cannot deliver
// fault; GuardedRead survives them.
bool SystemMapsInputFiles();  // false where InputFileMap always gives null
const uint8_t* InputFileMap(const InputFile& file, uint64_t offset, uint32_t length);
void InputFileUnmap(const uint8_t* view, uint32_t length);
