// Placeholders for the codec and reader functions that the product links
// from modules not yet in this tree; the tests install stand-ins through the
// seams and never reach these.
#include <cstdint>
#include <cstdlib>

#include "ac3/ac3_decoder.h"
#include "mpa/layer2_encoder.h"

void EncodeFrame(const Q24*, const Q24*, uint8_t*) { std::abort(); }
unsigned Ac3DecodeFrame(const uint8_t*, uint32_t, Q24*, Q24*) { std::abort(); }
void Ac3Reset(bool) {}
bool ReportNoAc3Found() { return true; }
bool VobOpenPart() { return false; }
bool VobAdvance(uint32_t) { return false; }
void VobClose() {}
bool VobCheckPackStart(const uint8_t*) { return false; }
