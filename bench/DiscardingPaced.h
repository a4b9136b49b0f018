#pragma once

// The paced output with no gap, in front of a MIDI service whose one device takes every message
// and throws it away: what is measured is the program's own cost of queueing and sending.

#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "midi/PacedOutput.h"
#include "support/DiscardingPorts.h"
#include "sysex/InstrumentPacing.h"

#include <chrono>
#include <memory>
#include <optional>

class TDiscardingPacedOutput
{
public:
    TDiscardingPacedOutput()
    {
        midi::SetMidiService(
            std::make_shared<midi::TMidiHub>(std::vector<std::shared_ptr<midi::IMidiPortProvider>> {
                std::make_shared<TDiscardingProvider>()}));
        midi::MidiOut().Open(0);
        Paced.emplace(midi::MidiOut(), sysex::InstrumentPacing());
        Paced->SetGap(0, std::chrono::milliseconds(0));
    }
    ~TDiscardingPacedOutput()
    {
        Paced.reset();
        midi::ShutdownMidi();
        midi::SetMidiService(nullptr);
    }
    TDiscardingPacedOutput(const TDiscardingPacedOutput &) = delete;
    TDiscardingPacedOutput &operator=(const TDiscardingPacedOutput &) = delete;

    midi::TPacedOutputs &Outputs() { return *Paced; }

private:
    std::optional<midi::TPacedOutputs> Paced;
};
