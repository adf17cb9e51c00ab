// Files as the program reads, compares and removes them, named by UTF-8
// paths on every system. The handle is opaque: a descriptor on Linux, a
// HANDLE on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

bool IsFolder(const std::string& path);
bool IsRegularFile(const std::string& path);

// (Whether two paths name one file: platform/file_identity.h.)

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
