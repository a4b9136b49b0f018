#pragma once

// The MIDI service the device sets talk to. Its calls, result codes and buffer header follow the
// contract of the classic multimedia MIDI services: devices are numbered in the service's own
// order, each open device has a handle, every call returns a result code that has an error
// text, an input device returns each queued buffer through a notification function that runs
// on a thread of the service, and long output is synchronous.

#include <chrono>
#include <cstdint>
#include <memory>

namespace midi {

using MMRESULT = std::uint32_t;
using HMIDIIN = std::uintptr_t;
using HMIDIOUT = std::uintptr_t;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MIDIERR_UNPREPARED = 64;
constexpr MMRESULT MIDIERR_STILLPLAYING = 65;
constexpr MMRESULT MIDIERR_NOTREADY = 67;

// Notification messages passed to the input notification function.
constexpr std::uint32_t MIM_OPEN = 0x3C1;
constexpr std::uint32_t MIM_CLOSE = 0x3C2;
constexpr std::uint32_t MIM_DATA = 0x3C3;
constexpr std::uint32_t MIM_LONGDATA = 0x3C4;
constexpr std::uint32_t MIM_ERROR = 0x3C5;
constexpr std::uint32_t MIM_LONGERROR = 0x3C6;

// Open flags.
constexpr std::uint32_t CALLBACK_NULL = 0x00000;
constexpr std::uint32_t CALLBACK_FUNCTION = 0x30000;

// MIDIHDR flags.
constexpr std::uint32_t MHDR_DONE = 0x1;
constexpr std::uint32_t MHDR_PREPARED = 0x2;
constexpr std::uint32_t MHDR_INQUEUE = 0x4;

constexpr int MAXPNAMELEN = 32;
constexpr int MAXERRORLENGTH = 128;

// The buffer header handed to the service for long messages.
struct MIDIHDR
{
    std::uint8_t *lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwBytesRecorded = 0;
    std::uintptr_t dwUser = 0;
    std::uint32_t dwFlags = 0;
    MIDIHDR *lpNext = nullptr;
    std::uintptr_t reserved = 0;
    std::uint32_t dwOffset = 0;
    std::uintptr_t dwReserved[2] = {0, 0};
};
constexpr std::uint32_t MIDIHDR_SIZE = sizeof(MIDIHDR);

struct MIDIINCAPSA
{
    std::uint16_t wMid = 0;
    std::uint16_t wPid = 0;
    std::uint32_t vDriverVersion = 0;
    char szPname[MAXPNAMELEN] = {};
    std::uint32_t dwSupport = 0;
};
constexpr std::uint32_t MIDIINCAPS_SIZE = 44;
static_assert(sizeof(MIDIINCAPSA) == MIDIINCAPS_SIZE);

struct MIDIOUTCAPSA
{
    std::uint16_t wMid = 0;
    std::uint16_t wPid = 0;
    std::uint32_t vDriverVersion = 0;
    char szPname[MAXPNAMELEN] = {};
    std::uint16_t wTechnology = 0;
    std::uint16_t wVoices = 0;
    std::uint16_t wNotes = 0;
    std::uint16_t wChannelMask = 0;
    std::uint32_t dwSupport = 0;
};
constexpr std::uint32_t MIDIOUTCAPS_SIZE = 52;
static_assert(sizeof(MIDIOUTCAPSA) == MIDIOUTCAPS_SIZE);

// Runs on a thread of the service. param1 is the header (MIM_LONGDATA) or the packed short
// message (MIM_DATA); param2 a time stamp in milliseconds.
using MidiInProc = void (*)(HMIDIIN handle, std::uint32_t message, std::uintptr_t instance,
                            std::uintptr_t param1, std::uintptr_t param2);

class IMidiService
{
public:
    virtual ~IMidiService() = default;

    virtual std::uint32_t midiInGetNumDevs() = 0;
    virtual MMRESULT midiInGetDevCapsA(std::uintptr_t deviceId, MIDIINCAPSA *caps,
                                       std::uint32_t size)
        = 0;
    virtual MMRESULT midiInOpen(HMIDIIN *handle, std::uint32_t deviceId, MidiInProc callback,
                                std::uintptr_t instance, std::uint32_t flags)
        = 0;
    virtual MMRESULT midiInPrepareHeader(HMIDIIN handle, MIDIHDR *header, std::uint32_t size) = 0;
    virtual MMRESULT midiInUnprepareHeader(HMIDIIN handle, MIDIHDR *header, std::uint32_t size) = 0;
    virtual MMRESULT midiInAddBuffer(HMIDIIN handle, MIDIHDR *header, std::uint32_t size) = 0;
    virtual MMRESULT midiInStart(HMIDIIN handle) = 0;
    virtual MMRESULT midiInStop(HMIDIIN handle) = 0;
    virtual MMRESULT midiInReset(HMIDIIN handle) = 0;
    virtual MMRESULT midiInClose(HMIDIIN handle) = 0;
    // Serves the error texts of both directions.
    virtual MMRESULT midiInGetErrorTextA(MMRESULT error, char *text, std::uint32_t size) = 0;

    virtual std::uint32_t midiOutGetNumDevs() = 0;
    virtual MMRESULT midiOutGetDevCapsA(std::uintptr_t deviceId, MIDIOUTCAPSA *caps,
                                        std::uint32_t size)
        = 0;
    virtual MMRESULT midiOutOpen(HMIDIOUT *handle, std::uint32_t deviceId, std::uintptr_t callback,
                                 std::uintptr_t instance, std::uint32_t flags)
        = 0;
    virtual MMRESULT midiOutShortMsg(HMIDIOUT handle, std::uint32_t message) = 0;
    virtual MMRESULT midiOutPrepareHeader(HMIDIOUT handle, MIDIHDR *header, std::uint32_t size) = 0;
    virtual MMRESULT midiOutLongMsg(HMIDIOUT handle, MIDIHDR *header, std::uint32_t size) = 0;
    virtual MMRESULT midiOutUnprepareHeader(HMIDIOUT handle, MIDIHDR *header, std::uint32_t size)
        = 0;
    virtual MMRESULT midiOutClose(HMIDIOUT handle) = 0;

    // Program end: stops the service's own threads; no notification runs after it returns.
    virtual void Shutdown() { }
    // The period of an output device's transport (see IMidiOutPort::HandOverPeriod); any thread.
    virtual std::chrono::microseconds OutputHandOverPeriod(std::uint32_t) { return {}; }
};

// The service the program's device sets use. It must be installed before the first call of
// MidiIn() or MidiOut(); the application installs the hub of built-in and system devices, tests
// install whatever they need.
void SetMidiService(std::shared_ptr<IMidiService> service);
IMidiService &MidiService();
std::shared_ptr<IMidiService> SharedMidiService();
bool HasMidiService();

} // namespace midi
