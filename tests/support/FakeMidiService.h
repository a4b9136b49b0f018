#pragma once

// A MIDI service for tests: any number of devices, any call can be made to return any result
// code (with or without an error text), every call and every sent message is recorded, and
// input can be played into an open device as the service would return it.

#include "midi/MidiService.h"

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <vector>

class TFakeMidiService final : public midi::IMidiService
{
public:
    TFakeMidiService(std::vector<std::string> inputs, std::vector<std::string> outputs);

    // The next calls of this name return code (until cleared). Codes listed in ErrorTexts have a
    // text; any other code has none.
    void Fail(const std::string &call, midi::MMRESULT code);
    void ClearFailures();
    std::map<midi::MMRESULT, std::string> ErrorTexts {{1, "Unspecified MIDI error."},
                                                      {5, "The MIDI device is not open."}};

    std::vector<std::string> Calls() const;
    std::vector<std::vector<std::uint8_t>> Sent() const; // long messages and packed short ones
    void ClearRecords();

    // Returns one buffer per piece of at most the buffer's length, as the service does, on the
    // calling thread. Returns the number of buffers returned.
    int PlayLong(int device, std::span<const std::uint8_t> bytes);
    void PlayShort(int device, std::uint32_t packed);
    // Hands a queued buffer back with a given recorded count and flags (to test odd returns).
    bool ReturnBuffer(int device, std::uint32_t recorded, std::uint32_t flags);
    int QueuedBuffers(int device) const;
    // What the output buffers the service still holds contain, read as a service would.
    std::vector<std::vector<std::uint8_t>> HeldBytes() const;

    std::uint32_t midiInGetNumDevs() override;
    midi::MMRESULT midiInGetDevCapsA(std::uintptr_t id, midi::MIDIINCAPSA *caps,
                                     std::uint32_t size) override;
    midi::MMRESULT midiInOpen(midi::HMIDIIN *handle, std::uint32_t id, midi::MidiInProc callback,
                              std::uintptr_t instance, std::uint32_t flags) override;
    midi::MMRESULT midiInPrepareHeader(midi::HMIDIIN h, midi::MIDIHDR *hdr,
                                       std::uint32_t size) override;
    midi::MMRESULT midiInUnprepareHeader(midi::HMIDIIN h, midi::MIDIHDR *hdr,
                                         std::uint32_t size) override;
    midi::MMRESULT midiInAddBuffer(midi::HMIDIIN h, midi::MIDIHDR *hdr,
                                   std::uint32_t size) override;
    midi::MMRESULT midiInStart(midi::HMIDIIN h) override;
    midi::MMRESULT midiInStop(midi::HMIDIIN h) override;
    midi::MMRESULT midiInReset(midi::HMIDIIN h) override;
    midi::MMRESULT midiInClose(midi::HMIDIIN h) override;
    midi::MMRESULT midiInGetErrorTextA(midi::MMRESULT error, char *text,
                                       std::uint32_t size) override;
    std::uint32_t midiOutGetNumDevs() override;
    midi::MMRESULT midiOutGetDevCapsA(std::uintptr_t id, midi::MIDIOUTCAPSA *caps,
                                      std::uint32_t size) override;
    midi::MMRESULT midiOutOpen(midi::HMIDIOUT *handle, std::uint32_t id, std::uintptr_t callback,
                               std::uintptr_t instance, std::uint32_t flags) override;
    midi::MMRESULT midiOutShortMsg(midi::HMIDIOUT h, std::uint32_t message) override;
    midi::MMRESULT midiOutPrepareHeader(midi::HMIDIOUT h, midi::MIDIHDR *hdr,
                                        std::uint32_t size) override;
    midi::MMRESULT midiOutLongMsg(midi::HMIDIOUT h, midi::MIDIHDR *hdr,
                                  std::uint32_t size) override;
    midi::MMRESULT midiOutUnprepareHeader(midi::HMIDIOUT h, midi::MIDIHDR *hdr,
                                          std::uint32_t size) override;
    midi::MMRESULT midiOutClose(midi::HMIDIOUT h) override;

private:
    struct InState
    {
        bool Open = false;
        midi::MidiInProc Callback = nullptr;
        std::uintptr_t Instance = 0;
        std::vector<midi::MIDIHDR *> Queue;
    };
    // Records the call and returns the failure set for it, if any.
    bool Failing(const std::string &call, midi::MMRESULT &code);
    struct OutState
    {
        bool Open = false;
    };
    // One direction of the service: its devices' names and states, and the handles it gives
    // out (its base plus the device's number).
    template<class TState>
    struct THalf
    {
        std::vector<std::string> Names;
        std::vector<TState> States;
        std::uintptr_t Base;
        TState &Of(std::uintptr_t handle) { return States[handle - Base]; }
    };
    // What both directions do alike, the lock held. Check records the call and returns its
    // failure code, or an invalid handle, or no error.
    template<class TState>
    midi::MMRESULT Check(const std::string &call, const THalf<TState> &half, std::uintptr_t h,
                         bool mustBeOpen);
    template<class TState>
    std::uint32_t Count(const std::string &call, const THalf<TState> &half);
    template<class TState, class TCaps>
    midi::MMRESULT Capabilities(const std::string &call, const THalf<TState> &half,
                                std::uintptr_t id, TCaps *caps);
    template<class TState>
    midi::MMRESULT Open(const std::string &call, THalf<TState> &half, std::uint32_t id,
                        TState opened, std::uintptr_t *handle);
    template<class TState>
    midi::MMRESULT Close(const std::string &call, THalf<TState> &half, std::uintptr_t h);
    static midi::MMRESULT Prepared(midi::MMRESULT check, midi::MIDIHDR *hdr, bool prepared);
    midi::MIDIHDR *TakeBuffer(int device, InState &state);
    // Hands the device's next queued buffer back through its callback once `fill` has written
    // it. False when none is queued, or the device is closed and must be open.
    bool ReturnNextBuffer(int device, bool mustBeOpen,
                          const std::function<void(midi::MIDIHDR &)> &fill);

    mutable std::mutex Lock;
    THalf<InState> In;
    THalf<OutState> Out;
    std::map<std::string, midi::MMRESULT> Failures;
    std::vector<std::string> CallLog;
    std::vector<std::vector<std::uint8_t>> SentLog;
    std::set<const midi::MIDIHDR *> HeldHeaders;
};
