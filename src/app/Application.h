#pragma once

#include "editor/Ombrix.h"
#include "mixer/FormMixer.h"
#include "setup/FormSetup.h"

#include <memory>

namespace midi {
class IMidiService;
}

// The program's MIDI service: the built-in virtual instrument as device 0 in both directions,
// then the system's devices in the system's order.
std::shared_ptr<midi::IMidiService> CreateProgramMidiService();

// The three windows, created in this order: the main window (which reads the settings and asks
// for part 1 as it is created), the setup dialog, the mixer window.
class TProgramWindows
{
public:
    TProgramWindows();

    TOmbrix Ombrix;
    TFormSetup FormSetup;
    TFormMixer FormMixer;
};

// Runs the program until the main window closes.
int RunOmbrix(int argc, char **argv);
