#include "AnswerWait.h"

#include "ErrorPolicy.h"
#include "RequestProcedure.h"
#include "WaitPumping.h"
#include "sysex/RolandMessage.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace {
// Addresses are four 7-bit bytes, most significant first.
std::uint32_t Linear(std::span<const std::uint8_t, 4> address)
{
    std::uint32_t linear = 0;
    for (std::uint8_t byte : address)
        linear = (linear << 7) | (byte & 0x7F);
    return linear;
}
} // namespace

void TAnswerWait::Expect(std::span<const TBlock> blocks, std::uint8_t deviceByte)
{
    Awaited.clear();
    Missing = 0;
    DeviceByte = deviceByte;
    for (const TBlock &block : blocks) {
        Awaited.push_back({Linear(block.Address), std::vector<bool>(std::size_t(block.Size))});
        Missing += std::size_t(block.Size);
    }
}

void TAnswerWait::Note(std::span<const std::uint8_t> message)
{
    if (Missing == 0)
        return;
    const std::optional<sysex::TRolandMessage> dataSet = sysex::ReadRolandMessage(message);
    if (!dataSet || dataSet->Header.Model != sysex::TModel::Instrument || !dataSet->IsDataSet()
        || dataSet->Header.Device != DeviceByte || !dataSet->Address())
        return;
    const std::uint32_t start = Linear(*dataSet->Address());
    const std::uint32_t end = start + std::uint32_t(dataSet->AfterAddress().size());
    for (TAwaited &block : Awaited) {
        const std::uint32_t blockEnd = block.Start + std::uint32_t(block.Arrived.size());
        for (std::uint32_t at = std::max(start, block.Start); at < std::min(end, blockEnd); ++at)
            if (!block.Arrived[at - block.Start]) {
                block.Arrived[at - block.Start] = true;
                --Missing;
            }
    }
    if (Missing == 0 && Running)
        Running->quit();
}

void TAnswerWait::Finish()
{
    Awaited.clear();
    Missing = 0;
    if (Running)
        Running->quit();
}

void TAnswerWait::Run(const midi::IMidiOut &output, int ms)
{
    if (Complete())
        return;
    // Other handlers run meanwhile: their errors are theirs, not the waiting request's.
    session::detail::TSuspendedChanges suspended;
    const session::TJobWait waiting;
    const std::uint64_t ticket = output.LastTicket();
    QEventLoop loop;
    QTimer bound;
    bound.setTimerType(Qt::PreciseTimer);
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    // The output's queue has no way into this loop but a poll; a few milliseconds of lateness
    // do not matter against the answers' hundreds.
    QTimer leaving;
    leaving.setTimerType(Qt::PreciseTimer);
    bool dropped = false;
    const auto left = [&] {
        if (!output.HasLeft(ticket))
            return false;
        leaving.stop();
        // The device failed: no answer will come.
        if (output.DroppedBy(ticket)) {
            dropped = true;
            loop.quit();
            return true;
        }
        // More than ms whole milliseconds.
        bound.start(ms + 1);
        return true;
    };
    QObject::connect(&leaving, &QTimer::timeout, &loop, left);
    if (!left())
        leaving.start(2);
    if (!dropped) {
        Running = &loop;
        // Returns at once, without waiting on, while the application is quitting.
        loop.exec(QEventLoop::AllEvents);
        Running = nullptr;
    }
    session::ThrowIfDropped(output, ticket);
}
