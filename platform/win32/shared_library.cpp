#include "platform/shared_library.h"

#include <windows.h>

#include "platform/win32/wide.h"

bool SharedLibraryAvailable(const char* name) {
  HMODULE library = LoadLibraryExW(Utf16FromUtf8(name).c_str(), nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  if (library == nullptr) return false;
  FreeLibrary(library);
  return true;
}

const char* DecryptionLibraryName() { return nullptr; }
