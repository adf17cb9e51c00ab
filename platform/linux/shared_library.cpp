#include "platform/shared_library.h"

#include <dlfcn.h>

bool SharedLibraryAvailable(const char* name) {
  void* library = dlopen(name, RTLD_LAZY | RTLD_LOCAL);
  if (library == nullptr) return false;
  dlclose(library);
  return true;
}

const char* DecryptionLibraryName() { return "libdvdcss.so.2"; }
