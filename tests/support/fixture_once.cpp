#include "tests/support/fixture_once.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

int MakeFixtureOnce(const std::filesystem::path& folder, const std::filesystem::path& made, const std::string& command) {
  std::error_code ignored;
  std::filesystem::create_directories(folder.parent_path(), ignored);
  const std::string lock = folder.string() + ".lock";
  int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  int status = 0;
  if (::flock(fd, LOCK_EX) != 0) {
    status = -1;
  } else if (!std::filesystem::exists(made)) {
    int raw = std::system(command.c_str());
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  ::close(fd);  // closing the only descriptor lets the lock go
  return status;
}
