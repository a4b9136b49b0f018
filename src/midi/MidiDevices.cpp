#include "MidiDevices.h"

#include "MidiError.h"
#include "protocol/Handlers.h"

#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>

namespace midi {

namespace {
// The input set that the notification function serves: the program has exactly one.
std::atomic<TMidiInput *> ActiveInput {nullptr};

std::unique_ptr<TMidiInput> ProgramInput;
std::unique_ptr<TMidiOutput> ProgramOutput;

std::string NameOf(const char *field)
{
    return std::string(field, strnlen(field, MAXPNAMELEN));
}
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
    , Dispatcher(std::make_unique<QObject>())
{
    IMidiService &service = MidiService();
    const std::uint32_t count = service.midiInGetNumDevs();
    for (std::uint32_t i = 0; i < count; ++i) {
        MIDIINCAPSA caps;
        CheckResult(service.midiInGetDevCapsA(i, &caps, MIDIINCAPS_SIZE));
        Names.emplace_back(NameOf(caps.szPname));
        BuffersList.push_back(std::make_unique<TSysExData>());
    }
    ActiveInput.store(this);
}

TMidiInput::~TMidiInput()
{
    TMidiInput *self = this;
    ActiveInput.compare_exchange_strong(self, nullptr);
    // Deliveries still queued to the window thread are dropped with their receiver.
    Dispatcher.reset();
}

void TMidiInput::Open(int index)
{
    if (Handle(index) != 0)
        return;
    IMidiService &service = MidiService();
    HMIDIIN handle = 0;
    CheckResult(service.midiInOpen(&handle, static_cast<std::uint32_t>(index), &MidiInCallback,
                                   static_cast<std::uintptr_t>(index), CALLBACK_FUNCTION));
    Entry(index).Handle.store(handle);
    MIDIHDR &header = BuffersList[static_cast<std::size_t>(index)]->Header;
    header.dwFlags = 0;
    CheckResult(service.midiInPrepareHeader(handle, &header, MIDIHDR_SIZE));
    CheckResult(service.midiInAddBuffer(handle, &header, MIDIHDR_SIZE));
    CheckResult(service.midiInStart(handle));
}

void TMidiInput::Close(int index)
{
    const std::uintptr_t handle = Handle(index);
    if (handle == 0)
        return;
    IMidiService &service = MidiService();
    MIDIHDR &header = BuffersList[static_cast<std::size_t>(index)]->Header;
    CheckResult(service.midiInStop(handle));
    CheckResult(service.midiInReset(handle));
    CheckResult(service.midiInUnprepareHeader(handle, &header, MIDIHDR_SIZE));
    CheckResult(service.midiInClose(handle));
    Entry(index).Handle.store(0);
}

void TMidiInput::SetOnSysEx(TSysExHandler handler)
{
    std::lock_guard lock(OnSysExLock);
    OnSysExSlot = std::move(handler);
}

bool TMidiInput::HasOnSysEx() const
{
    std::lock_guard lock(OnSysExLock);
    return static_cast<bool>(OnSysExSlot);
}

TSysExHandler TMidiInput::OnSysEx() const
{
    std::lock_guard lock(OnSysExLock);
    return OnSysExSlot;
}

void TMidiInput::PostToWindowThread(std::function<void()> call)
{
    QMetaObject::invokeMethod(Dispatcher.get(), std::move(call), Qt::QueuedConnection);
}

void TMidiInput::MidiInCallback(HMIDIIN, std::uint32_t message, std::uintptr_t instance,
                                std::uintptr_t, std::uintptr_t)
{
    if (message != MIM_LONGDATA)
        return;
    if (TMidiInput *input = ActiveInput.load())
        input->ReceiveLongData(static_cast<int>(instance));
}

void TMidiInput::ReceiveLongData(int index)
{
    if (index < 0 || index >= Count())
        return;
    TSysExData &data = *BuffersList[static_cast<std::size_t>(index)];
    const std::uint32_t recorded = std::min(data.Header.dwBytesRecorded, TSysExData::BufferSize);
    // A reset hands the buffer back empty: it is not queued again.
    if (recorded == 0)
        return;
    data.Stream.insert(data.Stream.end(), data.Buffer.begin(), data.Buffer.begin() + recorded);
    if (data.Header.dwFlags & MHDR_DONE) {
        // The bytes travel as a copy: the buffer goes back to the service as soon as we return.
        // The handler is looked up again on the window thread, so nothing is decoded once a
        // request procedure has cleared the slot.
        if (HasOnSysEx()) {
            PostToWindowThread([this, index, bytes = data.Stream] {
                if (TSysExHandler handler = OnSysEx())
                    protocol::RunHandler([&] { handler(index, bytes); });
            });
        }
        data.Stream.clear();
    }
    data.Header.dwBytesRecorded = 0;
    try {
        IMidiService &service = MidiService();
        CheckResult(service.midiInPrepareHeader(Handle(index), &data.Header, MIDIHDR_SIZE));
        CheckResult(service.midiInAddBuffer(Handle(index), &data.Header, MIDIHDR_SIZE));
    } catch (const std::exception &e) {
        // No caller is on this thread: the window thread shows it.
        PostToWindowThread([text = std::string(e.what())] { protocol::ReportError(text); });
    }
}

// TMidiOutput

TMidiOutput::TMidiOutput()
    : TMidiDevices("TMidiOutput")
{
    IMidiService &service = MidiService();
    const std::uint32_t count = service.midiOutGetNumDevs();
    for (std::uint32_t i = 0; i < count; ++i) {
        MIDIOUTCAPSA caps;
        CheckResult(service.midiOutGetDevCapsA(i, &caps, MIDIOUTCAPS_SIZE));
        Names.emplace_back(NameOf(caps.szPname));
    }
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
