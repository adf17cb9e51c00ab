#include "platform/pages.h"

#include <sys/mman.h>

void* AllocatePages(size_t bytes) {
  // Anonymous mappings are page-aligned and zero-filled.
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return memory == MAP_FAILED ? nullptr : memory;
}
