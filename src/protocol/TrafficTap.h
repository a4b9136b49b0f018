#pragma once

// Where the monitor hears the traffic: every message a window sends and every message the
// hand-over takes from the rings. Window thread only; with no sink set, nothing is recorded.

#include "midi/MidiOutputs.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace protocol {

using TTrafficSink
    = std::function<void(bool sent, const std::string &device, std::span<const std::uint8_t>)>;

void SetTrafficSink(TTrafficSink sink);
void RecordTraffic(bool sent, const std::string &device, std::span<const std::uint8_t> bytes);

// The output devices the windows are given: each message goes on to the device it wraps, and
// is recorded once the device has taken it.
class TMonitoredOutputs final : public midi::IMidiOuts
{
public:
    explicit TMonitoredOutputs(midi::IMidiOuts &inner);
    ~TMonitoredOutputs() override;

    int Count() const override { return Inner.Count(); }
    const std::string &Name(int index) const override { return Inner.Name(index); }
    midi::IMidiOut &Device(int index) override;
    void Open(int index) override { Inner.Open(index); }

private:
    class TDevice;
    midi::IMidiOuts &Inner;
    std::vector<std::unique_ptr<TDevice>> Devices;
};

} // namespace protocol
