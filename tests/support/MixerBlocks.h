#pragma once

// The mixer's blocks as the instrument answers them, laid out by the mixer table: a pattern part
// block, the pattern common block and the answer from the first effect switch on, each with the
// stored bytes given by field and 0 elsewhere.

#include "support/MessageText.h"
#include "sysex/MixerParams.h"

#include <map>
#include <utility>

using TMixerBytes = std::map<sysex::mixer::TFieldId, int>;

inline std::vector<std::uint8_t> MixerBlockData(sysex::mixer::TBlock block,
                                                const TMixerBytes &bytes)
{
    std::vector<std::uint8_t> data(static_cast<std::size_t>(sysex::mixer::BlockInfo(block).Size),
                                   0);
    for (const auto &[field, byte] : bytes)
        data[sysex::mixer::OffsetOf(field)] = static_cast<std::uint8_t>(byte);
    return data;
}

// A part's block as stored: level 100, pan and transposition at their middle unless given.
inline std::vector<std::uint8_t> MixerPartData(const TMixerBytes &bytes)
{
    using sysex::mixer::TFieldId;
    std::vector<std::uint8_t> data = MixerBlockData(
        sysex::mixer::TBlock::PatternPart,
        {{TFieldId::Level, 100}, {TFieldId::Pan, 0x40}, {TFieldId::Transpose, 0x30}});
    for (const auto &[field, byte] : bytes)
        data[sysex::mixer::OffsetOf(field)] = static_cast<std::uint8_t>(byte);
    return data;
}

inline std::vector<std::uint8_t> MixerPartBlock(std::uint8_t blockByte, const TMixerBytes &bytes,
                                                std::uint8_t area = 0x01)
{
    return DataSetMessage({area, 0x00, blockByte, 0x00}, MixerPartData(bytes));
}

inline std::vector<std::uint8_t> MixerCommonBlock(const TMixerBytes &bytes)
{
    return DataSetMessage({0x01, 0x00, 0x00, 0x00},
                          MixerBlockData(sysex::mixer::TBlock::PatternCommon, bytes));
}

inline std::vector<std::uint8_t> MixerSwitchBlock(int mfx, int delay, int reverb)
{
    return DataSetMessage({0x00, 0x00, 0x00, 0x08}, BytesOf({mfx, delay, reverb}));
}
