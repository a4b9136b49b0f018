#pragma once

// What the pattern's MFX, name and tempo messages mean, for MessageMeaning.cpp: the MFX
// parameters are named after the type the monitor has seen last, which a message carrying the
// type updates.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace sysex {

// A data set's body (address, then data): its meaning when it is one of these messages.
std::optional<std::string> PatternDataSetMeaning(std::span<const std::uint8_t> body,
                                                 std::optional<int> &mfxType);
// A request's body (address, then size).
std::optional<std::string> PatternRequestMeaning(std::span<const std::uint8_t> body);

} // namespace sysex
