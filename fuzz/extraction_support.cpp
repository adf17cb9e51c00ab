#include "fuzz/extraction_support.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "report/run_flags.h"
#include "extract/title_selection.h"
#include "extract/audio_handoff.h"
#include "extract/audio_track.h"
#include "extract/encoder_thread.h"
#include "extract/extraction_driver.h"
#include "extract/output_writer.h"
#include "fuzz/fuzz_support.h"
#include "mpa/layer2_encoder.h"
#include "platform/output_file.h"
#include "platform/ui_port.h"
#include "platform/work_buffers.h"

namespace {

// A frame of the right size that costs nothing to make.
void StandInEncodeFrame(MpaEncoderState&, const Q24* left, const Q24*, uint8_t* out) {
  std::memset(out, 0, MPA_FRAME_BYTES);
  out[0] = 0xFF;
  out[1] = 0xFD;
  out[4] = static_cast<uint8_t>(left[0]);
}

[[noreturn]] void Broken(const char* rule) {
  std::fprintf(stderr, "extraction rule broken: %s\n", rule);
  std::abort();
}

void CheckOutput(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return;  // not created: the extraction could not start
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() % 2048 != 0) Broken("output is not a whole number of packs");
  for (size_t at = 0; at < bytes.size(); at += 2048) {
    if (std::memcmp(bytes.data() + at, "\x00\x00\x01\xBA", 4) != 0) Broken("a pack without a pack header");
  }
}

}  // namespace

void ExtractionFuzzInit() {
  if (!AllocateWorkBuffers()) Broken("work buffers");
  ScratchRoot();
}

void RunScratchExtraction(const ScratchExtraction& job) {
  std::string output = (ScratchRoot() / "out.mpg").string();
  std::remove(output.c_str());
  TitleSelection.title = 1;
  TitleSelection.sizeMB = job.sizeMB;
  TitleSelection.streamKind = job.streamKind;
  TitleSelection.subStreamId = job.subStreamId;
  TitleSelection.dynamicCompression = job.dynamicCompression;
  TitleSelection.moreTrackCount = 0;
  std::snprintf(TitleSelection.outputPath, sizeof TitleSelection.outputPath, "%s", output.c_str());
  FrameEncoder = job.realEncoder ? static_cast<FrameEncoderFunction>(EncodeFrame) : StandInEncodeFrame;
  AbortFlag = false;
  ExtractionWorker();
  if (AudioTracks[0].handoff.thread.joinable()) Broken("encoder thread still running");
  if (Writer.thread.joinable()) Broken("writer thread still running");
  CheckOutput(output);
}
