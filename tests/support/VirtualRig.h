#pragma once

// A test's MIDI world: the built-in virtual instrument behind the hub, installed as the
// program's MIDI service. Its ports are devices 0 (input and output). The destructor ends the
// MIDI layer, so the next rig (or the next test) starts afresh.

#include "instrument/VirtualInstrument.h"
#include "instrument/VirtualInstrumentPorts.h"

#include <chrono>
#include <memory>

namespace midi {
class TMidiHub;
}

class TVirtualRig
{
public:
    explicit TVirtualRig(std::chrono::microseconds byteTime = instrument::DinByteTime,
                         int deviceId = 17);
    ~TVirtualRig();
    TVirtualRig(const TVirtualRig &) = delete;
    TVirtualRig &operator=(const TVirtualRig &) = delete;

    instrument::TVirtualInstrument &Instrument() { return *SharedInstrument; }
    instrument::TVirtualInstrumentProvider &Provider() { return *SharedProvider; }

private:
    std::shared_ptr<instrument::TVirtualInstrument> SharedInstrument;
    std::shared_ptr<instrument::TVirtualInstrumentProvider> SharedProvider;
    std::shared_ptr<midi::TMidiHub> Hub;
};
