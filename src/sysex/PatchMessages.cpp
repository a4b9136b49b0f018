#include "PatchMessages.h"

#include "MessageView.h"
#include "MixerParams.h"
#include "RolandMessage.h"
#include "midi/SysExText.h"

#include <algorithm>

namespace sysex::patch {

using midi::HexByte;
using sysex::TControlKind;
using sysex::TToneControl;

namespace {

// Byte positions in a received message, counting from 0 at F0.
constexpr std::size_t AreaByte = sysex::HeaderSize;
constexpr std::size_t BlockByte = sysex::HeaderSize + 2;
constexpr sysex::mixer::TBlockInfo PartBlocks
    = sysex::mixer::BlockInfo(sysex::mixer::TBlock::PatternPart);
constexpr std::uint8_t PatternArea = PartBlocks.Area;
constexpr std::uint8_t PatchArea = 0x02;

// The address text of a part's pattern block, part 0..6 for parts 1..7, up to its offset.
std::string PartBlockText(int part)
{
    return HexByte(PartBlocks.Area) + " " + HexByte(PartBlocks.SubArea) + " "
        + HexByte(sysex::mixer::PartBlockByte(part + 1));
}
constexpr std::uint8_t PatchCommonBlock = 0x00;

std::optional<TPatchSelection> DecodeSelection(const sysex::TMessageView &view)
{
    if (!view.HasOffsets(sysex::PatchGroupOffset, 3))
        return std::nullopt;
    const int group = sysex::PatchGroupFromByte(*view.AtOffset(sysex::PatchGroupOffset));
    if (group < 0 || group >= sysex::PatchGroupCount)
        return TPatchSelection {sysex::NoSelection, sysex::NoSelection};
    const int patch = sysex::PatchIndexFromBytes(*view.AtOffset(sysex::PatchNumberOffset),
                                                 *view.AtOffset(sysex::PatchNumberOffset + 1));
    return TPatchSelection {group,
                            patch < sysex::PatchCountOfGroup(group) ? patch : sysex::NoSelection};
}

// An envelope with all its bytes; a byte above 7F (a status byte where data should be) is taken
// as 7F, the largest value a release can send back.
std::optional<TToneValue> DecodeEnvelope(const sysex::TMessageView &view, int row)
{
    const sysex::TEnvelopeParams &params = *sysex::ToneTable[row].Envelope;
    TToneValue value {row, 0};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto time = view.AtOffset(params.TimeOffsets[i]);
        const auto level = static_cast<int>(i) < params.LevelCount
            ? view.AtOffset(params.LevelOffsets[i])
            : std::optional<std::uint8_t>(0);
        if (!time || !level)
            return std::nullopt;
        value.Times[i] = std::min<int>(*time, 0x7F);
        value.Levels[i] = std::min<int>(*level, 0x7F);
    }
    return value;
}

std::optional<TToneValue> DecodeStep(const sysex::TMessageView &view, int row)
{
    const TToneControl &control = sysex::ToneTable[row];
    const sysex::TToneParam &param = control.Param;
    switch (control.Kind) {
    case TControlKind::EnvelopeImage:
        return DecodeEnvelope(view, row);
    case TControlKind::WaveList: {
        if (!view.HasOffsets(param.Offset, 3))
            return std::nullopt;
        const int wave = sysex::WaveRowFromBytes(*view.AtOffset(param.Offset),
                                                 *view.AtOffset(param.Offset + 1),
                                                 *view.AtOffset(param.Offset + 2));
        const bool exists = wave >= param.ControlMin && wave <= param.ControlMax;
        return TToneValue {row, exists ? wave : sysex::NoSelection};
    }
    case TControlKind::FilterList: {
        const auto byte = view.AtOffset(param.Offset);
        if (!byte)
            return std::nullopt;
        const int item = param.ToControl(*byte);
        const bool exists = item >= param.ControlMin && item <= param.ControlMax;
        return TToneValue {row, exists ? item : sysex::NoSelection};
    }
    default: {
        // Whatever a control shows, its handler echoes: brought into the control's range, it is
        // a data byte.
        const auto byte = view.AtOffset(param.Offset);
        if (!byte)
            return std::nullopt;
        return TToneValue {row,
                           std::clamp(param.ToControl(*byte), param.ControlMin, param.ControlMax)};
    }
    }
}

} // namespace

std::array<TRequest, PartRequestCount> PartRequests(const std::string &dataRequestHeader, int part)
{
    return {{
        {dataRequestHeader + PartBlockText(part) + " 00 00 00 00 " + HexByte(PartBlocks.Size), 300},
        {dataRequestHeader + "02 " + HexByte(part) + " 00 00 00 00 17 01", 500},
    }};
}

std::array<std::string, 3> PatchSelectionMessages(const std::string &dataSetHeader, int part,
                                                  int group, int patch)
{
    return PatchSelectionMessages(dataSetHeader, part,
                                  {static_cast<std::uint8_t>(sysex::PatchBankByte(group)),
                                   static_cast<std::uint8_t>(sysex::PatchGroupByte(group)),
                                   static_cast<std::uint8_t>(patch / 16),
                                   static_cast<std::uint8_t>(patch % 16)});
}

std::array<std::string, 3> PatchSelectionMessages(const std::string &dataSetHeader, int part,
                                                  const TSelectionBytes &bytes)
{
    const std::string address = dataSetHeader + PartBlockText(part);
    const auto data = [](std::uint8_t byte) { return HexByte(byte & 0x7F); };
    return {
        address + " " + HexByte(sysex::PatchBankOffset) + " " + data(bytes.Bank),
        address + " " + HexByte(sysex::PatchGroupOffset) + " " + data(bytes.Group),
        address + " " + HexByte(sysex::PatchNumberOffset) + " " + data(bytes.NumberHigh) + " "
            + data(bytes.NumberLow),
    };
}

std::optional<TSelectionBytes> SelectionBytesOf(std::span<const std::uint8_t> message)
{
    const sysex::TMessageView view(message);
    if (view.Byte(AreaByte) != PatternArea || !view.HasOffsets(sysex::PatchBankOffset, 4))
        return std::nullopt;
    return TSelectionBytes {
        *view.AtOffset(sysex::PatchBankOffset), *view.AtOffset(sysex::PatchGroupOffset),
        *view.AtOffset(sysex::PatchNumberOffset), *view.AtOffset(sysex::PatchNumberOffset + 1)};
}

std::string PatchNameFromBytes(std::span<const std::uint8_t, PatchNameSize> bytes)
{
    std::string name;
    for (std::uint8_t byte : bytes)
        name += byte >= PatchNameFirstChar && byte <= PatchNameLastChar ? char(byte) : ' ';
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

std::string PatchNameMessage(const std::string &dataSetHeader, int part, std::string_view name)
{
    std::string text = dataSetHeader + "02 " + HexByte(part) + " 00 00";
    for (std::size_t i = 0; i < std::size_t(PatchNameSize); ++i) {
        const char c = i < name.size() ? name[i] : ' ';
        text += " " + HexByte(c >= PatchNameFirstChar && c <= PatchNameLastChar ? c : ' ');
    }
    return text;
}

TDecoded DecodeMessage(std::span<const std::uint8_t> message)
{
    const sysex::TMessageView view(message);
    TDecoded decoded;
    const auto area = view.Byte(AreaByte);
    if (area == PatternArea) {
        // Whatever its part: a block is taken to be the selected part's.
        decoded.Block = TBlock::PatternPart;
        decoded.Selection = DecodeSelection(view);
        return decoded;
    }
    if (area != PatchArea)
        return decoded;
    const auto block = view.Byte(BlockByte);
    if (block == PatchCommonBlock) {
        decoded.Block = TBlock::PatchCommon;
        if (view.HasOffsets(0, PatchNameSize)) {
            std::array<std::uint8_t, PatchNameSize> bytes {};
            for (int i = 0; i < PatchNameSize; ++i)
                bytes[std::size_t(i)] = *view.AtOffset(i);
            decoded.Name = PatchNameFromBytes(bytes);
        }
        return decoded;
    }
    for (int tone = 1; tone <= 4; ++tone) {
        if (block == sysex::ToneByte(tone)) {
            decoded.Block = TBlock::Tone;
            decoded.Tone = tone;
            decoded.Values.reserve(sysex::DecodeOrder.size());
            for (int row : sysex::DecodeOrder)
                if (const auto value = DecodeStep(view, row))
                    decoded.Values.push_back(*value);
            return decoded;
        }
    }
    return decoded;
}

} // namespace sysex::patch
