// The kinds of selectable audio stream, as title list entries and the
// extraction's selection name them.
#pragma once

#include <cstdint>

constexpr int32_t STREAM_KIND_PCM = 1;
constexpr int32_t STREAM_KIND_AC3 = 2;
