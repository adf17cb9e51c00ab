#include "platform/file_names.h"

#include <vector>

#include "platform/file_identity.h"
#include "platform/files.h"

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x -= 'a' - 'A';
    if (y >= 'a' && y <= 'z') y -= 'a' - 'A';
    if (x != y) return false;
  }
  return true;
}

bool FindEntryIgnoringCase(const std::string& folder, const std::string& name, std::string& path) {
  std::string exact = JoinPath(folder, name);
  if (PathExists(exact)) {
    path = exact;
    return true;
  }
  for (const std::string& entry : FolderEntries(folder)) {
    if (SameNameIgnoringCase(entry, name)) {
      path = JoinPath(folder, entry);
      return true;
    }
  }
  return false;
}
