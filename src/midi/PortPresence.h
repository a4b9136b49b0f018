#pragma once

// Whether an open system port is still connected to its device, from what looks at the system's
// list find: a device no longer listed is gone; one listed again, or listed under its name with
// another identity (a JACK client that ended and started again between two looks), is connected
// again, and is back only once that connection is made. A failed connection leaves it gone, and
// the next look tries again.

#include "MidiPorts.h"

#include <functional>
#include <optional>
#include <string>

namespace midi {

class TPortPresence
{
public:
    // What a look found: nothing, or the device under the port's name with its identity (empty
    // where the MIDI system gives none).
    using TSeen = std::optional<std::string>;
    // Connects the port again to the device seen; returns why that failed, or an empty text.
    using TReconnect = std::function<std::string()>;

    // The port has just been connected to the device of this identity.
    void Connected(std::string identity);

    // For the re-plug checks. Back when the port was connected again here, or by a send since
    // the last check.
    TPortCheck Check(const TSeen &seen, const TReconnect &reconnect);
    // For a send: whether the device can take the message now, connected again when needed. On
    // false, Failure says why.
    bool Usable(const TSeen &seen, const TReconnect &reconnect);
    const std::string &Failure() const { return LastFailure; }

private:
    TPortCheck Look(const TSeen &seen, const TReconnect &reconnect);

    std::string Identity;
    bool Lost = false;
    // A send connected the port again; the next check tells the user.
    bool BackUntold = false;
    std::string LastFailure;
};

} // namespace midi
