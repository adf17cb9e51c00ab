// The scan of the selected drive: title sizes, title lines, stream lines and
// the selectable entries of the title list.
#include "source/title_scanner.h"

#include "report/messages.h"
#include "report/run_flags.h"
#include "report/string_table.h"
#include "source/stream_kind.h"
#include "platform/drives.h"
#include "platform/ui_port.h"
#include "source/dvd_disc.h"
#include "source/vob_reader.h"

TitleListEntry TitleList[TITLE_LIST_SLOTS];
int32_t TitleListCount = 0;
TitleScannerState TitleScanner;

namespace {

constexpr uint64_t SIZE_ROUNDING = 0x80000;  // half a MiB: sizes round to the nearest MiB
constexpr size_t VOLUME_NAME_SIZE = 48;
constexpr size_t LINE_SIZE = 48;
constexpr size_t LINE_FORMAT_SIZE = 32;
constexpr size_t STATUS_SIZE = 100;

int32_t AppendLine(const std::string& text) {
  Ui().ListAppend(text);
  return TitleScanner.nextLine++;
}

// Lines beyond the table's 32 entries are listed but cannot be selected.
int32_t AddEntry(int32_t line, const ScannedTitle& title, int32_t kind, uint8_t subStreamId) {
  if (TitleListCount >= TITLE_LIST_SLOTS) return -1;
  TitleList[TitleListCount] = TitleListEntry{line, title.title, title.sizeMB, kind, subStreamId};
  return TitleListCount++;
}

void AppendStreams(ScannedTitle& title, const char* kind, unsigned formatId, const bool* seen, int slots,
                   int32_t entryKind, uint8_t firstSubStreamId, bool selectable) {
  std::string format = LoadStringText(formatId, LINE_FORMAT_SIZE);
  for (int index = 0; index < slots; ++index) {
    if (!seen[index]) continue;
    std::string text = FormatString(LINE_SIZE, format.c_str(), static_cast<unsigned>(index));
    int32_t line = AppendLine(text);
    const auto subStreamId = static_cast<uint8_t>(firstSubStreamId == 0 ? 0 : firstSubStreamId + index);
    int32_t entry = selectable ? AddEntry(line, title, entryKind, subStreamId) : -1;
    title.streams.push_back(ScannedStream{kind, index, line, text, subStreamId, entry});
  }
}

void AppendStreamLines(ScannedTitle& title) {
  AppendStreams(title, "MPEG", IDS_MPEG_STREAM, TitleScanner.mpegSeen, MPEG_STREAM_SLOTS, 0, 0, false);
  AppendStreams(title, "PCM", IDS_PCM_STREAM, TitleScanner.pcmSeen, PCM_STREAM_SLOTS, STREAM_KIND_PCM, 0xA0, true);
  AppendStreams(title, "AC3", IDS_AC3_STREAM, TitleScanner.ac3Seen, AC3_STREAM_SLOTS, STREAM_KIND_AC3, 0x80, true);
  // DTS lines are listed with their ids but cannot be selected: no decoder.
  AppendStreams(title, "DTS", IDS_DTS_STREAM, TitleScanner.dtsSeen, DTS_STREAM_SLOTS, 0, 0x88, false);
}

// The volume label: the file system's, else the disc's own identifier.
bool ReadLabel(std::string& label) {
  if (SelectedDrive < 0 || SelectedDrive >= static_cast<int>(DriveList.size())) return false;
  return ReadVolumeLabel(DriveList[SelectedDrive], label) || DvdDiscVolumeLabel(label);
}

void StartScan() {
  // The disc in a drive may have changed since the last scan.
  DvdDiscRelease();
  Ui().ListReset();
  TitleListCount = 0;
  TitleScanner.nextLine = 0;
  TitleScanner.titles.clear();
  TitleScanner.labelListed = false;
  TitleScanner.label.clear();
  std::string label;
  if (ReadLabel(label)) {
    TitleScanner.label = VolumeLabelLine(label);
    TitleScanner.labelListed = true;
    AppendLine(TitleScanner.label);
  }
  TitleScanner.failed = false;
  TitleScanner.noTitles = false;
  TitleScanner.damageSkipped = 0;
}

// One title: its title line, the walk of its beginning and its stream lines.
// False when the scan must end at once (the title could not be opened).
bool ScanTitle(int32_t number, uint32_t sizeMB) {
  ScannedTitle title{number, static_cast<int32_t>(sizeMB), 0, "", {}, {}};
  title.text = FormatString(STATUS_SIZE, LoadStringText(IDS_TITLE_LINE).c_str(), static_cast<unsigned>(number), sizeMB);
  title.line = AppendLine(title.text);
  TitleScanner.titles.push_back(title);
  Ui().SetStatusText(
      FormatString(STATUS_SIZE, LoadStringText(IDS_SCANNING_TITLE).c_str(), static_cast<unsigned>(number), sizeMB));
  ScanClearTitle(sizeMB / 10);
  VobReader.title = number;
  VobReader.part = 1;
  if (!VobOpenPart()) return false;
  if (!ScanWalkTitle()) TitleScanner.failed = true;
  VobClose();
  // The walk read the title as an extraction would: clear when libdvdcss
  // decrypted it, which only the raw look at the disc's bytes tells apart.
  ScannedTitle& scanned = TitleScanner.titles.back();
  scanned.encrypted = TitleScanner.scrambled || DvdDiscTitleScrambled(number);
  scanned.decryptable = scanned.encrypted && !TitleScanner.scrambled;
  for (int i = 0; i < SUBPICTURE_STREAM_SLOTS; ++i)
    if (TitleScanner.subpictureSeen[i]) scanned.subpictureIds.push_back(static_cast<uint8_t>(0x20 + i));
  AppendStreamLines(TitleScanner.titles.back());
  return true;
}

// One message for all encrypted titles that cannot be read, and one for
// the IFO tables refused.
void ReportDiscProblems() {
  std::vector<unsigned> encrypted;
  for (const ScannedTitle& title : TitleScanner.titles)
    if (title.encrypted && !title.decryptable) encrypted.push_back(static_cast<unsigned>(title.title));
  const std::string reason = encrypted.empty() ? "" : EncryptedTitleReason();
  if (encrypted.size() == 1) {
    Ui().ShowBox(FormatString(300, LoadStringText(IDS_ENCRYPTED_TITLE).c_str(), reason.c_str(), encrypted[0]),
                 BoxKind::Error);
  } else if (encrypted.size() > 1) {
    std::string numbers;
    for (unsigned number : encrypted) numbers += " #" + std::to_string(number);
    Ui().ShowBox(FormatString(700, LoadStringText(IDS_ENCRYPTED_TITLES).c_str(), reason.c_str(), numbers.c_str()),
                 BoxKind::Error);
  }
  if (!TitleScanner.disc.refused.empty()) {
    std::string reasons;
    for (const std::string& reason : TitleScanner.disc.refused) reasons += (reasons.empty() ? "" : "; ") + reason;
    Ui().ShowBox(FormatString(1000, LoadStringText(IDS_IFO_REFUSED).c_str(), reasons.c_str()), BoxKind::Error);
  }
}

// A source without titles is told, except for a drive without a disc when
// the front end lists that quietly.
void ReportNoTitles() {
  TitleScanner.noTitles = true;
  if (SelectedDrive < 0 || SelectedDrive >= static_cast<int>(DriveList.size())) return;
  const Drive& drive = DriveList[SelectedDrive];
  if (TitleScanner.quietEmptyDrive && !drive.device.empty()) return;
  Ui().ShowBox(FormatString(STATUS_SIZE + drive.name.size(), LoadStringText(IDS_NO_TITLES).c_str(), drive.name.c_str()),
               BoxKind::Error);
}

}  // namespace

bool TitleSizeMB(int32_t title, uint32_t& sizeMB) {
  uint64_t sum = SIZE_ROUNDING;
  VobReader.title = title;
  for (int32_t part = 1; part <= MAX_PARTS; ++part) {
    VobReader.part = part;
    if (!VobProbePart()) break;
    sum += VobReader.fileSize;
  }
  VobReader.part = 1;
  if (sum == SIZE_ROUNDING) return false;
  sizeMB = static_cast<uint32_t>(sum / MEBIBYTE);
  if (sizeMB == 0) sizeMB = 1;
  return true;
}

bool ScanTitleStreams(int32_t title, uint32_t sizeMB) {
  ScanClearTitle(sizeMB / 10);
  VobReader.title = title;
  VobReader.part = 1;
  if (!VobOpenPart()) return false;
  const bool walked = ScanWalkTitle();
  VobClose();
  return walked;
}

std::string VolumeLabelLine(const std::string& label) {
  std::string line = label.substr(0, std::min(label.size(), VOLUME_NAME_SIZE - 1));
  for (char& c : line)
    if (c == '_') c = ' ';
  return line;
}

int ScanWorker() {
  StartScan();
  TitleScanner.disc = ReadDiscTitles();
  for (int32_t title = 0; title < MAX_TITLES && !AbortFlag.load(); ++title) {
    uint32_t sizeMB;
    // A copy may hold any title sets, with gaps anywhere.
    if (!TitleSizeMB(title, sizeMB)) continue;
    if (!ScanTitle(title, sizeMB)) break;
  }
  Ui().SetStatusText("Scanning done");
  if (TitleScanner.titles.empty() && !AbortFlag.load()) ReportNoTitles();
  ReportDiscProblems();
  if (TitleScanner.failed && !VerboseErrors.load()) ShowError(IDS_SCAN_ERROR);
  Ui().WorkerDone();
  return 0;
}

bool ScanFailed() { return TitleScanner.failed; }

bool ScanFoundNoTitles() { return TitleScanner.noTitles; }

bool ScanRefusedDiscTitles() { return !TitleScanner.disc.refused.empty(); }
