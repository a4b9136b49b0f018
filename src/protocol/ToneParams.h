#pragma once

// The meaning of the patch bytes the program edits: every tone parameter with its offset in the
// tone block, its stored range and the conversions between the stored byte and the value of the
// control that shows it; the envelope offsets; the wave row rule; the patch selection fields of
// a pattern part block. The tone controls, the envelope release and the dump decoder all use
// this one table.

#include <array>
#include <cstdint>
#include <string>

namespace protocol {

enum class TConversion {
    Direct, // control value = byte
    Biased, // control value = byte - bias
    Inverted, // control value = 127 - byte (bars with their minimum at the top)
    Halved, // byte = (control value + 100) div 2; written only
    Flag, // ticked exactly when byte = FlagByte; ticked sends FlagByte, unticked 0
    PlusOne, // shown number = byte + 1
};

struct TToneParam
{
    std::uint8_t Offset;
    int StoredMax; // stored values are 0..StoredMax
    int ControlMin;
    int ControlMax;
    TConversion Conversion;
    int Bias = 0; // for Biased
    int FlagByte = 1; // for Flag
    bool FromDump = true;

    // The control value for a stored byte; for flags 1 (ticked) or 0. Not clamped: the control
    // brings an out-of-range value into its range.
    constexpr int ToControl(int byte) const
    {
        switch (Conversion) {
        case TConversion::Direct:
            return byte;
        case TConversion::Biased:
            return byte - Bias;
        case TConversion::Inverted:
            return 127 - byte;
        case TConversion::Halved:
            return byte * 2 - 100;
        case TConversion::Flag:
            return byte == FlagByte ? 1 : 0;
        case TConversion::PlusOne:
            return byte + 1;
        }
        return byte;
    }
    // The stored byte for a control value (flags: nonzero means ticked).
    constexpr int ToByte(int value) const
    {
        switch (Conversion) {
        case TConversion::Direct:
            return value;
        case TConversion::Biased:
            return value + Bias;
        case TConversion::Inverted:
            return 127 - value;
        case TConversion::Halved:
            return (value + 100) / 2;
        case TConversion::Flag:
            return value != 0 ? FlagByte : 0;
        case TConversion::PlusOne:
            return value - 1;
        }
        return value;
    }
};

namespace ToneParam {
inline constexpr TToneParam Switch {0x00, 1, 0, 1, TConversion::Flag};
inline constexpr TToneParam Gain {0x05, 3, 0, 3, TConversion::Direct};
inline constexpr TToneParam FxmSwitch {0x06, 1, 0, 1, TConversion::Flag};
inline constexpr TToneParam FxmColour {0x07, 3, 0, 3, TConversion::Direct};
inline constexpr TToneParam FxmDepth {0x08, 15, 1, 16, TConversion::PlusOne};
inline constexpr TToneParam CoarseTune {0x3D, 96, -48, 48, TConversion::Biased, 48};
inline constexpr TToneParam FineTune {0x3E, 100, -50, 50, TConversion::Biased, 50};
inline constexpr TToneParam PitchEnvDepth {0x41, 24, -12, 12, TConversion::Biased, 12};
inline constexpr TToneParam PitchVeloSens {0x42, 125, -100, 150, TConversion::Halved, 0, 1, false};
inline constexpr TToneParam FilterType {0x50, 4, 0, 4, TConversion::Direct};
inline constexpr TToneParam Cutoff {0x51, 127, 0, 127, TConversion::Inverted};
inline constexpr TToneParam Resonance {0x53, 127, 0, 127, TConversion::Inverted};
inline constexpr TToneParam FilterEnvDepth {0x55, 126, -63, 63, TConversion::Biased, 63};
inline constexpr TToneParam FilterVeloSens {0x57, 125, -100, 150, TConversion::Halved, 0, 1, false};
inline constexpr TToneParam Level {0x65, 127, 0, 127, TConversion::Direct};
inline constexpr TToneParam AmpVeloSens {0x6A, 125, -100, 150, TConversion::Halved, 0, 1, false};
inline constexpr TToneParam Pan {0x77, 127, -64, 63, TConversion::Biased, 64};
inline constexpr TToneParam RandomPan {0x79, 63, 0, 1, TConversion::Flag, 0, 63};
inline constexpr TToneParam AlternatePan {0x7A, 127, -64, 63, TConversion::Biased, 64};
} // namespace ToneParam

// The wave selection: offset 02 holds the bank (1 to 3), 03 and 04 the wave number's upper and
// lower four bits. The wave list reserves 255 rows per bank, so the row alone gives the wave.
inline constexpr std::uint8_t WaveGroupOffset = 0x02;
inline constexpr std::uint8_t WaveNumberOffset = 0x03; // two bytes, 03 and 04
inline constexpr int WaveRowsPerBank = 255;
inline constexpr int WaveRowCount = 746;

struct TWaveBytes
{
    int Group; // 1..3
    int High; // 0..15
    int Low; // 0..15
};
constexpr TWaveBytes WaveBytesFromRow(int row)
{
    return {row / WaveRowsPerBank + 1, (row % WaveRowsPerBank) / 16, (row % WaveRowsPerBank) % 16};
}
constexpr int WaveRowFromBytes(int group, int high, int low)
{
    return (group - 1) * WaveRowsPerBank + high * 16 + low;
}

// The three envelopes of a tone: times T1..T4 and levels L1..L4 (the amplitude envelope has
// three stored levels; its fourth is always 0).
struct TEnvelopeParams
{
    std::array<std::uint8_t, 4> TimeOffsets;
    std::array<std::uint8_t, 4> LevelOffsets;
    int LevelCount;
    int StartOffsetDiv; // the curve starts at H - H div this (0: at the bottom edge)
    bool ReleaseLevelEditable;
};
inline constexpr TEnvelopeParams AmpEnvelope {
    {0x6E, 0x6F, 0x70, 0x71}, {0x72, 0x73, 0x74, 0}, 3, 0, false};
inline constexpr TEnvelopeParams PitchEnvelope {
    {0x46, 0x47, 0x48, 0x49}, {0x4A, 0x4B, 0x4C, 0x4D}, 4, 2, true};
inline constexpr TEnvelopeParams FilterEnvelope {
    {0x5B, 0x5C, 0x5D, 0x5E}, {0x5F, 0x60, 0x61, 0x62}, 4, 0, true};

// The tone block of tone t (1..4) starts at 02 0p BB 00 with BB = ToneByte(t).
constexpr int ToneByte(int tone)
{
    return 0x10 + 2 * (tone - 1);
}
// The largest offset the program reads from a tone block, plus one.
inline constexpr int ToneBlockUsedSize = 0x7B;

// The text of one tone message: header, "02 ", the part, the tone byte, the offset and the
// value text (one or more bytes, already formatted).
std::string ToneMessageText(const std::string &dataSetHeader, const std::string &partText, int tone,
                            int offset, const std::string &valueText);

// Patch selection fields of the pattern part block of part p, at 01 00 1p oo.
inline constexpr std::uint8_t PatchBankOffset = 0x02;
inline constexpr std::uint8_t PatchGroupOffset = 0x03;
inline constexpr std::uint8_t PatchNumberOffset = 0x04; // two bytes, 04 and 05
inline constexpr int PatchGroupCount = 9;
inline constexpr int PatchNameCount = 1056;
inline constexpr int PatchesPerGroup = 128;
inline constexpr int PresetGGroup = 8;

constexpr int PatchCountOfGroup(int group)
{
    return group == PresetGGroup ? 32 : PatchesPerGroup;
}
constexpr int PatchNameIndex(int group, int patch)
{
    return group * PatchesPerGroup + patch;
}
constexpr int PatchBankByte(int group)
{
    return group < 2 ? 0x03 : 0x00;
}
constexpr int PatchGroupByte(int group)
{
    return group + 1;
}
constexpr int PatchGroupFromByte(int byte)
{
    return byte - 1;
}
constexpr int PatchIndexFromBytes(int high, int low)
{
    return high * 16 + low;
}

} // namespace protocol
