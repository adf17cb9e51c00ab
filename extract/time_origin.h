// Where the output's clock starts. The first picture is shown at FIRST_PTS
// (0.25 s after the first SCR) unless a kept audio track has frames more
// than 0.25 s before it: their output times would fall below 0. Then the
// origin moves earlier by as much as they lead, so that the earliest frame
// comes at FIRST_PTS and the video and every other stream follow it by
// the disc's own distance.
//
// The lead is read from the title's first packs before the walk: the
// earliest time stamp of each kept track against the first time stamp of
// the video from its first GOP on, up to the first step of the input
// clock. The video reference the walk ties the clocks with later is the
// GOP start of the same picture; a GOP whose pictures carry no time stamp
// of their own before the anchor moves the estimate by those pictures.
#pragma once

#include <cstdint>

constexpr uint32_t ORIGIN_LOOK_PACKS = 4096;  // 8 MiB: some seconds of the title's start

// The shift of the first picture's output time after FIRST_PTS that the
// title's start asks for (0 without early frames). Reads packs from the
// reader's current position (the title just opened): the caller opens the
// title again. Nothing is reported: what cannot be read ends the look.
uint32_t TitleStartOriginShift();
