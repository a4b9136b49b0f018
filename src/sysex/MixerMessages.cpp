#include "MixerMessages.h"

#include "MessageView.h"
#include "RolandMessage.h"
#include "midi/SysExText.h"

#include <algorithm>

namespace sysex::mixer {

namespace {
const std::array<TSendGroupInfo, 4> GroupInfos {{
    {TFieldId::Level, "Part Mixer", "Use this to set the volume on each part", 0, 127, 100},
    {TFieldId::Pan, "Pan Mixer", "Use this to set the pan on each part", -64, 63, 0},
    {TFieldId::ReverbSend, "Reverb Mixer", "Use this to set the reverb on each part", 0, 127, 0},
    {TFieldId::DelaySend, "Delay Mixer", "Use this to set the delay on each part", 0, 127, 0},
}};

// The data of a received data set starts after its header and address.
constexpr std::size_t DataStart = HeaderSize + AddressSize;

std::string AddressText(const TBlockInfo &block, std::uint8_t blockByte, std::uint8_t offset)
{
    return midi::HexByte(block.Area) + " " + midi::HexByte(block.SubArea) + " "
        + midi::HexByte(blockByte) + " " + midi::HexByte(offset) + " ";
}

// Whether the message's first three address bytes are these: nothing is read from a block of
// another area (a tone block's data read as a part row would be sent as control changes).
bool InBlock(const sysex::TMessageView &view, const TBlockInfo &block, std::uint8_t blockByte)
{
    return view.Byte(HeaderSize) == block.Area && view.Byte(HeaderSize + 1) == block.SubArea
        && view.Byte(HeaderSize + 2) == blockByte;
}

// The control values of the block's fields, each read at its offset from the data's start as
// if the data started at offset from; nothing when a byte is missing.
std::optional<TValues> ReadFields(const sysex::TMessageView &view, TBlock block,
                                  std::uint8_t from = 0)
{
    TValues values {};
    for (std::size_t i = 0; i < FieldCount; ++i) {
        if (Fields[i].Block != block)
            continue;
        const std::optional<std::uint8_t> byte = view.DataByte(DataStart + Fields[i].Offset - from);
        if (!byte)
            return std::nullopt;
        values[i] = Fields[i].ToControl(*byte);
    }
    return values;
}

std::optional<TValues> DecodeSwitches(const sysex::TMessageView &view)
{
    // Only the answer to the opening's request, from the first switch on.
    const TBlockInfo &system = BlockInfo(TBlock::System);
    const std::uint8_t firstSwitch = OffsetOf(TFieldId::MfxSwitch);
    if (!InBlock(view, system, system.Block) || view.Byte(HeaderSize + 3) != firstSwitch)
        return std::nullopt;
    return ReadFields(view, TBlock::System, firstSwitch);
}

std::optional<TPartBlock> DecodePart(const sysex::TMessageView &view)
{
    const std::optional<std::uint8_t> blockByte = view.Byte(HeaderSize + 2);
    if (!blockByte)
        return std::nullopt;
    const std::optional<int> part = PartOfBlockByte(*blockByte);
    if (!part || !InBlock(view, BlockInfo(TBlock::PatternPart), *blockByte))
        return std::nullopt;
    const std::optional<TValues> values = ReadFields(view, TBlock::PatternPart);
    return values ? std::optional(TPartBlock {*part, *values}) : std::nullopt;
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
        std::clamp(Field(SendGroupInfo(group).Field).ToByte(position), 0, 127));
}

std::string TransposeMessage(const std::string &model3AHeader, int part, int position)
{
    const int clamped = std::clamp(position, TransposeMinimum, TransposeMaximum);
    return model3AHeader + midi::HexByte(Parts[static_cast<std::size_t>(part)].Model3APart) + " "
        + midi::HexByte(Field(TFieldId::Transpose).SendByte) + " " + midi::HexByte(64 - clamped)
        + " 00";
}

std::string MfxPartMessage(const std::string &model3AHeader, int part, bool on)
{
    const TMixerPart &info = Parts[static_cast<std::size_t>(part)];
    // Part R's switch message closes with 09 where the others close with 00.
    const char *closing = info.BlockByte == RhythmPartBlockByte ? " 09" : " 00";
    return model3AHeader + midi::HexByte(info.Model3APart) + " "
        + midi::HexByte(Field(TFieldId::PartMfx).SendByte) + " " + (on ? "01" : "00") + closing;
}

std::string SwitchMessage(const std::string &dataSetHeader, TFieldId which, bool on)
{
    const TBlockInfo &system = BlockInfo(TBlock::System);
    return dataSetHeader + AddressText(system, system.Block, OffsetOf(which))
        + midi::HexByte(Field(which).ToByte(on ? 1 : 0));
}

std::vector<TFieldId> GroupFields(TSending group)
{
    std::vector<TFieldId> fields;
    for (std::size_t i = 0; i < FieldCount; ++i)
        if (Fields[i].Sending == group)
            fields.push_back(static_cast<TFieldId>(i));
    return fields;
}

std::vector<std::string> GroupMessages(const std::string &dataSetHeader, TSending group,
                                       std::span<const int> values)
{
    const TBlockInfo &common = BlockInfo(TBlock::PatternCommon);
    const std::vector<TFieldId> fields = GroupFields(group);
    std::vector<std::string> messages;
    for (std::size_t i = 0; i < fields.size() && i < values.size(); ++i) {
        const int byte = Field(fields[i]).ToByte(values[i]);
        if (values[i] >= 0 && byte >= 0 && byte <= 0x7F)
            messages.push_back(dataSetHeader
                               + AddressText(common, common.Block, OffsetOf(fields[i]))
                               + midi::HexByte(byte));
    }
    return messages;
}

std::array<TRequest, 3> OpeningRequests(const std::string &dataRequestHeader)
{
    const TBlockInfo &common = BlockInfo(TBlock::PatternCommon);
    const TBlockInfo &part = BlockInfo(TBlock::PatternPart);
    const TBlockInfo &system = BlockInfo(TBlock::System);
    const std::string partSize = "00 00 00 " + midi::HexByte(part.Size);
    const std::uint8_t firstSwitch = OffsetOf(TFieldId::MfxSwitch);
    return {{
        // Pattern common and the part blocks up to the last byte of part R's block.
        {dataRequestHeader + AddressText(common, common.Block, 0) + "00 00 "
             + midi::HexByte(RhythmPartBlockByte) + " " + midi::HexByte(part.Size),
         500},
        // Part R's block once more.
        {dataRequestHeader + AddressText(part, RhythmPartBlockByte, 0) + partSize, 500},
        // The three effect switches of the system area.
        {dataRequestHeader + AddressText(system, system.Block, firstSwitch) + "00 00 00 "
             + midi::HexByte(system.Size - firstSwitch),
         1000},
    }};
}

TDecodedMessage DecodeMessage(std::span<const std::uint8_t> message)
{
    const sysex::TMessageView view(message);
    const TBlockInfo &commonBlock = BlockInfo(TBlock::PatternCommon);
    const bool common = InBlock(view, commonBlock, commonBlock.Block);
    return {DecodeSwitches(view), common ? ReadFields(view, TBlock::PatternCommon) : std::nullopt,
            DecodePart(view)};
}

} // namespace sysex::mixer
