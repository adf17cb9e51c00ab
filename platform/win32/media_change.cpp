#include "platform/media_change.h"

#include <windows.h>
#include <winioctl.h>

#include "platform/win32/wide.h"

namespace {

// Media change notification off (and the eject button held) while true.
bool HoldMedia(HANDLE device, bool hold) {
  PREVENT_MEDIA_REMOVAL request = {};
  request.PreventMediaRemoval = hold ? TRUE : FALSE;
  DWORD returned;
  return DeviceIoControl(device, IOCTL_STORAGE_MCN_CONTROL, &request, sizeof request, nullptr, 0, &returned,
                         nullptr) != 0;
}

}  // namespace

intptr_t LockDeviceDoor(const char* device) {
  // The drive letter ("D:") names the volume device "\\.\D:".
  std::wstring name = L"\\\\.\\" + Utf16FromUtf8(device);
  while (!name.empty() && name.back() == L'\\') name.pop_back();
  HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return -1;
  if (!HoldMedia(handle, true)) {
    CloseHandle(handle);
    return -1;
  }
  return reinterpret_cast<intptr_t>(handle);
}

void UnlockDeviceDoor(intptr_t handle) {
  HoldMedia(reinterpret_cast<HANDLE>(handle), false);
  CloseHandle(reinterpret_cast<HANDLE>(handle));
}
