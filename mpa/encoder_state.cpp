#include "mpa/encoder_state.h"

MpaEncoderState MpaEncoder;
