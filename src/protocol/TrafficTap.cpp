#include "TrafficTap.h"

#include <array>

namespace protocol {

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

void RecordTraffic(bool sent, const std::string &device, std::span<const std::uint8_t> bytes)
{
    if (const TTrafficSink &sink = Sink())
        sink(sent, device, bytes);
}

class TMonitoredOutputs::TDevice final : public midi::IMidiOut
{
public:
    TDevice(midi::IMidiOuts &outputs, int index)
        : Outputs(outputs)
        , Index(index)
    { }
    void SendSysEx(const midi::TByteStream &message) override
    {
        Inner().SendSysEx(message);
        RecordTraffic(true, Outputs.Name(Index), message);
    }
    void SendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) override
    {
        Inner().SendShort(status, data1, data2);
        const std::array<std::uint8_t, 3> bytes {status, data1, data2};
        // Program change and channel pressure carry one data byte.
        const std::size_t size = (status & 0xE0) == 0xC0 ? 2 : 3;
        RecordTraffic(true, Outputs.Name(Index), std::span(bytes.data(), size));
    }
    std::size_t Waiting() const override { return Inner().Waiting(); }
    std::uint64_t LastTicket() const override { return Inner().LastTicket(); }
    bool HasLeft(std::uint64_t ticket) const override { return Inner().HasLeft(ticket); }

private:
    midi::IMidiOut &Inner() const { return Outputs.Device(Index); }
    midi::IMidiOuts &Outputs;
    int Index;
};

TMonitoredOutputs::TMonitoredOutputs(midi::IMidiOuts &inner)
    : Inner(inner)
{ }

TMonitoredOutputs::~TMonitoredOutputs() = default;

midi::IMidiOut &TMonitoredOutputs::Device(int index)
{
    // Raises the out-of-bounds error for an index that names no device.
    Inner.Device(index);
    if (static_cast<std::size_t>(index) >= Devices.size())
        Devices.resize(static_cast<std::size_t>(index) + 1);
    auto &device = Devices[static_cast<std::size_t>(index)];
    if (!device)
        device = std::make_unique<TDevice>(Inner, index);
    return *device;
}

} // namespace protocol
