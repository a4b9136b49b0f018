#pragma once

// The program's two device sets: one input set and one output set, each listing the service's
// devices in the service's order and addressing them by index alone.

#include "MidiOutputs.h"
#include "MidiService.h"
#include "ReceiveRing.h"
#include "SysExSplitter.h"
#include "SysExText.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace midi {

class TWake;

// Receives one delivery: the index of the input device and its bytes, starting at F0.
using TSysExHandler = std::function<void(std::int32_t deviceIndex, std::span<const std::uint8_t>)>;

struct TDeviceEntry
{
    explicit TDeviceEntry(std::string name)
        : Name(std::move(name))
    { }
    std::string Name;
    // Read by the notification thread while the window thread opens and closes devices.
    std::atomic<std::uintptr_t> Handle {0};
};

class TMidiDevices
{
public:
    virtual ~TMidiDevices() = default;
    TMidiDevices(const TMidiDevices &) = delete;
    TMidiDevices &operator=(const TMidiDevices &) = delete;

    virtual void Open(int index) = 0;
    virtual void Close(int index) = 0;

    int Count() const { return static_cast<int>(Names.size()); }
    // Throws the out-of-bounds error for an index that names no device.
    const std::string &Name(int index) const;
    // The open handle, or 0 while the device is closed. Throws for an index out of bounds.
    std::uintptr_t Handle(int index) const;
    // Raises the service's text for a non-zero code; raises nothing when there is no text.
    void CheckResult(MMRESULT code) const;

protected:
    explicit TMidiDevices(const char *className)
        : ClassName(className)
    { }
    const TDeviceEntry &Entry(int index) const;
    TDeviceEntry &Entry(int index);

    const char *ClassName;
    std::deque<TDeviceEntry> Names;
};

// The receive record of one input device: the buffer the service fills, the splitter its bytes
// run through, and the ring that carries complete entries from the delivery thread to the window
// thread.
struct TSysExData
{
    static constexpr std::uint32_t BufferSize = 2048;
    TSysExData();
    TSysExData(const TSysExData &) = delete;
    TSysExData &operator=(const TSysExData &) = delete;

    MIDIHDR Header;
    std::array<std::uint8_t, BufferSize> Buffer {};
    // Made when the device first opens, before any delivery can reach it.
    std::unique_ptr<TReceiveRing> Ring;
    TSysExSplitter Splitter; // delivery thread, and Open while no delivery runs
    std::uint64_t LostReported = 0; // window thread
};

// One entry taken from the receive rings on the window thread.
struct TReceived
{
    int Device = 0;
    TReceiveRing::TKind Kind = TReceiveRing::TKind::Message;
    // Message: its bytes (a System Exclusive message, or for a watcher a short message or a
    // real-time byte). CutShort: what was kept of a piece that is no whole message. TooLong: as
    // many bytes as arrived, none kept. Failure: the service's result code. Lost: how many
    // messages found the ring full.
    std::vector<std::uint8_t> Bytes;
    std::uint64_t Count = 0;
    bool Lost = false;
    // A System Exclusive message that arrived while a handler was attached; the others are
    // kept for a watcher only.
    bool ForHandler = true;
};

class TMidiInput final : public TMidiDevices
{
public:
    TMidiInput();
    ~TMidiInput() override;

    void Open(int index) override;
    void Close(int index) override;

    // The one handler slot. It belongs to the window thread; the delivery threads only see
    // whether one is set, and keep nothing while none is.
    void SetOnSysEx(TSysExHandler handler);
    void ClearOnSysEx() { SetOnSysEx(nullptr); }
    bool HasOnSysEx() const { return static_cast<bool>(OnSysExSlot); }
    const TSysExHandler &OnSysEx() const { return OnSysExSlot; }

    // Runs on the service's notification thread: one returned buffer of device index. Takes no
    // lock, allocates nothing, throws nothing.
    void ReceiveLongData(int index) noexcept;
    // Runs on the notification thread too: one short message, packed as the service hands it.
    // Kept only while a watcher is set; any but a real-time one ends a message left open.
    void ReceiveShortData(int index, std::uint32_t packed) noexcept;

    // Window thread: hands every entry the rings hold to take, oldest first per device.
    void Drain(const std::function<void(const TReceived &)> &take);
    // The text of a result code, for failures that came back as values.
    std::string ErrorText(MMRESULT code) const;

    const std::vector<std::unique_ptr<TSysExData>> &Buffers() const { return BuffersList; }

    static void MidiInCallback(HMIDIIN handle, std::uint32_t message, std::uintptr_t instance,
                               std::uintptr_t param1, std::uintptr_t param2);

private:
    // The service the buffers go back to, taken once: the notification thread may not look it
    // up under the service's lock.
    std::shared_ptr<IMidiService> Service;
    std::vector<std::unique_ptr<TSysExData>> BuffersList;
    TSysExHandler OnSysExSlot;
    std::atomic<bool> Listening {false};
};

// Where the delivery threads signal that a ring has something to take, or null for nowhere. Set
// by the layer that drains the rings; the wake outlives its setting.
void SetReceiveWake(TWake *wake);
// Whether the rings also keep what no handler would take (short messages, and System Exclusive
// while no handler is attached), for a window that watches the traffic. Window thread.
void SetReceiveWatch(bool watching);
// Whether the program's input set exists (its rings may then hold entries).
bool HasMidiIn();

class TMidiOutput final : public TMidiDevices, public IMidiOuts
{
public:
    TMidiOutput();
    ~TMidiOutput() override;

    int Count() const override { return TMidiDevices::Count(); }
    const std::string &Name(int index) const override { return TMidiDevices::Name(index); }
    IMidiOut &Device(int index) override;
    void Open(int index) override;
    void Close(int index) override;
    std::chrono::microseconds HandOverPeriod(int index) const override;
    void SendShort(int index, std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    // Refuses, with nothing sent, a message with a status byte between its F0 and its F7.
    void SendSysEx(int index, const TByteStream &stream);
    void SendSysExText(int index, std::string_view text);

    // Messages whose buffers a service still held when their send gave up waiting: they stay
    // alive until the service lets go of them.
    std::size_t HeldBuffers() const { return Held.size(); }

private:
    class TDevice;
    struct TLongMessage
    {
        TByteStream Bytes;
        MIDIHDR Header;
        std::uintptr_t Handle = 0;
    };
    // Frees the held messages the service has released since.
    void ReleaseHeld();

    std::vector<std::unique_ptr<TDevice>> Devices;
    std::vector<std::unique_ptr<TLongMessage>> Held;
};

// The program's device sets, constructed at first use. A failed enumeration leaves the set
// unconstructed, and the next call tries again.
TMidiInput &MidiIn();
TMidiOutput &MidiOut();

// Program end: closes the open input devices, stops the service, drops queued deliveries, then
// destroys the input set and the output set. Tests use it to start afresh.
void ShutdownMidi();

} // namespace midi
