// The UDF look-up of the disc reader calls served from the disc's files (see
// dvd_reader.h here): a folder has no UDF file system to look in.
#pragma once

#include <cstdint>

#include <dvdread/dvd_reader.h>

// The first block of the file in the disc's UDF file system: always 0
// (not found) for a folder.
uint32_t UDFFindFile(dvd_reader_t* reader, const char* filename, uint32_t* size);
