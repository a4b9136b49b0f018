#pragma once

// Output devices for tests that only need to see what a window sends: every message goes into
// one record, as bytes, in the order sent, and a send can be made to fail with a given text.
// Like the program's devices, an index that names no device and a System Exclusive message
// with a status byte inside are refused with an error.

#include "midi/MidiOutputs.h"

#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TRecordingOutputs final : public midi::IMidiOuts
{
public:
    explicit TRecordingOutputs(std::vector<std::string> names = {"Out"});

    int Count() const override { return static_cast<int>(Devices.size()); }
    const std::string &Name(int index) const override;
    midi::IMidiOut &Device(int index) override;
    void Open(int index) override;

    // Every message sent through any of the devices.
    const std::vector<std::vector<std::uint8_t>> &Sent() const { return Record; }
    // The same, as hex texts ("B9 07 7F").
    QStringList SentHex() const;
    void ClearRecord() { Record.clear(); }

    // Until cleared, every short message (or System Exclusive message) fails with this text,
    // unsent.
    void FailShort(std::string text) { ShortFailure = std::move(text); }
    void FailSysEx(std::string text) { SysExFailure = std::move(text); }
    void ClearFailures();

private:
    class TDevice final : public midi::IMidiOut
    {
    public:
        TDevice(TRecordingOutputs &owner, std::string name);
        void SendSysEx(const midi::TByteStream &message) override;
        void SendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) override;
        const std::string Name;

    private:
        TRecordingOutputs &Owner;
    };
    std::size_t Checked(int index) const;

    std::vector<std::unique_ptr<TDevice>> Devices;
    std::vector<std::vector<std::uint8_t>> Record;
    std::optional<std::string> ShortFailure;
    std::optional<std::string> SysExFailure;
};
