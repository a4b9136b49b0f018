#pragma once

// The system's MIDI devices through RtMidi: the ports of every RtMidi API that works on this
// machine, in API order (ALSA, then JACK), each named as RtMidi names it. A machine without an
// ALSA sequencer or without a running JACK server simply has fewer ports.

#include "MidiPorts.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace midi {

// The part of a message that goes on the wire. ALSA and JACK events must begin with a status
// byte, so a System Exclusive message loses whatever stands before its first status byte (the
// 00 ahead of a model-3A message). Messages without F0 pass unchanged.
std::span<const std::uint8_t> WireBytes(std::span<const std::uint8_t> message);

// Sets what the process's environment must say before any JACK client exists: that no JACK
// server is to be started on our behalf. Environment changes are safe only while the process has
// one thread, so start-up calls this first.
void PrepareProcessEnvironment();

class TRtMidiProvider final : public IMidiPortProvider
{
public:
    // Never throws. Starts no JACK server once PrepareProcessEnvironment has run.
    TRtMidiProvider();
    ~TRtMidiProvider() override;

    std::vector<std::unique_ptr<IMidiInPort>> InputPorts() override;
    std::vector<std::unique_ptr<IMidiOutPort>> OutputPorts() override;

    // One line for each MIDI system whose ports could not be listed ("JACK not running: its
    // ports are not listed"). The systems' libraries print nothing themselves.
    std::vector<std::string> UnlistedSystems() const;

    // The RtMidi APIs compiled in, by RtMidi's short names ("alsa", "jack"), in enumeration order.
    static std::vector<std::string> CompiledApis();

    // A port of the given API as enumeration makes it: the device it was given as index and name
    // may have changed or vanished by the time it is opened. An unknown API name gives a port
    // that cannot be opened.
    static std::unique_ptr<IMidiInPort> MakeInputPort(const std::string &api, unsigned int index,
                                                      const std::string &name);
    static std::unique_ptr<IMidiOutPort> MakeOutputPort(const std::string &api, unsigned int index,
                                                        const std::string &name);

private:
    // RtMidi's API numbers, in the order found.
    std::vector<int> Unlisted;
};

} // namespace midi
