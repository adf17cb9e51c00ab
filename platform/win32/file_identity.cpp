#include "platform/file_identity.h"

#include <windows.h>

#include "platform/win32/wide.h"

bool FileIdentityOf(const std::string& path, FileIdentity& identity) {
  // msvcrt's stat gives every file inode 0: the identity is the volume's
  // serial number and the file index, as a handle on the file tells them.
  HANDLE handle = CreateFileW(SystemPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!known) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) { return a.volume == b.volume && a.index == b.index; }

bool PathExists(const std::string& path) { return GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((SystemPath(folder) + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = Utf8FromUtf16(entry.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return names;
}
