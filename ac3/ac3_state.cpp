// The decoder's persistent state and the start and end of a decoding run.
#include <cstring>

#include "ac3/ac3_decoder.h"
#include "ac3/ac3_state.h"
#include "ac3/ac3_tables.h"
#include "report/messages.h"
#include "report/string_table.h"

Ac3DecoderState Ac3Decoder;

void Ac3Reset(Ac3DecoderState& s, bool dynamicCompression) {
  s.DynamicCompression = dynamicCompression;
  std::memset(s.Ac3Overlap, 0, sizeof s.Ac3Overlap);
  s.ditherRegister = 0xFFFF;
  s.Ac3FrameCount = 0;
}

void Ac3Reset(bool dynamicCompression) { Ac3Reset(Ac3Decoder, dynamicCompression); }

int32_t Ac3FrameCount() { return Ac3Decoder.Ac3FrameCount; }

bool ReportNoAc3Found(const Ac3DecoderState& s) {
  if (s.Ac3FrameCount != 0) return true;
  ShowError(IDS_NO_AC3);
  return false;
}

bool ReportNoAc3Found() { return ReportNoAc3Found(Ac3Decoder); }

uint32_t Ac3FrameWords48k(unsigned frmsizecod) {
  if (frmsizecod >= 38) return 0;
  return static_cast<uint32_t>(Ac3FrameSizeWords48k[frmsizecod]);
}
