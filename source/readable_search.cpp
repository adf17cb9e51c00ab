#include "source/readable_search.h"

namespace {

constexpr uint32_t BLOCK = 2048;

}  // namespace

uint32_t NextReadableBlock(uint32_t from, uint32_t end, const std::function<bool(uint32_t)>& readable) {
  if (from >= end) return end;
  if (readable(from)) return from;
  uint32_t failed = from;  // the last block known to fail
  uint32_t step = BLOCK;
  uint32_t found = end;
  for (;;) {
    const uint64_t next = uint64_t{failed} + step;
    if (next >= end) {
      // The last block of the part closes the search; it may be short.
      const uint32_t last = (end - 1) & ~(BLOCK - 1);
      if (last <= failed || !readable(last)) return end;
      found = last;
      break;
    }
    if (readable(static_cast<uint32_t>(next))) {
      found = static_cast<uint32_t>(next);
      break;
    }
    failed = static_cast<uint32_t>(next);
    step *= 2;
  }
  // Back to the start of the readable stretch that ends the area.
  while (found - failed > BLOCK) {
    const uint32_t middle = failed + ((found - failed) / 2 & ~(BLOCK - 1));
    if (readable(middle)) {
      found = middle;
    } else {
      failed = middle;
    }
  }
  return found;
}
