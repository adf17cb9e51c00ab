// The search for the end of an unreadable area of a part: a scratched area
// of a disc costs a few attempts rather than one slow failing read per block.
#pragma once

#include <cstdint>
#include <functional>

// The first offset at or after from (a multiple of the block size 2048)
// whose block readable() accepts, end when none before end does. Probes
// from + 2, 4, 8 ... KiB until a block can be read, then halves the last
// step back to the first readable block after the last one that failed.
uint32_t NextReadableBlock(uint32_t from, uint32_t end, const std::function<bool(uint32_t)>& readable);
