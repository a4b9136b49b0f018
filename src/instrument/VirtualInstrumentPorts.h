#pragma once

// The virtual instrument as a pair of MIDI ports, input and output, both named
// "Ombrix Virtual MC-307". What the program sends reaches the instrument inside the send call;
// its answers come later on the provider's own thread, each after the time the bytes would take
// on a DIN cable, never inside the send call.

#include "VirtualInstrument.h"
#include "midi/MidiPorts.h"

#include <chrono>
#include <memory>

namespace instrument {

inline constexpr const char *VirtualInstrumentName = "Ombrix Virtual MC-307";
// 10 bits per byte at 31250 baud.
inline constexpr std::chrono::microseconds DinByteTime {320};

class TVirtualInstrumentProvider final : public midi::IMidiPortProvider
{
public:
    explicit TVirtualInstrumentProvider(std::shared_ptr<TVirtualInstrument> instrument,
                                        std::chrono::microseconds byteTime = DinByteTime);
    ~TVirtualInstrumentProvider() override;

    std::vector<std::unique_ptr<midi::IMidiInPort>> InputPorts() override;
    std::vector<std::unique_ptr<midi::IMidiOutPort>> OutputPorts() override;
    void Shutdown() override;

    TVirtualInstrument &Instrument() { return *Shared; }
    // The answers to the next message that has any come that much later, as from an instrument
    // busy with something else for a moment.
    void DelayNextAnswers(std::chrono::microseconds by);

    struct TState; // shared between the ports and the answering thread

private:
    std::shared_ptr<TVirtualInstrument> Shared;
    std::shared_ptr<TState> State;
};

} // namespace instrument
