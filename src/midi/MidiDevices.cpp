#include "MidiDevices.h"

#include "MidiError.h"
#include "System.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>

namespace midi {

namespace {
// The input set that the notification function serves: the program has exactly one.
std::atomic<TMidiInput *> ActiveInput {nullptr};
std::atomic<TWake *> ReceiveWake {nullptr};
std::atomic<bool> ReceiveWatch {false};

std::unique_ptr<TMidiInput> ProgramInput;
std::unique_ptr<TMidiOutput> ProgramOutput;

std::string NameOf(const char *field)
{
    return std::string(field, strnlen(field, MAXPNAMELEN));
}

void WakeReader() noexcept
{
    if (TWake *wake = ReceiveWake.load())
        wake->Raise();
}

// Where a splitter's entries go: into the ring, for a handler or a watcher, or nowhere when
// neither would take them.
class TRingSink final : public TSysExSplitter::ISink
{
public:
    TRingSink(TReceiveRing &ring, bool listening, bool watching)
        : Ring(ring)
        , Listening(listening)
        , Watching(watching)
    { }

    void Piece(std::span<const std::uint8_t> bytes) noexcept override { Ring.Append(bytes); }

    void End(TSysExSplitter::TKind kind) noexcept override
    {
        using TKind = TSysExSplitter::TKind;
        bool recorded = false;
        if (kind == TKind::Message && (Listening || Watching))
            recorded = Ring.Commit(Listening);
        else if (kind == TKind::CutShort && Watching)
            recorded = Ring.CommitCutShort();
        else if ((kind == TKind::Short || kind == TKind::RealTime) && Watching)
            recorded = Ring.Commit(false);
        else
            Ring.Discard();
        Woken = Woken || recorded;
    }

    bool Woken = false;

private:
    TReceiveRing &Ring;
    const bool Listening;
    const bool Watching;
};
} // namespace

// TMidiDevices

const TDeviceEntry &TMidiDevices::Entry(int index) const
{
    if (index < 0 || index >= Count()) {
        char text[160];
        std::snprintf(text, sizeof text, "%s: Device index out of bounds! (%d)", ClassName, index);
        throw EMidiError(text);
    }
    return Names[static_cast<std::size_t>(index)];
}

TDeviceEntry &TMidiDevices::Entry(int index)
{
    return const_cast<TDeviceEntry &>(std::as_const(*this).Entry(index));
}

const std::string &TMidiDevices::Name(int index) const
{
    return Entry(index).Name;
}

std::uintptr_t TMidiDevices::Handle(int index) const
{
    return Entry(index).Handle.load();
}

void TMidiDevices::CheckResult(MMRESULT code) const
{
    if (code == MMSYSERR_NOERROR)
        return;
    char text[MAXERRORLENGTH] = {};
    if (MidiService().midiInGetErrorTextA(code, text, MAXERRORLENGTH) == MMSYSERR_NOERROR)
        throw EMidiError(std::string(text, strnlen(text, MAXERRORLENGTH)));
}

// TSysExData

TSysExData::TSysExData()
{
    Header.lpData = Buffer.data();
    Header.dwBufferLength = BufferSize;
}

// TMidiInput

TMidiInput::TMidiInput()
    : TMidiDevices("TMidiInput")
    , Service(SharedMidiService())
{
    const std::uint32_t count = Service->midiInGetNumDevs();
    for (std::uint32_t i = 0; i < count; ++i) {
        MIDIINCAPSA caps;
        CheckResult(Service->midiInGetDevCapsA(i, &caps, MIDIINCAPS_SIZE));
        Names.emplace_back(NameOf(caps.szPname));
        BuffersList.push_back(std::make_unique<TSysExData>());
    }
    ActiveInput.store(this);
}

TMidiInput::~TMidiInput()
{
    TMidiInput *self = this;
    ActiveInput.compare_exchange_strong(self, nullptr);
}

void TMidiInput::Open(int index)
{
    if (Handle(index) != 0)
        return;
    TSysExData &data = *BuffersList[static_cast<std::size_t>(index)];
    if (!data.Ring)
        data.Ring = std::make_unique<TReceiveRing>();
    // Nothing delivers while the device is closed: a message left open before goes, unended.
    data.Splitter.Reset();
    data.Ring->Discard();
    HMIDIIN handle = 0;
    CheckResult(Service->midiInOpen(&handle, static_cast<std::uint32_t>(index), &MidiInCallback,
                                    static_cast<std::uintptr_t>(index), CALLBACK_FUNCTION));
    Entry(index).Handle.store(handle);
    MIDIHDR &header = data.Header;
    header.dwFlags = 0;
    CheckResult(Service->midiInPrepareHeader(handle, &header, MIDIHDR_SIZE));
    CheckResult(Service->midiInAddBuffer(handle, &header, MIDIHDR_SIZE));
    CheckResult(Service->midiInStart(handle));
}

void TMidiInput::Close(int index)
{
    const std::uintptr_t handle = Handle(index);
    if (handle == 0)
        return;
    MIDIHDR &header = BuffersList[static_cast<std::size_t>(index)]->Header;
    CheckResult(Service->midiInStop(handle));
    CheckResult(Service->midiInReset(handle));
    CheckResult(Service->midiInUnprepareHeader(handle, &header, MIDIHDR_SIZE));
    CheckResult(Service->midiInClose(handle));
    Entry(index).Handle.store(0);
}

void TMidiInput::SetOnSysEx(TSysExHandler handler)
{
    OnSysExSlot = std::move(handler);
    Listening.store(static_cast<bool>(OnSysExSlot));
}

void TMidiInput::MidiInCallback(HMIDIIN, std::uint32_t message, std::uintptr_t instance,
                                std::uintptr_t param1, std::uintptr_t)
{
    if (message != MIM_LONGDATA && message != MIM_DATA)
        return;
    TMidiInput *input = ActiveInput.load();
    if (input == nullptr)
        return;
    if (message == MIM_DATA)
        input->ReceiveShortData(static_cast<int>(instance), static_cast<std::uint32_t>(param1));
    else
        input->ReceiveLongData(static_cast<int>(instance));
}

void TMidiInput::ReceiveLongData(int index) noexcept
{
    if (index < 0 || index >= Count())
        return;
    TSysExData &data = *BuffersList[static_cast<std::size_t>(index)];
    TReceiveRing *ring = data.Ring.get();
    const std::uint32_t recorded = std::min(data.Header.dwBytesRecorded, TSysExData::BufferSize);
    // A reset hands the buffer back empty: it is not queued again.
    if (recorded == 0 || ring == nullptr)
        return;
    TRingSink sink(*ring, Listening.load(), ReceiveWatch.load());
    data.Splitter.Feed({data.Buffer.data(), recorded}, sink);
    bool wake = sink.Woken;
    data.Header.dwBytesRecorded = 0;
    const std::uintptr_t handle = Names[static_cast<std::size_t>(index)].Handle.load();
    MMRESULT result = Service->midiInPrepareHeader(handle, &data.Header, MIDIHDR_SIZE);
    if (result == MMSYSERR_NOERROR)
        result = Service->midiInAddBuffer(handle, &data.Header, MIDIHDR_SIZE);
    // No caller is on this thread: the failure travels to the window thread as a value.
    if (result != MMSYSERR_NOERROR)
        wake = ring->PushFailure(result) || wake;
    if (wake)
        WakeReader();
}

void TMidiInput::ReceiveShortData(int index, std::uint32_t packed) noexcept
{
    if (index < 0 || index >= Count())
        return;
    TSysExData &data = *BuffersList[static_cast<std::size_t>(index)];
    if (data.Ring == nullptr)
        return;
    const std::array<std::uint8_t, 3> bytes {static_cast<std::uint8_t>(packed & 0xFF),
                                             static_cast<std::uint8_t>((packed >> 8) & 0xFF),
                                             static_cast<std::uint8_t>((packed >> 16) & 0xFF)};
    const std::uint8_t status = bytes[0];
    std::size_t size = 1;
    if (status < 0xF0)
        size = (status & 0xE0) == 0xC0 ? 2 : 3;
    else if (status == 0xF1 || status == 0xF3)
        size = 2;
    else if (status == 0xF2)
        size = 3;
    // Even unwatched it goes through the splitter: it may end a message left open.
    TRingSink sink(*data.Ring, Listening.load(), ReceiveWatch.load());
    data.Splitter.Short({bytes.data(), size}, sink);
    if (sink.Woken)
        WakeReader();
}

void TMidiInput::Drain(const std::function<void(const TReceived &)> &take)
{
    for (int index = 0; index < Count(); ++index) {
        TSysExData &data = *BuffersList[static_cast<std::size_t>(index)];
        if (!data.Ring)
            continue;
        // The handler may wait and drain again: each entry is copied and let go before it runs.
        while (const TReceiveRing::TEntry *entry = data.Ring->Front()) {
            TReceived received;
            received.Device = index;
            received.Kind = entry->Kind;
            received.ForHandler = entry->ForHandler;
            const auto bytes = entry->Message();
            received.Bytes.assign(bytes.begin(), bytes.end());
            received.Count
                = entry->Kind == TReceiveRing::TKind::Failure ? entry->Code : entry->Size;
            data.Ring->Pop();
            take(received);
        }
        const std::uint64_t lost = data.Ring->Lost();
        if (lost != data.LostReported) {
            TReceived received;
            received.Device = index;
            received.Lost = true;
            received.Count = lost - data.LostReported;
            data.LostReported = lost;
            take(received);
        }
    }
}

std::string TMidiInput::ErrorText(MMRESULT code) const
{
    char text[MAXERRORLENGTH] = {};
    if (Service->midiInGetErrorTextA(code, text, MAXERRORLENGTH) != MMSYSERR_NOERROR)
        return "MIDI error " + std::to_string(code);
    return std::string(text, strnlen(text, MAXERRORLENGTH));
}

void SetReceiveWatch(bool watching)
{
    ReceiveWatch.store(watching);
}

void SetReceiveWake(TWake *wake)
{
    ReceiveWake.store(wake);
}

bool HasMidiIn()
{
    return ProgramInput != nullptr;
}

// TMidiOutput

// One device of the set, as the windows send to it.
class TMidiOutput::TDevice final : public IMidiOut
{
public:
    TDevice(TMidiOutput &owner, int index)
        : Owner(owner)
        , Index(index)
    { }
    void SendSysEx(const TByteStream &message) override { Owner.SendSysEx(Index, message); }
    void SendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) override
    {
        Owner.SendShort(Index, status, data1, data2);
    }

private:
    TMidiOutput &Owner;
    const int Index;
};

TMidiOutput::TMidiOutput()
    : TMidiDevices("TMidiOutput")
{
    IMidiService &service = MidiService();
    const std::uint32_t count = service.midiOutGetNumDevs();
    for (std::uint32_t i = 0; i < count; ++i) {
        MIDIOUTCAPSA caps;
        CheckResult(service.midiOutGetDevCapsA(i, &caps, MIDIOUTCAPS_SIZE));
        Names.emplace_back(NameOf(caps.szPname));
        Devices.push_back(std::make_unique<TDevice>(*this, static_cast<int>(i)));
    }
}

TMidiOutput::~TMidiOutput() = default;

IMidiOut &TMidiOutput::Device(int index)
{
    Entry(index);
    return *Devices[static_cast<std::size_t>(index)];
}

void TMidiOutput::Open(int index)
{
    if (Handle(index) != 0)
        return;
    HMIDIOUT handle = 0;
    CheckResult(
        MidiService().midiOutOpen(&handle, static_cast<std::uint32_t>(index), 0, 0, CALLBACK_NULL));
    Entry(index).Handle.store(handle);
}

std::chrono::microseconds TMidiOutput::HandOverPeriod(int index) const
{
    if (index < 0 || index >= TMidiDevices::Count() || Handle(index) == 0 || !HasMidiService())
        return {};
    return MidiService().OutputHandOverPeriod(static_cast<std::uint32_t>(index));
}

void TMidiOutput::Close(int index)
{
    const std::uintptr_t handle = Handle(index);
    if (handle == 0)
        return;
    CheckResult(MidiService().midiOutClose(handle));
    Entry(index).Handle.store(0);
}

void TMidiOutput::SendShort(int index, std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    if (Handle(index) == 0)
        Open(index);
    const std::uint32_t message = status + data1 * 256u + data2 * 65536u;
    CheckResult(MidiService().midiOutShortMsg(Handle(index), message));
}

void TMidiOutput::SendSysEx(int index, const TByteStream &stream)
{
    if (const std::optional<std::size_t> fault = SysExFault(stream)) {
        char text[200];
        if (*fault < stream.size())
            std::snprintf(text, sizeof text,
                          "MIDI output \"%s\": a System Exclusive message with the status byte "
                          "%02X at byte %zu was refused; nothing was sent.",
                          Name(index).c_str(), stream[*fault], *fault);
        else
            std::snprintf(text, sizeof text,
                          "MIDI output \"%s\": a System Exclusive message without its closing "
                          "F7 was refused; nothing was sent.",
                          Name(index).c_str());
        throw EMidiError(text);
    }
    ReleaseHeld();
    IMidiService &service = MidiService();
    // The buffer and its header live on the heap: a service that will not let go of them keeps
    // them, and they must outlive this call then.
    auto message = std::make_unique<TLongMessage>();
    message->Bytes = stream;
    message->Header.lpData = message->Bytes.data();
    message->Header.dwBufferLength = static_cast<std::uint32_t>(message->Bytes.size());
    message->Header.dwFlags = 0;
    message->Handle = Handle(index);
    MIDIHDR *header = &message->Header;
    CheckResult(service.midiOutPrepareHeader(message->Handle, header, MIDIHDR_SIZE));
    CheckResult(service.midiOutLongMsg(message->Handle, header, MIDIHDR_SIZE));
    MMRESULT result = service.midiOutUnprepareHeader(message->Handle, header, MIDIHDR_SIZE);
    for (int tries = 0; result == MIDIERR_STILLPLAYING && tries < 2000; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        result = service.midiOutUnprepareHeader(message->Handle, header, MIDIHDR_SIZE);
    }
    if (result == MIDIERR_STILLPLAYING)
        Held.push_back(std::move(message));
    CheckResult(result);
}

void TMidiOutput::ReleaseHeld()
{
    if (Held.empty() || !HasMidiService())
        return;
    IMidiService &service = MidiService();
    std::erase_if(Held, [&service](const std::unique_ptr<TLongMessage> &message) {
        return service.midiOutUnprepareHeader(message->Handle, &message->Header, MIDIHDR_SIZE)
            != MIDIERR_STILLPLAYING;
    });
}

void TMidiOutput::SendSysExText(int index, std::string_view text)
{
    TByteStream stream;
    HexTextToSysEx(text, stream);
    SendSysEx(index, stream);
}

// Accessors

TMidiInput &MidiIn()
{
    if (!ProgramInput)
        ProgramInput = std::make_unique<TMidiInput>();
    return *ProgramInput;
}

TMidiOutput &MidiOut()
{
    if (!ProgramOutput)
        ProgramOutput = std::make_unique<TMidiOutput>();
    return *ProgramOutput;
}

void ShutdownMidi()
{
    if (ProgramInput) {
        for (int i = 0; i < ProgramInput->Count(); ++i) {
            try {
                ProgramInput->Close(i);
            } catch (const std::exception &) {
                // Ending anyway: a device that will not close is left to the service's shutdown.
            }
        }
    }
    if (HasMidiService())
        MidiService().Shutdown();
    ProgramInput.reset();
    ProgramOutput.reset();
}

} // namespace midi
