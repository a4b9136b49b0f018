#pragma once

// The meaning of the bytes the pattern mixer edits, in one table: where the mixer's three blocks
// lie and how long they are (the system block with the effect switches, the pattern common
// block with the reverb and delay settings, and the eight pattern part blocks), the eight parts
// with their blocks, channels and model-3A bytes, and every field with its block, offset, stored
// range, conversion to its control, name, list items, control and the way a change of it is
// sent. The mixer's decoder, its messages, the monitor's meanings, the instrument's memory and
// the paced queue's rule all read the layout from here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace sysex::mixer {

inline constexpr int PartCount = 8;

struct TMixerPart
{
    const char *Label; // row label
    int Channel; // MIDI channel 1..16 of its control changes
    std::uint8_t BlockByte; // third address byte of its pattern part block
    std::uint8_t Model3APart; // first byte after the model-3A header
    const char *Tag; // appended to the receive log when its block is decoded
};

// In control suffix order 1..8: part R, then parts 1 to 7.
inline constexpr std::array<TMixerPart, PartCount> Parts {{
    {"R", 10, 0x19, 0x39, " R"},
    {"1", 1, 0x10, 0x30, " 1"},
    {"2", 2, 0x11, 0x31, " 2"},
    {"3", 3, 0x12, 0x32, " 3"},
    {"4", 4, 0x13, 0x33, " 4"},
    {"5", 5, 0x14, 0x34, " 5"},
    {"6", 6, 0x15, 0x35, " 6"},
    {"7", 7, 0x16, 0x36, " 7"},
}};
// Indices into Parts in the order messages go out: parts 1 to 7, then part R.
inline constexpr std::array<int, PartCount> SendOrder {1, 2, 3, 4, 5, 6, 7, 0};

enum class TBlock { System, PatternCommon, PatternPart };

struct TBlockInfo
{
    std::uint8_t Area;
    std::uint8_t SubArea;
    std::uint8_t Block; // the pattern part blocks: that of part 1
    int Size;
};
inline constexpr std::array<TBlockInfo, 3> Blocks {{
    {0x00, 0x00, 0x00, 0x0B},
    {0x01, 0x00, 0x00, 0x2C},
    {0x01, 0x00, 0x10, 0x1A},
}};
constexpr const TBlockInfo &BlockInfo(TBlock block)
{
    return Blocks[static_cast<std::size_t>(block)];
}

// The part blocks lie one address page apart, part 1's first and part R's last; parts 1 to 7
// are the parts with a temporary patch.
inline constexpr std::uint8_t FirstPartBlockByte = Parts[SendOrder.front()].BlockByte;
inline constexpr std::uint8_t RhythmPartBlockByte = Parts[SendOrder.back()].BlockByte;
// The third address byte of the block of part 1..7, or of part R for 8.
constexpr std::uint8_t PartBlockByte(int partNumber)
{
    return Parts[static_cast<std::size_t>(partNumber % PartCount)].BlockByte;
}

// How a stored byte becomes its control's value; a control value goes back the same way.
enum class TConversion {
    Direct, // value = byte
    Biased, // value = byte - Bias
    Mirrored, // value = Bias - byte (bars with their highest pitch at the top)
    Flag, // ticked exactly when byte = 1; ticked sends 1, unticked 0
};

// How a change of the field goes out.
enum class TSending {
    ControlChange, // the part's channel, the field's controller, the control value + Bias
    Model3A, // the part's model-3A byte and the field's function byte
    ReverbGroup, // a data set to the pattern common block for each field of the reverb group
    DelayGroup, // the same for the delay group
    Switch, // a data set of its own to the system block
};

struct TField
{
    TBlock Block;
    std::uint8_t Offset;
    int StoredMax; // stored values are 0..StoredMax
    TConversion Conversion;
    int Bias; // for Biased and Mirrored
    const char *Name; // as the monitor names it
    int ShownBias; // the monitor shows byte - ShownBias, or the item, or on / off for a flag
    std::span<const char *const> Items; // the list that shows it
    const char *ObjectName; // of its control; a part field's control ends with the suffix 1..8
    TSending Sending;
    std::uint8_t SendByte = 0; // the controller or the model-3A function byte

    constexpr int ToControl(int byte) const
    {
        switch (Conversion) {
        case TConversion::Biased:
            return byte - Bias;
        case TConversion::Mirrored:
            return Bias - byte;
        case TConversion::Flag:
            return byte == 1 ? 1 : 0;
        case TConversion::Direct:
            break;
        }
        return byte;
    }
    constexpr int ToByte(int value) const
    {
        switch (Conversion) {
        case TConversion::Biased:
            return value + Bias;
        case TConversion::Mirrored:
            return Bias - value;
        case TConversion::Flag:
            return value != 0 ? 1 : 0;
        case TConversion::Direct:
            break;
        }
        return value;
    }
};

inline constexpr std::array<const char *, 6> ReverbTypeItems {"Room 1",  "Room 2", "Stage 1",
                                                              "Stage 2", "Hall 1", "Hall 2"};
inline constexpr std::array<const char *, 2> DelayTypeItems {"Short", "Long"};
inline constexpr std::array<const char *, 18> HfDampItems {
    "200",  "250",  "315",  "400",  "500",  "630",  "800",  "1000", "1250",
    "1600", "2000", "2500", "3150", "4000", "5000", "6300", "8000", "Byp."};
inline constexpr std::array<const char *, 3> DelayOutputItems {"Line", "Reverb", "Line+Rev"};

// The rows of Fields, by name.
enum class TFieldId : std::size_t {
    Level,
    Pan,
    Transpose,
    PartMfx,
    DelaySend,
    ReverbSend,
    DelayLevel,
    DelayType,
    DelayHfDamp,
    DelayTime,
    DelayFeedback,
    DelayOutput,
    DelayToMfx,
    ReverbType,
    ReverbLevel,
    ReverbTime,
    ReverbHfDamp,
    ReverbToMfx,
    MfxSwitch,
    DelaySwitch,
    ReverbSwitch,
    Count
};
inline constexpr std::size_t FieldCount = static_cast<std::size_t>(TFieldId::Count);

// In TFieldId order; the fields of a group in the order the group's messages go out.
inline constexpr std::array<TField, FieldCount> Fields {{
    {TBlock::PatternPart,
     0x06,
     127,
     TConversion::Direct,
     0,
     "Level",
     0,
     {},
     "BarMixer",
     TSending::ControlChange,
     0x07},
    {TBlock::PatternPart,
     0x07,
     127,
     TConversion::Biased,
     64,
     "Pan",
     64,
     {},
     "BarPan",
     TSending::ControlChange,
     0x0A},
    // Byte 48 + t stores a transposition of t semitones, shown at the bar's position -t; the
    // model-3A message carries it as 64 + t.
    {TBlock::PatternPart,
     0x08,
     96,
     TConversion::Mirrored,
     48,
     "Transpose",
     64,
     {},
     "BarTrans",
     TSending::Model3A,
     0x55},
    {TBlock::PatternPart,
     0x0A,
     1,
     TConversion::Flag,
     0,
     "MFX",
     0,
     {},
     "CBMFXSwitch",
     TSending::Model3A,
     0x56},
    {TBlock::PatternPart,
     0x0C,
     127,
     TConversion::Direct,
     0,
     "Delay send",
     0,
     {},
     "BarDelay",
     TSending::ControlChange,
     0x5E},
    {TBlock::PatternPart,
     0x0D,
     127,
     TConversion::Direct,
     0,
     "Reverb send",
     0,
     {},
     "BarReverb",
     TSending::ControlChange,
     0x5B},
    {TBlock::PatternCommon,
     0x22,
     127,
     TConversion::Direct,
     0,
     "Delay Level",
     0,
     {},
     "BarDelayLevel",
     TSending::DelayGroup},
    {TBlock::PatternCommon, 0x23, 1, TConversion::Direct, 0, "Delay Type", 0, DelayTypeItems,
     "LBDelayType", TSending::DelayGroup},
    {TBlock::PatternCommon, 0x24, 17, TConversion::Direct, 0, "Delay HF Damp", 0, HfDampItems,
     "LBDelayHF", TSending::DelayGroup},
    {TBlock::PatternCommon,
     0x25,
     120,
     TConversion::Direct,
     0,
     "Delay Time",
     0,
     {},
     "BarDelayTime",
     TSending::DelayGroup},
    {TBlock::PatternCommon,
     0x26,
     98,
     TConversion::Direct,
     0,
     "Delay Feedback",
     0,
     {},
     "EditDelayFeedback",
     TSending::DelayGroup},
    {TBlock::PatternCommon, 0x27, 2, TConversion::Direct, 0, "Delay Output", 0, DelayOutputItems,
     "LBDelayOutput", TSending::DelayGroup},
    {TBlock::PatternCommon,
     0x1C,
     127,
     TConversion::Direct,
     0,
     "Delay to MFX",
     0,
     {},
     "BarDelayToMFX",
     TSending::DelayGroup},
    {TBlock::PatternCommon, 0x28, 5, TConversion::Direct, 0, "Reverb Type", 0, ReverbTypeItems,
     "LBReverbType", TSending::ReverbGroup},
    {TBlock::PatternCommon,
     0x29,
     127,
     TConversion::Direct,
     0,
     "Reverb Level",
     0,
     {},
     "BarReverbLevel",
     TSending::ReverbGroup},
    {TBlock::PatternCommon,
     0x2A,
     127,
     TConversion::Direct,
     0,
     "Reverb Time",
     0,
     {},
     "BarReverbTime",
     TSending::ReverbGroup},
    {TBlock::PatternCommon, 0x2B, 17, TConversion::Direct, 0, "Reverb HF Damp", 0, HfDampItems,
     "LBReverbHF", TSending::ReverbGroup},
    {TBlock::PatternCommon,
     0x1D,
     127,
     TConversion::Direct,
     0,
     "Reverb to MFX",
     0,
     {},
     "BarReverbToMFX",
     TSending::ReverbGroup},
    {TBlock::System,
     0x08,
     1,
     TConversion::Flag,
     0,
     "MFX switch",
     0,
     {},
     "CBMFXSwitch",
     TSending::Switch},
    {TBlock::System,
     0x09,
     1,
     TConversion::Flag,
     0,
     "Delay switch",
     0,
     {},
     "CBDelaySwitch",
     TSending::Switch},
    {TBlock::System,
     0x0A,
     1,
     TConversion::Flag,
     0,
     "Reverb switch",
     0,
     {},
     "CBReverbSwitch",
     TSending::Switch},
}};

constexpr const TField &Field(TFieldId id)
{
    return Fields[static_cast<std::size_t>(id)];
}
constexpr std::uint8_t OffsetOf(TFieldId id)
{
    return Field(id).Offset;
}
// The field stored at offset of block, if the mixer shows one there.
constexpr std::optional<TFieldId> FieldAt(TBlock block, int offset)
{
    for (std::size_t i = 0; i < FieldCount; ++i)
        if (Fields[i].Block == block && Fields[i].Offset == offset)
            return static_cast<TFieldId>(i);
    return std::nullopt;
}
// The part field sent as this controller or model-3A function byte.
constexpr std::optional<TFieldId> FieldSentAs(TSending sending, int sendByte)
{
    for (std::size_t i = 0; i < FieldCount; ++i)
        if (Fields[i].Sending == sending && Fields[i].SendByte == sendByte)
            return static_cast<TFieldId>(i);
    return std::nullopt;
}

// Control values of the fields, indexed by TFieldId; a list without a selection has -1.
using TValues = std::array<int, FieldCount>;
constexpr int &At(TValues &values, TFieldId id)
{
    return values[static_cast<std::size_t>(id)];
}
constexpr int At(const TValues &values, TFieldId id)
{
    return values[static_cast<std::size_t>(id)];
}

} // namespace sysex::mixer
