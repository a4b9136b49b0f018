#pragma once

// What a MIDI message means, in the program's own words: the instrument's data sets and
// requests by area, part, tone and parameter (the value as its control shows it), the mixer's
// control changes, model-3A messages, the identity messages; anything else is "other".

#include <cstdint>
#include <span>
#include <string>

namespace sysex {

std::string MessageMeaning(std::span<const std::uint8_t> message);

} // namespace sysex
