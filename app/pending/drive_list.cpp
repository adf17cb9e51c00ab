#include "platform/drives.h"

std::vector<Drive> DriveList;
