#include "extract/extraction_request.h"

#include <filesystem>

#include "extract/title_selection.h"
#include "platform/drives.h"
#include "platform/file_identity.h"
#include "platform/file_names.h"
#include "source/title_scanner.h"

namespace {

// The disc's own files in its VIDEO_TS folder: the title sets' VOB files and
// the information files with their backups.
bool IsDiscFileName(const std::string& name) {
  if (name.size() < 4) return false;
  const std::string extension = name.substr(name.size() - 4);
  return SameNameIgnoringCase(extension, ".VOB") || SameNameIgnoringCase(extension, ".IFO") ||
         SameNameIgnoringCase(extension, ".BUP");
}

bool SameAsPath(const FileIdentity& output, const std::string& path) {
  FileIdentity other;
  return !path.empty() && FileIdentityOf(path, other) && SameFile(output, other);
}

// The VIDEO_TS folder of a source read through its files; false for an image
// and an unmounted drive, whose files cannot be named by a path.
bool VideoTsFolder(const Drive& drive, std::string& folder) {
  std::string root, error;
  return ResolveSourceRoot(drive, root, error) && FindEntryIgnoringCase(root, "VIDEO_TS", folder);
}

// A new file in the VIDEO_TS folder under a disc file's name in another case.
bool ShadowsDiscFile(const std::string& path, const std::string& folder, const std::vector<std::string>& names) {
  const std::filesystem::path output(path);
  const std::filesystem::path parent = output.has_parent_path() ? output.parent_path() : ".";
  FileIdentity where;
  if (!FileIdentityOf(parent.string(), where) || !SameAsPath(where, folder)) return false;
  const std::string name = output.filename().string();
  for (const std::string& entry : names)
    if (IsDiscFileName(entry) && SameNameIgnoringCase(entry, name)) return true;
  return false;
}

}  // namespace

bool OutputIsSourceFile(const char* path) {
  if (SelectedDrive < 0 || SelectedDrive >= static_cast<int>(DriveList.size())) return false;
  const Drive& drive = DriveList[SelectedDrive];
  std::string folder;
  const bool hasFolder = VideoTsFolder(drive, folder);
  const std::vector<std::string> names = hasFolder ? FolderEntries(folder) : std::vector<std::string>{};
  FileIdentity output;
  if (!FileIdentityOf(path, output)) return hasFolder && ShadowsDiscFile(path, folder, names);
  if (SameAsPath(output, drive.device) || SameAsPath(output, drive.image)) return true;
  for (const std::string& name : names)
    if (IsDiscFileName(name) && SameAsPath(output, folder + "/" + name)) return true;
  return false;
}

std::vector<int32_t> ListedTitles() {
  std::vector<int32_t> titles;
  for (int32_t title = 0; title < MAX_TITLES; ++title) {
    uint32_t sizeMB;
    if (TitleSizeMB(title, sizeMB)) titles.push_back(title);
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
