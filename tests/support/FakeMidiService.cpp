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
    : InNames(std::move(inputs))
    , OutNames(std::move(outputs))
    , In(InNames.size())
    , OutOpen(OutNames.size(), false)
{ }

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

MMRESULT TFakeMidiService::CheckIn(const std::string &call, HMIDIIN h, bool mustBeOpen)
{
    MMRESULT code;
    if (Failing(call, code))
        return code;
    if (h < InBase || h >= InBase + In.size() || (mustBeOpen && !In[h - InBase].Open))
        return MMSYSERR_INVALHANDLE;
    return MMSYSERR_NOERROR;
}

MMRESULT TFakeMidiService::CheckOut(const std::string &call, HMIDIOUT h, bool mustBeOpen)
{
    MMRESULT code;
    if (Failing(call, code))
        return code;
    if (h < OutBase || h >= OutBase + OutOpen.size() || (mustBeOpen && !OutOpen[h - OutBase]))
        return MMSYSERR_INVALHANDLE;
    return MMSYSERR_NOERROR;
}

template<class TCaps>
MMRESULT TFakeMidiService::Capabilities(const std::string &call,
                                        const std::vector<std::string> &names, std::uintptr_t id,
                                        TCaps *caps)
{
    std::lock_guard lock(Lock);
    MMRESULT code;
    if (Failing(call, code))
        return code;
    if (id >= names.size())
        return MMSYSERR_BADDEVICEID;
    *caps = TCaps {};
    std::memcpy(caps->szPname, names[id].data(), std::min<std::size_t>(names[id].size(), 32));
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
        InState &state = In.at(static_cast<std::size_t>(device));
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
        InState &state = In.at(static_cast<std::size_t>(device));
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
    return static_cast<int>(In.at(static_cast<std::size_t>(device)).Queue.size());
}

std::uint32_t TFakeMidiService::midiInGetNumDevs()
{
    std::lock_guard lock(Lock);
    CallLog.push_back("midiInGetNumDevs");
    return static_cast<std::uint32_t>(InNames.size());
}

MMRESULT TFakeMidiService::midiInGetDevCapsA(std::uintptr_t id, MIDIINCAPSA *caps, std::uint32_t)
{
    return Capabilities("midiInGetDevCapsA", InNames, id, caps);
}

MMRESULT TFakeMidiService::midiInOpen(HMIDIIN *handle, std::uint32_t id, MidiInProc callback,
                                      std::uintptr_t instance, std::uint32_t)
{
    std::lock_guard lock(Lock);
    MMRESULT code;
    if (Failing("midiInOpen", code))
        return code;
    if (id >= InNames.size())
        return MMSYSERR_BADDEVICEID;
    In[id] = InState {true, callback, instance, {}};
    *handle = InBase + id;
    return MMSYSERR_NOERROR;
}

MMRESULT TFakeMidiService::midiInPrepareHeader(HMIDIIN h, MIDIHDR *hdr, std::uint32_t)
{
    std::lock_guard lock(Lock);
    return Prepared(CheckIn("midiInPrepareHeader", h, true), hdr, true);
}

MMRESULT TFakeMidiService::midiInUnprepareHeader(HMIDIIN h, MIDIHDR *hdr, std::uint32_t)
{
    std::lock_guard lock(Lock);
    return Prepared(CheckIn("midiInUnprepareHeader", h, true), hdr, false);
}

MMRESULT TFakeMidiService::midiInAddBuffer(HMIDIIN h, MIDIHDR *hdr, std::uint32_t)
{
    std::lock_guard lock(Lock);
    if (const MMRESULT code = CheckIn("midiInAddBuffer", h, true))
        return code;
    hdr->dwFlags = (hdr->dwFlags | MHDR_INQUEUE) & ~MHDR_DONE;
    In[h - InBase].Queue.push_back(hdr);
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
        if (const MMRESULT code = CheckIn("midiInReset", h, false))
            return code;
        InState &state = In[h - InBase];
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
    std::lock_guard lock(Lock);
    if (const MMRESULT code = CheckIn("midiInClose", h, false))
        return code;
    In[h - InBase] = InState {};
    return MMSYSERR_NOERROR;
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
    std::lock_guard lock(Lock);
    CallLog.push_back("midiOutGetNumDevs");
    return static_cast<std::uint32_t>(OutNames.size());
}

MMRESULT TFakeMidiService::midiOutGetDevCapsA(std::uintptr_t id, MIDIOUTCAPSA *caps, std::uint32_t)
{
    return Capabilities("midiOutGetDevCapsA", OutNames, id, caps);
}

MMRESULT TFakeMidiService::midiOutOpen(HMIDIOUT *handle, std::uint32_t id, std::uintptr_t,
                                       std::uintptr_t, std::uint32_t)
{
    std::lock_guard lock(Lock);
    MMRESULT code;
    if (Failing("midiOutOpen", code))
        return code;
    if (id >= OutNames.size())
        return MMSYSERR_BADDEVICEID;
    OutOpen[id] = true;
    *handle = OutBase + id;
    return MMSYSERR_NOERROR;
}

MMRESULT TFakeMidiService::midiOutShortMsg(HMIDIOUT h, std::uint32_t message)
{
    std::lock_guard lock(Lock);
    if (const MMRESULT code = CheckOut("midiOutShortMsg", h, true))
        return code;
    SentLog.push_back({static_cast<std::uint8_t>(message & 0xFF),
                       static_cast<std::uint8_t>((message >> 8) & 0xFF),
                       static_cast<std::uint8_t>((message >> 16) & 0xFF)});
    return MMSYSERR_NOERROR;
}

MMRESULT TFakeMidiService::midiOutPrepareHeader(HMIDIOUT h, MIDIHDR *hdr, std::uint32_t)
{
    std::lock_guard lock(Lock);
    return Prepared(CheckOut("midiOutPrepareHeader", h, true), hdr, true);
}

MMRESULT TFakeMidiService::midiOutLongMsg(HMIDIOUT h, MIDIHDR *hdr, std::uint32_t)
{
    std::lock_guard lock(Lock);
    if (const MMRESULT code = CheckOut("midiOutLongMsg", h, true))
        return code;
    SentLog.emplace_back(hdr->lpData, hdr->lpData + hdr->dwBufferLength);
    hdr->dwFlags |= MHDR_DONE;
    return MMSYSERR_NOERROR;
}

MMRESULT TFakeMidiService::midiOutUnprepareHeader(HMIDIOUT h, MIDIHDR *hdr, std::uint32_t)
{
    std::lock_guard lock(Lock);
    if (const MMRESULT code = CheckOut("midiOutUnprepareHeader", h, false)) {
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
    std::lock_guard lock(Lock);
    if (const MMRESULT code = CheckOut("midiOutClose", h, false))
        return code;
    OutOpen[h - OutBase] = false;
    return MMSYSERR_NOERROR;
}

std::vector<std::vector<std::uint8_t>> TFakeMidiService::HeldBytes() const
{
    std::lock_guard lock(Lock);
    std::vector<std::vector<std::uint8_t>> bytes;
    for (const MIDIHDR *header : HeldHeaders)
        bytes.emplace_back(header->lpData, header->lpData + header->dwBufferLength);
    return bytes;
}
