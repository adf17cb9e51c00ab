#include "platform/drives.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/file_names.h"
#include "platform/linux/mount_table.h"

#ifdef VOLTARK_HAVE_BLKID
#include <blkid/blkid.h>
#endif

std::vector<Drive> DriveList;
int SelectedDrive = 0;

namespace {

namespace fs = std::filesystem;

// One line of /proc/self/mountinfo, the fields the program needs.
struct MountEntry {
  unsigned major = 0;
  unsigned minor = 0;
  std::string mountPoint;
  std::string fileSystem;
  std::string source;
};

// mountinfo writes blanks, tabs, newlines and backslashes as \ooo.
std::string UnescapeOctal(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isdigit(static_cast<unsigned char>(text[i + 2])) && std::isdigit(static_cast<unsigned char>(text[i + 3]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 3), nullptr, 8));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<MountEntry> ParseMounts(std::istream& in) {
  std::vector<MountEntry> mounts;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, device, root, mountPoint, field;
    if (!(fields >> id >> parent >> device >> root >> mountPoint)) continue;
    // Optional fields run up to a lone "-"; file system type and source follow.
    while (fields >> field && field != "-") {
    }
    MountEntry entry;
    if (!(fields >> entry.fileSystem >> entry.source)) continue;
    if (std::sscanf(device.c_str(), "%u:%u", &entry.major, &entry.minor) != 2) continue;
    entry.mountPoint = UnescapeOctal(mountPoint);
    entry.source = UnescapeOctal(entry.source);
    mounts.push_back(entry);
  }
  return mounts;
}

std::vector<MountEntry> ReadMounts() {
  std::ifstream in("/proc/self/mountinfo");
  return ParseMounts(in);
}

bool IsBlockDevice(const std::string& path, dev_t* number = nullptr) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISBLK(info.st_mode)) return false;
  if (number != nullptr) *number = info.st_rdev;
  return true;
}

bool IsDvdDrive(const std::string& device) {
  int fd = open(device.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return false;
  int capability = ioctl(fd, CDROM_GET_CAPABILITY, 0);
  close(fd);
  return capability >= 0 && (capability & CDC_DVD) != 0;
}

// /dev/disk/by-label writes blanks and other unsafe bytes as \xHH.
std::string UnescapeHex(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

bool ReadFileSystemLabel(const std::string& device, std::string& label) {
#ifdef VOLTARK_HAVE_BLKID
  if (blkid_probe probe = blkid_new_probe_from_filename(device.c_str())) {
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL);
    const char* value = nullptr;
    bool found = blkid_do_safeprobe(probe) == 0 && blkid_probe_lookup_value(probe, "LABEL", &value, nullptr) == 0;
    if (found) label = value;
    blkid_free_probe(probe);
    if (found) return true;
  }
#endif
  std::error_code error;
  fs::path target = fs::canonical(device, error);
  if (error) return false;
  for (const auto& entry : fs::directory_iterator("/dev/disk/by-label", error)) {
    std::error_code ignored;
    if (fs::canonical(entry.path(), ignored) == target) {
      label = UnescapeHex(entry.path().filename().string());
      return true;
    }
  }
  return false;
}

void DiscoverDrives() {
  DriveList.clear();
  SelectedDrive = 0;
  std::vector<std::string> devices;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/dev", error)) {
    std::string name = entry.path().filename().string();
    if (name.size() > 2 && name.compare(0, 2, "sr") == 0 &&
        std::all_of(name.begin() + 2, name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
      devices.push_back(entry.path().string());
  }
  // sr2 before sr10: order by number.
  std::sort(devices.begin(), devices.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  for (const std::string& device : devices) {
    if (DriveList.size() >= MAX_DRIVES) break;
    if (IsDvdDrive(device)) DriveList.push_back(Drive{device, device, "", "", std::nullopt});
  }
  if (const char* folders = std::getenv("VOLTARK_DRIVES")) {
    std::istringstream list(folders);
    std::string folder;
    while (std::getline(list, folder, ':'))
      if (!folder.empty()) DriveList.push_back(DriveFromArgument(folder));
  }
}

Drive DriveFromArgument(const std::string& source) {
  if (IsBlockDevice(source)) return Drive{source, source, "", "", std::nullopt};
  struct stat info;
  if (stat(source.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return Drive{source, "", "", source, std::nullopt};
  return Drive{source, "", source, "", std::nullopt};
}

bool DriveReadsBlocks(const Drive& drive, std::string& path) {
  if (!drive.image.empty()) {
    path = drive.image;
    return true;
  }
  if (drive.device.empty()) return false;
  std::string root, error;
  if (ResolveSourceRoot(drive, root, error)) return false;
  path = drive.device;
  return IsBlockDevice(drive.device);
}

bool ResolveSourceRoot(const Drive& drive, std::string& root, std::string& error) {
  if (!drive.image.empty()) {
    error = drive.image + ": an image file, read block by block";
    return false;
  }
  if (drive.device.empty()) {
    struct stat info;
    if (stat(drive.folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
      error = drive.folder + ": no such folder";
      return false;
    }
    std::string inner;
    fs::path folder(drive.folder);
    std::string base = folder.lexically_normal().filename().string();
    if (base.empty()) base = folder.lexically_normal().parent_path().filename().string();
    if (!FindEntryIgnoringCase(drive.folder, "VIDEO_TS", inner) && SameNameIgnoringCase(base, "VIDEO_TS")) {
      root = (fs::path(drive.folder) / "..").lexically_normal().string();
      if (root.empty()) root = ".";
    } else {
      root = drive.folder;
    }
    return true;
  }
  dev_t number;
  if (!IsBlockDevice(drive.device, &number)) {
    error = drive.device + ": not a block device";
    return false;
  }
  std::ifstream in("/proc/self/mountinfo");
  std::string mountinfo((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  root = MountPointIn(mountinfo, major(number), minor(number));
  if (!root.empty()) return true;
  error = drive.device + ": not mounted (mount the disc first)";
  return false;
}

bool ReadVolumeLabel(const Drive& drive, std::string& label) {
  if (drive.label) {
    label = *drive.label;
    return true;
  }
  if (!drive.device.empty()) return ReadFileSystemLabel(drive.device, label);
  if (!drive.image.empty()) return ReadFileSystemLabel(drive.image, label);
  // A folder has a label only when it is the mount point of a disc.
  std::string root, error;
  if (!ResolveSourceRoot(drive, root, error)) return false;
  std::error_code failed;
  fs::path where = fs::canonical(root, failed);
  if (failed) return false;
  for (const MountEntry& mount : ReadMounts()) {
    if (mount.mountPoint == where.string() && (mount.fileSystem == "iso9660" || mount.fileSystem == "udf") &&
        IsBlockDevice(mount.source))
      return ReadFileSystemLabel(mount.source, label);
  }
  return false;
}

std::string MountPointIn(const std::string& mountinfo, unsigned majorNumber, unsigned minorNumber) {
  std::istringstream in(mountinfo);
  for (const MountEntry& mount : ParseMounts(in))
    if (mount.major == majorNumber && mount.minor == minorNumber) return mount.mountPoint;
  return "";
}

bool SelectedDiscCopyProtected() { return false; }
