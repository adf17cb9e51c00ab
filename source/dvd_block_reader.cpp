#include "source/dvd_block_reader.h"

#include <dvdread/dvd_reader.h>

#include <algorithm>
#include <cstring>

#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "source/dvd_disc.h"
#include "source/readable_search.h"
#include "source/vob_reader.h"

namespace {

constexpr uint32_t SIZE_UNKNOWN = 0xFFFFFFFF;
constexpr int MAX_VOB_PARTS = 9;

// One stretch of bytes read without a break: a whole part, or the piece of a
// planned sector range that lies in one part.
struct Segment {
  int32_t part;
  uint32_t startInPart;      // byte offsets in the part, whole blocks
  uint32_t endInPart;
  uint32_t partFirstSector;  // the part's first block in the title's VOBs
};

struct DvdBlockReaderState {
  int32_t planTitle = -1;
  std::vector<SectorRange> plan;
  bool planned = false;

  dvd_file_t* file = nullptr;
  bool active = false;
  std::vector<Segment> segments;
  size_t segment = 0;
  uint32_t readable = 0;  // bytes at the buffer's start that were read; the rest could not be
  alignas(16) uint8_t buffer[VOB_VIEW_SIZE];
};

DvdBlockReaderState Blocks;

bool PlanApplies() { return Blocks.planned && Blocks.planTitle == VobReader.title; }

dvd_read_domain_t Domain() { return VobReader.title == 0 ? DVD_READ_MENU_VOBS : DVD_READ_TITLE_VOBS; }

// The sizes of the title's parts in bytes, as the disc's directory gives them.
bool StatTitle(dvd_stat_t& info) {
  dvd_reader_t* reader = DvdDiscReader();
  if (reader == nullptr) return false;
  if (DVDFileStat(reader, VobReader.title, Domain(), &info) != 0) return false;
  info.nr_parts = std::clamp(info.nr_parts, 0, VobReader.title == 0 ? 1 : MAX_VOB_PARTS);
  return true;
}

uint32_t PartSize(const dvd_stat_t& info, int part) {
  off_t size = info.parts_size[part - 1];
  if (size < 0 || static_cast<uint64_t>(size) >= SIZE_UNKNOWN) return SIZE_UNKNOWN;
  return static_cast<uint32_t>(size);
}

void ReleaseFile() {
  if (Blocks.file != nullptr) DVDCloseFile(Blocks.file);
  Blocks.file = nullptr;
  Blocks.active = false;
  Blocks.segments.clear();
  VobReader.viewBase = nullptr;
  VobReader.viewLength = 0;
  VobReader.closed = true;
}

bool FailOpen(unsigned id) {
  AbortFlag = true;
  ShowVobError(id);
  ReleaseFile();
  return false;
}

// The whole parts of the title, one segment each. A trailing piece of a
// block is not part of any block and is left out.
bool WholePartSegments(const dvd_stat_t& info) {
  uint32_t firstSector = 0;
  for (int part = 1; part <= info.nr_parts; ++part) {
    VobReader.part = part;
    const uint32_t size = PartSize(info, part);
    if (size == SIZE_UNKNOWN) return FailOpen(IDS_NO_SIZE);
    const uint32_t blocks = size / DVD_BLOCK_SIZE;
    if (blocks == 0) return FailOpen(IDS_EMPTY);
    Blocks.segments.push_back(Segment{part, 0, blocks * DVD_BLOCK_SIZE, firstSector});
    firstSector += blocks;
  }
  return true;
}

// The planned ranges cut at the parts' ends. A range beyond the last part
// cannot be read: the title's VOBs end before it.
bool PlannedSegments(const dvd_stat_t& info) {
  std::vector<uint32_t> partFirst;
  uint32_t total = 0;
  for (int part = 1; part <= info.nr_parts; ++part) {
    partFirst.push_back(total);
    const uint32_t size = PartSize(info, part);
    if (size == SIZE_UNKNOWN) return FailOpen(IDS_NO_SIZE);
    total += size / DVD_BLOCK_SIZE;
  }
  partFirst.push_back(total);
  for (const SectorRange& range : Blocks.plan) {
    if (range.first > range.last || range.last >= total) return FailOpen(IDS_READ_ABOVE_END);
    for (int part = 1; part <= info.nr_parts; ++part) {
      const uint32_t start = std::max(range.first, partFirst[part - 1]);
      const uint32_t end = std::min(range.last + 1, partFirst[part]);
      if (start >= end) continue;
      const uint32_t base = partFirst[part - 1];
      Blocks.segments.push_back(
          Segment{part, (start - base) * DVD_BLOCK_SIZE, (end - base) * DVD_BLOCK_SIZE, base});
    }
  }
  if (Blocks.segments.empty()) return FailOpen(IDS_EMPTY);
  return true;
}

bool ReadBlockRetrying(uint32_t block, uint8_t* out) {
  for (int attempt = 0; attempt <= VOB_READ_RETRIES; ++attempt) {
    if (DVDReadBlocks(Blocks.file, static_cast<int>(block), 1, out) == 1) return true;
  }
  return false;
}

// Reads the view's bytes from keep on. Blocks that cannot be read end the
// readable bytes; they and everything after them hold zeros.
void FillViewBytes(uint32_t keep) {
  const uint32_t length = VobReader.viewLength;
  if (Blocks.readable < keep) {
    std::memset(Blocks.buffer + keep, 0, length - keep);
    return;
  }
  const Segment& segment = Blocks.segments[Blocks.segment];
  const uint32_t firstBlock = segment.partFirstSector + (VobReader.viewOffset + keep) / DVD_BLOCK_SIZE;
  const uint32_t count = (length - keep) / DVD_BLOCK_SIZE;
  Blocks.readable = length;
  if (count == 0) return;
  if (DVDReadBlocks(Blocks.file, static_cast<int>(firstBlock), count, Blocks.buffer + keep) ==
      static_cast<ssize_t>(count))
    return;
  // Find the first block that cannot be read, one at a time.
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* block = Blocks.buffer + keep + i * DVD_BLOCK_SIZE;
    if (!ReadBlockRetrying(firstBlock + i, block)) {
      Blocks.readable = keep + i * DVD_BLOCK_SIZE;
      std::memset(block, 0, length - Blocks.readable);
      return;
    }
  }
}

void FillView(uint32_t keep) {
  FillViewBytes(keep);
  VobReader.readable = Blocks.readable;
}

// A fresh view at offset of the segment being read.
void LoadViewAt(uint32_t offset) {
  VobReader.viewOffset = offset;
  VobReader.viewBase = Blocks.buffer;
  VobReader.viewLength = std::min(VobReader.fileSize - offset, VOB_VIEW_SIZE);
  Blocks.readable = 0;
  FillView(0);
  VobReader.posInView = 0;
  VobReader.current = Blocks.buffer;
}

void StartSegment(size_t index) {
  const Segment& segment = Blocks.segments[index];
  Blocks.segment = index;
  VobReader.part = segment.part;
  VobReader.fileSize = segment.endInPart;
  LoadViewAt(segment.startInPart);
  VobReader.closed = false;
}

// The segment has ended: the next one, or the end of the title.
void NextSegment() {
  if (Blocks.segment + 1 < Blocks.segments.size()) {
    StartSegment(Blocks.segment + 1);
  } else {
    ++VobReader.part;
    ReleaseFile();
  }
}

}  // namespace

void DvdBlockSetPlan(int32_t title, const std::vector<SectorRange>& ranges) {
  Blocks.planTitle = title;
  Blocks.plan = ranges;
  Blocks.planned = true;
}

void DvdBlockClearPlan() {
  Blocks.planTitle = -1;
  Blocks.plan.clear();
  Blocks.planned = false;
}

bool DvdBlockPlanned() { return Blocks.planned; }

bool DvdBlockWanted() {
  return PlanApplies() || SourceReadsBlocks() || DvdDiscReadsThroughDevice(VobReader.title);
}

bool DvdBlockActive() { return Blocks.active; }

bool DvdBlockProbePart() {
  if (VobReader.title == 0 && VobReader.part != 1) return false;
  dvd_stat_t info;
  if (!StatTitle(info) || VobReader.part < 1 || VobReader.part > info.nr_parts) return false;
  VobReader.fileSize = PartSize(info, VobReader.part);
  return VobReader.fileSize != SIZE_UNKNOWN;
}

bool DvdBlockOpenPart() {
  DvdBlockClose();
  if (VobReader.title == 0 && VobReader.part != 1) return true;
  const int32_t wanted = VobReader.part;
  dvd_stat_t info;
  dvd_reader_t* reader = DvdDiscReader();
  if (reader == nullptr || !StatTitle(info) || info.nr_parts < 1) return wanted != 1;
  Blocks.file = DVDOpenFile(reader, VobReader.title, Domain());
  if (Blocks.file == nullptr) return wanted != 1;
  Blocks.active = true;
  if (!(PlanApplies() ? PlannedSegments(info) : WholePartSegments(info))) return false;
  // The walk starts at the first segment of the part asked for.
  for (size_t index = 0; index < Blocks.segments.size(); ++index) {
    if (Blocks.segments[index].part < wanted) continue;
    if (Blocks.segments[index].part > wanted && !PlanApplies()) break;
    StartSegment(index);
    return true;
  }
  VobReader.part = wanted;
  ReleaseFile();
  return wanted != 1;
}

bool DvdBlockAdvance(uint32_t n) {
  const uint64_t position = static_cast<uint64_t>(VobReader.posInView) + n;
  const uint64_t offset = VobReader.viewOffset + position;
  if (offset > VobReader.fileSize) {
    // As the mapped reader: the segment stays open, `current` unchanged.
    AbortFlag = true;
    ShowVobError(IDS_READ_ABOVE_END);
    return false;
  }
  VobReader.posInView = static_cast<uint32_t>(position);
  if (offset == VobReader.fileSize) {
    NextSegment();
    return true;
  }
  if (VobReader.posInView < VOB_VIEW_STEP) {
    VobReader.current = Blocks.buffer + VobReader.posInView;
    return true;
  }
  // The view slides as the mapped one does: the bytes still in view move
  // down, the new ones are read.
  const uint32_t steps = VobReader.posInView < VOB_VIEW_STEP + VOB_VIEW_SIZE ? 1 : VobReader.posInView / VOB_VIEW_STEP;
  const uint32_t shift = steps * VOB_VIEW_STEP;
  const uint32_t keep = VobReader.viewLength > shift ? VobReader.viewLength - shift : 0;
  if (keep > 0) std::memmove(Blocks.buffer, Blocks.buffer + shift, keep);
  Blocks.readable = Blocks.readable > shift ? Blocks.readable - shift : 0;
  VobReader.viewOffset += shift;
  VobReader.viewLength = std::min(VobReader.fileSize - VobReader.viewOffset, VOB_VIEW_SIZE);
  FillView(keep);
  VobReader.posInView -= shift;
  VobReader.current = Blocks.buffer + VobReader.posInView;
  return true;
}

bool DvdBlockSeek(uint32_t offset) {
  if (offset >= VobReader.fileSize) {
    NextSegment();
    return true;
  }
  const uint32_t inView = offset - VobReader.viewOffset;
  if (offset >= VobReader.viewOffset && inView < VOB_VIEW_STEP && inView < Blocks.readable) {
    VobReader.posInView = inView;
    VobReader.current = Blocks.buffer + inView;
    return true;
  }
  LoadViewAt(offset);
  return true;
}

uint32_t DvdBlockNextReadable(uint32_t offset) {
  const Segment& segment = Blocks.segments[Blocks.segment];
  return NextReadableBlock(offset, VobReader.fileSize, [&segment](uint32_t at) {
    alignas(16) static uint8_t probe[DVD_BLOCK_SIZE];
    return ReadBlockRetrying(segment.partFirstSector + at / DVD_BLOCK_SIZE, probe);
  });
}

void DvdBlockClose() {
  if (Blocks.active || Blocks.file != nullptr) ReleaseFile();
}

bool DvdBlockReadable(const uint8_t* p, size_t count) {
  if (!Blocks.active || p < Blocks.buffer || p >= Blocks.buffer + VOB_VIEW_SIZE) return true;
  return static_cast<size_t>(p - Blocks.buffer) + count <= Blocks.readable;
}
