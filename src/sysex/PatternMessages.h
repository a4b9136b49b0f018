#pragma once

// What the pattern's MFX window and the mixer's name and tempo boxes say to the instrument and
// read back, without a window: the pattern setup's header block (the name and the tempo at
// 30 00 00 ..), the MFX values (MfxParams.h), part R's third MFX switch value, the requests that
// read them, and the decoding of a received data set that covers any of them.

#include "MfxParams.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sysex::pattern {

using TAddress = std::array<std::uint8_t, 4>;

// The pattern setup's two blocks that the instrument answers as blocks: the header with the
// name and the sequencer settings, and the effects with the MFX copy at 02.
inline constexpr TAddress SetupAddress {0x30, 0x00, 0x00, 0x00};
inline constexpr int SetupSize = 0x77;
inline constexpr TAddress EffectsAddress {0x30, 0x00, 0x20, 0x00};
inline constexpr int EffectsSize = 0x24;
// The pattern common block as the instrument holds it: longer than the 44 bytes the mixer reads,
// it ends with the voice reserve of parts 1..7 (30..36) and part R (39).
inline constexpr int CommonSize = 0x44;
inline constexpr int VoiceReserveOffset = 0x30;
inline constexpr int RhythmVoiceReserveOffset = 0x39;

inline constexpr int NameSize = 15;
inline constexpr std::uint8_t NameFirstChar = 32;
inline constexpr std::uint8_t NameLastChar = 125;
inline constexpr int TempoOffset = 0x13;
inline constexpr int TempoNibbleCount = 4;
// One request reads the name and the tempo.
inline constexpr int NameTempoSize = TempoOffset + TempoNibbleCount;

// The map gives no tempo range: what the program shows, takes and sends stays within these.
inline constexpr int TempoMinTenths = 200;
inline constexpr int TempoMaxTenths = 2400;

// The name as a user reads it: a byte outside the characters taken (an initialised pattern pads
// with 00h) as a space, and the padding left out.
std::string NameFromBytes(std::span<const std::uint8_t, NameSize> bytes);
// The name's first 15 characters padded with spaces, a character outside those taken as a space.
std::array<std::uint8_t, NameSize> NameBytes(std::string_view name);
// The one data set of the name's 15 bytes.
std::string NameMessage(const std::string &dataSetHeader, std::string_view name);

// The tempo is stored as BPM x 100 in four nibbles, the highest first: 138.8 is 03 06 03 08.
std::array<std::uint8_t, TempoNibbleCount> TempoNibbles(int hundredths);
// A received nibble over 15 counts as 15.
int TempoFromNibbles(std::span<const std::uint8_t, TempoNibbleCount> nibbles);
// The tempo as shown, in tenths of a BPM: rounded to the nearest tenth, within the range.
int TempoTenths(int hundredths);
std::string TempoText(int tenths); // "138.8"
// A typed tempo ("138.8", "120", " 99.5 "): none when it is no number with at most one decimal
// or lies outside the range.
std::optional<int> TempoTenthsFromText(std::string_view text);
// The one data set of the four nibbles, the tempo taken within the range.
std::string TempoMessage(const std::string &dataSetHeader, int tenths);

// The data set of value v (0 the type, 1..12 the parameters) of an MFX of this type, at
// 01 00 00 0D + v; none when the type does not use the parameter or the byte lies outside its
// range, so that nothing out of range is sent.
std::optional<std::string> MfxMessage(const std::string &dataSetHeader, int type, int v, int byte);

// Part R's MFX switch: besides OFF and ON (the mixer's model-3A message), RHY lets each rhythm
// key's own switch decide. RHY goes as a data set to part R's pattern part block.
enum class TPartMfx : std::uint8_t { Off = 0, On = 1, Rhythm = 4 };
TAddress RhythmPartMfxAddress();
std::string RhythmPartMfxMessage(const std::string &dataSetHeader, TPartMfx value);

struct TRequest
{
    std::string Text;
    int WaitMs;
};
// The type and the twelve parameter bytes, read when the mixer's answer does not bring them.
TRequest MfxRequest(const std::string &dataRequestHeader);
// The name and the tempo, 23 bytes from 30 00 00 00.
TRequest NameTempoRequest(const std::string &dataRequestHeader);

// What a received data set carries of these values, as stored (a byte out of its range is not
// corrected here: mfx::CheckValue tells). Read from either MFX copy; the name and the tempo only
// whole. Never reads beyond the message.
struct TDecoded
{
    std::array<std::optional<int>, mfx::ValueCount> Mfx;
    std::optional<std::string> Name;
    std::optional<int> TempoHundredths;
    std::optional<int> RhythmPartMfx; // the stored byte of part R's switch
    bool Any() const;
};
TDecoded DecodeMessage(std::span<const std::uint8_t> message);

} // namespace sysex::pattern
