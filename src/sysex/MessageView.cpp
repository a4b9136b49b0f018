#include "MessageView.h"

namespace sysex {

TMessageView::TMessageView(std::span<const std::uint8_t> bytes)
    : Bytes(bytes)
    , DataEnd(bytes.size())
{
    if (!Bytes.empty() && Bytes.back() == 0xF7)
        DataEnd = Bytes.size() >= DataStart + 2 ? Bytes.size() - 2 : DataStart;
}

std::optional<std::uint8_t> TMessageView::Byte(std::size_t index) const
{
    if (index >= Bytes.size())
        return std::nullopt;
    return Bytes[index];
}

std::optional<std::uint8_t> TMessageView::DataByte(std::size_t index) const
{
    if (index < DataStart || index >= DataEnd)
        return std::nullopt;
    return Bytes[index];
}

std::optional<std::uint8_t> TMessageView::AtOffset(int offset) const
{
    const std::optional<std::uint8_t> start = Byte(DataStart - 1);
    if (!start || offset < *start)
        return std::nullopt;
    return DataByte(DataStart + static_cast<std::size_t>(offset - *start));
}

bool TMessageView::HasOffsets(int first, int count) const
{
    for (int offset = first; offset < first + count; ++offset)
        if (!AtOffset(offset))
            return false;
    return true;
}

} // namespace sysex
