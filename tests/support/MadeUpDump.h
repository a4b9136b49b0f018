#pragma once

// A pattern bulk dump of our own making, shaped as the one the MC-307 sends (159 messages): the
// pattern common block, parts 1 to 7's pattern part blocks, the 10-byte message at 01 00 00 22,
// part R's block, the rhythm set (its name, 12 bytes, and 64 keys of 58 bytes), the pattern setup
// (its header of 119 bytes, its effects of 36 and eight part setups of 9), the pattern body (39
// messages of 128 bytes), then each part's patch common (74 bytes, its name first) and four tone
// blocks (129 bytes each, one message). The bytes count up and mean nothing, but for the MFX
// values, equal in their two copies as in a real dump; the parts' patch selections name patches
// no part holds at power-on.

#include "support/MessageText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace madeup {

using TBytes = std::vector<std::uint8_t>;

// The device byte the dump was made on: not the one the program uses.
inline constexpr std::uint8_t DumpDeviceByte = 0x13;
inline constexpr int DumpMessageCount = 159;
// Each part's patch selection in the dump: group byte 7, patch 3 × part + 1.
inline constexpr std::uint8_t DumpGroupByte = 7;

// Data bytes that count up from seed in steps of 13, each below 80h.
inline TBytes Filled(int size, int seed)
{
    TBytes bytes(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((seed + 13 * i) % 0x80);
    return bytes;
}

// The name of part p's patch in the dump, 12 characters.
inline std::string DumpPatchName(int part)
{
    return "Dump Part " + std::to_string(part + 1) + " ";
}

struct TDumpMessage
{
    std::array<std::uint8_t, 4> Address;
    TBytes Data;
    bool operator==(const TDumpMessage &) const = default;
};

inline std::vector<TDumpMessage> PatternDumpMessages()
{
    std::vector<TDumpMessage> messages;
    const auto add = [&messages](std::array<std::uint8_t, 4> address, TBytes data) {
        messages.push_back({address, std::move(data)});
    };
    const TBytes common = Filled(0x22, 1);
    add({0x01, 0x00, 0x00, 0x00}, common);
    const auto partBlock = [](int part) {
        TBytes block = Filled(0x1A, 40 + part);
        block[3] = DumpGroupByte;
        block[4] = 0;
        block[5] = static_cast<std::uint8_t>(3 * part + 1);
        return block;
    };
    for (std::uint8_t part = 0; part < 7; ++part)
        add({0x01, 0x00, std::uint8_t(0x10 + part), 0x00}, partBlock(part));
    add({0x01, 0x00, 0x00, 0x22}, Filled(10, 2));
    add({0x01, 0x00, 0x19, 0x00}, partBlock(7));
    add({0x02, 0x09, 0x00, 0x00}, Filled(0x0C, 3));
    for (int note = 0; note < 64; ++note)
        add({0x02, 0x09, std::uint8_t(0x23 + note), 0x00}, Filled(0x3A, note));
    add({0x30, 0x00, 0x00, 0x00}, Filled(0x77, 5));
    TBytes effects = Filled(0x24, 6);
    std::copy(common.begin() + 0x0D, common.begin() + 0x1A, effects.begin() + 0x02);
    add({0x30, 0x00, 0x20, 0x00}, effects);
    for (std::uint8_t part = 0; part < 8; ++part)
        add({0x30, 0x00, std::uint8_t(0x40 + part), 0x00}, Filled(9, 20 + part));
    for (int page = 0; page < 39; ++page)
        add({0x40, 0x00, std::uint8_t(page), 0x00}, Filled(0x80, page + 7));
    for (std::uint8_t part = 0; part < 7; ++part) {
        TBytes common = Filled(0x4A, 60 + part);
        const std::string name = DumpPatchName(part);
        std::copy(name.begin(), name.end(), common.begin());
        add({0x02, part, 0x00, 0x00}, common);
        for (std::uint8_t tone = 0; tone < 4; ++tone)
            add({0x02, part, std::uint8_t(0x10 + 2 * tone), 0x00},
                Filled(0x81, 70 + 4 * part + tone));
    }
    return messages;
}

// The messages as a .syx file holds them, sent to deviceByte.
inline TBytes FileOf(const std::vector<TDumpMessage> &messages,
                     std::uint8_t deviceByte = DumpDeviceByte)
{
    TBytes file;
    for (const TDumpMessage &m : messages) {
        const TBytes message = DataSetMessage(m.Address, m.Data, deviceByte);
        file.insert(file.end(), message.begin(), message.end());
    }
    return file;
}

} // namespace madeup
