#include "platform/drives.h"

#include <windows.h>
#include <winioctl.h>
#include <ntddcdvd.h>

#include <cstdlib>

#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/win32/wide.h"

std::vector<Drive> DriveList;
int SelectedDrive = 0;

namespace {

// "D:", "d:\" or "D:/": a drive letter, the way a disc is named on Windows.
bool IsDriveLetter(const std::string& source, std::string& letter) {
  if (source.size() < 2 || source.size() > 3 || source[1] != ':') return false;
  if (source.size() == 3 && source[2] != '\\' && source[2] != '/') return false;
  char c = source[0];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c < 'A' || c > 'Z') return false;
  letter = std::string(1, c) + ":";
  return true;
}

std::wstring RootOf(const std::string& letter) { return Utf16FromUtf8(letter) + L"\\"; }

// A CD/DVD drive whose device lists a DVD medium type among those it reads.
bool IsDvdDrive(const std::string& letter) {
  if (GetDriveTypeW(RootOf(letter).c_str()) != DRIVE_CDROM) return false;
  std::wstring device = L"\\\\.\\" + Utf16FromUtf8(letter);
  HANDLE handle = CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  alignas(8) unsigned char buffer[2048];
  DWORD returned = 0;
  bool dvd = DeviceIoControl(handle, IOCTL_STORAGE_GET_MEDIA_TYPES_EX, nullptr, 0, buffer, sizeof buffer, &returned,
                             nullptr) &&
             reinterpret_cast<const GET_MEDIA_TYPES*>(buffer)->DeviceType == FILE_DEVICE_DVD;
  CloseHandle(handle);
  return dvd;
}

// The folder as given, or its parent when it is VIDEO_TS itself.
std::string FolderRoot(const std::string& folder) {
  std::string trimmed = folder;
  while (trimmed.size() > 1 && (trimmed.back() == '\\' || trimmed.back() == '/') &&
         !(trimmed.size() == 3 && trimmed[1] == ':'))
    trimmed.pop_back();
  size_t slash = trimmed.find_last_of("\\/");
  std::string base = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
  std::string inner;
  if (FindEntryIgnoringCase(folder, "VIDEO_TS", inner) || !SameNameIgnoringCase(base, "VIDEO_TS")) return folder;
  if (slash == std::string::npos) return ".";
  if (slash == 0 || (slash == 2 && trimmed[1] == ':')) return trimmed.substr(0, slash + 1);
  return trimmed.substr(0, slash);
}

}  // namespace

void DiscoverDrives() {
  DriveList.clear();
  SelectedDrive = 0;
  const DWORD present = GetLogicalDrives();
  for (char c = 'C'; c <= 'Z' && DriveList.size() < MAX_DRIVES; ++c) {
    if ((present & (1u << (c - 'A'))) == 0) continue;
    std::string letter = std::string(1, c) + ":";
    if (IsDvdDrive(letter)) DriveList.push_back(Drive{letter, letter, "", "", std::nullopt});
  }
  // ';' separates the entries: ':' belongs to a drive letter here.
  const wchar_t* value = _wgetenv(L"VOLTARK_DRIVES");
  if (value == nullptr) return;
  std::string list = Utf8FromUtf16(value);
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    std::string entry = list.substr(start, end - start);
    if (!entry.empty()) DriveList.push_back(DriveFromArgument(entry));
    start = end + 1;
  }
}

Drive DriveFromArgument(const std::string& source) {
  std::string letter;
  if (IsDriveLetter(source, letter)) return Drive{letter, letter, "", "", std::nullopt};
  if (IsRegularFile(source)) return Drive{source, "", "", source, std::nullopt};
  return Drive{source, "", source, "", std::nullopt};
}

bool DriveReadsBlocks(const Drive&, std::string&) {
  // Windows mounts a disc image itself (Explorer's Mount): it is then a
  // drive letter, read through its files like any disc.
  return false;
}

bool ResolveSourceRoot(const Drive& drive, std::string& root, std::string& error) {
  if (!drive.image.empty()) {
    error = drive.image + ": an image file (mount it with Explorer's Mount and give its drive letter)";
    return false;
  }
  if (!drive.device.empty()) {
    if (!IsFolder(drive.device + "\\")) {
      error = drive.device + ": no disc in the drive";
      return false;
    }
    root = drive.device + "\\";
    return true;
  }
  if (!IsFolder(drive.folder)) {
    error = drive.folder + ": no such folder";
    return false;
  }
  root = FolderRoot(drive.folder);
  return true;
}

bool ReadVolumeLabel(const Drive& drive, std::string& label) {
  if (drive.label) {
    label = *drive.label;
    return true;
  }
  // Only a drive letter has a volume label; a plain folder has none.
  if (drive.device.empty()) return false;
  wchar_t name[MAX_PATH + 1] = {};
  if (!GetVolumeInformationW(RootOf(drive.device).c_str(), name, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr,
                             0))
    return false;
  label = Utf8FromUtf16(name);
  return true;
}

bool SelectedDiscCopyProtected() {
  if (SelectedDrive < 0 || SelectedDrive >= static_cast<int>(DriveList.size())) return false;
  const Drive& drive = DriveList[SelectedDrive];
  if (drive.device.empty()) return false;
  std::wstring device = L"\\\\.\\" + Utf16FromUtf8(drive.device);
  HANDLE handle = CreateFileW(device.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  DVD_READ_STRUCTURE request = {};
  request.Format = DvdCopyrightDescriptor;
  struct {
    DVD_DESCRIPTOR_HEADER header;
    DVD_COPYRIGHT_DESCRIPTOR copyright;
  } answer = {};
  DWORD returned = 0;
  bool isProtected = DeviceIoControl(handle, IOCTL_DVD_READ_STRUCTURE, &request, sizeof request, &answer,
                                     sizeof answer, &returned, nullptr) &&
                     answer.copyright.CopyrightProtectionType != 0;
  CloseHandle(handle);
  return isProtected;
}
