// A stand-in for the system's libdvdcss.so.2, built only for the tests and
// put on the library path of the program under test: it reads an image file
// block by block and undoes the toy scrambling of toy_scrambling.h when it
// is asked to decrypt. It exports the functions libdvdread loads.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "tests/support/toy_scrambling.h"

struct dvdcss_s {
  int fd;
  int block;
};

namespace {
constexpr int READ_DECRYPT = 1;
}

extern "C" {

__attribute__((visibility("default"))) char* dvdcss_interface_2 = const_cast<char*>("toy stand-in");

__attribute__((visibility("default"))) dvdcss_s* dvdcss_open(const char* target) {
  const int fd = open(target, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return new dvdcss_s{fd, 0};
}

__attribute__((visibility("default"))) int dvdcss_close(dvdcss_s* handle) {
  if (handle == nullptr) return -1;
  close(handle->fd);
  delete handle;
  return 0;
}

// A seek for a title key (flags 2) is a plain seek: the toy has no keys.
__attribute__((visibility("default"))) int dvdcss_seek(dvdcss_s* handle, int block, int flags) {
  if (handle == nullptr || block < 0) return -1;
  handle->block = block;
  return block;
}

__attribute__((visibility("default"))) int dvdcss_read(dvdcss_s* handle, void* buffer, int blocks, int flags) {
  if (handle == nullptr || blocks < 0) return -1;
  auto* bytes = static_cast<uint8_t*>(buffer);
  const size_t wanted = static_cast<size_t>(blocks) * toy_scrambling::BLOCK;
  size_t done = 0;
  while (done < wanted) {
    const ssize_t got = pread(handle->fd, bytes + done, wanted - done,
                              static_cast<off_t>(handle->block) * toy_scrambling::BLOCK + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  const int read = static_cast<int>(done / toy_scrambling::BLOCK);
  if ((flags & READ_DECRYPT) != 0)
    for (int i = 0; i < read; ++i) toy_scrambling::Unscramble(bytes + static_cast<size_t>(i) * toy_scrambling::BLOCK);
  handle->block += read;
  return read;
}

}  // extern "C"
