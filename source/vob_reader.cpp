#include "source/vob_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "platform/drives.h"
#include "platform/file_identity.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/guarded_read.h"
#include "source/dvd_block_reader.h"
#include "source/readable_search.h"

VobReaderState VobReader;
std::atomic<bool> VobMapViews{false};

namespace {

constexpr uint32_t SIZE_UNKNOWN = 0xFFFFFFFF;

}  // namespace

bool VobFindPartFile(std::string& path) {
  if (VobReader.title == 0 && VobReader.part != 1) return false;
  if (SelectedDrive < 0 || SelectedDrive >= static_cast<int>(DriveList.size())) return false;
  std::string error;
  if (!ResolveSourceRoot(DriveList[SelectedDrive], VobReader.root, error)) return false;
  std::string folder;
  if (!FindEntryIgnoringCase(VobReader.root, "VIDEO_TS", folder)) return false;
  char name[32];
  if (VobReader.title == 0)
    std::snprintf(name, sizeof name, "VIDEO_TS.VOB");
  else
    std::snprintf(name, sizeof name, "VTS_%02i_%1i.VOB", static_cast<int>(VobReader.title),
                  static_cast<int>(VobReader.part));
  return FindEntryIgnoringCase(folder, name, path);
}

namespace {

// The size as a 32-bit count. A size that does not fit in 32 bits cannot be
// represented and is taken as unreadable rather than cut to its low bits.
uint32_t PartSize(const InputFile& file) {
  uint64_t size;
  if (!InputFileSize(file, size) || size >= SIZE_UNKNOWN) return SIZE_UNKNOWN;
  return static_cast<uint32_t>(size);
}

// Where a view is read rather than mapped; it lives as long as the process,
// as a mapping would until unmapped.
alignas(64) uint8_t ViewBuffer[VOB_VIEW_SIZE];

// Reads length bytes at offset of the part; false unless all could be read.
bool ReadExactly(uint8_t* out, uint32_t length, uint32_t offset) {
  uint32_t done = 0;
  while (done < length) {
    const int64_t got = InputFileReadAt(VobReader.file, uint64_t{offset} + done, out + done, length - done);
    if (got <= 0) return false;
    done += static_cast<uint32_t>(got);
  }
  return true;
}

// A block that cannot be read is tried again VOB_READ_RETRIES times: a
// drive often delivers a marginal sector at a later attempt.
bool ReadBlockRetrying(uint8_t* out, uint32_t length, uint32_t offset) {
  for (int attempt = 0; attempt <= VOB_READ_RETRIES; ++attempt) {
    if (ReadExactly(out, length, offset)) return true;
  }
  return false;
}

// Reads as much of the view as can be read: large reads while they succeed;
// where one fails (an unreadable sector, a file cut short meanwhile) the
// block there is tried again, and the first block that cannot be read ends
// the readable bytes. The rest of the view is zeroed. Returns the count read.
uint32_t ReadReadable(uint8_t* out, uint32_t length, uint32_t offset) {
  uint32_t done = 0;
  while (done < length) {
    const int64_t got = InputFileReadAt(VobReader.file, uint64_t{offset} + done, out + done, length - done);
    if (got > 0) {
      done += static_cast<uint32_t>(got);
      continue;
    }
    done &= ~(PACK_SIZE - 1);
    const uint32_t block = std::min(PACK_SIZE, length - done);
    if (!ReadBlockRetrying(out + done, block, offset + done)) break;
    done += block;
  }
  std::memset(out + done, 0, length - done);
  return done;
}

// A view is read into the reader's buffer: the walk then finds its bytes in
// the cache and its pages in the TLB, where a fresh mapping costs a page walk
// and a cache miss for every 4 KiB it reads (about three times the time of
// the copy). Reading into a buffer and knowing how many bytes came is also
// what tells the walk where the disc cannot be read.
bool ReadView(uint32_t length) {
  VobReader.readable = ReadReadable(ViewBuffer, length, VobReader.viewOffset);
  VobReader.viewBase = ViewBuffer;
  VobReader.viewLength = length;
  VobReader.viewMapped = false;
  return true;
}

// The pages are mapped with the view (MAP_POPULATE), not one fault at a
// time while walking. Pages that cannot be delivered are left out silently;
// reading them faults, and the read-fault guard reports it.
bool MapView(uint32_t length) {
  const uint8_t* view = InputFileMap(VobReader.file, VobReader.viewOffset, length);
  if (view == nullptr) return false;
  VobReader.viewBase = view;
  VobReader.viewLength = length;
  VobReader.readable = length;  // faults tell the rest
  VobReader.viewMapped = true;
  return true;
}

bool LoadView(uint32_t length) {
  return VobMapViews.load(std::memory_order_relaxed) ? MapView(length) : ReadView(length);
}

void UnmapView() {
  if (VobReader.viewMapped) InputFileUnmap(VobReader.viewBase, VobReader.viewLength);
  VobReader.viewMapped = false;
  VobReader.viewBase = nullptr;
  VobReader.viewLength = 0;
  VobReader.readable = 0;
}

void ReleasePart() {
  UnmapView();
  InputFileClose(VobReader.file);
  VobReader.closed = true;
}

bool FailOpen(unsigned id) {
  AbortFlag = true;
  ShowVobError(id);
  ReleasePart();
  return false;
}

// False when the count bytes at p reach past what could be read of a view
// read into the buffer.
bool ViewReadable(const uint8_t* p, size_t count) {
  if (VobReader.viewMapped || p < ViewBuffer || p >= ViewBuffer + VOB_VIEW_SIZE) return true;
  return static_cast<size_t>(p - ViewBuffer) + count <= VobReader.readable;
}

// The position shown in messages about VOB files.
VobPosition ReaderPosition() {
  uint32_t offset = VobReader.viewOffset + static_cast<uint32_t>(VobReader.current - VobReader.viewBase);
  return {static_cast<uint32_t>(VobReader.part), offset};
}

// Messages about VOB files learn the position from the reader, which this
// object registers as soon as the program links it.
const bool PositionRegistered = (SetVobPositionFunction(ReaderPosition), true);

}  // namespace

bool VobProbePart() {
  if (DvdBlockWanted()) return DvdBlockProbePart();
  std::string path;
  if (!VobFindPartFile(path)) return false;
  InputFile file;
  if (!InputFileOpen(file, path)) return false;
  VobReader.fileSize = PartSize(file);
  InputFileClose(file);
  return VobReader.fileSize != SIZE_UNKNOWN;
}

bool VobOpenPart() {
  VobClose();  // the reader holds one part at a time
  if (DvdBlockWanted()) return DvdBlockOpenPart();
  if (VobReader.title == 0 && VobReader.part != 1) return true;
  std::string path;
  if (!VobFindPartFile(path)) return VobReader.part != 1;
  // The whole file is read by views; anything but a regular file cannot be.
  if (!InputFileOpen(VobReader.file, path)) {
    if (PathExists(path) && !IsRegularFile(path)) return FailOpen(IDS_NO_MAP);
    return VobReader.part != 1;
  }
  VobReader.fileSize = PartSize(VobReader.file);
  if (VobReader.fileSize == SIZE_UNKNOWN) return FailOpen(IDS_NO_SIZE);
  if (VobReader.fileSize == 0) return FailOpen(IDS_EMPTY);
  VobReader.viewOffset = 0;
  uint32_t length = VobReader.fileSize < VOB_VIEW_SIZE ? VobReader.fileSize : VOB_VIEW_SIZE;
  if (!LoadView(length)) return FailOpen(IDS_NO_VIEW);
  VobReader.posInView = 0;
  VobReader.current = VobReader.viewBase;
  VobReader.closed = false;
  return true;
}

bool VobAdvance(uint32_t n) {
  if (DvdBlockActive()) return DvdBlockAdvance(n);
  uint64_t position = static_cast<uint64_t>(VobReader.posInView) + n;
  uint64_t offset = VobReader.viewOffset + position;
  if (offset > VobReader.fileSize) {
    // The part stays open and `current` is unchanged; the user closes it.
    AbortFlag = true;
    ShowVobError(IDS_READ_ABOVE_END);
    return false;
  }
  VobReader.posInView = static_cast<uint32_t>(position);
  if (offset == VobReader.fileSize) {
    ReleasePart();
    ++VobReader.part;
    return VobOpenPart();
  }
  if (VobReader.posInView < VOB_VIEW_STEP) {
    VobReader.current = VobReader.viewBase + VobReader.posInView;
    // The packs are read in order, each first at its header: ask for the
    // header two packs on while this one is worked on. A prefetch past
    // the view is dropped, never a fault.
    __builtin_prefetch(VobReader.viewBase + (VobReader.posInView & ~(PACK_SIZE - 1)) + 2 * PACK_SIZE);
    return true;
  }
  // One step per advance, however far past the step the position went. Only
  // an advance of more than a whole view (a length no VOB record has) would
  // leave `current` outside the next view; the view then moves up to it.
  uint32_t steps = VobReader.posInView < VOB_VIEW_STEP + VOB_VIEW_SIZE ? 1 : VobReader.posInView / VOB_VIEW_STEP;
  UnmapView();
  VobReader.viewOffset += steps * VOB_VIEW_STEP;
  uint32_t rest = VobReader.fileSize - VobReader.viewOffset;
  if (!LoadView(rest < VOB_VIEW_SIZE ? rest : VOB_VIEW_SIZE)) {
    AbortFlag = true;
    ShowVobError(IDS_NO_VIEW);
    ReleasePart();
    return false;
  }
  VobReader.posInView -= steps * VOB_VIEW_STEP;
  VobReader.current = VobReader.viewBase + VobReader.posInView;
  return true;
}

void VobClose() {
  DvdBlockClose();
  if (!VobReader.closed) ReleasePart();
}

bool VobGuardedRead(const uint8_t* p, size_t count, uint8_t* out) {
  return ViewReadable(p, count) && GuardedRead(p, count, out) && DvdBlockReadable(p, count);
}

uint32_t VobReadableInView() {
  if (VobReader.closed || VobReader.posInView >= VobReader.readable) return 0;
  return VobReader.readable - VobReader.posInView;
}

bool VobSeek(uint32_t offset) {
  if (DvdBlockActive()) return DvdBlockSeek(offset);
  if (offset >= VobReader.fileSize) {
    ReleasePart();
    ++VobReader.part;
    return VobOpenPart();
  }
  // Within the bytes read of this view (a block that failed there is read
  // anew by a fresh view).
  if (offset >= VobReader.viewOffset && offset - VobReader.viewOffset < VOB_VIEW_STEP &&
      offset - VobReader.viewOffset < VobReader.readable) {
    VobReader.posInView = offset - VobReader.viewOffset;
    VobReader.current = VobReader.viewBase + VobReader.posInView;
    return true;
  }
  // A read view starts at the offset itself, so that nothing before it (an
  // area that could not be read) is read again; a mapping at a page.
  const uint32_t start = VobMapViews.load(std::memory_order_relaxed) ? offset & ~(VOB_MAP_ALIGN - 1) : offset;
  UnmapView();
  VobReader.viewOffset = start;
  const uint32_t rest = VobReader.fileSize - start;
  if (!LoadView(rest < VOB_VIEW_SIZE ? rest : VOB_VIEW_SIZE)) {
    AbortFlag = true;
    ShowVobError(IDS_NO_VIEW);
    ReleasePart();
    return false;
  }
  VobReader.posInView = offset - start;
  VobReader.current = VobReader.viewBase + VobReader.posInView;
  return true;
}

uint32_t VobNextReadableBlock(uint32_t offset) {
  if (DvdBlockActive()) return DvdBlockNextReadable(offset);
  return NextReadableBlock(offset, VobReader.fileSize, [](uint32_t at) {
    alignas(16) static uint8_t probe[PACK_SIZE];
    const uint32_t length = std::min(PACK_SIZE, VobReader.fileSize - at);
    return ReadBlockRetrying(probe, length, at);
  });
}

bool VobCheckPackStart(const uint8_t* p) {
  const uint8_t* viewEnd = VobReader.viewBase + VobReader.viewLength;
  bool inView = p >= VobReader.viewBase && p < viewEnd;
  bool whole = !inView || viewEnd - p >= 3;
  if (whole && p[0] == 0x00 && p[1] == 0x00 && p[2] == 0x01) return true;
  AbortFlag = true;
  ShowVobDetailError(IDS_MISSING_PACK_START);
  return false;
}

uint32_t VobBytesInView() {
  if (VobReader.closed || VobReader.posInView > VobReader.viewLength) return 0;
  return VobReader.viewLength - VobReader.posInView;
}

uint32_t VobCurrentOffset() { return VobReader.viewOffset + static_cast<uint32_t>(VobReader.current - VobReader.viewBase); }
