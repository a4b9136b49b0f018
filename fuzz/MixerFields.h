#pragma once

// What the mixer's targets hold its decoding to. For every field a received message gives the
// mixer, the message the window sends for that field must carry the received byte, whenever the
// byte lies in the range the field is stored in: sent to the virtual instrument (the other
// reading of the same memory map), it must leave the instrument holding that byte. Each such
// field is first set to another value in the instrument, so a message never sent is caught too.

#include "instrument/InstrumentContents.h"
#include "instrument/VirtualInstrument.h"
#include "sysex/MixerMessages.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

struct TMixerField
{
    instrument::TAddress Address; // where the instrument keeps it
    std::size_t Position; // of its byte in the received message, counting from F0
    int Lowest; // its stored range
    int Highest;
};

// The fields of the blocks the message was decoded as, as the mixer table lays them out. The
// pattern blocks are read as the opening's answers bring them, from their first byte; the
// switches from the first switch, the first byte the opening asks for.
inline std::vector<TMixerField> DecodedMixerFields(const sysex::mixer::TDecodedMessage &decoded)
{
    using sysex::mixer::TBlock;
    constexpr std::size_t FirstData = 10; // after the header and the four address bytes
    std::vector<TMixerField> fields;
    const auto add = [&fields](TBlock block, std::uint8_t blockByte, int first) {
        const sysex::mixer::TBlockInfo &info = sysex::mixer::BlockInfo(block);
        for (const sysex::mixer::TField &field : sysex::mixer::Fields)
            if (field.Block == block)
                fields.push_back({{info.Area, info.SubArea, blockByte, field.Offset},
                                  FirstData + static_cast<std::size_t>(field.Offset - first),
                                  0,
                                  field.StoredMax});
    };
    if (decoded.Switches)
        add(TBlock::System, 0x00, sysex::mixer::OffsetOf(sysex::mixer::TFieldId::MfxSwitch));
    if (decoded.Common)
        add(TBlock::PatternCommon, 0x00, 0);
    if (const auto &p = decoded.PartBlock)
        add(TBlock::PatternPart, sysex::mixer::Parts[static_cast<std::size_t>(p->Part)].BlockByte,
            0);
    return fields;
}

// Runs send, which hands the instrument what the window sends for the decoded message, and
// checks what the instrument holds afterwards. The fields of a message lie in one block, which
// is marked and read back in one piece.
template<class F>
void CheckSentBack(instrument::TVirtualInstrument &instrument,
                   std::span<const std::uint8_t> message,
                   const sysex::mixer::TDecodedMessage &decoded, F &&send)
{
    struct TExpected
    {
        std::uint32_t Address;
        std::uint8_t Byte;
    };
    std::vector<TExpected> expected;
    std::uint32_t first = UINT32_MAX;
    std::uint32_t last = 0;
    for (const TMixerField &field : DecodedMixerFields(decoded)) {
        // A decoded field's byte is always there: the decoder reads only whole blocks.
        if (field.Position >= message.size())
            std::abort();
        const std::uint8_t byte = message[field.Position];
        if (byte < field.Lowest || byte > field.Highest)
            continue;
        const std::uint32_t address = instrument::LinearAddress(field.Address);
        expected.push_back({address, byte});
        first = std::min(first, address);
        last = std::max(last, address);
    }
    if (expected.empty())
        return;
    const instrument::TAddress start = instrument::AddressFromLinear(first);
    const int size = static_cast<int>(last - first + 1);
    std::vector<std::uint8_t> marked = instrument.Read(start, size);
    for (const TExpected &field : expected)
        marked[field.Address - first] = field.Byte ^ 1;
    instrument.Write(start, marked);
    send();
    const std::vector<std::uint8_t> held = instrument.Read(start, size);
    for (const TExpected &field : expected)
        if (held[field.Address - first] != field.Byte)
            std::abort();
}
