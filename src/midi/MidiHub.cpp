#include "MidiHub.h"

#include "SysExSplitter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

namespace midi {

namespace {
constexpr std::uintptr_t InHandleBase = 0x1000;
constexpr std::uintptr_t OutHandleBase = 0x2000;
constexpr MMRESULT MMSYSERR_BADERRNUM = 9;
// Codes from here on carry a text of their own, for failures the fixed codes do not describe.
constexpr MMRESULT FailureCodeBase = 0x1000;
constexpr std::size_t FailureTextSlots = 256;

const char *FixedErrorText(MMRESULT code)
{
    switch (code) {
    case MMSYSERR_NOERROR:
        return "The operation completed successfully.";
    case MMSYSERR_ERROR:
        return "Unspecified MIDI error.";
    case MMSYSERR_BADDEVICEID:
        return "The MIDI device identifier is out of range.";
    case MMSYSERR_ALLOCATED:
        return "The MIDI device is already open.";
    case MMSYSERR_INVALHANDLE:
        return "The MIDI device is not open (invalid device handle).";
    case MMSYSERR_NODRIVER:
        return "The MIDI service has been shut down.";
    case MMSYSERR_NOMEM:
        return "Not enough memory for the MIDI operation.";
    case MMSYSERR_INVALFLAG:
        return "An invalid flag was passed to the MIDI service.";
    case MMSYSERR_INVALPARAM:
        return "An invalid parameter was passed to the MIDI service.";
    case MIDIERR_UNPREPARED:
        return "The MIDI buffer has not been prepared.";
    case MIDIERR_STILLPLAYING:
        return "The MIDI buffer is still in use.";
    case MIDIERR_NOTREADY:
        return "The MIDI device is busy.";
    default:
        return nullptr;
    }
}

void CopyName(const std::string &name, char (&field)[MAXPNAMELEN])
{
    std::memset(field, 0, MAXPNAMELEN);
    std::memcpy(field, name.data(), std::min<std::size_t>(name.size(), MAXPNAMELEN));
}

std::uintptr_t Milliseconds(std::chrono::steady_clock::time_point since)
{
    return static_cast<std::uintptr_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - since)
                                           .count());
}

// Runs action on an open device under its lock; anything else is an invalid handle.
template<class Device, class Action>
MMRESULT WithOpenDevice(Device *device, Action &&action)
{
    if (device == nullptr)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard lock(device->Lock);
    if (!device->IsOpen)
        return MMSYSERR_INVALHANDLE;
    return action(*device);
}

// The length of a short message from its status byte.
std::size_t ShortMessageLength(std::uint8_t status)
{
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
        return 2;
    case 0xF0:
        if (status == 0xF1 || status == 0xF3)
            return 2;
        if (status == 0xF2)
            return 3;
        return 1;
    default:
        return 3;
    }
}
} // namespace

// The buffers queued on an input device: a bounded queue that any thread may push to and pop
// from without a lock (a delivery thread pops and, from inside its callback, pushes the buffer
// back; the window thread pushes and, once deliveries have stopped, takes back what is left).
class TBufferQueue
{
public:
    static constexpr std::size_t Capacity = 64;

    TBufferQueue()
    {
        for (std::size_t i = 0; i < Capacity; ++i)
            Cells[i].Sequence.store(i, std::memory_order_relaxed);
    }

    bool Push(MIDIHDR *header) noexcept
    {
        std::size_t position = Enqueue.load(std::memory_order_relaxed);
        for (;;) {
            TCell &cell = Cells[position % Capacity];
            const std::size_t sequence = cell.Sequence.load(std::memory_order_acquire);
            const auto difference
                = static_cast<std::intptr_t>(sequence) - static_cast<std::intptr_t>(position);
            if (difference == 0) {
                if (Enqueue.compare_exchange_weak(position, position + 1,
                                                  std::memory_order_relaxed)) {
                    cell.Header = header;
                    cell.Sequence.store(position + 1, std::memory_order_release);
                    return true;
                }
            } else if (difference < 0) {
                return false;
            } else {
                position = Enqueue.load(std::memory_order_relaxed);
            }
        }
    }

    MIDIHDR *Pop() noexcept
    {
        std::size_t position = Dequeue.load(std::memory_order_relaxed);
        for (;;) {
            TCell &cell = Cells[position % Capacity];
            const std::size_t sequence = cell.Sequence.load(std::memory_order_acquire);
            const auto difference
                = static_cast<std::intptr_t>(sequence) - static_cast<std::intptr_t>(position + 1);
            if (difference == 0) {
                if (Dequeue.compare_exchange_weak(position, position + 1,
                                                  std::memory_order_relaxed)) {
                    MIDIHDR *header = cell.Header;
                    cell.Sequence.store(position + Capacity, std::memory_order_release);
                    return header;
                }
            } else if (difference < 0) {
                return nullptr;
            } else {
                position = Dequeue.load(std::memory_order_relaxed);
            }
        }
    }

    bool Empty() const noexcept
    {
        return Enqueue.load(std::memory_order_acquire) == Dequeue.load(std::memory_order_acquire);
    }

private:
    struct TCell
    {
        std::atomic<std::size_t> Sequence {0};
        MIDIHDR *Header = nullptr;
    };
    std::array<TCell, Capacity> Cells;
    std::atomic<std::size_t> Enqueue {0};
    std::atomic<std::size_t> Dequeue {0};
};

namespace {
// Set while this thread delivers: a callback that closes or resets its own device must not wait
// for its own delivery to end.
thread_local const void *DeliveringDevice = nullptr;
} // namespace

struct TMidiHub::InDevice
{
    std::unique_ptr<IMidiInPort> Port;
    std::string Name;
    HMIDIIN Handle = 0;

    // The window thread changes the device under Lock; the delivery thread reads only the atomics
    // and the queue, so a delivery never waits for anything.
    std::mutex Lock;
    std::atomic<bool> IsOpen {false};
    std::atomic<bool> Started {false};
    std::atomic<MidiInProc> Callback {nullptr};
    std::atomic<std::uintptr_t> Instance {0};
    std::atomic<std::chrono::steady_clock::rep> OpenedAt {0};
    TBufferQueue Queue;
    // Deliveries running now; a stop waits until it is 0.
    std::atomic<int> Busy {0};

    // Once this returns, no delivery runs and none starts until the device is started again.
    void Quiesce()
    {
        Started.store(false);
        if (DeliveringDevice == this)
            return;
        while (Busy.load() != 0)
            std::this_thread::yield();
    }
};

struct TMidiHub::OutDevice
{
    std::unique_ptr<IMidiOutPort> Port;
    std::string Name;
    std::mutex Lock;
    bool IsOpen = false;
};

TMidiHub::TMidiHub(std::vector<std::shared_ptr<IMidiPortProvider>> providers)
    : Providers(std::move(providers))
{
    for (const auto &provider : Providers) {
        for (auto &port : provider->InputPorts()) {
            auto device = std::make_unique<InDevice>();
            device->Name = port->Name();
            device->Port = std::move(port);
            device->Handle = InHandleBase + Inputs.size();
            Inputs.push_back(std::move(device));
        }
        for (auto &port : provider->OutputPorts()) {
            auto device = std::make_unique<OutDevice>();
            device->Name = port->Name();
            device->Port = std::move(port);
            Outputs.push_back(std::move(device));
        }
    }
}

TMidiHub::~TMidiHub()
{
    Shutdown();
}

void TMidiHub::Shutdown()
{
    if (IsShutDown)
        return;
    IsShutDown = true;
    for (auto &device : Inputs) {
        bool wasOpen;
        {
            std::lock_guard lock(device->Lock);
            wasOpen = device->IsOpen.exchange(false);
            device->Quiesce();
            while (device->Queue.Pop() != nullptr) { }
        }
        if (wasOpen)
            device->Port->Close();
    }
    for (auto &device : Outputs) {
        std::lock_guard lock(device->Lock);
        if (device->IsOpen)
            device->Port->Close();
        device->IsOpen = false;
    }
    for (auto &provider : Providers)
        provider->Shutdown();
}

MMRESULT TMidiHub::Failure(const std::string &deviceName, const std::string &error)
{
    // Ports usually name their device in their texts already.
    const std::string text
        = error.find(deviceName) == std::string::npos ? deviceName + ": " + error : error;
    std::lock_guard lock(TextsLock);
    const std::size_t slot = FailureTexts.size() < FailureTextSlots
        ? FailureTexts.size()
        : NextFailureSlot++ % FailureTextSlots;
    if (slot == FailureTexts.size())
        FailureTexts.push_back(text);
    else
        FailureTexts[slot] = text;
    return FailureCodeBase + static_cast<MMRESULT>(slot);
}

TMidiHub::InDevice *TMidiHub::FindIn(HMIDIIN handle)
{
    if (handle < InHandleBase || handle >= InHandleBase + Inputs.size())
        return nullptr;
    return Inputs[handle - InHandleBase].get();
}

TMidiHub::OutDevice *TMidiHub::FindOut(HMIDIOUT handle)
{
    if (handle < OutHandleBase || handle >= OutHandleBase + Outputs.size())
        return nullptr;
    return Outputs[handle - OutHandleBase].get();
}

// Input

std::uint32_t TMidiHub::midiInGetNumDevs()
{
    return static_cast<std::uint32_t>(Inputs.size());
}

MMRESULT TMidiHub::midiInGetDevCapsA(std::uintptr_t deviceId, MIDIINCAPSA *caps, std::uint32_t size)
{
    if (deviceId >= Inputs.size())
        return MMSYSERR_BADDEVICEID;
    if (caps == nullptr || size < MIDIINCAPS_SIZE)
        return MMSYSERR_INVALPARAM;
    *caps = MIDIINCAPSA {};
    CopyName(Inputs[deviceId]->Name, caps->szPname);
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiHub::midiInOpen(HMIDIIN *handle, std::uint32_t deviceId, MidiInProc callback,
                              std::uintptr_t instance, std::uint32_t flags)
{
    if (handle == nullptr)
        return MMSYSERR_INVALPARAM;
    if (IsShutDown)
        return MMSYSERR_NODRIVER;
    if (deviceId >= Inputs.size())
        return MMSYSERR_BADDEVICEID;
    if (flags != CALLBACK_FUNCTION && flags != CALLBACK_NULL)
        return MMSYSERR_INVALFLAG;
    InDevice &device = *Inputs[deviceId];
    {
        std::lock_guard lock(device.Lock);
        if (device.IsOpen.load())
            return MMSYSERR_ALLOCATED;
        device.Quiesce();
        while (device.Queue.Pop() != nullptr) { }
        device.Callback.store(flags == CALLBACK_FUNCTION ? callback : nullptr);
        device.Instance.store(instance);
        device.OpenedAt.store(std::chrono::steady_clock::now().time_since_epoch().count());
        device.IsOpen.store(true);
    }
    std::string error;
    InDevice *target = &device;
    if (!device.Port->Open(
            [target](const std::uint8_t *data, std::size_t size) { Deliver(*target, data, size); },
            error)) {
        std::lock_guard lock(device.Lock);
        device.IsOpen.store(false);
        return Failure(device.Name, error);
    }
    *handle = device.Handle;
    return MMSYSERR_NOERROR;
}

void TMidiHub::Deliver(InDevice &device, const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return;
    device.Busy.fetch_add(1);
    const void *outer = std::exchange(DeliveringDevice, &device);
    struct TLeave
    {
        InDevice &Device;
        const void *Outer;
        ~TLeave()
        {
            DeliveringDevice = Outer;
            Device.Busy.fetch_sub(1);
        }
    } leave {device, outer};

    const MidiInProc callback = device.Callback.load();
    if (!device.IsOpen.load() || !device.Started.load() || callback == nullptr)
        return;
    const std::uintptr_t instance = device.Instance.load();
    const auto openedAt = std::chrono::steady_clock::time_point(
        std::chrono::steady_clock::duration(device.OpenedAt.load()));
    // A piece may hold several messages (a JACK event carries whatever its sender put in it):
    // each whole short message at its start is one notification, and what follows (a System
    // Exclusive message, bytes without their status) goes as long data, whose reader splits it.
    while (size > 0 && data[0] != 0xF0) {
        const std::size_t length = ShortMessageSize(data[0]);
        if (length == 0 || length > size
            || std::any_of(data + 1, data + length, [](std::uint8_t b) { return b >= 0x80; }))
            break;
        std::uint32_t packed = 0;
        for (std::size_t i = 0; i < length; ++i)
            packed |= static_cast<std::uint32_t>(data[i]) << (8 * i);
        callback(device.Handle, MIM_DATA, instance, packed, Milliseconds(openedAt));
        data += length;
        size -= length;
    }
    if (size == 0)
        return;
    // A long message fills one queued buffer after the other; each returned buffer is one
    // notification. Without a queued buffer the rest of the message is lost.
    std::size_t done = 0;
    while (done < size) {
        if (!device.Started.load())
            return;
        MIDIHDR *header = device.Queue.Pop();
        if (header == nullptr)
            return;
        const std::size_t count = std::min<std::size_t>(size - done, header->dwBufferLength);
        std::memcpy(header->lpData, data + done, count);
        done += count;
        header->dwBytesRecorded = static_cast<std::uint32_t>(count);
        header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
        callback(device.Handle, MIM_LONGDATA, instance, reinterpret_cast<std::uintptr_t>(header),
                 Milliseconds(openedAt));
    }
}

// Preparing and queueing a buffer take no lock: the program queues its buffer again from inside
// the notification function, on the delivery thread.

MMRESULT TMidiHub::midiInPrepareHeader(HMIDIIN handle, MIDIHDR *header, std::uint32_t size)
{
    const InDevice *device = FindIn(handle);
    if (device == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (header == nullptr || size < MIDIHDR_SIZE || header->lpData == nullptr)
        return MMSYSERR_INVALPARAM;
    if (!device->IsOpen.load())
        return MMSYSERR_INVALHANDLE;
    header->dwFlags |= MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiHub::midiInUnprepareHeader(HMIDIIN handle, MIDIHDR *header, std::uint32_t size)
{
    if (FindIn(handle) == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (header == nullptr || size < MIDIHDR_SIZE)
        return MMSYSERR_INVALPARAM;
    if (header->dwFlags & MHDR_INQUEUE)
        return MIDIERR_STILLPLAYING;
    header->dwFlags &= ~MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiHub::midiInAddBuffer(HMIDIIN handle, MIDIHDR *header, std::uint32_t size)
{
    InDevice *device = FindIn(handle);
    if (device == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (header == nullptr || size < MIDIHDR_SIZE || header->lpData == nullptr
        || header->dwBufferLength == 0)
        return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & MHDR_PREPARED))
        return MIDIERR_UNPREPARED;
    if (!device->IsOpen.load())
        return MMSYSERR_INVALHANDLE;
    if (header->dwFlags & MHDR_INQUEUE)
        return MIDIERR_STILLPLAYING;
    header->dwFlags = (header->dwFlags | MHDR_INQUEUE) & ~MHDR_DONE;
    header->dwBytesRecorded = 0;
    if (!device->Queue.Push(header)) {
        header->dwFlags &= ~MHDR_INQUEUE;
        return MMSYSERR_NOMEM;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiHub::midiInStart(HMIDIIN handle)
{
    return WithOpenDevice(FindIn(handle), [](InDevice &device) {
        device.Started.store(true);
        return MMSYSERR_NOERROR;
    });
}

MMRESULT TMidiHub::midiInStop(HMIDIIN handle)
{
    return WithOpenDevice(FindIn(handle), [](InDevice &device) {
        device.Quiesce();
        return MMSYSERR_NOERROR;
    });
}

MMRESULT TMidiHub::midiInReset(HMIDIIN handle)
{
    InDevice *device = FindIn(handle);
    if (device == nullptr)
        return MMSYSERR_INVALHANDLE;
    std::vector<MIDIHDR *> returned;
    MidiInProc callback;
    std::uintptr_t instance;
    {
        std::lock_guard lock(device->Lock);
        if (!device->IsOpen.load())
            return MMSYSERR_INVALHANDLE;
        device->Quiesce();
        while (MIDIHDR *header = device->Queue.Pop())
            returned.push_back(header);
        callback = device->Callback.load();
        instance = device->Instance.load();
    }
    // Every queued buffer comes back marked done with nothing recorded.
    for (MIDIHDR *header : returned) {
        header->dwBytesRecorded = 0;
        header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
        if (callback != nullptr)
            callback(device->Handle, MIM_LONGDATA, instance,
                     reinterpret_cast<std::uintptr_t>(header), 0);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiHub::midiInClose(HMIDIIN handle)
{
    InDevice *device = FindIn(handle);
    if (device == nullptr)
        return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard lock(device->Lock);
        if (!device->IsOpen.load())
            return MMSYSERR_INVALHANDLE;
        if (!device->Queue.Empty())
            return MIDIERR_STILLPLAYING;
    }
    // The port calls the receiver no more once Close returns.
    device->Port->Close();
    std::lock_guard lock(device->Lock);
    device->IsOpen.store(false);
    device->Quiesce();
    device->Callback.store(nullptr);
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiHub::midiInGetErrorTextA(MMRESULT error, char *text, std::uint32_t size)
{
    if (text == nullptr || size == 0)
        return MMSYSERR_INVALPARAM;
    std::string message;
    if (const char *fixed = FixedErrorText(error)) {
        message = fixed;
    } else {
        std::lock_guard lock(TextsLock);
        if (error < FailureCodeBase || error - FailureCodeBase >= FailureTexts.size())
            return MMSYSERR_BADERRNUM;
        message = FailureTexts[error - FailureCodeBase];
    }
    const std::size_t count = std::min<std::size_t>(message.size(), size - 1);
    std::memcpy(text, message.data(), count);
    text[count] = '\0';
    return MMSYSERR_NOERROR;
}

// Output

std::chrono::microseconds TMidiHub::OutputHandOverPeriod(std::uint32_t deviceId)
{
    return deviceId < Outputs.size() ? Outputs[deviceId]->Port->HandOverPeriod()
                                     : std::chrono::microseconds {};
}

std::uint32_t TMidiHub::midiOutGetNumDevs()
{
    return static_cast<std::uint32_t>(Outputs.size());
}

MMRESULT TMidiHub::midiOutGetDevCapsA(std::uintptr_t deviceId, MIDIOUTCAPSA *caps,
                                      std::uint32_t size)
{
    if (deviceId >= Outputs.size())
        return MMSYSERR_BADDEVICEID;
    if (caps == nullptr || size < MIDIOUTCAPS_SIZE)
        return MMSYSERR_INVALPARAM;
    *caps = MIDIOUTCAPSA {};
    CopyName(Outputs[deviceId]->Name, caps->szPname);
    caps->wChannelMask = 0xFFFF;
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiHub::midiOutOpen(HMIDIOUT *handle, std::uint32_t deviceId, std::uintptr_t,
                               std::uintptr_t, std::uint32_t flags)
{
    if (handle == nullptr)
        return MMSYSERR_INVALPARAM;
    if (IsShutDown)
        return MMSYSERR_NODRIVER;
    if (deviceId >= Outputs.size())
        return MMSYSERR_BADDEVICEID;
    if (flags != CALLBACK_NULL)
        return MMSYSERR_INVALFLAG;
    OutDevice &device = *Outputs[deviceId];
    std::lock_guard lock(device.Lock);
    if (device.IsOpen)
        return MMSYSERR_ALLOCATED;
    std::string error;
    if (!device.Port->Open(error))
        return Failure(device.Name, error);
    device.IsOpen = true;
    *handle = OutHandleBase + deviceId;
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiHub::midiOutShortMsg(HMIDIOUT handle, std::uint32_t message)
{
    const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(message & 0xFF),
                                   static_cast<std::uint8_t>((message >> 8) & 0x7F),
                                   static_cast<std::uint8_t>((message >> 16) & 0x7F)};
    return WithOpenDevice(FindOut(handle), [&](OutDevice &device) {
        // No running status: a short message starts with its status byte.
        if (bytes[0] < 0x80 || bytes[0] == 0xF0 || bytes[0] == 0xF7)
            return MMSYSERR_INVALPARAM;
        std::string error;
        if (!device.Port->Send(bytes, ShortMessageLength(bytes[0]), error))
            return Failure(device.Name, error);
        return MMSYSERR_NOERROR;
    });
}

MMRESULT TMidiHub::midiOutPrepareHeader(HMIDIOUT handle, MIDIHDR *header, std::uint32_t size)
{
    if (FindOut(handle) == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (header == nullptr || size < MIDIHDR_SIZE
        || (header->lpData == nullptr && header->dwBufferLength != 0))
        return MMSYSERR_INVALPARAM;
    header->dwFlags |= MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiHub::midiOutLongMsg(HMIDIOUT handle, MIDIHDR *header, std::uint32_t size)
{
    if (FindOut(handle) == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (header == nullptr || size < MIDIHDR_SIZE)
        return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & MHDR_PREPARED))
        return MIDIERR_UNPREPARED;
    return WithOpenDevice(FindOut(handle), [&](OutDevice &device) {
        std::string error;
        if (header->dwBufferLength != 0
            && !device.Port->Send(header->lpData, header->dwBufferLength, error))
            return Failure(device.Name, error);
        // Synchronous: the service is done with the buffer when the call returns.
        header->dwFlags |= MHDR_DONE;
        return MMSYSERR_NOERROR;
    });
}

MMRESULT TMidiHub::midiOutUnprepareHeader(HMIDIOUT handle, MIDIHDR *header, std::uint32_t size)
{
    if (FindOut(handle) == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (header == nullptr || size < MIDIHDR_SIZE)
        return MMSYSERR_INVALPARAM;
    header->dwFlags &= ~MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT TMidiHub::midiOutClose(HMIDIOUT handle)
{
    return WithOpenDevice(FindOut(handle), [](OutDevice &device) {
        device.Port->Close();
        device.IsOpen = false;
        return MMSYSERR_NOERROR;
    });
}

std::vector<std::string> TMidiHub::Recheck()
{
    std::vector<std::string> back;
    if (IsShutDown)
        return back;
    for (auto &device : Inputs) {
        std::lock_guard lock(device->Lock);
        if (device->IsOpen.load() && device->Port->Recheck() == TPortCheck::Back)
            back.push_back("MIDI input " + device->Name + " reconnected");
    }
    for (auto &device : Outputs) {
        std::lock_guard lock(device->Lock);
        if (device->IsOpen && device->Port->Recheck() == TPortCheck::Back)
            back.push_back("MIDI output " + device->Name + " reconnected");
    }
    return back;
}

} // namespace midi
