#pragma once

// What the patch editor says to the instrument and reads back, without a window: the part
// request as texts and waits, the patch selection messages, and the decoding of a received
// message into the block it is and the values it carries for the controls.

#include "ToneParams.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sysex::patch {

struct TRequest
{
    std::string Text;
    int WaitMs; // waited after sending
};
// The two requests of part p (0..6): its pattern part block, which holds its patch selection,
// then its whole temporary patch.
inline constexpr std::size_t PartRequestCount = 2;
std::array<TRequest, PartRequestCount> PartRequests(const std::string &dataRequestHeader, int part);

// The three messages that make part p play patch `patch` of group `group` (0..8): bank, group,
// then the patch number as two bytes. The part is requested again after PatchSelectionWaitMs.
std::array<std::string, 3> PatchSelectionMessages(const std::string &dataSetHeader, int part,
                                                  int group, int patch);
// A patch selection's bytes as a pattern part block holds them. A bank byte other than the one
// the group implies (a card's) is given back as it was only from these.
struct TSelectionBytes
{
    std::uint8_t Bank;
    std::uint8_t Group;
    std::uint8_t NumberHigh;
    std::uint8_t NumberLow;
};
// The bytes of a received pattern part block, when it holds them all.
std::optional<TSelectionBytes> SelectionBytesOf(std::span<const std::uint8_t> message);
// The same three messages, with the bytes as they are.
std::array<std::string, 3> PatchSelectionMessages(const std::string &dataSetHeader, int part,
                                                  const TSelectionBytes &bytes);
inline constexpr int PatchSelectionWaitMs = 200;

// The patch's own name: the first bytes of its common block, characters 32..125 padded with
// spaces.
inline constexpr int PatchNameSize = 12;
inline constexpr char PatchNameFirstChar = 32;
inline constexpr char PatchNameLastChar = 125;
// The name as a user reads it: a byte outside the characters taken as a space, and the padding
// left out.
std::string PatchNameFromBytes(std::span<const std::uint8_t, PatchNameSize> bytes);
// The one data set that renames part p's temporary patch: the name's first 12 characters,
// padded with spaces, a character outside those taken sent as a space.
std::string PatchNameMessage(const std::string &dataSetHeader, int part, std::string_view name);

enum class TBlock {
    NotOurs,
    PatternPart, // a pattern part block: the part's patch selection
    PatchCommon,
    Tone,
};

struct TPatchSelection
{
    int Group; // 0..8, or sysex::NoSelection when the byte names no group
    int Patch; // within the group's patches, or sysex::NoSelection
};

// One decoding step of a tone block: the row of sysex::ToneTable and what its control takes,
// already within the control's range (lists: a row that exists, or NoSelection).
struct TToneValue
{
    int Row;
    int Value; // position, item, row, ticked (0 or 1) or shown number
    std::array<int, 4> Levels {}; // envelopes
    std::array<int, 4> Times {};
};

struct TDecoded
{
    TBlock Block = TBlock::NotOurs;
    // Pattern part block: present when the message holds the group and both patch bytes.
    std::optional<TPatchSelection> Selection;
    // Patch common block: present when the message holds every byte of the name.
    std::optional<std::string> Name;
    // Tone block: its tone (1..4) and every step whose bytes the message holds, in decoding
    // order; an envelope only with all its bytes.
    int Tone = 0;
    std::vector<TToneValue> Values;
};

// Reads a delivered message by its address bytes; never reads beyond its end. A block is read
// from the offset it says it starts at, so a single parameter sent on its own is read too.
TDecoded DecodeMessage(std::span<const std::uint8_t> message);

} // namespace sysex::patch
