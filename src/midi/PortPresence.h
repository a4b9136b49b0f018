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
    // The identity of the device listed under the port's name (empty where the MIDI system gives
    // none); asked only when needed, since it may cost the MIDI system a request.
    using TIdentity = std::function<std::string()>;
    // Connects the port again to the device listed; returns why that failed, or an empty text.
    using TReconnect = std::function<std::string()>;

    // The port has just been connected to the device of this identity.
    void Connected(std::string identity);

    // For the re-plug checks, from whether the device is listed now. Back when the port was
    // connected again here, or by a send since the last check.
    TPortCheck Check(bool listed, const TIdentity &identity, const TReconnect &reconnect);
    // For a send: whether the device can take the message now, connected again when it was
    // gone. A send goes by the name alone; a replaced device is the checks' to find. On false,
    // Failure says why.
    bool Usable(bool listed, const TIdentity &identity, const TReconnect &reconnect);
    const std::string &Failure() const { return LastFailure; }

private:
    TPortCheck Look(bool listed, const TIdentity &identity, bool compare,
                    const TReconnect &reconnect);

    std::string Identity;
    bool Lost = false;
    // A send connected the port again; the next check tells the user.
    bool BackUntold = false;
    std::string LastFailure;
};

} // namespace midi
