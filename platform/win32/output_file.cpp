#include "platform/output_file.h"

#include <windows.h>

#include "platform/win32/wide.h"

OutputFileFaultPlan OutputFileFaults;

void OutputFileFaultsClear() {
  OutputFileFaults.failWritesBeyond = -1;
  OutputFileFaults.failClose = false;
}

namespace {

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// The system's reason for the last failure, in UTF-8 without its line end.
std::string LastFailure() {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 GetLastError(), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = text != nullptr ? Utf8FromUtf16(text) : "unknown error";
  LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
    reason.pop_back();
  return reason;
}

bool WriteFailed(OutputFile& file, const char* reason) {
  file.failure = reason != nullptr ? reason : LastFailure();
  return false;
}

// Shared for writing: the buffered handle for the last partial buffer is
// opened on the same file while the first is still open.
HANDLE Open(const std::wstring& path, DWORD disposition, DWORD flags) {
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

bool InjectedWriteFailure(size_t length) {
  int64_t limit = OutputFileFaults.failWritesBeyond.load();
  return limit >= 0 && OutputFileFaults.written.load() + static_cast<int64_t>(length) > limit;
}

// FILE_FLAG_NO_BUFFERING cannot be switched off on an open handle: the rest
// of the file goes through a second, buffered handle at its end.
bool DropDirectMode(OutputFile& file, const wchar_t* path) {
  HANDLE tail = Open(path, OPEN_EXISTING, 0);
  if (tail == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER zero = {};
  if (!SetFilePointerEx(tail, zero, nullptr, FILE_END)) {
    CloseHandle(tail);
    return false;
  }
  file.tail = reinterpret_cast<intptr_t>(tail);
  file.direct = false;
  return true;
}

std::wstring openPath;  // the path of the file being written (one at a time)

}  // namespace

bool OutputFileCreate(OutputFile& file, const char* path) {
  openPath = SystemPath(path);
  file.direct = true;
  file.tail = -1;
  HANDLE handle = Open(openPath, CREATE_ALWAYS, FILE_FLAG_NO_BUFFERING);
  if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
    file.direct = false;
    handle = Open(openPath, CREATE_ALWAYS, 0);
  }
  OutputFileFaults.written = 0;
  if (handle == INVALID_HANDLE_VALUE) {
    file.fd = -1;
    file.failure = LastFailure();
    file.regular = false;
    return false;
  }
  file.fd = reinterpret_cast<intptr_t>(handle);
  // A disk file, not a device such as NUL or CON: it may be removed.
  file.regular = GetFileType(handle) == FILE_TYPE_DISK;
  return true;
}

bool OutputFileWrite(OutputFile& file, const uint8_t* data, size_t length) {
  if (file.fd == -1) return WriteFailed(file, "Bad file descriptor");
  if (InjectedWriteFailure(length)) return WriteFailed(file, "No space left on device");
  size_t done = 0;
  while (done < length) {
    HANDLE handle = AsHandle(file.tail != -1 ? file.tail : file.fd);
    const DWORD chunk = length - done > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length - done);
    DWORD n = 0;
    if (!WriteFile(handle, data + done, chunk, &n, nullptr)) {
      // The length or what is left of it does not suit unbuffered mode.
      if (GetLastError() == ERROR_INVALID_PARAMETER && file.direct) {
        if (!DropDirectMode(file, openPath.c_str())) return WriteFailed(file, nullptr);
        continue;
      }
      return WriteFailed(file, nullptr);
    }
    // Nothing written without an error: the device takes no more.
    if (n == 0) return WriteFailed(file, "No space left on device");
    done += n;
  }
  OutputFileFaults.written += static_cast<int64_t>(length);
  return true;
}

bool OutputFileClose(OutputFile& file) {
  if (file.fd == -1) return true;
  bool ok = CloseHandle(AsHandle(file.fd)) != 0;
  if (file.tail != -1) ok = CloseHandle(AsHandle(file.tail)) != 0 && ok;
  file.fd = -1;
  file.tail = -1;
  if (OutputFileFaults.failClose.exchange(false)) ok = false;
  return ok;
}

bool OutputFileRemove(const OutputFile& file, const char* path) {
  return file.regular && DeleteFileW(SystemPath(path).c_str()) != 0;
}

// The null device as the output (declared with the output file's other
// calls where the subtitle-only extraction needs it).
bool OutputFileCreateDiscard(OutputFile& file) {
  file.direct = false;
  file.tail = -1;
  HANDLE handle = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  OutputFileFaults.written = 0;
  file.regular = false;
  if (handle == INVALID_HANDLE_VALUE) {
    file.fd = -1;
    file.failure = LastFailure();
    return false;
  }
  file.fd = reinterpret_cast<intptr_t>(handle);
  return true;
}
