#include "platform/work_buffers.h"

#include <cstddef>

#include "platform/pages.h"

WorkBufferSet WorkBuffers;

namespace {

template <typename T>
bool Allocate(T*& buffer, size_t bytes) {
  void* memory = AllocatePages(bytes);
  if (memory == nullptr) return false;
  buffer = static_cast<T*>(memory);
  return true;
}

}  // namespace

bool AllocateWorkBuffers() {
  static bool allocated = false;
  if (allocated) return true;
  WorkBufferSet& b = WorkBuffers;
  const size_t decoded = DECODED_SAMPLES * sizeof(int32_t);
  const size_t frame = ENC_FRAME_SAMPLES * sizeof(int32_t);
  bool ok = true;
  // Pages a track never uses are never touched: only the tracks re-encoded
  // cost memory.
  for (AudioWorkBuffers& a : b.audio) {
    ok = ok && Allocate(a.DecodedLeft, decoded) && Allocate(a.DecodedRight, decoded);
    for (int pair = 0; ok && pair < ENC_PAIRS; ++pair)
      ok = Allocate(a.EncLeft[pair], frame) && Allocate(a.EncRight[pair], frame);
    ok = ok && Allocate(a.Ac3FrameBuffer, AC3_FRAME_BUFFER_BYTES) &&
         Allocate(a.EncodedFrames, ENCODED_FRAME_SLOTS * ENC_FRAME_BYTES);
  }
  ok = ok && Allocate(b.AudioPack, OUTPUT_PACK_BYTES) && Allocate(b.VideoPacks, HELD_VIDEO_PACKS * OUTPUT_PACK_BYTES) &&
            Allocate(b.OutBuffer[0], OUT_BUFFER_BYTES) && Allocate(b.OutBuffer[1], OUT_BUFFER_BYTES);
  allocated = ok;
  return ok;
}
