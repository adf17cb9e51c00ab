#include "tests/support/fixture_once.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/support/temp_dir.h"

bool MakeFixtureOnce(const std::filesystem::path& folder, const std::filesystem::path& made,
                     const std::string& command, std::string* log) {
  std::error_code ignored;
  std::filesystem::create_directories(folder.parent_path(), ignored);
  const std::string lock = folder.string() + ".lock";
  const std::string logFile = folder.string() + ".log";
  int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool there = ::flock(fd, LOCK_EX) == 0;
  if (there && !std::filesystem::exists(made)) {
    there = std::system(("(" + command + ") >'" + logFile + "' 2>&1").c_str()) == 0;
    if (!there && log != nullptr) *log = ReadFileBytes(logFile);
  }
  ::close(fd);  // closing the only descriptor lets the lock go
  return there;
}
