#pragma once

// The meaning of part R's rhythm set, in one table: where its blocks lie (the name, then one
// block of 58 bytes for each of the 64 keys from B1 to D7), and every key parameter with its
// offset, stored range, control kind, object-name stem, caption and the way its value is shown.
// The rhythm window is built from the rows, received blocks are read by them, the monitor names
// a key message by them, and the built-in instrument lays out and checks its key blocks by them.

#include "RolandMessage.h"
#include "ToneParams.h"

#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string>

namespace sysex::rhythm {

inline constexpr std::uint8_t Area = 0x02;
inline constexpr std::uint8_t SubArea = 0x09;

// The rhythm set's name: the first block, 12 characters 32..125 padded with spaces.
inline constexpr std::uint8_t NameBlockByte = 0x00;
inline constexpr int NameSize = 12;
inline constexpr std::uint8_t NameFirstChar = 32;
inline constexpr std::uint8_t NameLastChar = 125;

// A key's block lies at 02 09 kk 00, kk its note number.
inline constexpr int FirstKey = 35;
inline constexpr int LastKey = 98;
inline constexpr int KeyCount = LastKey - FirstKey + 1;
inline constexpr int KeyBlockSize = 0x3A;

// The blocks in the order the instrument's dump holds them: the name (index 0), then the keys
// from the lowest (index 1..KeyCount).
inline constexpr int BlockCount = 1 + KeyCount;
inline constexpr int NameBlock = 0;

constexpr bool IsKey(int note)
{
    return note >= FirstKey && note <= LastKey;
}
constexpr int BlockOfKey(int note)
{
    return note - FirstKey + 1;
}
constexpr int KeyOfBlock(int block)
{
    return block - 1 + FirstKey;
}
// The block whose third address byte this is, or -1.
constexpr int BlockOfByte(int blockByte)
{
    if (blockByte == NameBlockByte)
        return NameBlock;
    return IsKey(blockByte) ? BlockOfKey(blockByte) : -1;
}
constexpr std::uint8_t BlockByte(int block)
{
    return block == NameBlock ? NameBlockByte : static_cast<std::uint8_t>(KeyOfBlock(block));
}
constexpr int BlockSize(int block)
{
    return block == NameBlock ? NameSize : KeyBlockSize;
}
constexpr TAddress BlockAddress(int block)
{
    return {Area, SubArea, BlockByte(block), 0x00};
}

// Bytes of a key block that no control shows and no change sends alone; a pasted key keeps
// its target's own. The instrument's dump holds the values given here.
struct TReservedByte
{
    std::uint8_t Offset;
    int StoredMax;
    std::uint8_t DumpByte;
};
inline constexpr std::array<TReservedByte, 4> ReservedBytes {{
    {0x09, 1, 0x01},
    {0x0A, 1, 0x01},
    {0x0B, 2, 0x01},
    {0x37, 127, 0x7F},
}};
constexpr bool IsReserved(int offset)
{
    for (const TReservedByte &reserved : ReservedBytes)
        if (reserved.Offset == offset)
            return true;
    return false;
}

inline constexpr std::uint8_t SwitchOffset = 0x00;
inline constexpr std::uint8_t WaveGroupOffset = 0x02;
// Offset 01, the wave group type, is 0 on every key; it travels only within a whole key.
inline constexpr std::uint8_t WaveGroupTypeOffset = 0x01;

// The last two bytes of a key block are its two effect sends, whose order the instrument's
// documentation gives both ways. Delay first agrees with the pattern part blocks (delay send at
// 0C, reverb send at 0D); false swaps them once this is tried on an instrument.
inline constexpr bool DelaySendFirst = true;
inline constexpr std::uint8_t DelaySendOffset = DelaySendFirst ? 0x38 : 0x39;
inline constexpr std::uint8_t ReverbSendOffset = DelaySendFirst ? 0x39 : 0x38;

// The unit of the random pitch depth, which the instrument's documentation does not state.
inline constexpr const char *RandomPitchUnit = "cent";

enum class TKeyKind {
    CheckBox, // ticked exactly when the byte is 1; ticked sends 1, unticked 0
    List, // a drop-down list of Items, or of the shown numbers
    Bar, // a horizontal bar from StoredMin to StoredMax, the shown text beside it
    WaveList, // the group and the wave number (two nibbles), three bytes
    EnvelopeImage, // the picture of an envelope: its times and levels, a byte each
};

// How a stored byte is shown.
enum class TShown {
    Number, // the byte
    Signed, // byte - Bias with its sign: -60 .. 0 .. +60
    Items, // Items[byte]
    Pan, // L64 .. 0 .. R63 (byte - 64)
    VelocitySens, // -100 .. +150 in steps of 2 (byte × 2 - 100)
    VelocityTime, // -100, -70, -50 .. +50, +70, +100 (7 = 0)
    RandomPitch, // 0..10, then 20..100 in tens, then 200..1200 in hundreds
    MuteGroup, // OFF, 1..31
    BendRange, // ±0 .. ±12
    Wave, // group letter and wave number + 1 in three digits: "B218"
};

// An envelope of a key: its shape as the tone's envelopes have it, and its levels' range.
struct TKeyEnvelope
{
    TEnvelopeParams Shape;
    int LevelMax;
    TShown LevelShown;
    int LevelBias;
};
inline constexpr TKeyEnvelope PitchEnvelope {
    {{0x12, 0x13, 0x14, 0x15}, {0x16, 0x17, 0x18, 0x19}, 4, 2, true}, 126, TShown::Signed, 63};
inline constexpr TKeyEnvelope FilterEnvelope {
    {{0x21, 0x22, 0x23, 0x24}, {0x25, 0x26, 0x27, 0x28}, 4, 0, true}, 127, TShown::Number, 0};
inline constexpr TKeyEnvelope AmpEnvelope {
    {{0x2C, 0x2D, 0x2E, 0x2F}, {0x30, 0x31, 0x32, 0}, 3, 0, false}, 127, TShown::Number, 0};
inline constexpr int EnvelopeTimeMax = 127;

// A key's wave: its group byte 1..3 (A, B, C) and its number 0..255, sent as two nibbles.
inline constexpr int WaveGroupMin = 1;
inline constexpr int WaveGroupMax = 3;
// The waves each group holds on the MC-307.
inline constexpr std::array<int, 3> WavesInGroup {254, 251, 236};

// The control of a key parameter, named Stem + "Key".
inline constexpr const char *ObjectNameSuffix = "Key";

struct TKeyParam
{
    TKeyKind Kind;
    const char *Stem;
    const char *Caption; // also the parameter's name in the monitor
    std::uint8_t Offset; // the wave: its group byte; an envelope: its Time 1
    int StoredMax; // stored bytes are StoredMin..StoredMax (an envelope: those of its times)
    TShown Shown = TShown::Number;
    int Bias = 0; // control value = byte - Bias
    std::span<const char *const> Items {};
    const char *Unit = nullptr; // after the shown value
    const TKeyEnvelope *Envelope = nullptr;
    int StoredMin = 0;

    constexpr int ControlMin() const { return StoredMin - Bias; }
    constexpr int ControlMax() const { return StoredMax - Bias; }
    constexpr int ToControl(int byte) const { return byte - Bias; }
    constexpr int ToByte(int value) const { return value + Bias; }
};

namespace KeyText {
inline constexpr std::array<const char *, 2> OffOn {"OFF", "ON"};
inline constexpr std::array<const char *, 4> Gain {"-6", "0", "+6", "+12"};
inline constexpr std::array<const char *, 2> EnvelopeMode {"NO-SUS", "SUSTAIN"};
inline constexpr std::array<const char *, 5> Filter {"OFF", "LPF", "BPF", "HPF", "PKG"};
inline constexpr std::array<int, 15> VelocityTimes {-100, -70, -50, -40, -30, -20, -10, 0,
                                                    10,   20,  30,  40,  50,  70,  100};
} // namespace KeyText

// clang-format off
inline constexpr TKeyParam KeyTable[] = {
    {TKeyKind::CheckBox, "CBSwitch", "Switch", SwitchOffset, 1, TShown::Items, 0, KeyText::OffOn},
    {TKeyKind::WaveList, "LBWave", "Wave", WaveGroupOffset, WaveGroupMax, TShown::Wave, 0, {},
     nullptr, nullptr, WaveGroupMin},
    {TKeyKind::List, "LBGain", "Gain", 0x05, 3, TShown::Items, 0, KeyText::Gain, "dB"},
    {TKeyKind::Bar, "BarTune", "Coarse Tune", 0x0C, 120, TShown::Signed, 60, {}, "semitones"},
    {TKeyKind::Bar, "BarFineTune", "Fine Tune", 0x0D, 100, TShown::Signed, 50, {}, "cent"},
    {TKeyKind::Bar, "BarRandomPitch", "Random Pitch", 0x0E, 30, TShown::RandomPitch, 0, {},
     RandomPitchUnit},
    {TKeyKind::Bar, "BarBendRange", "Bend Range", 0x06, 12, TShown::BendRange, 0, {},
     "semitones"},
    {TKeyKind::List, "LBMuteGroup", "Mute Group", 0x07, 31, TShown::MuteGroup},
    {TKeyKind::List, "LBEnvMode", "Envelope Mode", 0x08, 1, TShown::Items, 0,
     KeyText::EnvelopeMode},
    {TKeyKind::List, "LBFilter", "Filter", 0x1A, 4, TShown::Items, 0, KeyText::Filter},
    {TKeyKind::Bar, "BarCutoff", "Cutoff", 0x1B, 127},
    {TKeyKind::Bar, "BarReso", "Resonance", 0x1C, 127},
    {TKeyKind::Bar, "BarVeloSensReso", "Resonance Velocity Sens", 0x1D, 125,
     TShown::VelocitySens},
    {TKeyKind::Bar, "BarLevel", "Level", 0x29, 127},
    {TKeyKind::Bar, "BarPan", "Pan", 0x33, 127, TShown::Pan},
    // A bar, not a check box: the instrument's own kits hold values between its OFF and ON.
    {TKeyKind::Bar, "BarRandomPan", "Random Pan", 0x34, 127},
    {TKeyKind::Bar, "BarAlternatePan", "Alternate Pan", 0x35, 127, TShown::Pan},
    // Bytes 2 and 3 are unused: the box shows them unticked, the monitor as numbers.
    {TKeyKind::CheckBox, "CBMfx", "MFX", 0x36, 3, TShown::Items, 0, KeyText::OffOn},
    {TKeyKind::Bar, "BarDelaySend", "Delay Send", DelaySendOffset, 127},
    {TKeyKind::Bar, "BarReverbSend", "Reverb Send", ReverbSendOffset, 127},
    {TKeyKind::EnvelopeImage, "ImageEnvPitch", "Pitch Env", 0x12, EnvelopeTimeMax,
     TShown::Number, 0, {}, nullptr, &PitchEnvelope},
    {TKeyKind::Bar, "BarPitchEnvDepth", "Pitch Env Depth", 0x0F, 24, TShown::Signed, 12},
    {TKeyKind::Bar, "BarVeloSensPitch", "Pitch Env Velocity Sens", 0x10, 125,
     TShown::VelocitySens},
    {TKeyKind::Bar, "BarVeloTimePitch", "Pitch Env Velocity Time", 0x11, 14,
     TShown::VelocityTime},
    {TKeyKind::EnvelopeImage, "ImageEnvFilter", "Filter Env", 0x21, EnvelopeTimeMax,
     TShown::Number, 0, {}, nullptr, &FilterEnvelope},
    {TKeyKind::Bar, "BarFilterEnvDepth", "Filter Env Depth", 0x1E, 126, TShown::Signed, 63},
    {TKeyKind::Bar, "BarVeloSensFilter", "Filter Env Velocity Sens", 0x1F, 125,
     TShown::VelocitySens},
    {TKeyKind::Bar, "BarVeloTimeFilter", "Filter Env Velocity Time", 0x20, 14,
     TShown::VelocityTime},
    {TKeyKind::EnvelopeImage, "ImageEnvAmp", "Amplitude Env", 0x2C, EnvelopeTimeMax,
     TShown::Number, 0, {}, nullptr, &AmpEnvelope},
    {TKeyKind::Bar, "BarVeloSensAmp", "Amplitude Env Velocity Sens", 0x2A, 125,
     TShown::VelocitySens},
    {TKeyKind::Bar, "BarVeloTimeAmp", "Amplitude Env Velocity Time", 0x2B, 14,
     TShown::VelocityTime},
};
// clang-format on
inline constexpr int KeyParamCount = static_cast<int>(std::size(KeyTable));
inline constexpr int WaveRow = [] {
    for (int row = 0; row < KeyParamCount; ++row)
        if (KeyTable[row].Kind == TKeyKind::WaveList)
            return row;
    return -1;
}();

// What one byte of a key block is: the row that shows it and, for an envelope, which of its
// points; Row is -1 for the reserved bytes and the wave group type.
struct TKeyByte
{
    int Row = -1;
    int Min = 0;
    int Max = 0;
    TShown Shown = TShown::Number;
    int Bias = 0;
    int Point = 0; // an envelope's: 1..4 a time, 5..8 a level
};
constexpr TKeyByte KeyByteAt(int offset)
{
    for (int row = 0; row < KeyParamCount; ++row) {
        const TKeyParam &param = KeyTable[row];
        if (param.Kind == TKeyKind::EnvelopeImage) {
            const TKeyEnvelope &envelope = *param.Envelope;
            for (int i = 0; i < 4; ++i) {
                const auto at = static_cast<std::size_t>(i);
                if (envelope.Shape.TimeOffsets[at] == offset)
                    return {row, 0, EnvelopeTimeMax, TShown::Number, 0, 1 + i};
                if (i < envelope.Shape.LevelCount && envelope.Shape.LevelOffsets[at] == offset)
                    return {row,  0, envelope.LevelMax, envelope.LevelShown, envelope.LevelBias,
                            5 + i};
            }
        } else if (param.Kind == TKeyKind::WaveList) {
            if (offset == param.Offset)
                return {row, WaveGroupMin, WaveGroupMax, TShown::Wave};
            if (offset == param.Offset + 1 || offset == param.Offset + 2)
                return {row, 0, 15, TShown::Wave};
        } else if (param.Offset == offset) {
            return {row, param.StoredMin, param.StoredMax, param.Shown, param.Bias};
        }
    }
    for (const TReservedByte &reserved : ReservedBytes)
        if (reserved.Offset == offset)
            return {-1, 0, reserved.StoredMax};
    return {};
}

// The text of a shown value, its unit included: "+12 semitones", "L20", "C201", "OFF".
std::string ShownText(TShown shown, int byte, int bias = 0, std::span<const char *const> items = {},
                      const char *unit = nullptr);
// A row's byte as shown (not for the wave or an envelope).
std::string KeyValueText(const TKeyParam &param, int byte);
// The object name of a row's control: its stem and ObjectNameSuffix, "BarCutoffKey".
std::string ObjectName(const TKeyParam &param);
// The name of one byte of a key block, "Cutoff" or "Pitch Env T1"; "offset 9" for one no row
// shows.
std::string KeyByteName(int offset);

// The wave's shown name "C201" for group byte 1..3 and wave number; the wave list's name of it
// (WaveList.h), its group letter and soft hyphen included; the separator text for a wave the
// group does not hold.
std::string WaveCode(int groupByte, int number);
std::string WaveName(int groupByte, int number);
inline constexpr std::uint8_t WaveNumberHighOffset = 0x03;
inline constexpr std::uint8_t WaveNumberLowOffset = 0x04;

// The name of a note as the instrument shows it, 60 being C4: "B1", "C#2".
std::string NoteName(int note);

// The instrument's rhythm groups, in the order of its rhythm-group mute message (70 02 L).
enum class TRhythmGroup { BD, SD, HH, CLP, CYM, TomPerc, HIT, OTHERS };
inline constexpr std::array<const char *, 8> RhythmGroupNames {"BD",  "SD",       "HH",  "CLP",
                                                               "CYM", "TOM/PERC", "HIT", "OTHERS"};
// The group of a key; none for a note that is no key.
std::optional<TRhythmGroup> RhythmGroupOf(int note);

} // namespace sysex::rhythm
