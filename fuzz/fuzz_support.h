// Shared pieces of the fuzz harnesses: a UI port that keeps nothing, a
// scratch DVD folder selected as the drive in use, and a reader of the
// harness's leading control bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

// Installs the silent UI port and the read-fault guard and turns on verbose
// messages (so that every detail message is formatted). Call once.
void FuzzInit();

// The scratch folder that holds VIDEO_TS, under /dev/shm when it exists;
// removed when the process ends. It is the only entry of DriveList.
const std::filesystem::path& ScratchRoot();

// Writes the parts of a title (part 1 first) and removes any part of an
// earlier run beyond them.
void WriteScratchTitle(int title, const std::vector<std::vector<uint8_t>>& parts);

// Padding packs with rising SCR: filler that moves the fuzzed bytes to
// offsets where the reader's view has slid.
std::vector<uint8_t> PaddingPacks(size_t count);

// Takes control bytes from the front of the input; 0 once it is used up.
struct FuzzBytes {
  const uint8_t* data;
  size_t size;

  uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  uint16_t Word() { return static_cast<uint16_t>(Byte() << 8 | Byte()); }
};
