#pragma once

// The window thread's event loop as the system interface watches it: through the toolkit's
// notifiers, a socket notifier for a descriptor, a Windows event notifier for an event.

#include "midi/System.h"

namespace session {

// The program's one; the application object must exist while anything is watched.
midi::IEventLoop &EventLoop();

} // namespace session
