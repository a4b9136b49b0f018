#pragma once

// Where the monitor hears the traffic: every message the windows send, as it leaves for its
// device, and every message the hand-over takes from the rings. Window thread only; with no
// sink set, nothing is recorded.

#include "midi/MidiOutputs.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace midi {
class TWake;
}

namespace session {

struct TTraffic
{
    bool Sent = false;
    std::string_view Device;
    std::span<const std::uint8_t> Bytes;
    std::chrono::steady_clock::time_point At;
    // Not zero: this many messages never left, after their device failed (Bytes is empty).
    std::size_t NotSent = 0;
};
using TTrafficSink = std::function<void(const TTraffic &)>;

void SetTrafficSink(TTrafficSink sink);
void RecordTraffic(const TTraffic &traffic);
// A message that passes now.
void RecordTraffic(bool sent, const std::string &device, std::span<const std::uint8_t> bytes);

// The output devices the windows are given: each message goes on to the device it wraps, and
// is recorded when it leaves for the device, with that moment. A set that sends at once is
// heard as its send call returns; a paced set is heard from its queues' threads, and what they
// report reaches the sink on the window thread: a message replaced while it waited is never
// heard, and messages dropped after a failure make one row. The inner set outlives it.
class TMonitoredOutputs final : public midi::IMidiOuts, private midi::IDepartureWatch
{
public:
    explicit TMonitoredOutputs(midi::IMidiOuts &inner);
    ~TMonitoredOutputs() override;

    int Count() const override { return Inner.Count(); }
    const std::string &Name(int index) const override { return Inner.Name(index); }
    midi::IMidiOut &Device(int index) override;
    void Open(int index) override { Inner.Open(index); }
    std::chrono::microseconds HandOverPeriod(int index) const override
    {
        return Inner.HandOverPeriod(index);
    }

private:
    class TDevice;
    struct TDeparture
    {
        int Index = 0;
        std::vector<std::uint8_t> Bytes;
        std::chrono::steady_clock::time_point At;
        std::size_t NotSent = 0;
    };
    // On the queues' threads.
    void Left(int index, std::span<const std::uint8_t> bytes,
              std::chrono::steady_clock::time_point at) override;
    void NotSent(int index, std::size_t count) override;
    void Add(TDeparture departure);
    // On the window thread, woken by Add.
    void RecordDepartures();

    midi::IMidiOuts &Inner;
    std::vector<std::unique_ptr<TDevice>> Devices;
    std::mutex DeparturesLock;
    std::vector<TDeparture> Departures; // under DeparturesLock
    std::unique_ptr<midi::TWake> Wake; // set while the inner set reports departures
};

} // namespace session
