#include "platform/files.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace {

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

bool Attributes(const std::string& path, DWORD& attributes) {
  attributes = GetFileAttributesW(SystemPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES;
}


}  // namespace

bool InputFileOpen(InputFile& file, const std::string& path) {
  HANDLE handle = CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return false;
  }
  file.handle = reinterpret_cast<intptr_t>(handle);
  return true;
}

bool InputFileSize(const InputFile& file, uint64_t& size) {
  LARGE_INTEGER bytes;
  if (file.handle == -1 || !GetFileSizeEx(AsHandle(file.handle), &bytes)) return false;
  size = static_cast<uint64_t>(bytes.QuadPart);
  return true;
}

// The file pointer is moved, then read from: one thread reads a file at a
// time. A read given its offset in an OVERLAPPED instead costs Wine a round
// trip to its server at every read (it posts a completion for the
// OVERLAPPED), which on a busy machine waits for a processor each time.
int64_t InputFileReadAt(const InputFile& file, uint64_t offset, uint8_t* buffer, size_t length) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(AsHandle(file.handle), at, nullptr, FILE_BEGIN)) return -1;
  DWORD got = 0;
  const DWORD wanted = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
  if (!ReadFile(AsHandle(file.handle), buffer, wanted, &got, nullptr)) return -1;
  return got;  // 0 at the end of the file
}

void InputFileClose(InputFile& file) {
  if (file.handle != -1) CloseHandle(AsHandle(file.handle));
  file.handle = -1;
}

bool RegularFileSize(const std::string& path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return false;
  size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}



bool IsFolder(const std::string& path) {
  DWORD attributes;
  return Attributes(path, attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsRegularFile(const std::string& path) {
  DWORD attributes;
  return Attributes(path, attributes) && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}



std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + name;
  return folder + "\\" + name;
}

const uint8_t* InputFileMap(const InputFile&, uint64_t, uint32_t) { return nullptr; }

void InputFileUnmap(const uint8_t*, uint32_t) {}

bool SystemMapsInputFiles() { return false; }
