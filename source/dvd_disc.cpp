#include "source/dvd_disc.h"

#include <dvdread/dvd_reader.h>

#include <cstdarg>

DvdDiscState DvdDisc;

namespace {

// libdvdread's own notes (the missing CSS library, files it looked for) are
// not the program's messages: every failure the user must know of is
// reported by the program itself.
void DropLibraryNote(void*, dvd_logger_level_t, const char*, va_list) {}

const dvd_logger_cb QUIET_LOGGER = {DropLibraryNote};

// The path libdvdread opens for a drive: the image or device read block by
// block, else the folder that holds VIDEO_TS.
bool LibraryPath(const Drive& drive, std::string& path) {
  if (DriveReadsBlocks(drive, path)) return true;
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
