#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "report/run_flags.h"
#include "platform/drives.h"
#include "platform/guarded_read.h"
#include "platform/ui_port.h"
#include "tests/support/program_stream.h"

namespace {

class SilentUi : public UiPort {
 public:
  void ListReset() override {}
  void ListAppend(const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void SetTimeText(const std::string&, uint32_t) override {}
  void SetProgress(unsigned) override {}
  void DisableStop() override {}
  void ShowBox(const std::string&, BoxKind) override {}
  void WorkerDone() override {}
};

SilentUi silentUi;
std::filesystem::path scratchRoot;

void RemoveScratch() {
  std::error_code ignored;
  if (!scratchRoot.empty()) std::filesystem::remove_all(scratchRoot, ignored);
}

void WriteWhole(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path.string());
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) throw std::runtime_error("cannot write " + path.string());
    done += static_cast<size_t>(n);
  }
  close(fd);
}

}  // namespace

void FuzzInit() {
  UiInstall(&silentUi);
  GuardedReadInstall();
  VerboseErrors = true;
}

const std::filesystem::path& ScratchRoot() {
  if (!scratchRoot.empty()) return scratchRoot;
  std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
  std::string pattern = base + "/voltark-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  scratchRoot = pattern;
  std::filesystem::create_directories(scratchRoot / "VIDEO_TS");
  std::atexit(RemoveScratch);
  DriveList = {DriveFromArgument(scratchRoot.string())};
  SelectedDrive = 0;
  return scratchRoot;
}

void WriteScratchTitle(int title, const std::vector<std::vector<uint8_t>>& parts) {
  const std::filesystem::path& root = ScratchRoot();
  for (size_t i = 0; i < parts.size(); i++)
    WriteWhole(testps::VobPath(root, title, static_cast<int>(i) + 1), parts[i]);
  std::error_code ignored;
  for (int part = static_cast<int>(parts.size()) + 1; part <= 9; part++)
    std::filesystem::remove(testps::VobPath(root, title, part), ignored);
}

std::vector<uint8_t> PaddingPacks(size_t count) {
  testps::ProgramStream stream;
  for (size_t i = 0; i < count; i++) stream.PaddingPack(i * 2048 * 90000ull / (testps::DVD_MUX_RATE * 50ull));
  return stream.bytes();
}
