#include "mpa/encoder_state.h"

MpaEncoderState MpaEncoder;

void MpaEncoderReset() { MpaEncoder = MpaEncoderState{}; }
