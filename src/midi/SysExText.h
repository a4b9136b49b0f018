#pragma once

// The hex-text form of every System Exclusive message the program sends: upper-case digit pairs
// separated by blanks, from F0 (or the 00 ahead of a model-3A message) to the last data byte.
// The conversion appends the Roland checksum over the bytes after the six-byte header, and F7.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace midi {

using TByteStream = std::vector<std::uint8_t>;

// Two upper-case hex digits; value must be 0..255.
std::string HexByte(int value);

// Replaces the content of stream by the converted message. Never fails: characters that are not
// hex digits count as 0, a trailing unpaired digit is dropped.
void HexTextToSysEx(std::string_view text, TByteStream &stream);

// The Roland checksum of a run of bytes: (128 - sum mod 128) mod 128.
std::uint8_t RolandChecksum(const std::uint8_t *bytes, std::size_t count);

// Where a System Exclusive message (F0 ... F7, with whatever data bytes stand ahead of F0) breaks
// the rule that only its first and last bytes are status bytes: the position of the first byte
// of 80h or more that is neither that F0 nor the closing F7, or of the missing F7 (the size).
// No value when the message is sound. A status byte inside would end the message on the wire and
// turn the rest into garbage for the instrument.
std::optional<std::size_t> SysExFault(std::span<const std::uint8_t> message);

} // namespace midi
