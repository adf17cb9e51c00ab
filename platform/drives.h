// The sources the program can read: DVD drives found at start-up, folders
// that hold VIDEO_TS and image files of discs. The reader and the scanner
// take the source in use from here at each open.
#pragma once

#include <optional>
#include <string>
#include <vector>

constexpr int MAX_DRIVES = 10;

struct Drive {
  std::string name;    // as listed: the device ("/dev/sr0", "D:") or the folder
  std::string device;  // the optical drive device or drive letter; empty for a folder
  std::string folder;  // for a folder source: the folder as given
  std::string image;   // for an image file of a disc (an ISO): the file
  // A label the front end already knows; when set it is used instead of the
  // file system's.
  std::optional<std::string> label;
};

extern std::vector<Drive> DriveList;  // at most MAX_DRIVES drives, then folders
extern int SelectedDrive;             // index into DriveList

// Adds the DVD drives (at most MAX_DRIVES, in order: /dev/sr* devices that
// report DVD capability on Linux, the drive letters C: to Z: of CD/DVD drives
// that can read DVDs on Windows), then every folder or image file of the
// VOLTARK_DRIVES variable, separated by ':' on Linux and ';' on Windows.
void DiscoverDrives();

// A source as given on a command line: a folder (holding VIDEO_TS, or the
// VIDEO_TS folder itself), a drive device or an image file.
Drive DriveFromArgument(const std::string& source);

// The folder that holds VIDEO_TS for the drive: a folder source as given (its
// parent when it is VIDEO_TS itself), a device through its mount point.
// False with a message in error when it cannot be found (device not mounted,
// an image file).
bool ResolveSourceRoot(const Drive& drive, std::string& root, std::string& error);

// The file the disc is read from block by block when its files cannot be
// read through a folder: an image file, or a device that is not mounted.
// False for folders and mounted devices.
bool DriveReadsBlocks(const Drive& drive, std::string& path);

// The file system label of a mounted disc (or its device); false for a plain
// folder, whose volume information cannot be read.
bool ReadVolumeLabel(const Drive& drive, std::string& label);

// True when the drive at SelectedDrive reports a CSS-protected disc (on
// Windows the DVD copyright descriptor, IOCTL_DVD_READ_STRUCTURE): its
// title sectors cannot be read through the file system without the keys the
// program does not have, so a read that fails there is the encryption, not
// damage. False for folders and images, and on Linux, where such discs are
// read through libdvdread.
bool SelectedDiscCopyProtected();
