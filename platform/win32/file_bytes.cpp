#include "platform/file_bytes.h"

#include <windows.h>

#include "platform/win32/wide.h"

bool ReadFileBytesAt(const std::string& path, uint64_t offset, size_t count, std::vector<uint8_t>& bytes) {
  bytes.assign(count, 0);
  HANDLE handle = CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  size_t done = 0;
  while (done < count) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD got = 0;
    if (!ReadFile(handle, bytes.data() + done, static_cast<DWORD>(count - done), &got, &at) || got == 0) break;
    done += got;
  }
  CloseHandle(handle);
  bytes.resize(done);
  return done > 0;
}
