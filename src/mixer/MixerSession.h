#pragma once

// What the mixer window takes at each opening and its controls send with, and whether the
// decoder is filling the controls (then nothing may be sent).

#include "midi/MidiOutputs.h"

#include <string>

struct TMixerSession
{
    // The device the controls send to: the main window's output index at the last opening.
    midi::IMidiOut &Output() const { return Outputs->Device(OutIndex); }

    midi::IMidiOuts *Outputs = nullptr;
    int OutIndex = 0;
    std::string DataSetHeader;
    std::string DataRequestHeader;
    std::string Model3AHeader;
    bool Decoding = false;
};
