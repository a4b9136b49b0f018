#pragma once

// Safe reading of a received data-set message: F0 41 dd 00 0B 12, four address bytes, data,
// checksum, F7. Every read is bounded by the message; data never includes the checksum and F7
// (a delivery without F7, a piece of a longer message, has no checksum to leave out).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace sysex {

class TMessageView
{
public:
    static constexpr std::size_t DataStart = 10;

    explicit TMessageView(std::span<const std::uint8_t> bytes);

    std::size_t Size() const { return Bytes.size(); }
    // Any byte of the message by its position from F0.
    std::optional<std::uint8_t> Byte(std::size_t index) const;
    // A data byte by its position from F0: 10 and later, before the checksum.
    std::optional<std::uint8_t> DataByte(std::size_t index) const;
    // A data byte by its offset in the block, counting from the message's own start offset
    // (its fourth address byte).
    std::optional<std::uint8_t> AtOffset(int offset) const;
    // True when every offset of [first, first + count) is present.
    bool HasOffsets(int first, int count) const;

private:
    std::span<const std::uint8_t> Bytes;
    std::size_t DataEnd;
};

} // namespace sysex
