#include "SysExText.h"

#include <algorithm>

namespace midi {

namespace {
constexpr char Digits[] = "0123456789ABCDEF";

// The value of one text character: its place in "123456789ABCDEF", 0 for anything else.
int DigitValue(char c)
{
    if (c >= '1' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

char UpperCase(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
} // namespace

std::string HexByte(int value)
{
    return {Digits[(value / 16) & 0xF], Digits[value % 16 & 0xF]};
}

std::uint8_t RolandChecksum(const std::uint8_t *bytes, std::size_t count)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return static_cast<std::uint8_t>((128 - sum % 128) % 128);
}

std::optional<std::size_t> SysExFault(std::span<const std::uint8_t> message)
{
    std::size_t i = 0;
    while (i < message.size() && message[i] != 0xF0) {
        if (message[i] >= 0x80)
            return i;
        ++i;
    }
    if (i + 1 >= message.size() || message.back() != 0xF7)
        return message.size();
    for (++i; i + 1 < message.size(); ++i)
        if (message[i] >= 0x80)
            return i;
    return std::nullopt;
}

void HexTextToSysEx(std::string_view text, TByteStream &stream)
{
    // Read in one walk, without a copy of the digits: every message a control sends comes
    // through here.
    stream.clear();
    stream.reserve(text.size() / 2 + 2);
    int high = -1;
    for (const char c : text) {
        if (c == ' ')
            continue;
        const int value = DigitValue(UpperCase(c));
        if (high < 0) {
            high = value;
        } else {
            stream.push_back(static_cast<std::uint8_t>(high * 16 + value));
            high = -1;
        }
    }
    // The checksum covers everything after the six-byte header.
    const std::size_t header = std::min<std::size_t>(6, stream.size());
    const std::uint8_t checksum = RolandChecksum(stream.data() + header, stream.size() - header);
    stream.push_back(checksum);
    stream.push_back(0xF7);
}

} // namespace midi
