#include "mpa/encoder_state.h"

MpaEncoderState MpaEncoder;

void MpaEncoderReset(MpaEncoderState& e) { e = MpaEncoderState{}; }

void MpaEncoderReset() { MpaEncoderReset(MpaEncoder); }
