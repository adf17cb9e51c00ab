#include "platform/media_change.h"

#include "platform/drives.h"

MediaChangeState MediaChange;

void SuspendMediaChangeNotify() {
  MediaChange.mediaNotifySuspended = false;
  MediaChange.fd = -1;
  if (SelectedDrive < 0 || SelectedDrive >= static_cast<int>(DriveList.size())) return;
  const Drive& drive = DriveList[SelectedDrive];
  if (drive.device.empty()) return;  // a folder has no door
  const intptr_t fd = LockDeviceDoor(drive.device.c_str());
  if (fd == -1) return;
  MediaChange.fd = fd;
  MediaChange.mediaNotifySuspended = true;
}

void ResumeMediaChangeNotify() {
  if (!MediaChange.mediaNotifySuspended) return;
  UnlockDeviceDoor(MediaChange.fd);
  MediaChange.fd = -1;
  MediaChange.mediaNotifySuspended = false;
}
