#pragma once

// The MIDI service of the program: the devices of its port providers, in provider order, behind
// the service contract (handles, prepared buffers, one returned buffer per delivery, result codes
// with texts).

#include "MidiPorts.h"
#include "MidiService.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace midi {

class TMidiHub final : public IMidiService
{
public:
    // Enumerates every provider's ports once, in the order given.
    explicit TMidiHub(std::vector<std::shared_ptr<IMidiPortProvider>> providers);
    ~TMidiHub() override;

    std::uint32_t midiInGetNumDevs() override;
    MMRESULT midiInGetDevCapsA(std::uintptr_t deviceId, MIDIINCAPSA *caps,
                               std::uint32_t size) override;
    MMRESULT midiInOpen(HMIDIIN *handle, std::uint32_t deviceId, MidiInProc callback,
                        std::uintptr_t instance, std::uint32_t flags) override;
    MMRESULT midiInPrepareHeader(HMIDIIN handle, MIDIHDR *header, std::uint32_t size) override;
    MMRESULT midiInUnprepareHeader(HMIDIIN handle, MIDIHDR *header, std::uint32_t size) override;
    MMRESULT midiInAddBuffer(HMIDIIN handle, MIDIHDR *header, std::uint32_t size) override;
    MMRESULT midiInStart(HMIDIIN handle) override;
    MMRESULT midiInStop(HMIDIIN handle) override;
    MMRESULT midiInReset(HMIDIIN handle) override;
    MMRESULT midiInClose(HMIDIIN handle) override;
    MMRESULT midiInGetErrorTextA(MMRESULT error, char *text, std::uint32_t size) override;

    std::uint32_t midiOutGetNumDevs() override;
    MMRESULT midiOutGetDevCapsA(std::uintptr_t deviceId, MIDIOUTCAPSA *caps,
                                std::uint32_t size) override;
    MMRESULT midiOutOpen(HMIDIOUT *handle, std::uint32_t deviceId, std::uintptr_t callback,
                         std::uintptr_t instance, std::uint32_t flags) override;
    MMRESULT midiOutShortMsg(HMIDIOUT handle, std::uint32_t message) override;
    MMRESULT midiOutPrepareHeader(HMIDIOUT handle, MIDIHDR *header, std::uint32_t size) override;
    MMRESULT midiOutLongMsg(HMIDIOUT handle, MIDIHDR *header, std::uint32_t size) override;
    MMRESULT midiOutUnprepareHeader(HMIDIOUT handle, MIDIHDR *header, std::uint32_t size) override;
    MMRESULT midiOutClose(HMIDIOUT handle) override;

    void Shutdown() override;
    std::chrono::microseconds OutputHandOverPeriod(std::uint32_t deviceId) override;

    // Looks at every open device's port: one that vanished and came back under its name is
    // opened again. Returns a line for each, "MIDI output <name> reconnected". Window thread.
    std::vector<std::string> Recheck();

private:
    struct InDevice;
    struct OutDevice;

    InDevice *FindIn(HMIDIIN handle);
    OutDevice *FindOut(HMIDIOUT handle);
    // A result code whose text tells what failed on which device, for failures the fixed codes
    // do not describe.
    MMRESULT Failure(const std::string &deviceName, const std::string &error);
    static void Deliver(InDevice &device, const std::uint8_t *data, std::size_t size);

    std::vector<std::shared_ptr<IMidiPortProvider>> Providers;
    std::vector<std::unique_ptr<InDevice>> Inputs;
    std::vector<std::unique_ptr<OutDevice>> Outputs;
    std::mutex TextsLock;
    std::vector<std::string> FailureTexts;
    std::size_t NextFailureSlot = 0;
    bool IsShutDown = false;
};

} // namespace midi
