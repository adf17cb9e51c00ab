// The scanner's walk of a title whose VOB parts are made from the input.
//
// Control bytes: [0] where the fuzzed bytes start: below 40, after that many
// padding packs; from 40 on, 80 - [0] packs before the view's first slide
// (so that they run across it), [1] walk
// limit in MiB, [2..3] where the bytes are cut into a second part (in units
// of 16 bytes; 0 = a single part). The rest is the stream.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "report/run_flags.h"
#include "fuzz/fuzz_support.h"
#include "source/title_scanner.h"
#include "source/vob_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzInit();
  ScratchRoot();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBytes input{data, size};
  size_t start = input.Byte() % 80;
  size_t paddingPacks = start < 40 ? start : VOB_VIEW_STEP / PACK_SIZE - (80 - start);
  uint32_t limitMB = input.Byte() % 4;
  size_t cut = static_cast<size_t>(input.Word()) * 16;

  std::vector<uint8_t> stream = PaddingPacks(paddingPacks);
  stream.insert(stream.end(), input.data, input.data + input.size);
  std::vector<std::vector<uint8_t>> parts;
  if (cut > 0 && cut < stream.size()) {
    parts.emplace_back(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
    parts.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(cut), stream.end());
  } else {
    parts.push_back(std::move(stream));
  }
  WriteScratchTitle(1, parts);

  AbortFlag = false;
  VobReader = VobReaderState{};
  VobReader.title = 1;
  VobReader.part = 1;
  if (VobOpenPart()) {
    ScanClearTitle(limitMB);
    ScanWalkTitle();
  }
  VobClose();
  return 0;
}
