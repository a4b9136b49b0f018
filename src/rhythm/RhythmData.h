#pragma once

// The rhythm set as the window knows it: its bytes and which of its 65 blocks were read. A block
// not read is never shown nor sent.

#include "sysex/RhythmMessages.h"

#include <bitset>
#include <optional>

struct TRhythmData
{
    sysex::rhythm::TRhythmSet Set;
    std::bitset<sysex::rhythm::BlockCount> Known;

    bool KnowsKey(int note) const
    {
        return sysex::rhythm::IsKey(note) && Known[std::size_t(sysex::rhythm::BlockOfKey(note))];
    }
    std::optional<sysex::rhythm::TKeyBlock> Key(int note) const
    {
        if (!KnowsKey(note))
            return std::nullopt;
        return Set.Keys[std::size_t(note - sysex::rhythm::FirstKey)];
    }
    sysex::rhythm::TKeyBlock &KeyBytes(int note)
    {
        return Set.Keys[std::size_t(note - sysex::rhythm::FirstKey)];
    }
};
