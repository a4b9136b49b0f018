#include "TrafficTap.h"

#include "EventLoop.h"
#include "midi/SysExSplitter.h"

#include <QCoreApplication>

#include <array>
#include <utility>

namespace session {

namespace {
TTrafficSink &Sink()
{
    static TTrafficSink sink;
    return sink;
}
} // namespace

void SetTrafficSink(TTrafficSink sink)
{
    Sink() = std::move(sink);
}

void RecordTraffic(const TTraffic &traffic)
{
    if (const TTrafficSink &sink = Sink())
        sink(traffic);
}

void RecordTraffic(bool sent, const std::string &device, std::span<const std::uint8_t> bytes)
{
    RecordTraffic(TTraffic {sent, device, bytes, std::chrono::steady_clock::now()});
}

class TMonitoredOutputs::TDevice final : public midi::IMidiOut
{
public:
    TDevice(TMonitoredOutputs &owner, int index)
        : Owner(owner)
        , Index(index)
    { }
    void SendSysEx(const midi::TByteStream &message) override
    {
        Inner().SendSysEx(message);
        if (!Owner.Wake)
            RecordTraffic(true, Owner.Name(Index), message);
    }
    void SendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) override
    {
        Inner().SendShort(status, data1, data2);
        const std::array<std::uint8_t, 3> bytes {status, data1, data2};
        if (!Owner.Wake)
            RecordTraffic(true, Owner.Name(Index),
                          std::span(bytes.data(), midi::ShortMessageSize(status)));
    }
    std::size_t Waiting() const override { return Inner().Waiting(); }
    std::uint64_t LastTicket() const override { return Inner().LastTicket(); }
    bool HasLeft(std::uint64_t ticket) const override { return Inner().HasLeft(ticket); }
    std::optional<std::string> DroppedBy(std::uint64_t ticket) const override
    {
        return Inner().DroppedBy(ticket);
    }

private:
    midi::IMidiOut &Inner() const { return Owner.Inner.Device(Index); }
    TMonitoredOutputs &Owner;
    int Index;
};

TMonitoredOutputs::TMonitoredOutputs(midi::IMidiOuts &inner)
    : Inner(inner)
{
    // The departures are carried to the window thread by its event loop.
    if (!QCoreApplication::instance())
        return;
    try {
        Wake = std::make_unique<midi::TWake>(EventLoop(), [this] { RecordDepartures(); });
    } catch (const std::runtime_error &) {
        // Without a wake the departures are heard as they are handed over.
        return;
    }
    if (!Inner.WatchDepartures(this))
        Wake.reset();
}

TMonitoredOutputs::~TMonitoredOutputs()
{
    if (Wake)
        Inner.WatchDepartures(nullptr);
    Wake.reset();
}

midi::IMidiOut &TMonitoredOutputs::Device(int index)
{
    // Raises the out-of-bounds error for an index that names no device.
    Inner.Device(index);
    if (static_cast<std::size_t>(index) >= Devices.size())
        Devices.resize(static_cast<std::size_t>(index) + 1);
    auto &device = Devices[static_cast<std::size_t>(index)];
    if (!device)
        device = std::make_unique<TDevice>(*this, index);
    return *device;
}

void TMonitoredOutputs::Left(int index, std::span<const std::uint8_t> bytes,
                             std::chrono::steady_clock::time_point at)
{
    Add({index, {bytes.begin(), bytes.end()}, at, 0});
}

void TMonitoredOutputs::NotSent(int index, std::size_t count)
{
    Add({index, {}, std::chrono::steady_clock::now(), count});
}

void TMonitoredOutputs::Add(TDeparture departure)
{
    bool wake = false;
    {
        std::lock_guard lock(DeparturesLock);
        wake = Departures.empty();
        Departures.push_back(std::move(departure));
    }
    if (wake)
        Wake->Raise();
}

void TMonitoredOutputs::RecordDepartures()
{
    Wake->Take();
    std::vector<TDeparture> departures;
    {
        std::lock_guard lock(DeparturesLock);
        departures.swap(Departures);
    }
    for (const TDeparture &d : departures)
        RecordTraffic(TTraffic {true, Inner.Name(d.Index), d.Bytes, d.At, d.NotSent});
}

} // namespace session
