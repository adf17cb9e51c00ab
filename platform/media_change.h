// Holding the disc of the drive in use: while the program works on a drive,
// its door is locked where the device allows it, so that the disc is not
// changed under a scan or an extraction. Folder sources and devices that
// refuse the request are silently left alone.
#pragma once

#include <cstdint>

struct MediaChangeState {
  bool mediaNotifySuspended = false;
  intptr_t fd = -1;  // the device kept open while its door is locked (a descriptor, a HANDLE)
};

extern MediaChangeState MediaChange;

// Locks the door of the drive at SelectedDrive (nothing for a folder source
// or when the device cannot be opened or locked).
void SuspendMediaChangeNotify();

// Unlocks what SuspendMediaChangeNotify locked, if anything, and closes it.
void ResumeMediaChangeNotify();

// The device request itself, for one device path; -1 when nothing is held,
// else the open descriptor of the locked device.
intptr_t LockDeviceDoor(const char* device);

// Unlocks and closes what LockDeviceDoor returned.
void UnlockDeviceDoor(intptr_t fd);
