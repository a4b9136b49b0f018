// Arbitrary text through the hex-text conversion, and arbitrary bytes through the bounded
// message reader: the result always ends in checksum and F7, holds one byte per digit pair, and
// no read goes beyond the message. The text can spell any byte, so the check that guards the
// output ports must hold against a plain reading of the rule: a message it lets through has no
// byte of 80h or more between its F0 and its F7 (nor ahead of the F0), and a message it refuses
// breaks the rule, at a status byte it names or for want of the closing F7.

#include "midi/SysExText.h"
#include "sysex/MessageView.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

namespace {
// The rule, read plainly: an F0, data bytes only ahead of it and after it, and F7 last.
bool Sound(const midi::TByteStream &message)
{
    std::size_t start = 0;
    while (start < message.size() && message[start] != 0xF0)
        ++start;
    if (start + 1 >= message.size() || message.back() != 0xF7)
        return false;
    for (std::size_t i = 0; i + 1 < message.size(); ++i)
        if (i != start && message[i] >= 0x80)
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    midi::TByteStream stream;
    midi::HexTextToSysEx(text, stream);
    std::size_t digits = 0;
    for (char c : text)
        digits += c != ' ';
    if (stream.size() != digits / 2 + 2 || stream.back() != 0xF7
        || stream[stream.size() - 2] > 0x7F)
        std::abort();
    const std::optional<std::size_t> fault = midi::SysExFault(stream);
    if (fault.has_value() == Sound(stream))
        std::abort();
    if (fault && *fault < stream.size() && stream[*fault] < 0x80)
        std::abort();

    auto copy = std::make_unique<std::uint8_t[]>(size);
    std::copy(data, data + size, copy.get());
    const sysex::TMessageView view(std::span(copy.get(), size));
    for (int offset = 0; offset < 0x90; ++offset)
        (void)view.AtOffset(offset);
    for (std::size_t i = 0; i < size + 4; ++i)
        (void)view.DataByte(i);
    return 0;
}
