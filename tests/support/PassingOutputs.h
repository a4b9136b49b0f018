#pragma once

// Output devices that pass every message on to the devices they wrap, through one device that a
// test or benchmark overrides to watch or hold back what the windows send.

#include "midi/MidiOutputs.h"

#include <cstdint>
#include <string>

class TPassingOutputs : public midi::IMidiOuts, public midi::IMidiOut
{
public:
    explicit TPassingOutputs(midi::IMidiOuts &target)
        : Target(target)
    { }
    int Count() const override { return Target.Count(); }
    const std::string &Name(int index) const override { return Target.Name(index); }
    void Open(int index) override { Target.Open(index); }
    midi::IMidiOut &Device(int index) override { return Inner = &Target.Device(index), *this; }
    void SendSysEx(const midi::TByteStream &message) override { Inner->SendSysEx(message); }
    void SendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) override
    {
        Inner->SendShort(status, data1, data2);
    }
    std::size_t Waiting() const override { return Inner->Waiting(); }
    std::uint64_t LastTicket() const override { return Inner->LastTicket(); }
    bool HasLeft(std::uint64_t ticket) const override { return Inner->HasLeft(ticket); }
    std::optional<std::string> DroppedBy(std::uint64_t ticket) const override
    {
        return Inner->DroppedBy(ticket);
    }

private:
    midi::IMidiOuts &Target;
    midi::IMidiOut *Inner = nullptr;
};
