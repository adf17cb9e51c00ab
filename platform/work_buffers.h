// The large work buffers of an extraction, allocated once at start-up,
// page-aligned and kept until the process ends. Each belongs to the module
// named beside it; nothing is allocated while extracting.
#pragma once

#include <cstdint>

constexpr uint32_t DECODED_SAMPLES = 1536;       // one AC-3 frame or PCM packet
constexpr uint32_t ENC_FRAME_SAMPLES = 1152;     // one encoder input frame
constexpr uint32_t AC3_FRAME_BUFFER_BYTES = 2555;  // 2 x 1280 words - 5
constexpr uint32_t ENC_FRAME_BYTES = 1152;       // one Layer II frame
constexpr uint32_t OUTPUT_PACK_BYTES = 2048;
// Encoder input pairs: enough that the worker and the encoder thread each
// run on while the other is held up for a few frames (an I picture's burst
// of video, a time slice lost to another process or to another track's
// encoder). Each waits for the other only in batches of half of them: 64
// frames, 1.5 s of audio. With 16 pairs the worker spent more than a second
// of a 20-minute title waiting for the encoder, most of all under Wine,
// which wakes threads more slowly. The held video packs below cover the
// 3 s of audio this puts in flight.
constexpr int ENC_PAIRS = 128;
// Video packs kept until the multiplexer has written them: those that wait
// for the audio that goes before them (up to a second and a half of video
// at the highest DVD rate, while the encoder catches up) and those whose
// picture time stamp waits for the pictures shown before it.
constexpr uint32_t HELD_VIDEO_PACKS = 2048;
// Encoded Layer II frames kept until the multiplexer has written them.
constexpr uint32_t ENCODED_FRAME_SLOTS = 256;
constexpr uint32_t OUT_BUFFER_BYTES = 0x200000;  // 1024 packs
// Audio tracks decoded and re-encoded in one extraction: a DVD title has at
// most eight audio streams.
constexpr uint32_t MAX_REENCODED_TRACKS = 8;

// The buffers of one re-encoded track.
struct AudioWorkBuffers {
  int32_t* DecodedLeft = nullptr;   // packet intake
  int32_t* DecodedRight = nullptr;
  int32_t* EncLeft[ENC_PAIRS] = {};  // audio hand-off and encoder thread
  int32_t* EncRight[ENC_PAIRS] = {};
  uint8_t* Ac3FrameBuffer = nullptr;  // packet intake
  uint8_t* EncodedFrames = nullptr;   // encoder thread: ENCODED_FRAME_SLOTS frames, read by the multiplexer
};

struct WorkBufferSet {
  AudioWorkBuffers audio[MAX_REENCODED_TRACKS];  // one set per re-encoded track
  uint8_t* AudioPack = nullptr;       // multiplexer: the audio pack being written
  uint8_t* VideoPacks = nullptr;      // multiplexer: HELD_VIDEO_PACKS packs
  uint8_t* OutBuffer[2] = {};         // output writer
};

extern WorkBufferSet WorkBuffers;

// Allocates every buffer once; later calls return true at once. False when
// the memory cannot be had (the front end then shows "Unable to allocate
// buffer" and ends).
bool AllocateWorkBuffers();
