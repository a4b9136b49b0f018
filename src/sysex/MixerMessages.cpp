#include "MixerMessages.h"

#include "MessageView.h"
#include "midi/SysExText.h"

#include <algorithm>

namespace sysex::mixer {

const std::array<TMixerPart, PartCount> Parts {{
    {"R", 10, 0x19, 0x39, " R"},
    {"1", 1, 0x10, 0x30, " 1"},
    {"2", 2, 0x11, 0x31, " 2"},
    {"3", 3, 0x12, 0x32, " 3"},
    {"4", 4, 0x13, 0x33, " 4"},
    {"5", 5, 0x14, 0x34, " 5"},
    {"6", 6, 0x15, 0x35, " 6"},
    {"7", 7, 0x16, 0x36, " 7"},
}};

const std::array<const char *, 6> ReverbTypeItems {"Room 1",  "Room 2", "Stage 1",
                                                   "Stage 2", "Hall 1", "Hall 2"};
const std::array<const char *, 2> DelayTypeItems {"Short", "Long"};
const std::array<const char *, 18> HfDampItems {"200",  "250",  "315",  "400",  "500",  "630",
                                                "800",  "1000", "1250", "1600", "2000", "2500",
                                                "3150", "4000", "5000", "6300", "8000", "Byp."};
const std::array<const char *, 3> DelayOutputItems {"Line", "Reverb", "Line+Rev"};

namespace {
const std::array<TSendGroupInfo, 4> GroupInfos {{
    {"Mixer", "Part Mixer", "Use this to set the volume on each part", 0, 127, 100, 0x07, 0},
    {"Pan", "Pan Mixer", "Use this to set the pan on each part", -64, 63, 0, 0x0A, 64},
    {"Reverb", "Reverb Mixer", "Use this to set the reverb on each part", 0, 127, 0, 0x5B, 0},
    {"Delay", "Delay Mixer", "Use this to set the delay on each part", 0, 127, 0, 0x5E, 0},
}};

// Byte positions in a received message, counting from 0 at F0.
namespace At {
constexpr std::size_t AreaByte = 6;
constexpr std::size_t SubAreaByte = 7;
constexpr std::size_t BlockByte = 8;
constexpr std::size_t OffsetByte = 9;
// Pattern part block.
constexpr std::size_t Level = 16;
constexpr std::size_t Pan = 17;
constexpr std::size_t Transpose = 18;
constexpr std::size_t MfxSwitch = 20;
constexpr std::size_t DelaySend = 22;
constexpr std::size_t ReverbSend = 23;
// Pattern common block.
constexpr std::size_t DelayToMfx = 38;
constexpr std::size_t ReverbToMfx = 39;
constexpr std::size_t DelayLevel = 44;
constexpr std::size_t DelayType = 45;
constexpr std::size_t DelayHfDamp = 46;
constexpr std::size_t DelayTime = 47;
constexpr std::size_t DelayFeedback = 48;
constexpr std::size_t DelayOutput = 49;
constexpr std::size_t ReverbType = 50;
constexpr std::size_t ReverbLevel = 51;
constexpr std::size_t ReverbTime = 52;
constexpr std::size_t ReverbHfDamp = 53;
// System area switches, in the answer to the request from 00 00 00 08.
constexpr std::size_t MfxOn = 10;
constexpr std::size_t DelayOn = 11;
constexpr std::size_t ReverbOn = 12;
} // namespace At

std::string CommonMessage(const std::string &header, std::uint8_t offset, int value)
{
    return header + "01 00 00 " + midi::HexByte(offset) + " " + midi::HexByte(value);
}

// Reads data bytes by message position; remembers whether any was missing.
class TDataReader
{
public:
    explicit TDataReader(const sysex::TMessageView &view)
        : View(view)
    { }
    int operator()(std::size_t position)
    {
        const std::optional<std::uint8_t> byte = View.DataByte(position);
        if (!byte) {
            Complete = false;
            return 0;
        }
        return *byte;
    }
    bool Complete = true;

private:
    const sysex::TMessageView &View;
};

// Whether the message's first three address bytes are these: nothing is read from a block of
// another area (a tone block's data read as a part row would be sent as control changes).
bool InBlock(const sysex::TMessageView &view, std::uint8_t area, std::uint8_t subArea,
             std::uint8_t block)
{
    return view.Byte(At::AreaByte) == area && view.Byte(At::SubAreaByte) == subArea
        && view.Byte(At::BlockByte) == block;
}

std::optional<TSwitchValues> DecodeSwitches(const sysex::TMessageView &view)
{
    if (!InBlock(view, 0x00, 0x00, 0x00) || view.Byte(At::OffsetByte) != 0x08)
        return std::nullopt;
    TDataReader read(view);
    const TSwitchValues values {read(At::MfxOn) == 1, read(At::DelayOn) == 1,
                                read(At::ReverbOn) == 1};
    return read.Complete ? std::optional(values) : std::nullopt;
}

std::optional<TCommonValues> DecodeCommon(const sysex::TMessageView &view)
{
    if (!InBlock(view, 0x01, 0x00, 0x00))
        return std::nullopt;
    TDataReader read(view);
    TCommonValues values;
    values.ReverbType = read(At::ReverbType);
    values.ReverbLevel = read(At::ReverbLevel);
    values.ReverbTime = read(At::ReverbTime);
    values.ReverbHfDamp = read(At::ReverbHfDamp);
    values.ReverbToMfx = read(At::ReverbToMfx);
    values.DelayType = read(At::DelayType);
    values.DelayLevel = read(At::DelayLevel);
    values.DelayTime = read(At::DelayTime);
    values.DelayHfDamp = read(At::DelayHfDamp);
    values.DelayOutput = read(At::DelayOutput);
    values.DelayFeedback = read(At::DelayFeedback);
    values.DelayToMfx = read(At::DelayToMfx);
    return read.Complete ? std::optional(values) : std::nullopt;
}

std::optional<TPartBlock> DecodePart(const sysex::TMessageView &view)
{
    const std::optional<std::uint8_t> blockByte = view.Byte(At::BlockByte);
    if (!blockByte)
        return std::nullopt;
    const std::optional<int> part = PartOfBlockByte(*blockByte);
    if (!part || !InBlock(view, 0x01, 0x00, *blockByte))
        return std::nullopt;
    TDataReader read(view);
    TPartValues values;
    values.Level = read(At::Level);
    values.Pan = read(At::Pan) - 64;
    values.TransposePosition = 48 - read(At::Transpose);
    values.Mfx = read(At::MfxSwitch) == 1;
    values.DelaySend = read(At::DelaySend);
    values.ReverbSend = read(At::ReverbSend);
    return read.Complete ? std::optional(TPartBlock {*part, values}) : std::nullopt;
}

} // namespace

std::uint8_t ControlChangeStatus(int channel)
{
    return static_cast<std::uint8_t>(0xB0 + ((channel - 1) & 0x0F));
}

std::optional<int> PartOfBlockByte(std::uint8_t blockByte)
{
    for (int i = 0; i < PartCount; ++i)
        if (Parts[static_cast<std::size_t>(i)].BlockByte == blockByte)
            return i;
    return std::nullopt;
}

const TSendGroupInfo &SendGroupInfo(TSendGroup group)
{
    return GroupInfos[static_cast<std::size_t>(group)];
}

std::uint8_t ControlChangeValue(TSendGroup group, int position)
{
    return static_cast<std::uint8_t>(
        std::clamp(position + SendGroupInfo(group).ValueOffset, 0, 127));
}

std::string TransposeMessage(const std::string &model3AHeader, int part, int position)
{
    const int clamped = std::clamp(position, TransposeMinimum, TransposeMaximum);
    return model3AHeader + midi::HexByte(Parts[static_cast<std::size_t>(part)].Model3APart) + " 55 "
        + midi::HexByte(64 - clamped) + " 00";
}

std::string MfxPartMessage(const std::string &model3AHeader, int part, bool on)
{
    const TMixerPart &info = Parts[static_cast<std::size_t>(part)];
    // Part R's switch message closes with 09 where the others close with 00.
    const char *closing = info.BlockByte == 0x19 ? " 09" : " 00";
    return model3AHeader + midi::HexByte(info.Model3APart) + " 56 " + (on ? "01" : "00") + closing;
}

std::string SwitchMessage(const std::string &dataSetHeader, TEffectSwitch which, bool on)
{
    return dataSetHeader + "00 00 00 " + midi::HexByte(static_cast<int>(which)) + " 0"
        + (on ? "1" : "0");
}

std::vector<std::string> ReverbGroupMessages(const std::string &dataSetHeader,
                                             const TReverbSettings &settings)
{
    const std::pair<std::uint8_t, int> values[] = {{0x28, settings.Type},
                                                   {0x29, settings.Level},
                                                   {0x2A, settings.Time},
                                                   {0x2B, settings.HfDamp},
                                                   {0x1D, settings.ToMfx}};
    std::vector<std::string> messages;
    for (const auto &[offset, value] : values)
        if (value >= 0 && value <= 0x7F)
            messages.push_back(CommonMessage(dataSetHeader, offset, value));
    return messages;
}

std::vector<std::string> DelayGroupMessages(const std::string &dataSetHeader,
                                            const TDelaySettings &settings)
{
    const std::pair<std::uint8_t, int> values[]
        = {{0x22, settings.Level}, {0x23, settings.Type},     {0x24, settings.HfDamp},
           {0x25, settings.Time},  {0x26, settings.Feedback}, {0x27, settings.Output},
           {0x1C, settings.ToMfx}};
    std::vector<std::string> messages;
    for (const auto &[offset, value] : values)
        if (value >= 0 && value <= 0x7F)
            messages.push_back(CommonMessage(dataSetHeader, offset, value));
    return messages;
}

std::array<TRequest, 3> OpeningRequests(const std::string &dataRequestHeader)
{
    return {{
        // Pattern common and the part blocks up to the last byte of part R's block.
        {dataRequestHeader + "01 00 00 00 00 00 19 1A", 500},
        // Part R's block once more.
        {dataRequestHeader + "01 00 19 00 00 00 00 1A", 500},
        // The three effect switches of the system area.
        {dataRequestHeader + "00 00 00 08 00 00 00 03", 1000},
    }};
}

TDecodedMessage DecodeMessage(std::span<const std::uint8_t> message)
{
    const sysex::TMessageView view(message);
    return {DecodeSwitches(view), DecodeCommon(view), DecodePart(view)};
}

} // namespace sysex::mixer
