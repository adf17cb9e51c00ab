#include "platform/media_change.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/drives.h"

MediaChangeState MediaChange;

intptr_t LockDeviceDoor(const char* device) {
  // Non-blocking, so that an empty drive or an open tray does not stall the
  // open.
  int fd = open(device, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (ioctl(fd, CDROM_LOCKDOOR, 1) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void SuspendMediaChangeNotify() {
  MediaChange.mediaNotifySuspended = false;
  MediaChange.fd = -1;
  if (SelectedDrive < 0 || SelectedDrive >= static_cast<int>(DriveList.size())) return;
  const Drive& drive = DriveList[SelectedDrive];
  if (drive.device.empty()) return;  // a folder has no door
  intptr_t fd = LockDeviceDoor(drive.device.c_str());
  if (fd < 0) return;
  MediaChange.fd = fd;
  MediaChange.mediaNotifySuspended = true;
}

void ResumeMediaChangeNotify() {
  if (!MediaChange.mediaNotifySuspended) return;
  ioctl(static_cast<int>(MediaChange.fd), CDROM_LOCKDOOR, 0);
  close(static_cast<int>(MediaChange.fd));
  MediaChange.fd = -1;
  MediaChange.mediaNotifySuspended = false;
}
