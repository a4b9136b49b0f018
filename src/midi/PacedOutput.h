#pragma once

// Paced output. An instrument may drop a data set that comes less than a gap after the
// previous one has ended on the cable, and a burst of them (the echo of a part answer, an
// envelope release, a drag) leaves the program far faster. Every message to a device therefore
// goes through one queue of that device, in the order the program produced it, and a thread of
// its own drains the queue: the window never waits for the cable. A control change that nothing
// waits ahead of leaves from the sender's thread, as the queue's thread would send it at once. What
// counts as a data set, and what may replace what, is the device's rule (PacingRule.h), given by
// whoever makes the queue.

#include "MidiOutputs.h"
#include "PacingRule.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace midi {

// 10 bits a byte at 31250 baud.
inline constexpr std::chrono::microseconds CableByteTime {320};
inline constexpr int DefaultGapMs = 20;
inline constexpr int MaxGapMs = 100;

struct TQueuedMessage
{
    TByteStream Bytes; // a whole System Exclusive message, or the three bytes of a short one
    bool Short = false;
    std::uint64_t Ticket = 0;
    TPacingClass Class {}; // the rule's view of it, given when it is queued
};

// The bytes a message puts on the cable: a short message's status and data bytes.
std::span<const std::uint8_t> CableBytes(const TQueuedMessage &message);

// The queue of one device and its timing, without a thread or a clock of its own, so that its
// rules can be tried with made-up times.
class TPacingSchedule
{
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    explicit TPacingSchedule(const IPacingRule &rule)
        : Rule(rule)
    { }

    void SetGap(std::chrono::microseconds gap) { GapTime = gap; }
    std::chrono::microseconds Gap() const { return GapTime; }
    // A transport that hands messages on once a period can bring two of them up to a period
    // closer than they were handed over: a data set then waits that much longer.
    void SetHandOverPeriod(std::chrono::microseconds period) { Period = period; }
    std::chrono::microseconds HandOverPeriod() const { return Period; }

    // Queues the message and returns its ticket. A message that only repeats, with a newer
    // value, one still waiting with the same key takes that one's place, so a drag never builds
    // a backlog; when anything queued in between touches what it touches (writes it, reads it,
    // reloads it), the newer one goes to the end, since the device would see a different order
    // otherwise.
    std::uint64_t Push(TQueuedMessage message);
    bool Empty() const { return Queue.empty(); }
    std::size_t Size() const { return Queue.size(); }
    // The earliest moment the front message may start: a data set the gap (and the period)
    // after the previous data set has left the cable, and not while other bytes occupy it.
    TimePoint FrontDue() const;
    TQueuedMessage Pop();
    // The message has been handed to the device at the given moment: its bytes occupy the
    // cable from then, or from when the bytes before them are through.
    void Left(const TQueuedMessage &message, TimePoint at);
    // Drops every waiting message; returns how many.
    std::size_t Clear();
    bool Holds(std::uint64_t ticket) const;
    std::uint64_t LastTicket() const { return NextTicket - 1; }
    const std::deque<TQueuedMessage> &Messages() const { return Queue; }

private:
    const IPacingRule &Rule;
    std::deque<TQueuedMessage> Queue;
    std::chrono::microseconds GapTime {std::chrono::milliseconds(DefaultGapMs)};
    std::chrono::microseconds Period {};
    // When the last data set ended on the cable, and when the cable is free.
    std::optional<TimePoint> DataSetEnd;
    std::optional<TimePoint> CableFree;
    std::uint64_t NextTicket = 1;
};

// A device failed while its queue drained: the failure's text and how many messages did not go.
struct TSendFailure
{
    std::string Text;
    std::size_t NotSent = 0;
};

// One paced device. Send hands a message to the real device and throws on failure; it runs on
// the queue's thread.
class TPacedOutput final : public IMidiOut
{
public:
    using TSend = std::function<void(const TQueuedMessage &)>;

    TPacedOutput(TSend send, const IPacingRule &rule);
    // Drops what still waits; Flush first to let it go.
    ~TPacedOutput() override;
    TPacedOutput(const TPacedOutput &) = delete;
    TPacedOutput &operator=(const TPacedOutput &) = delete;

    void SendSysEx(const TByteStream &message) override;
    void SendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) override;
    std::size_t Waiting() const override;
    std::uint64_t LastTicket() const override;
    bool HasLeft(std::uint64_t ticket) const override;
    std::optional<std::string> DroppedBy(std::uint64_t ticket) const override;

    void SetGap(std::chrono::microseconds gap);
    void SetHandOverPeriod(std::chrono::microseconds period);
    // From now on each departure and each loss of the queue is told to watch, as the device of
    // the given index (nullptr: to nobody).
    void Watch(IDepartureWatch *watch, int index);
    // Waits until every queued message has left or the time is up; returns whether all left.
    bool Flush(std::chrono::milliseconds limit);
    // The failure since the last call, if any, once nothing waits to be sent.
    std::optional<TSendFailure> TakeFailure();

private:
    void Queue(TQueuedMessage message);
    // Under Lock: sends the front message from the calling thread, which the lock keeps the
    // only sender meanwhile.
    void SendFront();
    // Under Lock: books a message's departure, or its failure and the queue's loss, and tells
    // the watch.
    void Settle(const TQueuedMessage &message, const std::optional<std::string> &error,
                TPacingSchedule::TimePoint leaving, TPacingSchedule::TimePoint left);
    void Run();

    const TSend Send;
    mutable std::mutex Lock;
    // The queue's thread waits on Changed; Flush waits on Drained. Each is woken only when
    // there is news for it: a wake costs more than sending a message.
    std::condition_variable Changed;
    std::condition_variable Drained;
    bool Idle = false; // the queue's thread waits for a message
    TPacingSchedule Schedule;
    std::uint64_t InFlight = 0;
    std::optional<TSendFailure> Failure;
    // The tickets the latest failures dropped, first and last, with the failure's text; a few
    // are enough, since a wait looks only at its last message.
    struct TDrop
    {
        std::uint64_t First;
        std::uint64_t Last;
        std::string Text;
    };
    std::deque<TDrop> Drops;
    IDepartureWatch *Watcher = nullptr;
    int WatchedIndex = 0;
    bool Stopping = false;
    std::thread Worker; // started with the first message
};

// The output devices of a device set, each behind its own queue. Opening and sending go to the
// device set under one lock, so the set never sees two threads at once.
class TPacedOutputs final : public IMidiOuts
{
public:
    // The rule outlives the set.
    TPacedOutputs(IMidiOuts &target, const IPacingRule &rule);
    ~TPacedOutputs() override;

    int Count() const override { return Target.Count(); }
    const std::string &Name(int index) const override { return Target.Name(index); }
    IMidiOut &Device(int index) override;
    // Opens the device and takes on its transport's period.
    void Open(int index) override;
    bool WatchDepartures(IDepartureWatch *watch) override;
    std::chrono::microseconds HandOverPeriod(int index) const override
    {
        return Target.HandOverPeriod(index);
    }

    // The gap of one device from now on (the built-in instrument needs none).
    void SetGap(int index, std::chrono::microseconds gap);
    std::chrono::microseconds Gap(int index);
    // Lets every device's queue drain, all within the limit; returns whether all did.
    bool Flush(std::chrono::milliseconds limit);
    // Each device's failure since the last call.
    std::vector<TSendFailure> TakeFailures();
    // Stops every queue, dropping what waits; the device set may go after this. No device is
    // given out afterwards.
    void Stop();

private:
    TPacedOutput &Paced(int index);

    IMidiOuts &Target;
    const IPacingRule &Rule;
    std::mutex TargetLock;
    std::mutex DevicesLock;
    std::vector<std::unique_ptr<TPacedOutput>> Devices;
    std::vector<std::chrono::microseconds> Gaps;
    IDepartureWatch *Watcher = nullptr; // under DevicesLock
    bool Stopped = false; // under DevicesLock
};

} // namespace midi
