#include "PacedOutput.h"

#include "MidiError.h"
#include "SysExSplitter.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <utility>

namespace midi {

namespace {
constexpr std::size_t DropsKept = 8;
}

bool Independent(const TPacingClass &a, const TPacingClass &b)
{
    if (a.Family == 0 || b.Family == 0)
        return false;
    if (a.Family != b.Family)
        return !a.Reach.Overlaps(b.Reach);
    for (const TAddressRange &x : a.Touches)
        for (const TAddressRange &y : b.Touches)
            if (x.Overlaps(y))
                return false;
    return true;
}

std::span<const std::uint8_t> CableBytes(const TQueuedMessage &message)
{
    const std::span<const std::uint8_t> bytes = message.Bytes;
    if (message.Short && !bytes.empty())
        return bytes.first(std::min(bytes.size(), ShortMessageSize(bytes[0])));
    return bytes;
}

// TPacingSchedule

std::uint64_t TPacingSchedule::Push(TQueuedMessage message)
{
    message.Ticket = NextTicket++;
    message.Class = Rule.Classify(message.Bytes, message.Short);
    const std::uint64_t ticket = message.Ticket;
    const TPacingClass &newer = message.Class;
    if (newer.Key != 0) {
        for (auto it = Queue.rbegin(); it != Queue.rend(); ++it) {
            if (it->Class.Key == newer.Key) {
                const bool heldBack
                    = std::any_of(Queue.begin(), std::prev(it.base()),
                                  [](const TQueuedMessage &ahead) { return ahead.Class.DataSet; });
                if (!newer.Streamed || heldBack) {
                    *it = std::move(message);
                    return ticket;
                }
                break;
            }
            if ((newer.Streamed && it->Class.Family != newer.Family)
                || !Independent(it->Class, newer))
                break;
        }
    }
    Queue.push_back(std::move(message));
    return ticket;
}

TPacingSchedule::TimePoint TPacingSchedule::FrontDue() const
{
    if (Queue.empty() || !Queue.front().Class.DataSet)
        return TimePoint::min();
    TimePoint due = TimePoint::min();
    if (DataSetEnd)
        due = *DataSetEnd + GapTime + Period;
    if (CableFree)
        due = std::max(due, *CableFree);
    return due;
}

TQueuedMessage TPacingSchedule::Pop()
{
    TQueuedMessage message = std::move(Queue.front());
    Queue.pop_front();
    return message;
}

void TPacingSchedule::Left(const TQueuedMessage &message, TimePoint at)
{
    const TimePoint start = CableFree ? std::max(at, *CableFree) : at;
    const TimePoint end = start + CableByteTime * static_cast<long>(CableBytes(message).size());
    CableFree = end;
    if (message.Class.DataSet)
        DataSetEnd = end;
}

std::size_t TPacingSchedule::Clear()
{
    const std::size_t count = Queue.size();
    Queue.clear();
    return count;
}

bool TPacingSchedule::Holds(std::uint64_t ticket) const
{
    return std::any_of(Queue.begin(), Queue.end(), [ticket](const TQueuedMessage &message) {
        return message.Ticket == ticket;
    });
}

// TPacedOutput

TPacedOutput::TPacedOutput(TSend send, const IPacingRule &rule)
    : Send(std::move(send))
    , Schedule(rule)
{ }

TPacedOutput::~TPacedOutput()
{
    {
        std::lock_guard lock(Lock);
        Stopping = true;
        Schedule.Clear();
    }
    Changed.notify_all();
    Drained.notify_all();
    if (Worker.joinable())
        Worker.join();
}

void TPacedOutput::SendSysEx(const TByteStream &message)
{
    // Every device refuses such a message unsent, with a text that names it; the device set says
    // so at once, as the caller expects, rather than failing the queue later.
    if (SysExFault(message)) {
        TQueuedMessage refused {message, false, 0};
        Send(refused);
        return;
    }
    Queue({message, false, 0});
}

void TPacedOutput::SendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    Queue({{status, data1, data2}, true, 0});
}

void TPacedOutput::Queue(TQueuedMessage message)
{
    bool wake = false;
    {
        std::lock_guard lock(Lock);
        if (Stopping)
            throw EMidiError("The MIDI output is closing; the message was not sent.");
        const bool short_ = message.Short;
        Schedule.Push(std::move(message));
        // A control change that nothing waits ahead of would only wake the queue's thread to be
        // sent at once: it goes from here, which spares that wake, most of its cost. The lock
        // stays held so that nothing queued meanwhile can overtake it.
        if (short_ && InFlight == 0 && Schedule.Size() == 1
            && Schedule.FrontDue() <= TPacingSchedule::Clock::now()) {
            SendFront();
            return;
        }
        if (!Worker.joinable())
            Worker = std::thread([this] { Run(); });
        // A thread waiting for the front's time needs no wake for what queues behind it.
        wake = Idle;
    }
    if (wake)
        Changed.notify_one();
}

void TPacedOutput::SendFront()
{
    const auto leaving = TPacingSchedule::Clock::now();
    const TQueuedMessage message = Schedule.Pop();
    std::optional<std::string> error;
    try {
        Send(message);
    } catch (const std::exception &e) {
        error = e.what();
    }
    Settle(message, error, leaving, TPacingSchedule::Clock::now());
    if (Schedule.Empty())
        Drained.notify_all();
}

std::size_t TPacedOutput::Waiting() const
{
    std::lock_guard lock(Lock);
    return Schedule.Size() + (InFlight != 0 ? 1 : 0);
}

std::uint64_t TPacedOutput::LastTicket() const
{
    std::lock_guard lock(Lock);
    return Schedule.LastTicket();
}

bool TPacedOutput::HasLeft(std::uint64_t ticket) const
{
    std::lock_guard lock(Lock);
    return ticket == 0 || (ticket != InFlight && !Schedule.Holds(ticket));
}

std::optional<std::string> TPacedOutput::DroppedBy(std::uint64_t ticket) const
{
    std::lock_guard lock(Lock);
    for (const TDrop &drop : Drops)
        if (ticket != 0 && ticket >= drop.First && ticket <= drop.Last)
            return drop.Text;
    return std::nullopt;
}

void TPacedOutput::SetGap(std::chrono::microseconds gap)
{
    {
        std::lock_guard lock(Lock);
        Schedule.SetGap(gap);
    }
    Changed.notify_all();
}

void TPacedOutput::SetHandOverPeriod(std::chrono::microseconds period)
{
    {
        std::lock_guard lock(Lock);
        Schedule.SetHandOverPeriod(period);
    }
    Changed.notify_all();
}

void TPacedOutput::Watch(IDepartureWatch *watch, int index)
{
    std::lock_guard lock(Lock);
    Watcher = watch;
    WatchedIndex = index;
}

bool TPacedOutput::Flush(std::chrono::milliseconds limit)
{
    std::unique_lock lock(Lock);
    return Drained.wait_for(lock, limit, [this] { return Schedule.Empty() && InFlight == 0; });
}

std::optional<TSendFailure> TPacedOutput::TakeFailure()
{
    std::lock_guard lock(Lock);
    // Told once the burst it belongs to has drained: what still waits fails the same way, and a
    // slow queue would otherwise give one burst a box for each of its parts.
    if (!Schedule.Empty() || InFlight != 0)
        return std::nullopt;
    return std::exchange(Failure, std::nullopt);
}

void TPacedOutput::Run()
{
    std::unique_lock lock(Lock);
    while (!Stopping) {
        if (Schedule.Empty()) {
            Idle = true;
            Changed.wait(lock);
            Idle = false;
            continue;
        }
        const TPacingSchedule::TimePoint due = Schedule.FrontDue();
        // The moment the message leaves the queue, for whoever watches.
        const auto leaving = TPacingSchedule::Clock::now();
        if (leaving < due) {
            Changed.wait_until(lock, due);
            continue;
        }
        const TQueuedMessage message = Schedule.Pop();
        InFlight = message.Ticket;
        lock.unlock();
        std::optional<std::string> error;
        try {
            Send(message);
        } catch (const std::exception &e) {
            error = e.what();
        }
        // The moment the send has returned: the device has the message by then, and its bytes
        // are on the cable from then at the latest.
        const auto left = TPacingSchedule::Clock::now();
        lock.lock();
        InFlight = 0;
        Settle(message, error, leaving, left);
        if (Schedule.Empty())
            Drained.notify_all();
    }
}

void TPacedOutput::Settle(const TQueuedMessage &message, const std::optional<std::string> &error,
                          TPacingSchedule::TimePoint leaving, TPacingSchedule::TimePoint left)
{
    if (error) {
        // The rest would fail the same way, each with a box of its own: it is dropped, and
        // the window says once how much was lost.
        Drops.push_back({message.Ticket, Schedule.LastTicket(), *error});
        if (Drops.size() > DropsKept)
            Drops.pop_front();
        const std::size_t notSent = 1 + Schedule.Clear();
        if (Failure)
            Failure->NotSent += notSent;
        else
            Failure = TSendFailure {*error, notSent};
        if (Watcher)
            Watcher->NotSent(WatchedIndex, notSent);
    } else {
        Schedule.Left(message, left);
        if (Watcher)
            Watcher->Left(WatchedIndex, CableBytes(message), leaving);
    }
}

// TPacedOutputs

TPacedOutputs::TPacedOutputs(IMidiOuts &target, const IPacingRule &rule)
    : Target(target)
    , Rule(rule)
{ }

TPacedOutputs::~TPacedOutputs()
{
    Stop();
}

TPacedOutput &TPacedOutputs::Paced(int index)
{
    // Throws the device set's own error for an index that names no device.
    Target.Name(index);
    std::lock_guard lock(DevicesLock);
    if (Stopped)
        throw EMidiError("The MIDI outputs are closed; the message was not sent.");
    const auto slot = static_cast<std::size_t>(index);
    if (Devices.size() <= slot) {
        Devices.resize(slot + 1);
        Gaps.resize(slot + 1, std::chrono::milliseconds(DefaultGapMs));
    }
    if (!Devices[slot]) {
        Devices[slot] = std::make_unique<TPacedOutput>(
            [this, index](const TQueuedMessage &m) {
                std::lock_guard targetLock(TargetLock);
                IMidiOut &device = Target.Device(index);
                if (m.Short)
                    device.SendShort(m.Bytes[0], m.Bytes[1], m.Bytes[2]);
                else
                    device.SendSysEx(m.Bytes);
            },
            Rule);
        Devices[slot]->SetGap(Gaps[slot]);
        Devices[slot]->SetHandOverPeriod(Target.HandOverPeriod(index));
        Devices[slot]->Watch(Watcher, index);
    }
    return *Devices[slot];
}

IMidiOut &TPacedOutputs::Device(int index)
{
    return Paced(index);
}

void TPacedOutputs::Open(int index)
{
    {
        std::lock_guard lock(TargetLock);
        Target.Open(index);
    }
    // Known once the device is open; a queue made before takes it on now.
    std::lock_guard lock(DevicesLock);
    const auto slot = static_cast<std::size_t>(index);
    if (slot < Devices.size() && Devices[slot])
        Devices[slot]->SetHandOverPeriod(Target.HandOverPeriod(index));
}

bool TPacedOutputs::WatchDepartures(IDepartureWatch *watch)
{
    std::lock_guard lock(DevicesLock);
    Watcher = watch;
    for (std::size_t slot = 0; slot < Devices.size(); ++slot)
        if (Devices[slot])
            Devices[slot]->Watch(watch, static_cast<int>(slot));
    return true;
}

void TPacedOutputs::SetGap(int index, std::chrono::microseconds gap)
{
    TPacedOutput &device = Paced(index);
    {
        std::lock_guard lock(DevicesLock);
        Gaps[static_cast<std::size_t>(index)] = gap;
    }
    device.SetGap(gap);
}

std::chrono::microseconds TPacedOutputs::Gap(int index)
{
    Paced(index);
    std::lock_guard lock(DevicesLock);
    return Gaps[static_cast<std::size_t>(index)];
}

bool TPacedOutputs::Flush(std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    std::vector<TPacedOutput *> devices;
    {
        std::lock_guard lock(DevicesLock);
        for (const auto &device : Devices)
            if (device)
                devices.push_back(device.get());
    }
    bool all = true;
    for (TPacedOutput *device : devices) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        all = device->Flush(std::max(left, std::chrono::milliseconds(0))) && all;
    }
    return all;
}

std::vector<TSendFailure> TPacedOutputs::TakeFailures()
{
    std::vector<TSendFailure> failures;
    std::lock_guard lock(DevicesLock);
    for (const auto &device : Devices)
        if (device)
            if (std::optional<TSendFailure> failure = device->TakeFailure())
                failures.push_back(std::move(*failure));
    return failures;
}

void TPacedOutputs::Stop()
{
    std::vector<std::unique_ptr<TPacedOutput>> devices;
    {
        std::lock_guard lock(DevicesLock);
        devices.swap(Devices);
        Stopped = true;
    }
    devices.clear();
}

} // namespace midi
