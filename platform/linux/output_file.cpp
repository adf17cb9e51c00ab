#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

OutputFileFaultPlan OutputFileFaults;

void OutputFileFaultsClear() {
  OutputFileFaults.failWritesBeyond = -1;
  OutputFileFaults.failClose = false;
}

bool OutputFileCreate(OutputFile& file, const char* path) {
  constexpr int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
  file.direct = true;
  file.fd = open(path, flags | O_DIRECT, 0666);
  if (file.fd < 0 && errno == EINVAL) {
    file.direct = false;
    file.fd = open(path, flags, 0666);
  }
  OutputFileFaults.written = 0;
  if (file.fd < 0) {
    file.failure = std::strerror(errno);
    file.regular = false;
    return false;
  }
  struct stat info;
  file.regular = fstat(file.fd, &info) == 0 && S_ISREG(info.st_mode);
  return true;
}

bool OutputFileCreateDiscard(OutputFile& file) {
  file.direct = false;
  file.fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
  OutputFileFaults.written = 0;
  file.regular = false;
  if (file.fd >= 0) return true;
  file.failure = std::strerror(errno);
  return false;
}

namespace {

bool InjectedWriteFailure(size_t length) {
  int64_t limit = OutputFileFaults.failWritesBeyond.load();
  return limit >= 0 && OutputFileFaults.written.load() + static_cast<int64_t>(length) > limit;
}

bool WriteFailed(OutputFile& file, int error) {
  file.failure = std::strerror(error);
  return false;
}

// Leaves unbuffered mode for the rest of the file.
bool DropDirectMode(OutputFile& file) {
  int flags = fcntl(file.fd, F_GETFL);
  if (flags < 0 || fcntl(file.fd, F_SETFL, flags & ~O_DIRECT) < 0) return false;
  file.direct = false;
  return true;
}

}  // namespace

bool OutputFileWrite(OutputFile& file, const uint8_t* data, size_t length) {
  if (file.fd < 0) return WriteFailed(file, EBADF);
  if (InjectedWriteFailure(length)) return WriteFailed(file, ENOSPC);
  size_t done = 0;
  while (done < length) {
    ssize_t n = write(file.fd, data + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EINVAL && file.direct) {
      // The length or what is left of it does not suit unbuffered mode.
      if (!DropDirectMode(file)) return WriteFailed(file, errno);
      continue;
    }
    if (n < 0) return WriteFailed(file, errno);
    // Nothing written without an error: the device takes no more.
    if (n == 0) return WriteFailed(file, ENOSPC);
    done += static_cast<size_t>(n);
  }
  OutputFileFaults.written += static_cast<int64_t>(length);
  return true;
}

bool OutputFileClose(OutputFile& file) {
  if (file.fd < 0) return true;
  bool ok = close(file.fd) == 0;
  file.fd = -1;
  if (OutputFileFaults.failClose.exchange(false)) ok = false;
  return ok;
}

bool OutputFileRemove(const OutputFile& file, const char* path) {
  return file.regular && std::remove(path) == 0;
}
