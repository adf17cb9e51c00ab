#include "platform/file_bytes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

bool ReadFileBytesAt(const std::string& path, uint64_t offset, size_t count, std::vector<uint8_t>& bytes) {
  bytes.assign(count, 0);
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < count) {
    const ssize_t got = pread(fd, bytes.data() + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  close(fd);
  bytes.resize(done);
  return done > 0;
}
