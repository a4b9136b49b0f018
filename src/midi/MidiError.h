#pragma once

#include <stdexcept>
#include <string>

namespace midi {

// Every failure of the MIDI layer: an index out of bounds or a result code of the service,
// carrying the text shown to the user.
class EMidiError : public std::runtime_error
{
public:
    explicit EMidiError(const std::string &text)
        : std::runtime_error(text)
    { }
};

} // namespace midi
