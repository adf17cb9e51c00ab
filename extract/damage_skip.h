// Past damage: where the walk meets what it cannot use (no start code where
// one must be, a header that makes no sense, bytes that cannot be read) it
// goes on at the next whole pack, and time stamps that jump against their
// neighbours are not trusted.
#pragma once

#include <cstdint>

// The record at `current` cannot be used: the reader moves to the next pack
// start code on a 2048-byte boundary of a part with a plausible header,
// trying unreadable blocks again and passing over what cannot be read; a
// part that ends before such a pack goes on with the next part. Each
// stretch passed over is logged. Sets ended when the title ended on the
// way. False after a failure of the reader (reported).
bool SkipToNextPack(bool& ended);

// Whether a pack's SCR can be believed: one that steps back or leaps ahead
// of the last one used must be confirmed by the next pack, which continues
// the clock it belongs to (a flipped bit is not followed by its neighbour).
// Called while `current` is at the pack header.
bool ScrTrusted(uint32_t scr, uint32_t lastScr);
