#pragma once

// The messages of a .syx file, one after the other. Such a file holds System Exclusive messages
// and nothing else: a stray byte, or a message broken off by the file's end or by a status byte,
// is a fault named with its byte offset, and every reader of a kind of file refuses the file
// there, before anything of it is sent.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>

namespace sysex {

struct TFileFault
{
    std::size_t Offset;
    std::string Why;
};

// The message that starts at byte `at` of the file (F0 to F7), or the fault found there.
std::variant<std::span<const std::uint8_t>, TFileFault>
FileMessageAt(std::span<const std::uint8_t> bytes, std::size_t at);

} // namespace sysex
