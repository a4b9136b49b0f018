#pragma once

// The meaning of the patch bytes the program edits: every tone parameter with its offset in the
// tone block, its stored range and the conversions between the stored byte and the value of the
// control that shows it; the envelope offsets; the wave row rule; the patch selection fields of
// a pattern part block. ToneTable then lists every control of a tone column with its parameter,
// kind, name, caption, hint, place and label: the column is built from it, received blocks are
// decoded by it, and the virtual instrument lays out its tone blocks by it.

#include <array>
#include <cstdint>
#include <iterator>
#include <string>

namespace sysex {

enum class TConversion {
    Direct, // control value = byte
    Biased, // control value = byte - bias
    Inverted, // control value = 127 - byte (bars with their minimum at the top)
    Halved, // byte = (control value + 100) div 2; written only
    Flag, // ticked exactly when byte = FlagByte; ticked sends FlagByte, unticked 0
    PlusOne, // shown number = byte + 1
    WaveRow, // three bytes (group, number high, number low) give a row; see WaveRowFromBytes
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
        case TConversion::WaveRow:
            return byte;
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
        case TConversion::WaveRow:
            return value;
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
inline constexpr TToneParam PitchVeloSens {0x42, 125, -100, 150, TConversion::Halved};
inline constexpr TToneParam FilterType {0x50, 4, 0, 4, TConversion::Direct};
inline constexpr TToneParam Cutoff {0x51, 127, 0, 127, TConversion::Inverted};
inline constexpr TToneParam Resonance {0x53, 127, 0, 127, TConversion::Inverted};
inline constexpr TToneParam FilterEnvDepth {0x55, 126, -63, 63, TConversion::Biased, 63};
inline constexpr TToneParam FilterVeloSens {0x57, 125, -100, 150, TConversion::Halved};
inline constexpr TToneParam Level {0x65, 127, 0, 127, TConversion::Direct};
inline constexpr TToneParam AmpVeloSens {0x6A, 125, -100, 150, TConversion::Halved};
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

// The controls of a tone column. Each row is one control with the parameter it shows; the rows
// are in the order the column makes them, which is also their stacking order.
enum class TControlKind {
    Bevel, // a frame, no parameter
    CheckBox,
    RadioGroup,
    ScrollBar, // horizontal; replaces its hint by its position once it changes
    TrackBar, // vertical, minimum at the top, ticks every 10; keeps its hint
    WaveList, // the 746 rows of the wave list, three bytes
    FilterList,
    DepthEdit, // a read-only field steered by up-down buttons on its left
    EnvelopeImage, // the picture of one envelope, times and levels
};

// Left, top, width and height within the column; the column's left edge lies 254 × (tone − 1)
// pixels right of the window's, its top at the window's. A label of width 0 takes its text's size.
struct TPlace
{
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

struct TLabelRow
{
    const char *Stem = nullptr; // nullptr: the control has no label
    const char *Caption = nullptr;
    TPlace Place {};
    const char *Hint = nullptr;
    bool MadeFirst = false; // made before its control, so it lies below it
};

inline constexpr int NoSelection = -1;

struct TToneControl
{
    TControlKind Kind;
    const char *Stem; // object name without "Tone1".."Tone4"
    TPlace Place;
    TToneParam Param {}; // not for bevels
    const char *Caption = nullptr; // "%1" stands for the tone number
    const char *Hint = nullptr;
    int Start = 0; // position, item (NoSelection: none), ticked (1) or shown number at start
    int DecodeStep = 0; // place in the decoding of a received block; 0: not set from a block
    TLabelRow Label {};
    const char *const *Items = nullptr; // radio groups and the filter list
    int ItemCount = 0;
    int Columns = 1; // radio groups
    int Step = 0; // arrow and page step of a scroll bar; 0: the toolkit's
    const TEnvelopeParams *Envelope = nullptr;
    const char *CompanionStem = nullptr; // the up-down buttons of a depth field
    TPlace CompanionPlace {};
};

namespace ToneParam {
inline constexpr TToneParam Wave {WaveGroupOffset, 3, 0, WaveRowCount - 1, TConversion::WaveRow};
// Each time and level of an envelope is one byte 0..127.
inline constexpr TToneParam EnvelopeByte {0, 127, 0, 127, TConversion::Direct};
} // namespace ToneParam

namespace ToneText {
inline constexpr const char *VelocityHint
    = "Negative value will decrease the volume while the velocity increase.";
inline constexpr const char *EnvDepthHint
    = "More the absolute value is high more the the envelope modify the sound. "
      "A negative value invert the envelope";
inline constexpr const char *FxmDepthHint = "More the Depth is high, more the Fxm modify the wave";
inline constexpr const char *VelocityCaption = "Velocity Sensibility";
inline constexpr const char *GainItems[] = {"-6", " 0", "+6", "+12"};
inline constexpr const char *FxmItems[] = {"1", "2", "3", "4"};
inline constexpr const char *FilterItems[]
    = {"Off", "Low Pass", "Band Pass", "High Pass", "Peaking"};
} // namespace ToneText

// Tone 4's up-down buttons are narrower than the other tones'.
inline constexpr int LastToneUpDownWidth = 13;

// clang-format off
inline constexpr TToneControl ToneTable[] = {
    {.Kind = TControlKind::Bevel, .Stem = "Bevel", .Place = {1, 44, 249, 637}},
    {.Kind = TControlKind::CheckBox, .Stem = "CBSwitch", .Place = {4, 36, 65, 13},
     .Param = ToneParam::Switch, .Caption = "TONE %1", .Hint = "Switch the Tone ON/OFF",
     .Start = 0, .DecodeStep = 1},
    {.Kind = TControlKind::WaveList, .Stem = "LBWave", .Place = {4, 52, 121, 21},
     .Param = ToneParam::Wave, .Hint = "Select a wave form for the tone",
     .Start = NoSelection, .DecodeStep = 2},
    {.Kind = TControlKind::RadioGroup, .Stem = "RadioGroupGain", .Place = {4, 72, 49, 73},
     .Param = ToneParam::Gain, .Caption = "Gain", .Hint = "This is the gain of the wave form",
     .Start = NoSelection, .DecodeStep = 3, .Items = ToneText::GainItems, .ItemCount = 4},
    {.Kind = TControlKind::Bevel, .Stem = "BevelFxm", .Place = {56, 76, 69, 61}},
    {.Kind = TControlKind::RadioGroup, .Stem = "RadioGroupFxm", .Place = {56, 72, 69, 45},
     .Param = ToneParam::FxmColour, .Caption = "   Fxm",
     .Hint = "With a Fxm of 4, the wave is raw. A Fxm of 1 make a metallic wave form.",
     .Start = NoSelection, .DecodeStep = 5, .Items = ToneText::FxmItems, .ItemCount = 4,
     .Columns = 2},
    // Lies on the blanks of the group's caption.
    {.Kind = TControlKind::CheckBox, .Stem = "CBFxmSwitch", .Place = {56, 72, 13, 13},
     .Param = ToneParam::FxmSwitch, .Caption = "", .Hint = "Switch the Fxm modulation ON/OFF",
     .Start = 0, .DecodeStep = 4},
    {.Kind = TControlKind::DepthEdit, .Stem = "EditFxmDepth", .Place = {102, 116, 19, 19},
     .Param = ToneParam::FxmDepth, .Hint = ToneText::FxmDepthHint, .Start = 1, .DecodeStep = 6,
     .Label = {"LabelFxmDepth", "Depth", {56, 116, 29, 17}, ToneText::FxmDepthHint, true},
     .CompanionStem = "UpDownFxmDepth", .CompanionPlace = {87, 116, 15, 19}},
    {.Kind = TControlKind::ScrollBar, .Stem = "BarLevel", .Place = {124, 57, 125, 9},
     .Param = ToneParam::Level, .Hint = "Set the volume of the tone", .DecodeStep = 7,
     .Label = {"LabelLevel", "Level", {128, 45}}},
    {.Kind = TControlKind::ScrollBar, .Stem = "BarPan", .Place = {124, 81, 125, 9},
     .Param = ToneParam::Pan, .Hint = "Set the pan of the tone", .DecodeStep = 8,
     .Label = {"LabelPan", "Pan", {128, 69}}},
    {.Kind = TControlKind::CheckBox, .Stem = "CBRandomPan", .Place = {156, 68, 81, 12},
     .Param = ToneParam::RandomPan, .Caption = "Random pan", .Start = 0, .DecodeStep = 10},
    {.Kind = TControlKind::ScrollBar, .Stem = "BarAlternatePan", .Place = {124, 105, 125, 9},
     .Param = ToneParam::AlternatePan, .Hint = "Pan will go from left to right, or right to left",
     .DecodeStep = 9, .Label = {"LabelAlternatePan", "Alternate pan", {128, 92}}},
    {.Kind = TControlKind::ScrollBar, .Stem = "BarTune", .Place = {124, 128, 125, 9},
     .Param = ToneParam::CoarseTune, .Hint = "Set the tune by semi-tone", .DecodeStep = 11,
     .Label = {"LabelTune", "Tune", {128, 116}}},
    {.Kind = TControlKind::ScrollBar, .Stem = "BarFineTune", .Place = {124, 152, 125, 9},
     .Param = ToneParam::FineTune, .Hint = "Detune the tone", .DecodeStep = 12,
     .Label = {"LabelFineTune", "Fine Tune", {128, 140}}},
    {.Kind = TControlKind::FilterList, .Stem = "LBFilter", .Place = {124, 176, 77, 21},
     .Param = ToneParam::FilterType, .Hint = "Select a Filter type", .Start = NoSelection,
     .DecodeStep = 13, .Label = {"LabelFilter", "Filter", {128, 164}},
     .Items = ToneText::FilterItems, .ItemCount = 5},
    {.Kind = TControlKind::TrackBar, .Stem = "BarCutOff", .Place = {204, 172, 17, 125},
     .Param = ToneParam::Cutoff, .Hint = "Set the filter Cut Off", .Start = 127,
     .DecodeStep = 14, .Label = {"LabelCutoff", "Cutoff", {193, 164, 31, 13}}},
    {.Kind = TControlKind::TrackBar, .Stem = "BarReso", .Place = {228, 172, 17, 125},
     .Param = ToneParam::Resonance, .Hint = "Set the filter resonance", .Start = 127,
     .DecodeStep = 15, .Label = {"LabelReso", "Res", {228, 164, 21, 13}}},
    {.Kind = TControlKind::EnvelopeImage, .Stem = "ImageEnvAmp", .Place = {0, 305, 250, 56},
     .Param = ToneParam::EnvelopeByte, .DecodeStep = 16,
     .Label = {"LabelAmpEnv", "Amplitude Env", {0, 292}, nullptr, true},
     .Envelope = &AmpEnvelope},
    {.Kind = TControlKind::ScrollBar, .Stem = "BarVeloSensAmp", .Place = {108, 364, 141, 9},
     .Param = ToneParam::AmpVeloSens, .Hint = ToneText::VelocityHint,
     .Label = {"LabelVeloSensAmp", ToneText::VelocityCaption, {16, 362}}, .Step = 2},
    {.Kind = TControlKind::EnvelopeImage, .Stem = "ImageEnvPitch", .Place = {0, 443, 250, 56},
     .Param = ToneParam::EnvelopeByte, .DecodeStep = 17,
     .Label = {"LabelPitchEnv", "Pitch Env", {0, 429}, nullptr, true},
     .Envelope = &PitchEnvelope},
    // Lies on the line of the envelope's label.
    {.Kind = TControlKind::ScrollBar, .Stem = "BarPitchEnvDepth", .Place = {124, 433, 125, 9},
     .Param = ToneParam::PitchEnvDepth, .Hint = ToneText::EnvDepthHint, .DecodeStep = 18},
    {.Kind = TControlKind::ScrollBar, .Stem = "BarVeloSensPitch", .Place = {108, 502, 141, 9},
     .Param = ToneParam::PitchVeloSens, .Hint = ToneText::VelocityHint,
     .Label = {"LabelVeloSensPitch", ToneText::VelocityCaption, {16, 499}}, .Step = 2},
    {.Kind = TControlKind::EnvelopeImage, .Stem = "ImageEnvFilter", .Place = {0, 572, 250, 56},
     .Param = ToneParam::EnvelopeByte, .DecodeStep = 19,
     .Label = {"LabelFilterEnv", "Filter Env", {0, 558}, nullptr, true},
     .Envelope = &FilterEnvelope},
    {.Kind = TControlKind::ScrollBar, .Stem = "BarFilterEnvDepth", .Place = {124, 562, 125, 9},
     .Param = ToneParam::FilterEnvDepth, .Hint = ToneText::EnvDepthHint, .DecodeStep = 20},
    {.Kind = TControlKind::ScrollBar, .Stem = "BarVeloSensFilter", .Place = {108, 631, 141, 9},
     .Param = ToneParam::FilterVeloSens, .Hint = ToneText::VelocityHint,
     .Label = {"LabelVeloSensFilter", ToneText::VelocityCaption, {16, 628}}, .Step = 2},
};
// clang-format on

inline constexpr int ToneControlCount = static_cast<int>(std::size(ToneTable));
// The width and height of a column: the frame's right and bottom edges.
inline constexpr TPlace ColumnPlace {0, 0, 250, 681};
// Tone n's column lies this many pixels right of tone n - 1's.
inline constexpr int ColumnPitch = 254;

constexpr bool HasParam(const TToneControl &control)
{
    return control.Kind != TControlKind::Bevel;
}

// The rows set from a received block, in the order a block is decoded.
inline constexpr int DecodeStepCount = [] {
    int count = 0;
    for (const TToneControl &control : ToneTable)
        if (control.DecodeStep > 0)
            ++count;
    return count;
}();
inline constexpr std::array<int, DecodeStepCount> DecodeOrder = [] {
    std::array<int, DecodeStepCount> order {};
    for (int step = 1; step <= DecodeStepCount; ++step)
        for (int row = 0; row < ToneControlCount; ++row)
            if (ToneTable[row].DecodeStep == step)
                order[static_cast<std::size_t>(step - 1)] = row;
    return order;
}();

// The row that shows the parameter at this offset (an envelope's row for any of its bytes), or
// -1.
constexpr int ToneRowOfOffset(int offset)
{
    for (int row = 0; row < ToneControlCount; ++row) {
        const TToneControl &control = ToneTable[row];
        if (!HasParam(control))
            continue;
        if (control.Envelope) {
            for (int i = 0; i < 4; ++i)
                if (control.Envelope->TimeOffsets[static_cast<std::size_t>(i)] == offset
                    || (i < control.Envelope->LevelCount
                        && control.Envelope->LevelOffsets[static_cast<std::size_t>(i)] == offset))
                    return row;
        } else if (control.Param.Offset == offset
                   || (control.Kind == TControlKind::WaveList && offset > control.Param.Offset
                       && offset < control.Param.Offset + 3)) {
            return row;
        }
    }
    return -1;
}

// The tone block of tone t (1..4) starts at 02 0p BB 00 with BB = ToneByte(t).
constexpr int ToneByte(int tone)
{
    return 0x10 + 2 * (tone - 1);
}
// The blocks of a part's temporary patch: the patch common block, which starts with the patch's
// name, and a tone block, which runs one byte into a second address page.
inline constexpr int PatchCommonSize = 0x4A;
inline constexpr int ToneBlockSize = 0x81;
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

} // namespace sysex
