#include "platform/file_names.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

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
  std::string exact = folder + "/" + name;
  struct stat info;
  if (lstat(exact.c_str(), &info) == 0) {
    path = exact;
    return true;
  }
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return false;
  while (const dirent* entry = readdir(dir.get())) {
    if (SameNameIgnoringCase(entry->d_name, name)) {
      path = folder + "/" + entry->d_name;
      return true;
    }
  }
  return false;
}
