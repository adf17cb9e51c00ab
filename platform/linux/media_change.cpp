#include "platform/media_change.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

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

void UnlockDeviceDoor(intptr_t fd) {
  ioctl(static_cast<int>(fd), CDROM_LOCKDOOR, 0);
  close(static_cast<int>(fd));
}
