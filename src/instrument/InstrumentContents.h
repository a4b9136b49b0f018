#pragma once

// What the virtual instrument's memory looks like: where its blocks lie and how long they are,
// what they hold when the instrument is switched on, and the patch a part's temporary patch
// receives when its patch selection changes, name included.

#include "sysex/MixerParams.h"
#include "sysex/PatternMessages.h"
#include "sysex/ToneParams.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace instrument {

using TAddress = std::array<std::uint8_t, 4>;
using TBytes = std::vector<std::uint8_t>;

// Addresses and sizes are four 7-bit bytes, most significant first; range arithmetic works on
// them as one number.
constexpr std::uint32_t LinearAddress(const TAddress &address)
{
    return (std::uint32_t(address[0] & 0x7F) << 21) | (std::uint32_t(address[1] & 0x7F) << 14)
        | (std::uint32_t(address[2] & 0x7F) << 7) | std::uint32_t(address[3] & 0x7F);
}
constexpr TAddress AddressFromLinear(std::uint32_t linear)
{
    return {std::uint8_t((linear >> 21) & 0x7F), std::uint8_t((linear >> 14) & 0x7F),
            std::uint8_t((linear >> 7) & 0x7F), std::uint8_t(linear & 0x7F)};
}

// Block sizes. The system block starts at 00 00 00 00 and ends with the three effect switches.
// A tone block is 129 bytes: it runs over two address pages (BB 00..BB 7F, then BB+1 00), which
// is why the tones lie two pages apart and why the whole-patch request, 00 00 17 01 bytes from
// 02 0p 00 00, ends exactly with the last byte of tone 4.
inline constexpr int SystemBlockSize = sysex::mixer::BlockInfo(sysex::mixer::TBlock::System).Size;
// The pattern common block runs on past the 44 bytes the mixer reads, to the voice reserve.
inline constexpr int PatternCommonSize = sysex::pattern::CommonSize;
inline constexpr int PatternPartSize
    = sysex::mixer::BlockInfo(sysex::mixer::TBlock::PatternPart).Size;
inline constexpr int PatchCommonSize = sysex::PatchCommonSize;
inline constexpr int ToneBlockSize = sysex::ToneBlockSize;
// The patch common block starts with the patch's name: ASCII 32 to 125, padded with spaces.
inline constexpr int PatchNameSize = 12;
inline constexpr std::uint8_t PatchNameFirstChar = 32;
inline constexpr std::uint8_t PatchNameLastChar = 125;

inline constexpr int PatchPartCount = 7; // parts 1..7 have a temporary patch
inline constexpr int ToneCount = 4;
inline constexpr int PatternPartCount = 8;

// Third address byte of the pattern part blocks: parts 1..7, then part R.
inline constexpr std::array<std::uint8_t, PatternPartCount> PatternPartBlockBytes = [] {
    std::array<std::uint8_t, PatternPartCount> bytes {};
    for (int part = 1; part <= PatternPartCount; ++part)
        bytes[static_cast<std::size_t>(part - 1)] = sysex::mixer::PartBlockByte(part);
    return bytes;
}();
inline constexpr std::uint8_t RhythmPartBlockByte = sysex::mixer::RhythmPartBlockByte;
// Third address byte of the tone blocks of a temporary patch.
inline constexpr std::array<std::uint8_t, ToneCount> ToneBlockBytes {0x10, 0x12, 0x14, 0x16};

// Areas that a bulk dump fills: part R's rhythm set, the pattern setup and the pattern body.
// The instrument keeps what data sets write there outside its own blocks (the rhythm set's name
// and keys, the pattern setup's header and effects are blocks: no piece covers a block), as
// they wrote it (see TVirtualInstrument), up to HeldBytesLimit bytes in HeldPieceLimit pieces:
// a pattern dump holds a few kilobytes of them.
struct THeldArea
{
    TAddress Start;
    std::uint32_t Size; // the addresses left under the area's leading bytes
};
inline constexpr std::array<THeldArea, 3> HeldAreas {{
    {{0x02, 0x09, 0x00, 0x00}, 1u << 14},
    {{0x30, 0x00, 0x00, 0x00}, 1u << 21},
    {{0x40, 0x00, 0x00, 0x00}, 1u << 21},
}};
inline constexpr std::size_t HeldBytesLimit = 1u << 20;
inline constexpr std::size_t HeldPieceLimit = 1u << 14;

// Offsets in a pattern part block.
namespace PartOffset {
inline constexpr int Bank = sysex::PatchBankOffset;
inline constexpr int Group = sysex::PatchGroupOffset;
inline constexpr int NumberHigh = sysex::PatchNumberOffset;
inline constexpr int NumberLow = sysex::PatchNumberOffset + 1;
inline constexpr int Transpose = sysex::mixer::OffsetOf(sysex::mixer::TFieldId::Transpose);
inline constexpr int MfxSwitch = sysex::mixer::OffsetOf(sysex::mixer::TFieldId::PartMfx);
} // namespace PartOffset

// Wave numbers that exist in the banks A, B and C (wave group 1, 2, 3).
inline constexpr std::array<int, 3> WavesPerBank {254, 251, 236};

// A tone parameter that takes any value 0..Max except Start, the value its control shows before
// anything has been received (-1 where every value differs from it, e.g. a list with nothing
// selected, or a control never set from a dump). Excluding Start lets a first decode visibly
// move every control. Taken from the tone table, in offset order; the switches, random pan and
// the wave are not among them.
struct TToneField
{
    int Offset;
    int Max;
    int Start;
};
std::span<const TToneField> ToneFields();

struct TPatch
{
    TBytes Common; // PatchCommonSize bytes, the name first
    std::array<TBytes, ToneCount> Tones; // ToneBlockSize bytes each
};

// The name of the patch a selection names: group byte (1..9) and patch number (high × 16 +
// low), PatchNameSize characters. The instrument's own invention, an invented word and a kind
// of sound ("Kalix Bass"), the kind changing every 16 patches; no two of the 1056 patches share
// one. Any pair of numbers gives a well-formed name.
std::string PatchName(int groupByte, int number);

// The patch that a part loads for a selection, named by PatchName. Any pair of numbers gives a
// patch, so a selection that names no patch loads one too.
// Every value lies in its parameter's stored range, no shown value equals the value its control
// has before anything is received, and the four tones differ in every parameter that has four
// or more such values.
TPatch GeneratePatch(int groupByte, int number);

// The memory at power-on.
TBytes InitialSystemBlock();
TBytes InitialPatternCommon();
// index: 0..6 for parts 1..7, 7 for part R (the order of PatternPartBlockBytes).
TBytes InitialPatternPart(int index);
// The temporary patches of parts 1..7: the generated patches of the initial selections (their
// names too), with
// the tone and frequency-modulation switches on and random pan at 63, and values moved where
// needed so that each parameter also differs between the parts.
std::array<TPatch, PatchPartCount> InitialPatches();

} // namespace instrument
