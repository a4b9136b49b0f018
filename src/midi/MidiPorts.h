#pragma once

// Ports: the devices behind the hub, each delivering or taking whole MIDI messages. The hub
// (MidiHub.h) turns them into the service contract with its buffers, handles and result codes.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace midi {

// What a look at the system's port list found for an open port.
enum class TPortCheck {
    Present,
    Gone,
    // Gone before and back under the same name: opened again.
    Back
};

class IMidiInPort
{
public:
    // Called with one complete message (a System Exclusive message from F0 to F7, or a short
    // message) on a thread of the port.
    using Receiver = std::function<void(const std::uint8_t *data, std::size_t size)>;

    virtual ~IMidiInPort() = default;
    virtual std::string Name() const = 0;
    // On failure returns false and a clear text in error.
    virtual bool Open(Receiver receiver, std::string &error) = 0;
    // After Close returns the receiver is no longer called.
    virtual void Close() = 0;
    // For a port whose device can vanish and come back (a cable, a JACK client).
    virtual TPortCheck Recheck() { return TPortCheck::Present; }
};

class IMidiOutPort
{
public:
    virtual ~IMidiOutPort() = default;
    virtual std::string Name() const = 0;
    virtual bool Open(std::string &error) = 0;
    // One complete message. On failure (the device failed or disappeared) returns false and a
    // clear text in error.
    virtual bool Send(const std::uint8_t *data, std::size_t size, std::string &error) = 0;
    virtual void Close() = 0;
    virtual TPortCheck Recheck() { return TPortCheck::Present; }
    // How much closer than they were sent the transport may bring two messages: its period
    // for one that hands them on once a period (JACK), zero for one that sends at once. Known
    // once the port is open; any thread.
    virtual std::chrono::microseconds HandOverPeriod() const { return {}; }
};

// A source of ports, enumerated once.
class IMidiPortProvider
{
public:
    virtual ~IMidiPortProvider() = default;
    virtual std::vector<std::unique_ptr<IMidiInPort>> InputPorts() = 0;
    virtual std::vector<std::unique_ptr<IMidiOutPort>> OutputPorts() = 0;
    // Stops the provider's own threads; called after every port has been closed.
    virtual void Shutdown() { }
};

} // namespace midi
