// Linux only: file system labels and the mount table.
#pragma once

#include <string>

// The label of the file system on a device (or in an image file), through
// libblkid, else through /dev/disk/by-label.
bool ReadFileSystemLabel(const std::string& device, std::string& label);

// The mount point of the file system on device major:minor in the text of
// /proc/self/mountinfo (escaped blanks and the like decoded); empty when it
// is not mounted.
std::string MountPointIn(const std::string& mountinfo, unsigned major, unsigned minor);
