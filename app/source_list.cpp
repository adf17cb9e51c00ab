#include "app/source_list.h"

#include <string>

#include "platform/media_change.h"

std::vector<Drive> AddedSources;

namespace {
int IndexOf(const std::string& name) {
  for (size_t i = 0; i < DriveList.size(); ++i)
    if (DriveList[i].name == name) return static_cast<int>(i);
  return -1;
}
}  // namespace

bool TakeSource(int index) {
  if (index < 0 || index >= static_cast<int>(DriveList.size()) || index == SelectedDrive) return false;
  ResumeMediaChangeNotify();
  SelectedDrive = index;
  SuspendMediaChangeNotify();
  return true;
}

int AddSource(const Drive& drive) {
  int index = IndexOf(drive.name);
  if (index >= 0) return index;
  DriveList.push_back(drive);
  AddedSources.push_back(drive);
  return static_cast<int>(DriveList.size()) - 1;
}

bool RediscoverSources() {
  const bool hadSource = SelectedDrive >= 0 && SelectedDrive < static_cast<int>(DriveList.size());
  const std::string inUse = hadSource ? DriveList[SelectedDrive].name : std::string();
  // The door of a drive that went away cannot stay held.
  ResumeMediaChangeNotify();
  DriveList.clear();
  DiscoverDrives();
  for (const Drive& added : AddedSources)
    if (IndexOf(added.name) < 0) DriveList.push_back(added);
  const int index = hadSource ? IndexOf(inUse) : -1;
  SelectedDrive = index >= 0 ? index : 0;
  if (!DriveList.empty()) SuspendMediaChangeNotify();
  return index < 0;
}
