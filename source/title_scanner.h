// The title scanner: lists a disc's titles with their sizes and the audio
// streams each carries, and records every selectable PCM or AC3 line.
//
// It walks only the beginning of each title: a little over a tenth of it,
// and no further than SCAN_HIT_LIMIT audio packets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "source/disc_titles.h"

constexpr int TITLE_LIST_SLOTS = 32;
constexpr int MAX_TITLES = 100;
constexpr int MAX_PARTS = 9;
constexpr int MPEG_STREAM_SLOTS = 32;
constexpr int PCM_STREAM_SLOTS = 10;
constexpr int AC3_STREAM_SLOTS = 10;
constexpr int DTS_STREAM_SLOTS = 6;
constexpr int32_t SCAN_HIT_LIMIT = 5000;
constexpr uint32_t MEBIBYTE = 0x100000;

struct TitleListEntry {
  int32_t line;         // index of the stream line in the title list
  int32_t title;        // 0..99
  int32_t sizeMB;       // as shown on the title line
  int32_t streamKind;   // STREAM_KIND_PCM or STREAM_KIND_AC3
  uint8_t subStreamId;  // 0xA0 + n (PCM #n) or 0x80 + n (AC3 #n)
};

extern TitleListEntry TitleList[TITLE_LIST_SLOTS];
extern int32_t TitleListCount;

// What the list shows, kept in structured form for front ends that report
// the result other than as lines (the command line's JSON).
struct ScannedStream {
  std::string kind;     // "MPEG", "PCM", "AC3" or "DTS"
  int32_t index;        // the n of "stream #n"
  int32_t line;         // index in the title list
  std::string text;     // the list line
  int32_t entry;        // index in TitleList; -1 when the line is not selectable
};

struct ScannedTitle {
  int32_t title;
  int32_t sizeMB;
  int32_t line;
  std::string text;
  std::vector<ScannedStream> streams;
  bool encrypted = false;    // the disc scrambles its packets (CSS)
  bool decryptable = false;  // encrypted, and read clear through libdvdcss
};

struct TitleScannerState {
  // Scan-wide, reset at the start of each scan.
  int32_t nextLine = 0;  // index of the next list line
  bool failed = false;   // a walk failed: the summary message's condition
  uint32_t damageSkipped = 0;  // stretches the walks passed over as damaged
  bool labelListed = false;
  std::string label;     // the first line, when labelListed
  std::vector<ScannedTitle> titles;
  DiscTitleTable disc;   // the disc's own titles, from its IFO files
  bool noTitles = false; // the source holds no title (no VIDEO_TS, or no title set in it)

  // Set by a front end that lists a drive without a disc as an empty list,
  // without a message; folders and images named by the user are always told.
  bool quietEmptyDrive = false;

  // Per title, cleared before each title's walk.
  bool mpegSeen[MPEG_STREAM_SLOTS] = {};
  bool pcmSeen[PCM_STREAM_SLOTS] = {};
  bool ac3Seen[AC3_STREAM_SLOTS] = {};
  bool dtsSeen[DTS_STREAM_SLOTS] = {};
  int32_t hits = 0;         // audio packets met
  uint32_t byteCount = 0;   // bytes walked modulo 1 MiB
  uint32_t walkedMB = 0;    // whole MiB walked
  uint32_t limitMB = 0;     // the walk ends once walkedMB exceeds it
  bool scrambled = false;   // a packet met was scrambled (CSS): it cannot be read
};

extern TitleScannerState TitleScanner;

// Thread procedure of a scan of the selected drive. Reports through the UI
// port and ends with Ui().WorkerDone(). Returns 0.
int ScanWorker();

// Set when the last scan met a failure (the summary message's condition).
bool ScanFailed();

// Set when the last scan found no title at all ("no DVD titles found in ...").
bool ScanFoundNoTitles();

// Set when the last scan refused some of the disc's IFO tables.
bool ScanRefusedDiscTitles();

// The title's size as the title list shows it: its parts' sizes summed and
// rounded to the nearest MiB, at least 1. False when the title is missing
// (no part, or parts of size 0 only).
bool TitleSizeMB(int32_t title, uint32_t& sizeMB);

// The walk of one title's beginning as the scan makes it (a tenth of its
// sizeMB), its streams left in the seen flags of TitleScanner. False when
// the title could not be opened or its walk failed; the flags then hold
// what was met before.
bool ScanTitleStreams(int32_t title, uint32_t sizeMB);

// Clears the per-title tables and counters and sets the walk limit.
void ScanClearTitle(uint32_t limitMB);

// Walks the title open in the VobReader from `current`, recording the audio
// streams met in TitleScanner. True when the walk ended without failure
// (end of title, walk limit, hit limit, abort); false after a reported
// failure. Leaves the reader open.
bool ScanWalkTitle();

// The list line of a volume label: '_' shown as blanks, at most 47
// characters (the platform's 48-byte volume name buffer).
std::string VolumeLabelLine(const std::string& label);
