#pragma once

// Part R's rhythm set in the virtual instrument: the name and the 64 key blocks it holds from
// power-on, and the check its strict mode makes of what a data set writes there. The layout and
// the ranges are the key table's (sysex/RhythmParams.h).

#include "InstrumentContents.h"

#include <cstdint>
#include <span>

namespace instrument {

// The rhythm set at power-on: a name of the instrument's own invention, and keys whose every
// value lies in its stored range and is drawn anew for each key, not a factory kit. The reserved
// bytes hold what the instrument's dump holds there.
TBytes InitialRhythmName();
TBytes InitialRhythmKey(int note);

// How many of the bytes a data set writes from start (a linear address) fall in a block of the
// rhythm set with a value outside that byte's stored range.
int RhythmValuesOutOfRange(std::uint32_t start, std::span<const std::uint8_t> bytes);

} // namespace instrument
