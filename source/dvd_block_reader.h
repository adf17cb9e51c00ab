// The block back end of the VOB file set reader: the VOBs of a title read
// through libdvdread, 2048-byte block by block, into the reader's own
// buffer. It presents the same `current`/`closed` contract and the same part
// numbering as the mapped back end (title 0 = VIDEO_TS.VOB, titles 1..99 =
// the title sets' VTS_tt_n.VOB, parts and their sizes from the disc's
// directory), so the walks above it do not know which one they read.
//
// It also walks a plan: a list of sector ranges of the title set's VOBs (the
// cells of one programme chain, in programme order) presented one after the
// other as if they were one title. `part` then names the VOB file that holds
// the range being read and offsets are offsets in that file.
//
// A block that cannot be read is tried again VOB_READ_RETRIES times; one
// that still fails ends the bytes that can be read: a record reaching it
// reads as a read fault (VobGuardedRead gives false), as a mapped page that
// the disc cannot deliver does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint32_t DVD_BLOCK_SIZE = 2048;

// Sectors first..last (both included) of a title set's VOBs, counted from
// the first sector of VTS_tt_1.VOB.
struct SectorRange {
  uint32_t first;
  uint32_t last;
};

// The plan of the next walks (the reader reads the ranges of title planTitle
// instead of its whole VOB files); empty: whole titles.
void DvdBlockSetPlan(int32_t title, const std::vector<SectorRange>& ranges);
void DvdBlockClearPlan();
bool DvdBlockPlanned();

// True when the reader must read through libdvdread: the source is an image
// or an unmounted device, a plan is set, or the title of a mounted drive is
// scrambled (DvdDiscReadsThroughDevice).
bool DvdBlockWanted();

// True while the block back end holds the part open.
bool DvdBlockActive();

// The back end's VobProbePart, VobOpenPart, VobAdvance and VobClose.
bool DvdBlockProbePart();
bool DvdBlockOpenPart();
bool DvdBlockAdvance(uint32_t n);
bool DvdBlockSeek(uint32_t offset);
uint32_t DvdBlockNextReadable(uint32_t offset);
void DvdBlockClose();

// False when the count bytes at p reach a block that could not be read.
bool DvdBlockReadable(const uint8_t* p, size_t count);
