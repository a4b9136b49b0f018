#include "FakeMidiService.h"

#include <algorithm>
#include <cstring>

using namespace midi;

namespace {
constexpr std::uintptr_t InBase = 100;
constexpr std::uintptr_t OutBase = 200;
} // namespace

TFakeMidiService::TFakeMidiService(std::vector<std::string> inputs,
                                   std::vector<std::string> outputs)
    : In {std::move(inputs), {}, InBase}
    , Out {std::move(outputs), {}, OutBase}
{
    In.States.resize(In.Names.size());
    Out.States.resize(Out.Names.size());
}

void TFakeMidiService::Fail(const std::string &call, MMRESULT code)
{
    std::lock_guard lock(Lock);
    Failures[call] = code;
}

void TFakeMidiService::ClearFailures()
{
    std::lock_guard lock(Lock);
    Failures.clear();
}

std::vector<std::string> TFakeMidiService::Calls() const
{
    std::lock_guard lock(Lock);
    return CallLog;
}

std::vector<std::vector<std::uint8_t>> TFakeMidiService::Sent() const
{
    std::lock_guard lock(Lock);
    return SentLog;
}

void TFakeMidiService::ClearRecords()
{
    std::lock_guard lock(Lock);
    CallLog.clear();
    SentLog.clear();
}

bool TFakeMidiService::Failing(const std::string &call, MMRESULT &code)
{
    CallLog.push_back(call);
    auto it = Failures.find(call);
    if (it == Failures.end())
        return false;
    code = it->second;
    return true;
}

template<class TState>
MMRESULT TFakeMidiService::Check(const std::string &call, const THalf<TState> &half,
                                 std::uintptr_t h, bool mustBeOpen)
{
    MMRESULT code;
    if (Failing(call, code))
        return code;
    if (h < half.Base || h >= half.Base + half.States.size()
        || (mustBeOpen && !half.States[h - half.Base].Open))
        return MMSYSERR_INVALHANDLE;
    return MMSYSERR_NOERROR;
}

template<class TState>
std::uint32_t TFakeMidiService::Count(const std::string &call, const THalf<TState> &half)
{
    std::lock_guard lock(Lock);
    CallLog.push_back(call);
    return static_cast<std::uint32_t>(half.Names.size());
}

template<class TState, class TCaps>
MMRESULT TFakeMidiService::Capabilities(const std::string &call, const THalf<TState> &half,
                                        std::uintptr_t id, TCaps *caps)
{
    std::lock_guard lock(Lock);
    MMRESULT code;
    if (Failing(call, code))
        return code;
    if (id >= half.Names.size())
        return MMSYSERR_BADDEVICEID;
    *caps = TCaps {};
    std::memcpy(caps->szPname, half.Names[id].data(),
                std::min<std::size_t>(half.Names[id].size(), 32));
    return MMSYSERR_NOERROR;
}

template<class TState>
MMRESULT TFakeMidiService::Open(const std::string &call, THalf<TState> &half, std::uint32_t id,
                                TState opened, std::uintptr_t *handle)
{
    std::lock_guard lock(Lock);
    MMRESULT code;
    if (Failing(call, code))
        return code;
    if (id >= half.Names.size())
        return MMSYSERR_BADDEVICEID;
    half.States[id] = std::move(opened);
    *handle = half.Base + id;
    return MMSYSERR_NOERROR;
}

template<class TState>
MMRESULT TFakeMidiService::Close(const std::string &call, THalf<TState> &half, std::uintptr_t h)
{
    std::lock_guard lock(Lock);
    if (const MMRESULT code = Check(call, half, h, false))
        return code;
    half.Of(h) = TState {};
    return MMSYSERR_NOERROR;
}

MMRESULT TFakeMidiService::Prepared(MMRESULT check, MIDIHDR *hdr, bool prepared)
{
    if (check != MMSYSERR_NOERROR)
        return check;
    hdr->dwFlags = prepared ? hdr->dwFlags | MHDR_PREPARED : hdr->dwFlags & ~MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

bool TFakeMidiService::ReturnNextBuffer(int device, bool mustBeOpen,
                                        const std::function<void(MIDIHDR &)> &fill)
{
    MIDIHDR *header;
    MidiInProc callback;
    std::uintptr_t instance;
    {
        std::lock_guard lock(Lock);
        InState &state = In.States.at(static_cast<std::size_t>(device));
        header = TakeBuffer(device, state);
        if (header == nullptr || (mustBeOpen && !state.Open))
            return false;
        callback = state.Callback;
        instance = state.Instance;
    }
    fill(*header);
    if (callback)
        callback(InBase + static_cast<std::uintptr_t>(device), MIM_LONGDATA, instance,
                 reinterpret_cast<std::uintptr_t>(header), 0);
    return true;
}

MIDIHDR *TFakeMidiService::TakeBuffer(int, InState &state)
{
    if (state.Queue.empty())
        return nullptr;
    MIDIHDR *header = state.Queue.front();
    state.Queue.erase(state.Queue.begin());
    return header;
}

int TFakeMidiService::PlayLong(int device, std::span<const std::uint8_t> bytes)
{
    int returned = 0;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const bool played = ReturnNextBuffer(device, true, [&](MIDIHDR &header) {
            const std::size_t count
                = std::min<std::size_t>(bytes.size() - done, header.dwBufferLength);
            std::memcpy(header.lpData, bytes.data() + done, count);
            done += count;
            header.dwBytesRecorded = static_cast<std::uint32_t>(count);
            header.dwFlags = (header.dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
        });
        if (!played)
            return returned;
        ++returned;
    }
    return returned;
}

void TFakeMidiService::PlayShort(int device, std::uint32_t packed)
{
    MidiInProc callback;
    std::uintptr_t instance;
    {
        std::lock_guard lock(Lock);
        InState &state = In.States.at(static_cast<std::size_t>(device));
        callback = state.Callback;
        instance = state.Instance;
    }
    if (callback)
        callback(InBase + static_cast<std::uintptr_t>(device), MIM_DATA, instance, packed, 0);
}

bool TFakeMidiService::ReturnBuffer(int device, std::uint32_t recorded, std::uint32_t flags)
{
    return ReturnNextBuffer(device, false, [&](MIDIHDR &header) {
        header.dwBytesRecorded = recorded;
        header.dwFlags = (header.dwFlags & ~MHDR_INQUEUE) | flags;
    });
}

int TFakeMidiService::QueuedBuffers(int device) const
{
    std::lock_guard lock(Lock);
    return static_cast<int>(In.States.at(static_cast<std::size_t>(device)).Queue.size());
}

std::uint32_t TFakeMidiService::midiInGetNumDevs()
{
    return Count("midiInGetNumDevs", In);
}

MMRESULT TFakeMidiService::midiInGetDevCapsA(std::uintptr_t id, MIDIINCAPSA *caps, std::uint32_t)
{
    return Capabilities("midiInGetDevCapsA", In, id, caps);
}

MMRESULT TFakeMidiService::midiInOpen(HMIDIIN *handle, std::uint32_t id, MidiInProc callback,
                                      std::uintptr_t instance, std::uint32_t)
{
    return Open("midiInOpen", In, id, InState {true, callback, instance, {}}, handle);
}

MMRESULT TFakeMidiService::midiInPrepareHeader(HMIDIIN h, MIDIHDR *hdr, std::uint32_t)
{
    std::lock_guard lock(Lock);
    return Prepared(Check("midiInPrepareHeader", In, h, true), hdr, true);
}

MMRESULT TFakeMidiService::midiInUnprepareHeader(HMIDIIN h, MIDIHDR *hdr, std::uint32_t)
{
    std::lock_guard lock(Lock);
    return Prepared(Check("midiInUnprepareHeader", In, h, true), hdr, false);
}

MMRESULT TFakeMidiService::midiInAddBuffer(HMIDIIN h, MIDIHDR *hdr, std::uint32_t)
{
    std::lock_guard lock(Lock);
    if (const MMRESULT code = Check("midiInAddBuffer", In, h, true))
        return code;
    hdr->dwFlags = (hdr->dwFlags | MHDR_INQUEUE) & ~MHDR_DONE;
    In.Of(h).Queue.push_back(hdr);
    return MMSYSERR_NOERROR;
}

MMRESULT TFakeMidiService::midiInStart(HMIDIIN)
{
    std::lock_guard lock(Lock);
    MMRESULT code;
    return Failing("midiInStart", code) ? code : MMSYSERR_NOERROR;
}

MMRESULT TFakeMidiService::midiInStop(HMIDIIN)
{
    std::lock_guard lock(Lock);
    MMRESULT code;
    return Failing("midiInStop", code) ? code : MMSYSERR_NOERROR;
}

MMRESULT TFakeMidiService::midiInReset(HMIDIIN h)
{
    std::vector<MIDIHDR *> returned;
    MidiInProc callback = nullptr;
    std::uintptr_t instance = 0;
    {
        std::lock_guard lock(Lock);
        if (const MMRESULT code = Check("midiInReset", In, h, false))
            return code;
        InState &state = In.Of(h);
        returned.swap(state.Queue);
        callback = state.Callback;
        instance = state.Instance;
    }
    for (MIDIHDR *header : returned) {
        header->dwBytesRecorded = 0;
        header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
        if (callback)
            callback(h, MIM_LONGDATA, instance, reinterpret_cast<std::uintptr_t>(header), 0);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT TFakeMidiService::midiInClose(HMIDIIN h)
{
    return Close("midiInClose", In, h);
}

MMRESULT TFakeMidiService::midiInGetErrorTextA(MMRESULT error, char *text, std::uint32_t size)
{
    std::lock_guard lock(Lock);
    auto it = ErrorTexts.find(error);
    if (it == ErrorTexts.end())
        return 9; // no text for this code
    const std::size_t count = std::min<std::size_t>(it->second.size(), size - 1);
    std::memcpy(text, it->second.data(), count);
    text[count] = '\0';
    return MMSYSERR_NOERROR;
}

std::uint32_t TFakeMidiService::midiOutGetNumDevs()
{
    return Count("midiOutGetNumDevs", Out);
}

MMRESULT TFakeMidiService::midiOutGetDevCapsA(std::uintptr_t id, MIDIOUTCAPSA *caps, std::uint32_t)
{
    return Capabilities("midiOutGetDevCapsA", Out, id, caps);
}

MMRESULT TFakeMidiService::midiOutOpen(HMIDIOUT *handle, std::uint32_t id, std::uintptr_t,
                                       std::uintptr_t, std::uint32_t)
{
    return Open("midiOutOpen", Out, id, OutState {true}, handle);
}

MMRESULT TFakeMidiService::midiOutShortMsg(HMIDIOUT h, std::uint32_t message)
{
    std::lock_guard lock(Lock);
    if (const MMRESULT code = Check("midiOutShortMsg", Out, h, true))
        return code;
    SentLog.push_back({static_cast<std::uint8_t>(message & 0xFF),
                       static_cast<std::uint8_t>((message >> 8) & 0xFF),
                       static_cast<std::uint8_t>((message >> 16) & 0xFF)});
    return MMSYSERR_NOERROR;
}

MMRESULT TFakeMidiService::midiOutPrepareHeader(HMIDIOUT h, MIDIHDR *hdr, std::uint32_t)
{
    std::lock_guard lock(Lock);
    return Prepared(Check("midiOutPrepareHeader", Out, h, true), hdr, true);
}

MMRESULT TFakeMidiService::midiOutLongMsg(HMIDIOUT h, MIDIHDR *hdr, std::uint32_t)
{
    std::lock_guard lock(Lock);
    if (const MMRESULT code = Check("midiOutLongMsg", Out, h, true))
        return code;
    SentLog.emplace_back(hdr->lpData, hdr->lpData + hdr->dwBufferLength);
    hdr->dwFlags |= MHDR_DONE;
    return MMSYSERR_NOERROR;
}

MMRESULT TFakeMidiService::midiOutUnprepareHeader(HMIDIOUT h, MIDIHDR *hdr, std::uint32_t)
{
    std::lock_guard lock(Lock);
    if (const MMRESULT code = Check("midiOutUnprepareHeader", Out, h, false)) {
        // A buffer the service is still playing stays its own until it is let go.
        if (code == midi::MIDIERR_STILLPLAYING)
            HeldHeaders.insert(hdr);
        return code;
    }
    HeldHeaders.erase(hdr);
    hdr->dwFlags &= ~MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT TFakeMidiService::midiOutClose(HMIDIOUT h)
{
    return Close("midiOutClose", Out, h);
}

std::vector<std::vector<std::uint8_t>> TFakeMidiService::HeldBytes() const
{
    std::lock_guard lock(Lock);
    std::vector<std::vector<std::uint8_t>> bytes;
    for (const MIDIHDR *header : HeldHeaders)
        bytes.emplace_back(header->lpData, header->lpData + header->dwBufferLength);
    return bytes;
}
