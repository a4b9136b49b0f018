#pragma once

// What a MIDI message means, in the program's own words: the instrument's data sets and
// requests by area, part, tone and parameter (the value as its control shows it), the mixer's
// control changes, model-3A messages, the identity messages; anything else is "other".

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace sysex {

std::string MessageMeaning(std::span<const std::uint8_t> message);

// What earlier messages told that a later one's meaning depends on: the MFX type last sent or
// received names the MFX parameters ("MFX Rate 1/2"). A monitor keeps one for its traffic;
// without it, a parameter is named by its number.
struct TMeaningContext
{
    std::optional<int> MfxType;
};
std::string MessageMeaning(std::span<const std::uint8_t> message, TMeaningContext &context);

} // namespace sysex
