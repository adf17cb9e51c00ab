// Throughput of the title scanner's record walk over a page-cached title.
//
//   bench_title_walk make DIR MIB   writes DIR/VIDEO_TS/VTS_01_1.VOB of MIB MiB
//   bench_title_walk walk DIR       walks all of title 1, prints MB/s
//   bench_title_walk touch DIR      maps part 1 whole and reads one byte per
//                                   pack: the ceiling of any mapped reading
//                                   on this machine, for comparison
//
// The title holds video packs and a navigation pack every 16 packs, and no
// audio, so neither the tenth-of-title limit (lifted here) nor the audio
// packet limit stops the walk before the end of the title.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "report/run_flags.h"
#include "platform/drives.h"
#include "platform/recording_ui.h"
#include "source/title_scanner.h"
#include "source/vob_reader.h"
#include "tests/support/program_stream.h"

namespace {

int Make(const std::string& dir, long mebibytes) {
  testps::ProgramStream chunk = testps::VideoOnlyStream(MEBIBYTE / testps::PACK_BYTES);
  std::filesystem::path path = testps::VobPath(dir, 1, 1);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (long i = 0; i < mebibytes; ++i)
    out.write(reinterpret_cast<const char*>(chunk.bytes().data()), static_cast<std::streamsize>(chunk.size()));
  return out ? 0 : 1;
}

int Walk(const std::string& dir) {
  RecordingUi quiet;
  UiInstall(&quiet);
  DriveList = {DriveFromArgument(dir)};
  SelectedDrive = 0;
  VobReader.title = 1;
  VobReader.part = 1;
  VobReader.fileSize = 0;
  if (!VobProbePart()) {
    std::fprintf(stderr, "no title 1 under %s\n", dir.c_str());
    return 1;
  }
  double bytes = VobReader.fileSize;
  auto start = std::chrono::steady_clock::now();
  if (!VobOpenPart()) return 1;
  ScanClearTitle(0xFFFFFFFF);
  bool walked = ScanWalkTitle();
  VobClose();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!walked || !VobReader.closed) {
    std::fprintf(stderr, "the walk did not reach the end of the title\n");
    return 1;
  }
  std::printf("%.1f\n", bytes / seconds / 1e6);
  UiInstall(nullptr);
  return 0;
}

int Touch(const std::string& dir) {
  std::string path = testps::VobPath(dir, 1, 1).string();
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return 1;
  size_t size = static_cast<size_t>(lseek(fd, 0, SEEK_END));
  auto start = std::chrono::steady_clock::now();
  void* view = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) return 1;
  const volatile uint8_t* bytes = static_cast<const uint8_t*>(view);
  unsigned sum = 0;
  for (size_t at = 0; at < size; at += testps::PACK_BYTES) sum += bytes[at];
  munmap(view, size);
  close(fd);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.1f\n", size / seconds / 1e6);
  return sum == 0xFFFFFFFF ? 1 : 0;  // keeps the reads
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 2 ? argv[1] : "";
  if (mode == "make" && argc == 4) return Make(argv[2], std::atol(argv[3]));
  if (mode == "walk" && argc == 3) return Walk(argv[2]);
  if (mode == "touch" && argc == 3) return Touch(argv[2]);
  std::fprintf(stderr, "usage: %s make DIR MIB | walk DIR | touch DIR\n", argv[0]);
  return 2;
}
