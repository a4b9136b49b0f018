#pragma once

// The seam between the windows and the output devices: the windows are given an IMidiOuts and
// send through the IMidiOut of the device their settings name. What stands behind it (the device
// set sending at once, a paced queue, a monitor, a recording fake in tests) is not theirs to know.

#include "SysExText.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace midi {

// One output device. Every call sends one whole message or raises EMidiError with a text the
// user can read; a System Exclusive message with a status byte inside is refused, unsent.
class IMidiOut
{
public:
    virtual ~IMidiOut() = default;
    virtual void SendSysEx(const TByteStream &message) = 0;
    virtual void SendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) = 0;

    // A hex-text message, converted with its checksum and F7.
    void SendSysExText(std::string_view text)
    {
        TByteStream message;
        HexTextToSysEx(text, message);
        SendSysEx(message);
    }

    // A device that paces its messages hands them to a queue: the window must not take a
    // message as gone when its call returns. A device that sends at once has nothing waiting.
    // How many messages wait to leave.
    virtual std::size_t Waiting() const { return 0; }
    // The ticket of the last message handed in, and whether the message of a ticket has left
    // the program (sent, or dropped with the queue of a device that failed).
    virtual std::uint64_t LastTicket() const { return 0; }
    virtual bool HasLeft(std::uint64_t) const { return true; }
    // The failure's text when the message of a ticket left the program only because the device
    // failed and its queue was dropped: a window waiting for its answer waits in vain.
    virtual std::optional<std::string> DroppedBy(std::uint64_t) const { return std::nullopt; }
};

// Told of each message as it leaves for its device, on the thread that hands it over.
class IDepartureWatch
{
public:
    virtual ~IDepartureWatch() = default;
    virtual void Left(int index, std::span<const std::uint8_t> bytes,
                      std::chrono::steady_clock::time_point at)
        = 0;
    // The device failed with count messages still waiting (the failing one among them): they
    // never left.
    virtual void NotSent(int index, std::size_t count) = 0;
};

// The output devices in the system's order.
class IMidiOuts
{
public:
    virtual ~IMidiOuts() = default;
    virtual int Count() const = 0;
    // Both throw the out-of-bounds error for an index that names no device.
    virtual const std::string &Name(int index) const = 0;
    virtual IMidiOut &Device(int index) = 0;
    // Opening a device that is open already does nothing.
    virtual void Open(int index) = 0;

    // A device set that hands messages to its devices later than it is given them tells watch
    // of each departure (nullptr: tells nobody) and returns true; one that sends at once returns
    // false, and its messages leave within their send calls.
    virtual bool WatchDepartures(IDepartureWatch *) { return false; }
    // How much closer than they were handed over the transport of an open device may bring two
    // messages: a transport that hands them on once a period (JACK) up to that period; zero for
    // one that sends at once.
    virtual std::chrono::microseconds HandOverPeriod(int) const { return {}; }
};

} // namespace midi
