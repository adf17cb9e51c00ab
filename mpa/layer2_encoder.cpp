#include "mpa/layer2_encoder.h"

#include "common/vector_paths.h"
#include "mpa/bit_allocation.h"
#include "mpa/encoder_state.h"
#include "mpa/frame_writer.h"
#include "mpa/layer2_frame.h"
#include "mpa/psycho_model.h"
#include "mpa/quantise.h"
#include "mpa/scale_factors.h"
#include "mpa/subband_analysis.h"

namespace {

// Full scale is +-1.0. Louder input (a hot AC-3 downmix) is clipped here:
// within full scale every subband sample stays below 2.0 and every FFT bin
// below 1.0, which the scale factors, the codes and the level arithmetic
// rely on.
// Built per vector path: SSE2 has no signed 32-bit minimum and maximum.
VECTOR_PATH_BODY void ClampToFullScaleBody(const Q24* in, Q24* out) {
  for (int i = 0; i < MPA_FRAME_SAMPLES; i++) {
    Q24 x = in[i];
    out[i] = x > Q24_ONE ? Q24_ONE : (x < -Q24_ONE ? -Q24_ONE : x);
  }
}
VECTOR_PATH_VARIANTS(void, ClampToFullScale, (const Q24* in, Q24* out), (in, out))

}  // namespace

void EncodeFrame(MpaEncoderState& encoder, const Q24* left, const Q24* right, uint8_t* out) {
  Q24 input[2][MPA_FRAME_SAMPLES];
  ClampToFullScale(left, input[0]);
  ClampToFullScale(right, input[1]);

  Layer2Frame frame;
  SubbandAnalysis(encoder, input[0], input[1], frame.SubbandSamples);
  FindScaleFactors(frame);

  Q24 fftInput[2][PSYCHO_FFT_SIZE];
  PsychoPrepareInput(encoder, input[0], input[1], fftInput);
  PsychoModel(fftInput, frame.scfMin, frame.SMR);

  SelectScaleFactors(frame);
  AllocateBits(frame, FRAME_BITS_AVAILABLE);
  QuantiseFrame(frame);
  WriteFrame(frame, out, encoder.bitWriter);
}

void EncodeFrame(const Q24* left, const Q24* right, uint8_t* out) { EncodeFrame(MpaEncoder, left, right, out); }
