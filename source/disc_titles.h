// The disc's own titles, as its title table and programme chains (the IFO
// files) describe them: number, title set, duration, chapters, angles, audio
// and video attributes, and the cells each chapter plays.
//
// IFO files are untrusted input. A title whose tables do not hold together
// (cells beyond the title set's VOBs, chapters that name programmes or
// chains that do not exist, empty chains, programmes out of order, absurd
// counts) is refused with the reason and never followed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "source/dvd_block_reader.h"

constexpr int MAX_DISC_TITLES = 99;
constexpr int MAX_CHAPTERS = 999;
constexpr int MAX_ANGLES = 9;
constexpr int MAX_AUDIO_ATTRIBUTES = 8;
constexpr int MAX_SUBPICTURE_STREAMS = 32;
constexpr int PALETTE_COLOURS = 16;

// block_mode of a cell: where it lies in a block of cells.
constexpr uint8_t CELL_NOT_IN_BLOCK = 0;
constexpr uint8_t CELL_BLOCK_FIRST = 1;
constexpr uint8_t CELL_BLOCK_MIDDLE = 2;
constexpr uint8_t CELL_BLOCK_LAST = 3;
constexpr uint8_t CELL_BLOCK_ANGLE = 1;  // block_type of an angle block

struct DiscCell {
  uint32_t firstSector = 0;  // of the title set's VOBs
  uint32_t lastSector = 0;
  uint8_t blockMode = CELL_NOT_IN_BLOCK;
  uint8_t blockType = 0;
  double seconds = 0;  // playback time
};

// How a chain plays logical sub-picture stream n: the physical stream
// (0..31, sub-stream 0x20 + it) for each display of the picture.
struct SubpictureControl {
  bool available = false;
  uint8_t narrow = 0;     // 4:3 picture
  uint8_t wide = 0;       // 16:9 picture
  uint8_t letterbox = 0;
  uint8_t panScan = 0;
};

// One programme chain: its cells in order and where each programme starts.
struct DiscChain {
  std::vector<DiscCell> cells;
  std::vector<int> programStart;  // 0-based index of each programme's first cell
  double seconds = 0;             // the chain's playback time
  SubpictureControl subpictures[MAX_SUBPICTURE_STREAMS] = {};
  uint32_t palette[PALETTE_COLOURS] = {};  // 0x00YYCrCb, as the chain's colour table holds them
};

struct DiscChapter {
  int number = 0;
  double startSeconds = 0;
  double durationSeconds = 0;
  int chain = 0;    // index into DiscTitle::chains
  int program = 0;  // 0-based programme of that chain
};

struct DiscAudio {
  uint8_t subStreamId = 0;  // 0x80+n AC-3, 0xA0+n LPCM, 0x88+n DTS, 0xC0+n MPEG
  std::string format;       // "AC3", "PCM", "DTS", "MPEG"
  std::string language;     // ISO 639-1 code; empty when the disc names none
  int channels = 0;
};

// A sub-picture (subtitle) stream of a title: its logical number, the
// sub-stream the title's display aspect plays (0x20 + physical stream),
// and its language.
struct DiscSubpicture {
  int logical = 0;
  uint8_t subStreamId = 0;
  std::string language;  // ISO 639-1 code; empty when the disc names none
};

struct DiscVideo {
  std::string standard;  // "PAL" or "NTSC"
  int width = 0;
  int height = 0;
  std::string aspect;  // "4:3" or "16:9"
};

struct DiscTitle {
  int number = 0;    // 1-based, as players number them
  int titleSet = 0;  // the title (VTS) whose VOBs it plays from
  double durationSeconds = 0;
  std::vector<DiscChapter> chapters;
  int angles = 1;
  std::vector<DiscAudio> audio;
  std::vector<DiscSubpicture> subpictures;  // as the title's first chain plays them
  DiscVideo video;
  std::vector<DiscChain> chains;
};

struct DiscTitleTable {
  bool found = false;                // the disc has a title table (VIDEO_TS.IFO)
  int listed = 0;                    // titles the table lists, refused ones included
  std::vector<DiscTitle> titles;     // the titles that hold together, in table order
  std::vector<std::string> refused;  // one sentence per title or table refused
};

// Reads the title table of the selected source through libdvdread. A source
// without IFO files gives found = false and no titles.
DiscTitleTable ReadDiscTitles();

// The seconds of a DVD playback time (BCD hours, minutes, seconds, frames
// with the frame rate in the frame byte's two high bits).
double PlaybackSeconds(uint8_t hour, uint8_t minute, uint8_t second, uint8_t frameByte);

// Checks one programme chain against the title set's VOB size in sectors:
// at least one programme and one cell, programmes starting at increasing
// cells, cells inside the VOBs, blocks of cells opened and closed. False
// with the reason in problem.
bool CheckChain(const DiscChain& chain, uint32_t vobSectors, std::string& problem);

// The sector ranges a walk of chapters first..last (1-based, included) of
// the title reads, in programme order; in angle blocks the cell of the given
// angle (1-based). False with a sentence for the user in error when a number
// is out of range.
bool DiscTitlePlan(const DiscTitle& title, int firstChapter, int lastChapter, int angle,
                   std::vector<SectorRange>& plan, std::string& error);

// The bytes a plan reads, for the progress percentage.
uint64_t PlanBytes(const std::vector<SectorRange>& plan);

// The line of the readable table: "  1  set 1  01:32:10  24 chapters  1 angle
// en AC3 5.1 (ac3:0), fr AC3 2.0 (ac3:1)".
std::string DiscTitleLine(const DiscTitle& title);

// "ac3:0", "pcm:1", "dts:0", "mpeg:0": how the stream is named on the
// command line.
std::string AudioSelector(const DiscAudio& audio);
