#include "SysExFile.h"

#include "midi/SysExText.h"

namespace sysex {

std::variant<std::span<const std::uint8_t>, TFileFault>
FileMessageAt(std::span<const std::uint8_t> bytes, std::size_t at)
{
    const auto hex = [](std::uint8_t byte) { return midi::HexByte(byte); };
    if (bytes[at] != 0xF0)
        return TFileFault {at, "byte " + hex(bytes[at]) + " outside a System Exclusive message"};
    std::size_t end = at + 1;
    while (end < bytes.size() && bytes[end] < 0x80)
        ++end;
    if (end == bytes.size())
        return TFileFault {at, "message cut short: the file ends before its F7"};
    if (bytes[end] != 0xF7)
        return TFileFault {at,
                           "message cut short: status byte " + hex(bytes[end]) + " before its F7"};
    return bytes.subspan(at, end + 1 - at);
}

} // namespace sysex
