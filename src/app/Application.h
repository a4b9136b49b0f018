#pragma once

#include <memory>

namespace midi {
class IMidiService;
}

// The program's MIDI service: the built-in virtual instrument as device 0 in both directions,
// then the system's devices in the system's order.
std::shared_ptr<midi::IMidiService> CreateProgramMidiService();

// Creates the main window, the setup dialog and the mixer window, in this order, and runs the
// event loop until the main window closes.
int RunOmbrix(int argc, char **argv);
