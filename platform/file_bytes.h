// A few bytes of a file or a device read at an offset, outside the VOB
// reader: the raw look at a title's first packs that tells whether the disc
// scrambles them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads up to count bytes at offset into bytes (fewer at the end of the
// file). False when the file cannot be opened or nothing can be read there.
bool ReadFileBytesAt(const std::string& path, uint64_t offset, size_t count, std::vector<uint8_t>& bytes);
