// The disc reader calls served from the disc's files (see dvdread/dvd_reader.h
// here). Names are matched ignoring case, as discs and their copies vary.
#include <dvdread/dvd_reader.h>
#include <dvdread/dvd_udf.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_names.h"
#include "platform/files.h"

struct dvd_reader_s {
  std::string videoTs;  // the VIDEO_TS folder
};

struct dvd_file_s {
  std::vector<InputFile> parts;
  std::vector<uint64_t> sizes;
  uint64_t position = 0;  // of the next DVDReadBytes
};

namespace {

constexpr uint64_t BLOCK = 2048;

// The file names of (title, domain): one, or the title's VOBs in order.
std::vector<std::string> FileNames(int title, dvd_read_domain_t domain) {
  if (title < 0 || title > 99) return {};
  char name[16];
  std::vector<std::string> names;
  if (domain == DVD_READ_TITLE_VOBS) {
    if (title == 0) return {};
    for (int part = 1; part <= 9; ++part) {
      std::snprintf(name, sizeof name, "VTS_%02d_%d.VOB", title, part);
      names.push_back(name);
    }
    return names;
  }
  const char* extension = domain == DVD_READ_INFO_FILE ? "IFO" : domain == DVD_READ_INFO_BACKUP_FILE ? "BUP" : "VOB";
  if (title == 0)
    std::snprintf(name, sizeof name, "VIDEO_TS.%s", extension);
  else
    std::snprintf(name, sizeof name, "VTS_%02d_0.%s", title, extension);
  names.push_back(name);
  return names;
}

// The paths of the files that exist, stopping at the first missing part.
std::vector<std::string> FilePaths(dvd_reader_t* reader, int title, dvd_read_domain_t domain) {
  std::vector<std::string> paths;
  if (reader == nullptr) return paths;
  for (const std::string& name : FileNames(title, domain)) {
    std::string path;
    if (!FindEntryIgnoringCase(reader->videoTs, name, path) || !IsRegularFile(path)) break;
    paths.push_back(path);
  }
  return paths;
}

// Reads length bytes at offset across the parts; the count read.
uint64_t ReadAcross(dvd_file_t* file, uint64_t offset, uint8_t* data, uint64_t length) {
  uint64_t done = 0;
  uint64_t start = 0;
  for (size_t i = 0; i < file->parts.size() && done < length; ++i) {
    const uint64_t end = start + file->sizes[i];
    while (offset + done >= start && offset + done < end && done < length) {
      const uint64_t at = offset + done - start;
      const uint64_t want = std::min<uint64_t>(length - done, end - (offset + done));
      const int64_t got = InputFileReadAt(file->parts[i], at, data + done, static_cast<size_t>(want));
      if (got <= 0) return done;
      done += static_cast<uint64_t>(got);
    }
    start = end;
  }
  return done;
}

}  // namespace

dvd_reader_t* DVDOpen2(void*, const dvd_logger_cb*, const char* path) {
  std::string videoTs;
  if (path == nullptr || !FindEntryIgnoringCase(path, "VIDEO_TS", videoTs) || !IsFolder(videoTs)) return nullptr;
  return new dvd_reader_s{videoTs};
}

void DVDClose(dvd_reader_t* reader) { delete reader; }

int DVDFileStat(dvd_reader_t* reader, int title, dvd_read_domain_t domain, dvd_stat_t* stat) {
  std::vector<std::string> paths = FilePaths(reader, title, domain);
  if (paths.empty()) return -1;
  *stat = {};
  for (const std::string& path : paths) {
    uint64_t size;
    if (!RegularFileSize(path, size)) return -1;
    stat->parts_size[stat->nr_parts++] = static_cast<int64_t>(size);
    stat->size += static_cast<int64_t>(size);
  }
  return 0;
}

dvd_file_t* DVDOpenFile(dvd_reader_t* reader, int title, dvd_read_domain_t domain) {
  std::vector<std::string> paths = FilePaths(reader, title, domain);
  if (paths.empty()) return nullptr;
  dvd_file_t* file = new dvd_file_s;
  for (const std::string& path : paths) {
    InputFile part;
    uint64_t size = 0;
    if (!InputFileOpen(part, path) || !InputFileSize(part, size)) {
      InputFileClose(part);
      DVDCloseFile(file);
      return nullptr;
    }
    file->parts.push_back(part);
    file->sizes.push_back(size);
  }
  return file;
}

void DVDCloseFile(dvd_file_t* file) {
  if (file == nullptr) return;
  for (InputFile& part : file->parts) InputFileClose(part);
  delete file;
}

int64_t DVDReadBytes(dvd_file_t* file, void* data, size_t size) {
  if (file == nullptr) return -1;
  const uint64_t got = ReadAcross(file, file->position, static_cast<uint8_t*>(data), size);
  file->position += got;
  return static_cast<int64_t>(got);
}

int64_t DVDReadBlocks(dvd_file_t* file, int offset, size_t count, unsigned char* data) {
  if (file == nullptr || offset < 0) return -1;
  const uint64_t got = ReadAcross(file, static_cast<uint64_t>(offset) * BLOCK, data, count * BLOCK);
  if (got == 0 && count > 0) return -1;
  return static_cast<int64_t>(got / BLOCK);
}

int DVDUDFVolumeInfo(dvd_reader_t*, char*, unsigned, unsigned char*, unsigned) { return -1; }

int DVDISOVolumeInfo(dvd_reader_t*, char*, unsigned, unsigned char*, unsigned) { return -1; }

uint32_t UDFFindFile(dvd_reader_t*, const char*, uint32_t* size) {
  if (size != nullptr) *size = 0;
  return 0;
}
