// Arbitrary text through the hex-text conversion, and arbitrary bytes through the bounded
// message reader: the result always ends in checksum and F7, holds one byte per digit pair, and
// no read goes beyond the message.

#include "midi/SysExText.h"
#include "protocol/MessageView.h"

#include <cstdlib>
#include <memory>
#include <string_view>

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

    auto copy = std::make_unique<std::uint8_t[]>(size);
    std::copy(data, data + size, copy.get());
    const protocol::TMessageView view(std::span(copy.get(), size));
    for (int offset = 0; offset < 0x90; ++offset)
        (void)view.AtOffset(offset);
    for (std::size_t i = 0; i < size + 4; ++i)
        (void)view.DataByte(i);
    return 0;
}
