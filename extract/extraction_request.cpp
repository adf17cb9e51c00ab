#include "extract/extraction_request.h"

#include "extract/title_selection.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "source/title_scanner.h"
#include "source/vob_reader.h"

bool OutputIsTitleFile(const char* path, int32_t title) {
  // What is compared is the file that opening the path for writing would
  // truncate (links and ".." resolved).
  if (!PathExists(path)) return false;
  // An image or a device read block by block holds every title.
  std::string whole;
  if (SelectedDrive >= 0 && SelectedDrive < static_cast<int>(DriveList.size()) &&
      DriveReadsBlocks(DriveList[SelectedDrive], whole) && SameFile(whole, path))
    return true;
  VobReader.title = title;
  bool same = false;
  for (int32_t part = 1; part <= MAX_PARTS && !same; ++part) {
    VobReader.part = part;
    std::string partPath;
    if (!VobFindPartFile(partPath)) break;
    same = SameFile(partPath, path);
  }
  VobReader.part = 1;
  return same;
}

std::vector<int32_t> ListedTitles() {
  std::vector<int32_t> titles;
  for (int32_t title = 0; title < MAX_TITLES; ++title) {
    uint32_t sizeMB;
    if (TitleSizeMB(title, sizeMB)) {
      titles.push_back(title);
    } else if (title >= 10) {
      break;  // titles are numbered without gaps from 10 on
    }
  }
  return titles;
}

std::vector<OfferedStream> OfferedStreams(int32_t title) {
  std::vector<OfferedStream> streams;
  uint32_t sizeMB;
  if (!TitleSizeMB(title, sizeMB)) return streams;
  ScanTitleStreams(title, sizeMB);  // a failed walk still lists what it met
  for (int n = 0; n < PCM_STREAM_SLOTS; ++n)
    if (TitleScanner.pcmSeen[n]) streams.push_back({STREAM_KIND_PCM, static_cast<uint8_t>(0xA0 + n)});
  for (int n = 0; n < AC3_STREAM_SLOTS; ++n)
    if (TitleScanner.ac3Seen[n]) streams.push_back({STREAM_KIND_AC3, static_cast<uint8_t>(0x80 + n)});
  return streams;
}
