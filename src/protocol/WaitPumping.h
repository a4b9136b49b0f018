#pragma once

namespace protocol {

// Waits more than ms milliseconds while the window thread keeps dispatching its events (so
// deliveries queued to it are handled), without spinning: it sleeps in a nested event loop.
// Events are dispatched at least once.
void WaitPumping(int ms);

} // namespace protocol
