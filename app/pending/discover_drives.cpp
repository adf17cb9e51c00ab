// Folder sources only, from VOLTARK_DRIVES.
#include <cstdlib>
#include <sstream>

#include "platform/drives.h"

void DiscoverDrives() {
  const char* folders = std::getenv("VOLTARK_DRIVES");
  if (folders == nullptr) return;
  std::stringstream list(folders);
  std::string folder;
  while (std::getline(list, folder, ':')) {
    if (!folder.empty()) DriveList.push_back({folder, "", folder});
  }
}
