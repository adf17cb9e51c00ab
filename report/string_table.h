// The program's string table: every text the user sees, by numeric id.
#pragma once

#include <string>
#include <string_view>

enum StringId : unsigned {
  IDS_VOB_FILE = 117,
  IDS_VOB_DETAIL = 118,
  IDS_NO_SIZE = 119,
  IDS_NO_MAP = 120,
  IDS_EMPTY = 121,
  IDS_NO_VIEW = 122,
  IDS_READ_ABOVE_END = 123,
  IDS_WRITE_ERROR = 124,
  IDS_MISSING_PACK_START = 125,
  IDS_INVALID_PCM = 126,
  IDS_INVALID_AC3_RATE = 127,
  IDS_INVALID_AC3_FRMSIZE = 128,
  IDS_STREAMS_SYNC = 129,
  IDS_PES_CROSSING = 130,
  IDS_SCAN_ERROR = 132,
  IDS_INPUT_ACCESS = 133,
  IDS_NO_OUTPUT = 134,
  IDS_NO_TITLE = 135,
  IDS_NO_VIDEO_PSTD = 136,
  IDS_NO_SYSTEM_HEADER = 137,
  IDS_UNEXPECTED_PACK_START = 138,
  IDS_CLOSE_ERROR = 139,
  IDS_NO_PCM = 140,
  IDS_EXTRACT_ERROR = 141,
  IDS_COMMAND_LINE = 142,
  IDS_NO_DRIVE = 143,
  IDS_NO_BUFFER = 144,
  IDS_STOP_QUESTION = 145,
  IDS_TITLE_LINE = 146,
  IDS_SCANNING_TITLE = 147,
  IDS_MPEG_STREAM = 148,
  IDS_PCM_STREAM = 149,
  IDS_AC3_STREAM = 150,
  IDS_DTS_STREAM = 151,
  IDS_EXTRACTING = 152,
  IDS_DONE = 153,
  IDS_SAVE_TITLE = 154,
  IDS_SAVE_FILTER = 155,
  IDS_AC3_EXPONENT_GROUP = 159,
  IDS_AC3_COEFF_GROUP = 160,
  IDS_AC3_CPLBEGF = 161,
  IDS_AC3_CPLSTRE = 162,
  IDS_AC3_CPLCOE = 163,
  IDS_AC3_REMATSTR = 164,
  IDS_AC3_CHBWCOD = 165,
  IDS_AC3_CHEXPSTR = 166,
  IDS_AC3_BAIE = 167,
  IDS_AC3_SNROFFSTE = 168,
  IDS_AC3_CPLLEAKE = 169,
  IDS_AC3_CPLDELTBAE_REUSE = 170,
  IDS_AC3_CPLDELTBAE = 171,
  IDS_NO_AC3 = 172,
  IDS_MPEG_OVERFLOW = 173,
  IDS_ENCODER_SETUP = 174,
  IDS_OUTPUT_IS_INPUT = 175,
  IDS_VIDEO_FRAME_RATE = 176,
  IDS_ENCRYPTED_EXTRACT = 177,
  IDS_ENCRYPTED_TITLE = 178,
  IDS_ENCRYPTED_TITLES = 179,
  IDS_IFO_REFUSED = 180,
  IDS_DAMAGE_SKIPPED = 185,
  IDS_DAMAGE_SUMMARY = 186,
  IDS_DAMAGE_SUMMARY_ONE = 187,
  IDS_INCOMPLETE_REMOVED = 190,
  IDS_INCOMPLETE_KEPT = 191,
  IDS_NO_SEQUENCE_HEADER = 192,
  IDS_NO_TITLES = 193,
  IDS_STOPPED = 240,
  IDS_BATCH_SUMMARY = 241,
  IDS_BATCH_NO_STREAM = 242,
  IDS_NEEDS_LIBDVDCSS = 243,
  IDS_LIBDVDCSS_FAILED = 244,
  IDS_COPY_NOT_DECRYPTED = 245,
  IDS_NO_DECRYPTION_HERE = 246,
};

// The text of an id, with embedded NUL characters where the entry has them
// (the Save As filter). Ids without an entry give an empty view.
std::string_view LoadStringView(unsigned id);

// The text as the fixed buffers of its users would hold it: cut before the
// first NUL and to at most bufferSize - 1 characters.
std::string LoadStringText(unsigned id, size_t bufferSize = 100);

// printf-style formatting of a string-table entry into a buffer of the given
// size (the result is cut like the platform's formatter would cut it).
std::string FormatString(size_t bufferSize, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
