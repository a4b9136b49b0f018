#pragma once

// A port provider whose one output device takes every message and throws it away, and whose
// input device never delivers: for measuring the program's own cost of sending.

#include "midi/MidiPorts.h"

#include <atomic>

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
        bool Send(const std::uint8_t *, std::size_t, std::string &) override
        {
            Sent.fetch_add(1, std::memory_order_relaxed);
            return true;
        }
        void Close() override { }
        std::atomic<std::uint64_t> &Sent;
    };
    std::atomic<std::uint64_t> Count {0};
};
