// Whether two paths name the same file, whatever the spelling: symlinks,
// hard links, ".." and the like all lead to one identity. On Linux it is the
// device and inode number; Windows gives a volume serial and a file index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
};

// The identity of the file the path leads to (symlinks followed): the file
// that opening the path for writing would truncate. False when there is
// none (the path does not exist, or leads nowhere).
bool FileIdentityOf(const std::string& path, FileIdentity& identity);

bool SameFile(const FileIdentity& a, const FileIdentity& b);

// True when something of that name exists, a dangling symlink included
// (opening it for writing would create the file it names).
bool PathExists(const std::string& path);

// The names of a folder's entries, "." and ".." left out; empty when the
// folder cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder);
