#include "platform/pages.h"

#include <windows.h>

void* AllocatePages(size_t bytes) {
  // Committed pages are page-aligned and zero-filled.
  return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}
