#include "platform/files.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

bool InputFileOpen(InputFile& file, const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return false;
  }
  file.handle = fd;
  return true;
}

bool InputFileSize(const InputFile& file, uint64_t& size) {
  struct stat info;
  if (file.handle < 0 || fstat(static_cast<int>(file.handle), &info) != 0) return false;
  size = static_cast<uint64_t>(info.st_size);
  return true;
}

int64_t InputFileReadAt(const InputFile& file, uint64_t offset, uint8_t* buffer, size_t length) {
  for (;;) {
    ssize_t got = pread(static_cast<int>(file.handle), buffer, length, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    return got < 0 ? -1 : got;
  }
}

void InputFileClose(InputFile& file) {
  if (file.handle >= 0) close(static_cast<int>(file.handle));
  file.handle = -1;
}

bool RegularFileSize(const std::string& path, uint64_t& size) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}



std::string JoinPath(const std::string& folder, const std::string& name) { return folder + "/" + name; }



const uint8_t* InputFileMap(const InputFile& file, uint64_t offset, uint32_t length) {
  // MAP_POPULATE: the pages come with the view, not one fault at a time.
  // Pages that cannot be delivered are left out silently; reading them
  // faults.
  void* view = mmap(nullptr, length, PROT_READ, MAP_SHARED | MAP_POPULATE, static_cast<int>(file.handle),
                    static_cast<off_t>(offset));
  return view == MAP_FAILED ? nullptr : static_cast<const uint8_t*>(view);
}

void InputFileUnmap(const uint8_t* view, uint32_t length) {
  if (view != nullptr) munmap(const_cast<uint8_t*>(view), length);
}

bool SystemMapsInputFiles() { return true; }
