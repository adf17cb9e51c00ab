#include "source/vob_reader.h"

#include <cstdio>
#include <cstring>

#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "platform/drives.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/guarded_read.h"
#include "source/dvd_block_reader.h"

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

// A view is read into the reader's buffer: the walk then finds its bytes in
// the cache and its pages in the TLB, where a fresh mapping costs a page walk
// and a cache miss for every 4 KiB it reads (about three times the time of
// the copy). A view that cannot be read whole (a sector the disc cannot
// deliver, a file cut short meanwhile) is mapped instead.
// Reads from done on until length or the first failing read; the count of
// bytes read in all.
uint32_t ReadViewFrom(uint32_t done, uint32_t length, uint32_t chunk) {
  while (done < length) {
    const uint32_t want = length - done < chunk ? length - done : chunk;
    const int64_t got = InputFileReadAt(VobReader.file, uint64_t{VobReader.viewOffset} + done, ViewBuffer + done, want);
    if (got <= 0) break;
    done += static_cast<uint32_t>(got);
  }
  return done;
}

void UseBuffer(uint32_t length, uint32_t readable) {
  VobReader.viewBase = ViewBuffer;
  VobReader.viewLength = length;
  VobReader.viewLost = length - readable;
  VobReader.viewMapped = false;
}

bool ReadView(uint32_t length) {
  if (ReadViewFrom(0, length, length) < length) return false;
  UseBuffer(length, length);
  return true;
}

// Pages that cannot be delivered fault when read; the read-fault guard
// reports it.
bool MapView(uint32_t length) {
  const uint8_t* view = InputFileMap(VobReader.file, VobReader.viewOffset, length);
  if (view == nullptr) return false;
  VobReader.viewBase = view;
  VobReader.viewLength = length;
  VobReader.viewLost = 0;
  VobReader.viewMapped = true;
  return true;
}

// Where the system maps no files (Windows), a view read in part holds the
// bytes up to the first pack that could not be read; those after it read as
// a read fault (VobGuardedRead gives false), as a page that faults would.
void ReadViewInPart(uint32_t length) {
  uint32_t readable = ReadViewFrom(0, length, length);
  readable = ReadViewFrom(readable - readable % PACK_SIZE, length, PACK_SIZE);
  std::memset(ViewBuffer + readable, 0, length - readable);
  UseBuffer(length, readable);
}

bool LoadView(uint32_t length) {
  if (!VobMapViews.load(std::memory_order_relaxed) && ReadView(length)) return true;
  if (MapView(length)) return true;
  ReadViewInPart(length);
  return true;
}

void UnmapView() {
  if (VobReader.viewMapped) InputFileUnmap(VobReader.viewBase, VobReader.viewLength);
  VobReader.viewMapped = false;
  VobReader.viewBase = nullptr;
  VobReader.viewLength = 0;
  VobReader.viewLost = 0;
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
  InputFile file;
  if (!VobFindPartFile(path) || !InputFileOpen(file, path)) return false;
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
  const uint8_t* viewEnd = VobReader.viewBase + VobReader.viewLength;
  if (VobReader.viewLost > 0 && p + count > viewEnd - VobReader.viewLost && p < viewEnd) return false;
  return GuardedRead(p, count, out) && DvdBlockReadable(p, count);
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
