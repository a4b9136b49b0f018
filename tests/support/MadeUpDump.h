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
#include "sysex/MixerParams.h"

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

// A whole pattern in the order of the instrument's own dump, every area the backup reads filled:
// the pattern common block whole (68 bytes) and the part blocks, each part's patch, the rhythm
// set, pages pages of notes (the last one lastPage bytes long) and the pattern setup. The MFX
// values are equal in their two copies, and so are each part's level and pan.
inline std::vector<TDumpMessage> WholePatternMessages(int pages = 5, int lastPage = 119)
{
    std::vector<TDumpMessage> messages;
    const auto add = [&messages](std::array<std::uint8_t, 4> address, TBytes data) {
        messages.push_back({address, std::move(data)});
    };
    TBytes common = Filled(0x44, 11);
    const TBytes effects = [&common] {
        TBytes bytes = Filled(0x24, 6);
        std::copy(common.begin() + 0x0D, common.begin() + 0x1A, bytes.begin() + 0x02);
        return bytes;
    }();
    add({0x01, 0x00, 0x00, 0x00}, common);
    std::vector<TBytes> parts;
    for (int part = 0; part < 8; ++part) {
        TBytes block = Filled(0x1A, 40 + part);
        block[3] = DumpGroupByte;
        block[4] = 0;
        block[5] = static_cast<std::uint8_t>(3 * part + 1);
        parts.push_back(block);
    }
    for (std::uint8_t part = 0; part < 7; ++part)
        add({0x01, 0x00, std::uint8_t(0x10 + part), 0x00}, parts[part]);
    add({0x01, 0x00, 0x19, 0x00}, parts[7]);
    for (std::uint8_t part = 0; part < 7; ++part) {
        TBytes patch = Filled(0x4A, 60 + part);
        const std::string name = DumpPatchName(part);
        std::copy(name.begin(), name.end(), patch.begin());
        add({0x02, part, 0x00, 0x00}, patch);
        for (std::uint8_t tone = 0; tone < 4; ++tone)
            add({0x02, part, std::uint8_t(0x10 + 2 * tone), 0x00},
                Filled(0x81, 70 + 4 * part + tone));
    }
    TBytes name = Filled(0x0C, 3);
    std::fill(name.begin(), name.end(), std::uint8_t('K'));
    add({0x02, 0x09, 0x00, 0x00}, name);
    for (int note = 0; note < 64; ++note)
        add({0x02, 0x09, std::uint8_t(0x23 + note), 0x00}, Filled(0x3A, note));
    for (int page = 0; page < pages; ++page)
        add({0x40, 0x00, std::uint8_t(page), 0x00},
            Filled(page + 1 < pages ? 0x80 : lastPage, page + 7));
    add({0x30, 0x00, 0x00, 0x00}, Filled(0x77, 5));
    add({0x30, 0x00, 0x20, 0x00}, effects);
    for (std::uint8_t part = 0; part < 8; ++part) {
        TBytes setup = Filled(9, 20 + part);
        setup[3] = parts[part][sysex::mixer::OffsetOf(sysex::mixer::TFieldId::Level)];
        setup[4] = parts[part][sysex::mixer::OffsetOf(sysex::mixer::TFieldId::Pan)];
        add({0x30, 0x00, std::uint8_t(0x40 + part), 0x00}, setup);
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
