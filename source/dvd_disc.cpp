#include "source/dvd_disc.h"

#include <dvdread/dvd_reader.h>
#include <dvdread/dvd_udf.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/file_bytes.h"
#include "platform/shared_library.h"
#include "report/string_table.h"
#include "source/dvd_block_reader.h"
#include "source/scrambling.h"
#include "source/vob_reader.h"

DvdDiscState DvdDisc;

namespace {

// libdvdread's own notes (the missing CSS library, files it looked for) are
// not the program's messages: every failure the user must know of is
// reported by the program itself.
void DropLibraryNote(void*, dvd_logger_level_t, const char*, va_list) {}

const dvd_logger_cb QUIET_LOGGER = {DropLibraryNote};

// The path libdvdread opens for a drive: the image or the device (mounted
// or not: only there can it decrypt), else the folder that holds VIDEO_TS.
bool LibraryPath(const Drive& drive, std::string& path) {
  if (DriveReadsBlocks(drive, path)) return true;
  if (!drive.device.empty()) {
    path = drive.device;
    return true;
  }
  std::string error;
  return ResolveSourceRoot(drive, path, error);
}

bool SelectedDriveValid() { return SelectedDrive >= 0 && SelectedDrive < static_cast<int>(DriveList.size()); }

// A disc holds VIDEO_TS.IFO, or at least the VOB files of a title set.
bool HoldsVideoTs(dvd_reader_t* reader) {
  dvd_stat_t info;
  if (DVDFileStat(reader, 0, DVD_READ_INFO_FILE, &info) == 0) return true;
  if (DVDFileStat(reader, 0, DVD_READ_MENU_VOBS, &info) == 0) return true;
  return DVDFileStat(reader, 1, DVD_READ_TITLE_VOBS, &info) == 0;
}

constexpr size_t LOOK_BYTES = static_cast<size_t>(PACKS_LOOKED_AT) * DVD_BLOCK_SIZE;

const Drive* SelectedSource() { return SelectedDriveValid() ? &DriveList[SelectedDrive] : nullptr; }

// The title's first VOB file in the folder or on the mounted drive; the
// reader's title and part are left as they were.
bool TitleFilePath(int32_t title, std::string& path) {
  const int32_t title0 = VobReader.title, part0 = VobReader.part;
  VobReader.title = title;
  VobReader.part = 1;
  const bool found = VobFindPartFile(path);
  VobReader.title = title0;
  VobReader.part = part0;
  return found;
}

// The first packs of the title's first VOB file as its file holds them.
bool FileTitleStart(int32_t title, std::vector<uint8_t>& bytes) {
  std::string path;
  return TitleFilePath(title, path) && ReadFileBytesAt(path, 0, LOOK_BYTES, bytes);
}

// The same packs read from the image or the device at the file's place,
// past libdvdread and so past any decryption. found tells whether the disc
// has the file.
bool BlockTitleStart(int32_t title, std::vector<uint8_t>& bytes, bool& found) {
  found = false;
  std::string path;
  dvd_reader_t* reader = DvdDiscReader();
  if (reader == nullptr || !LibraryPath(DriveList[SelectedDrive], path)) return false;
  char name[32];
  if (title == 0)
    std::snprintf(name, sizeof name, "/VIDEO_TS/VIDEO_TS.VOB");
  else
    std::snprintf(name, sizeof name, "/VIDEO_TS/VTS_%02d_1.VOB", static_cast<int>(title));
  uint32_t size = 0;
  const uint32_t block = UDFFindFile(reader, name, &size);
  if (block == 0 || size == 0) return false;
  found = true;
  return ReadFileBytesAt(path, static_cast<uint64_t>(block) * DVD_BLOCK_SIZE, std::min<size_t>(size, LOOK_BYTES),
                         bytes);
}

void ForgetRoutes() { std::memset(DvdDisc.throughDevice, -1, sizeof DvdDisc.throughDevice); }

const bool RoutesForgotten = (ForgetRoutes(), true);

}  // namespace

bool SourceReadsBlocks() {
  std::string path;
  return SelectedDriveValid() && DriveReadsBlocks(DriveList[SelectedDrive], path);
}

dvd_reader_t* DvdDiscReader() {
  if (!SelectedDriveValid()) return nullptr;
  std::string path;
  if (!LibraryPath(DriveList[SelectedDrive], path)) return nullptr;
  if (DvdDisc.reader != nullptr && DvdDisc.path == path) return DvdDisc.reader;
  DvdDiscRelease();
  DvdDisc.reader = DVDOpen2(nullptr, &QUIET_LOGGER, path.c_str());
  DvdDisc.path = path;
  return DvdDisc.reader;
}

void DvdDiscRelease() {
  if (DvdDisc.reader != nullptr) DVDClose(DvdDisc.reader);
  DvdDisc.reader = nullptr;
  DvdDisc.path.clear();
  ForgetRoutes();
}

bool DvdDiscTitleScrambled(int32_t title) {
  const Drive* source = SelectedSource();
  if (source == nullptr) return false;
  if (DvdDiscReadsThroughDevice(title)) return true;
  std::vector<uint8_t> bytes;
  bool found = true;
  const bool blocks = SourceReadsBlocks();
  const bool read = blocks ? BlockTitleStart(title, bytes, found) : FileTitleStart(title, bytes);
  // A drive refuses scrambled blocks to a reader that has not authenticated
  // (libdvdcss authenticates before it reads).
  if (!read) return blocks && !source->device.empty() && found;
  return PacksScrambled(bytes.data(), bytes.size());
}

bool DvdDiscReadsThroughDevice(int32_t title) {
  const Drive* source = SelectedSource();
  if (source == nullptr || source->device.empty() || title < 0 || title >= DISC_TITLE_SLOTS || SourceReadsBlocks())
    return false;
  int8_t& decided = DvdDisc.throughDevice[title];
  if (decided < 0) {
    // A title whose file cannot be found is none of this; one that cannot
    // be read, or reads scrambled, goes to the device.
    std::string path;
    std::vector<uint8_t> bytes;
    const bool exists = TitleFilePath(title, path);
    const bool read = exists && ReadFileBytesAt(path, 0, LOOK_BYTES, bytes);
    decided = exists && (!read || PacksScrambled(bytes.data(), bytes.size())) ? 1 : 0;
  }
  return decided == 1;
}

std::string EncryptedTitleReason() {
  const Drive* source = SelectedSource();
  if (source != nullptr && source->device.empty() && source->image.empty()) return LoadStringText(IDS_COPY_NOT_DECRYPTED);
  const char* library = DecryptionLibraryName();
  if (library == nullptr) return LoadStringText(IDS_NO_DECRYPTION_HERE);
  return LoadStringText(SharedLibraryAvailable(library) ? IDS_LIBDVDCSS_FAILED : IDS_NEEDS_LIBDVDCSS);
}

bool DvdDiscVolumeLabel(std::string& label) {
  if (!SourceReadsBlocks()) return false;
  dvd_reader_t* reader = DvdDiscReader();
  if (reader == nullptr) return false;
  char name[34] = {};
  if (DVDUDFVolumeInfo(reader, name, sizeof name, nullptr, 0) == 0 && name[0] != '\0') {
    label = name;
    return true;
  }
  if (DVDISOVolumeInfo(reader, name, sizeof name, nullptr, 0) == 0) {
    label = name;
    // ISO 9660 pads the identifier with blanks.
    label.erase(label.find_last_not_of(' ') + 1);
    return !label.empty();
  }
  return false;
}

bool CheckSource(const Drive& drive, std::string& error) {
  std::string path;
  if (!DriveReadsBlocks(drive, path)) {
    std::string root;
    if (!drive.image.empty()) {
      error = drive.image + ": cannot be read";
      return false;
    }
    return ResolveSourceRoot(drive, root, error);
  }
  dvd_reader_t* reader = DVDOpen2(nullptr, &QUIET_LOGGER, path.c_str());
  const bool found = reader != nullptr && HoldsVideoTs(reader);
  if (reader != nullptr) DVDClose(reader);
  if (found) return true;
  if (drive.image.empty())
    error = path + ": no DVD video disc can be read in the drive (no VIDEO_TS found)";
  else
    error = path + ": not a DVD video image (no VIDEO_TS found in it)";
  return false;
}
