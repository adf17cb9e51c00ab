// Where libdvdread is not available (Windows), the disc reader calls that
// the source layer makes are served from the disc's files: a folder that
// holds VIDEO_TS, or the root of a drive letter. Only the calls and types
// the source layer uses are declared, under the names it uses. Nothing is
// decrypted: an encrypted title reads as scrambled packs, which the walks
// refuse.
#pragma once

#include <cstdint>
#include <cstdarg>

typedef struct dvd_reader_s dvd_reader_t;
typedef struct dvd_file_s dvd_file_t;

typedef enum {
  DVD_LOGGER_LEVEL_INFO,
  DVD_LOGGER_LEVEL_ERROR,
  DVD_LOGGER_LEVEL_WARN,
  DVD_LOGGER_LEVEL_DEBUG,
} dvd_logger_level_t;

typedef struct {
  void (*pf_log)(void*, dvd_logger_level_t, const char*, va_list);
} dvd_logger_cb;

typedef enum {
  DVD_READ_INFO_FILE,         // VIDEO_TS.IFO or VTS_tt_0.IFO
  DVD_READ_INFO_BACKUP_FILE,  // VIDEO_TS.BUP or VTS_tt_0.BUP
  DVD_READ_MENU_VOBS,         // VIDEO_TS.VOB or VTS_tt_0.VOB
  DVD_READ_TITLE_VOBS,        // VTS_tt_1.VOB .. VTS_tt_9.VOB, one after the other
} dvd_read_domain_t;

typedef struct {
  int64_t size;  // bytes in all parts
  int nr_parts;
  int64_t parts_size[9];
} dvd_stat_t;

// path: the folder that holds VIDEO_TS. Null when it holds none.
dvd_reader_t* DVDOpen2(void* priv, const dvd_logger_cb* logger, const char* path);
void DVDClose(dvd_reader_t* reader);

// 0 and the sizes when the file (or the title's VOBs) exist, else -1.
int DVDFileStat(dvd_reader_t* reader, int title, dvd_read_domain_t domain, dvd_stat_t* stat);

dvd_file_t* DVDOpenFile(dvd_reader_t* reader, int title, dvd_read_domain_t domain);
void DVDCloseFile(dvd_file_t* file);

// Reads on from where the last read ended; the count read or -1.
int64_t DVDReadBytes(dvd_file_t* file, void* data, size_t size);

// Reads count 2048-byte blocks from block offset on (counted across all
// parts); the count read (a block that cannot be read ends it) or -1.
int64_t DVDReadBlocks(dvd_file_t* file, int offset, size_t count, unsigned char* data);

// A folder has no disc volume information to read: -1.
int DVDUDFVolumeInfo(dvd_reader_t* reader, char* name, unsigned name_size, unsigned char* set, unsigned set_size);
int DVDISOVolumeInfo(dvd_reader_t* reader, char* name, unsigned name_size, unsigned char* set, unsigned set_size);
