// Whether a shared library of the system can be loaded, asked the way a
// library that loads it on demand asks (libdvdread and libdvdcss).
#pragma once

// True when the library of that file name (e.g. "libdvdcss.so.2") is found
// on the library path and loads; it is unloaded again.
bool SharedLibraryAvailable(const char* name);

// The file name of the CSS library libdvdread loads on demand
// ("libdvdcss.so.2"); null where the program reads discs without libdvdread
// (Windows), and so never decrypts.
const char* DecryptionLibraryName();
