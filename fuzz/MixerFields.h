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

// The fields of the blocks the message was decoded as. The pattern blocks are read as the
// opening's answers bring them, from their first byte; the switches from 00 00 00 08, the first
// byte the opening asks for.
inline std::vector<TMixerField> DecodedMixerFields(const sysex::mixer::TDecodedMessage &decoded)
{
    constexpr std::size_t FirstData = 10; // after the header and the four address bytes
    std::vector<TMixerField> fields;
    const auto add
        = [&fields](instrument::TAddress block, int offset, int first, int lowest, int highest) {
              block[3] = static_cast<std::uint8_t>(offset);
              fields.push_back(
                  {block, FirstData + static_cast<std::size_t>(offset - first), lowest, highest});
          };
    const auto last = [](const auto &items) { return static_cast<int>(std::size(items)) - 1; };
    if (decoded.Switches)
        for (sysex::mixer::TEffectSwitch which :
             {sysex::mixer::TEffectSwitch::Mfx, sysex::mixer::TEffectSwitch::Delay,
              sysex::mixer::TEffectSwitch::Reverb})
            add({0x00, 0x00, 0x00, 0x00}, static_cast<int>(which), 0x08, 0, 1);
    if (decoded.Common) {
        const instrument::TAddress common {0x01, 0x00, 0x00, 0x00};
        add(common, 0x1C, 0, 0, 127); // delay to MFX
        add(common, 0x1D, 0, 0, 127); // reverb to MFX
        add(common, 0x22, 0, 0, 127); // delay level
        add(common, 0x23, 0, 0, last(sysex::mixer::DelayTypeItems));
        add(common, 0x24, 0, 0, last(sysex::mixer::HfDampItems));
        add(common, 0x25, 0, 0, sysex::mixer::DelayTimeMaximum);
        add(common, 0x26, 0, 0, sysex::mixer::FeedbackMaximum);
        add(common, 0x27, 0, 0, last(sysex::mixer::DelayOutputItems));
        add(common, 0x28, 0, 0, last(sysex::mixer::ReverbTypeItems));
        add(common, 0x29, 0, 0, 127); // reverb level
        add(common, 0x2A, 0, 0, 127); // reverb time
        add(common, 0x2B, 0, 0, last(sysex::mixer::HfDampItems));
    }
    if (const auto &p = decoded.PartBlock) {
        namespace Offset = instrument::PartOffset;
        const instrument::TAddress block {
            0x01, 0x00, sysex::mixer::Parts[static_cast<std::size_t>(p->Part)].BlockByte, 0x00};
        const auto group = [&](int offset, sysex::mixer::TSendGroup which) {
            const sysex::mixer::TSendGroupInfo &info = sysex::mixer::SendGroupInfo(which);
            add(block, offset, 0, info.Minimum + info.ValueOffset, info.Maximum + info.ValueOffset);
        };
        group(Offset::Level, sysex::mixer::TSendGroup::Level);
        group(Offset::Pan, sysex::mixer::TSendGroup::Pan);
        group(Offset::DelaySend, sysex::mixer::TSendGroup::DelaySend);
        group(Offset::ReverbSend, sysex::mixer::TSendGroup::ReverbSend);
        add(block, Offset::Transpose, 0, 0,
            sysex::mixer::TransposeMaximum - sysex::mixer::TransposeMinimum);
        add(block, Offset::MfxSwitch, 0, 0, 1);
    }
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
