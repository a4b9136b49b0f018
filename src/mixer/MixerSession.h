#pragma once

// What the mixer window takes at each opening and its controls send with, and whether the
// decoder is filling the controls (then nothing may be sent).

#include <string>

struct TMixerSession
{
    int OutIndex = 0;
    std::string DataSetHeader;
    std::string DataRequestHeader;
    std::string Model3AHeader;
    bool Decoding = false;
};
