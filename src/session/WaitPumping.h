#pragma once

#include "midi/MidiOutputs.h"

namespace session {

// Waits more than ms milliseconds while the window thread keeps dispatching its events (so
// deliveries queued to it are handled), without spinning: it sleeps in a nested event loop.
// Events are dispatched at least once.
void WaitPumping(int ms);

// A request procedure's wait: its time runs from the moment the request has actually left the
// paced output (an echo burst may still be queued ahead of it), and events are dispatched all
// along. Waits for the last message handed to output, then more than ms milliseconds.
// A message the device's failure dropped ends the wait at once, with the failure's text: what
// the wait was for will not come.
void WaitPumpingAfterLeaving(const midi::IMidiOut &output, int ms);

// Throws the failure's text when the message of the ticket never left because its device failed.
void ThrowIfDropped(const midi::IMidiOut &output, std::uint64_t ticket);

} // namespace session
