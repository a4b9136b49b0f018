#pragma once

// The mixer's blocks as the instrument answers them, laid out by the mixer table: the stored
// bytes given by field, 0 elsewhere; a part's level, pan and transposition at 100, 40 and 30
// unless given.

#include "support/MessageText.h"
#include "sysex/MixerParams.h"

#include <map>

using TMixerBytes = std::map<sysex::mixer::TFieldId, int>;

inline std::vector<std::uint8_t> MixerBlockData(sysex::mixer::TBlock block, TMixerBytes bytes)
{
    using F = sysex::mixer::TFieldId;
    if (block == sysex::mixer::TBlock::PatternPart)
        bytes.merge(TMixerBytes {{F::Level, 100}, {F::Pan, 0x40}, {F::Transpose, 0x30}});
    std::vector<std::uint8_t> data(std::size_t(sysex::mixer::BlockInfo(block).Size), 0);
    for (const auto &[field, byte] : bytes)
        data[sysex::mixer::OffsetOf(field)] = static_cast<std::uint8_t>(byte);
    return data;
}

inline std::vector<std::uint8_t> MixerPartBlock(std::uint8_t blockByte, const TMixerBytes &bytes,
                                                std::uint8_t area = 0x01)
{
    return DataSetMessage({area, 0x00, blockByte, 0x00},
                          MixerBlockData(sysex::mixer::TBlock::PatternPart, bytes));
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
