// Names on discs and copied folders vary in case (Linux mounts ISO 9660
// discs with lower-case names by default): names are matched ignoring case.
#pragma once

#include <string>

// The path of the entry of folder whose name equals name ignoring ASCII
// case; the exact spelling is preferred when it exists. False when there is
// no such entry.
bool FindEntryIgnoringCase(const std::string& folder, const std::string& name, std::string& path);

// True when the names are equal ignoring ASCII case.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);
