#pragma once

// How the targets cut an input into messages: each piece up to and including an F7, as a
// delivery hands over a received message, then what is left after the last F7 (when it is
// neither empty nor the whole input), then the whole input as one message.

#include <cstddef>
#include <cstdint>
#include <span>

template<class F>
void ForEachPiece(std::span<const std::uint8_t> input, F &&take)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < input.size(); ++i)
        if (input[i] == 0xF7) {
            take(input.subspan(start, i + 1 - start));
            start = i + 1;
        }
    if (start > 0 && start < input.size())
        take(input.subspan(start));
    take(input);
}
