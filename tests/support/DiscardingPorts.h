#pragma once

// A port provider whose one output device takes every message and throws it away, and whose
// input device never delivers: for measuring the program's own cost of sending. A message that
// could not travel as it is (a status byte inside a System Exclusive message, or a short
// message's data byte of 80h or more) ends the run: fuzz targets hold the windows to that.

#include "midi/MidiPorts.h"
#include "midi/SysExText.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <span>

class TDiscardingProvider final : public midi::IMidiPortProvider
{
public:
    std::vector<std::unique_ptr<midi::IMidiInPort>> InputPorts() override
    {
        std::vector<std::unique_ptr<midi::IMidiInPort>> ports;
        ports.push_back(std::make_unique<InPort>());
        return ports;
    }
    std::vector<std::unique_ptr<midi::IMidiOutPort>> OutputPorts() override
    {
        std::vector<std::unique_ptr<midi::IMidiOutPort>> ports;
        ports.push_back(std::make_unique<OutPort>(Count));
        return ports;
    }
    std::uint64_t Messages() const { return Count.load(); }

private:
    struct InPort final : midi::IMidiInPort
    {
        std::string Name() const override { return "Discard"; }
        bool Open(Receiver, std::string &) override { return true; }
        void Close() override { }
    };
    struct OutPort final : midi::IMidiOutPort
    {
        explicit OutPort(std::atomic<std::uint64_t> &count)
            : Sent(count)
        { }
        std::string Name() const override { return "Discard"; }
        bool Open(std::string &) override { return true; }
        bool Send(const std::uint8_t *data, std::size_t size, std::string &) override
        {
            const std::span<const std::uint8_t> message(data, size);
            const bool sysEx = std::find(message.begin(), message.end(), 0xF0) != message.end();
            if (sysEx ? midi::SysExFault(message).has_value()
                      : std::any_of(message.begin() + (size > 0 ? 1 : 0), message.end(),
                                    [](std::uint8_t byte) { return byte >= 0x80; }))
                std::abort();
            Sent.fetch_add(1, std::memory_order_relaxed);
            return true;
        }
        void Close() override { }
        std::atomic<std::uint64_t> &Sent;
    };
    std::atomic<std::uint64_t> Count {0};
};
