#include "PacedOutput.h"

#include "MidiError.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace midi {

namespace {

constexpr std::size_t HeaderSize = 6;
constexpr std::size_t AddressEnd = 10; // header and four address bytes
// Header, address, at least one data byte, checksum, F7.
constexpr std::size_t SmallestDataSet = AddressEnd + 3;
constexpr std::size_t RequestSize = AddressEnd + 4 + 2;

bool IsModelMessage(const TByteStream &message, std::uint8_t command)
{
    return message.size() > HeaderSize && message[0] == 0xF0 && message[1] == 0x41
        && message[3] == 0x00 && message[4] == 0x0B && message[5] == command;
}

bool IsModelRequest(const TByteStream &message)
{
    return IsModelMessage(message, 0x11) && message.size() == RequestSize;
}

std::uint32_t Linear(const TByteStream &message, std::size_t at)
{
    return (std::uint32_t(message[at]) << 21) | (std::uint32_t(message[at + 1]) << 14)
        | (std::uint32_t(message[at + 2]) << 7) | std::uint32_t(message[at + 3]);
}

struct TRange
{
    std::uint32_t From;
    std::uint32_t To; // past the end
    bool Overlaps(const TRange &other) const { return From < other.To && other.From < To; }
};

constexpr std::uint32_t LinearOf(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    return (std::uint32_t(a) << 21) | (std::uint32_t(b) << 14) | (std::uint32_t(c) << 7) | d;
}
// The pattern's part blocks, 01 00 10 00 up to the rhythm part's 01 00 19 xx: what control
// changes and model-3A messages (part transposition, MFX switch) change in the instrument.
constexpr TRange PatternParts {LinearOf(0x01, 0x00, 0x10, 0x00), LinearOf(0x01, 0x00, 0x1A, 0x00)};

bool IsModel3A(const TByteStream &message)
{
    return message.size() > 5 && message[0] == 0x00 && message[1] == 0xF0 && message[2] == 0x41
        && message[4] == 0x3A;
}

// The memory a message writes or reads; none for a message that cannot be placed, which is
// then taken to touch all of it.
std::optional<TRange> Touched(const TQueuedMessage &queued)
{
    const TByteStream &message = queued.Bytes;
    if (queued.Short)
        return (message[0] & 0xF0) == 0xB0 ? std::optional(PatternParts) : std::nullopt;
    if (IsModel3A(message))
        return PatternParts;
    if (IsModelDataSet(message)) {
        const std::uint32_t from = Linear(message, HeaderSize);
        return TRange {from, from + std::uint32_t(message.size() - SmallestDataSet + 1)};
    }
    if (IsModelRequest(message)) {
        const std::uint32_t from = Linear(message, HeaderSize);
        return TRange {from, from + Linear(message, AddressEnd)};
    }
    return std::nullopt;
}

bool SameTarget(const TByteStream &a, const TByteStream &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.begin() + AddressEnd, b.begin());
}

} // namespace

bool IsModelDataSet(const TByteStream &message)
{
    return IsModelMessage(message, 0x12) && message.size() >= SmallestDataSet;
}

// TPacingSchedule

std::uint64_t TPacingSchedule::Push(TQueuedMessage message)
{
    message.Ticket = NextTicket++;
    const std::uint64_t ticket = message.Ticket;
    if (!message.Short && IsModelDataSet(message.Bytes)) {
        const TRange range = *Touched(message);
        for (auto it = Queue.rbegin(); it != Queue.rend(); ++it) {
            if (!it->Short && IsModelDataSet(it->Bytes) && SameTarget(it->Bytes, message.Bytes)) {
                *it = std::move(message);
                return ticket;
            }
            const std::optional<TRange> touched = Touched(*it);
            if (!touched || touched->Overlaps(range))
                break;
        }
    }
    Queue.push_back(std::move(message));
    return ticket;
}

TPacingSchedule::TimePoint TPacingSchedule::FrontDue() const
{
    if (Queue.empty() || Queue.front().Short || !DataSetEnd || !IsModelDataSet(Queue.front().Bytes))
        return TimePoint::min();
    return *DataSetEnd + GapTime;
}

TQueuedMessage TPacingSchedule::Pop()
{
    TQueuedMessage message = std::move(Queue.front());
    Queue.pop_front();
    return message;
}

void TPacingSchedule::Left(const TQueuedMessage &message, TimePoint at)
{
    if (!message.Short && IsModelDataSet(message.Bytes))
        DataSetEnd = at + CableByteTime * static_cast<long>(message.Bytes.size());
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

TPacedOutput::TPacedOutput(TSend send)
    : Send(std::move(send))
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
        Schedule.Push(std::move(message));
        if (!Worker.joinable())
            Worker = std::thread([this] { Run(); });
        // A thread waiting for the front's time needs no wake for what queues behind it.
        wake = Idle;
    }
    if (wake)
        Changed.notify_one();
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

void TPacedOutput::SetGap(std::chrono::microseconds gap)
{
    {
        std::lock_guard lock(Lock);
        Schedule.SetGap(gap);
    }
    Changed.notify_all();
}

bool TPacedOutput::Flush(std::chrono::milliseconds limit)
{
    std::unique_lock lock(Lock);
    return Drained.wait_for(lock, limit, [this] { return Schedule.Empty() && InFlight == 0; });
}

std::optional<TSendFailure> TPacedOutput::TakeFailure()
{
    std::lock_guard lock(Lock);
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
        if (TPacingSchedule::Clock::now() < due) {
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
        // The moment the send has returned: the instrument has seen the start by then.
        const auto left = TPacingSchedule::Clock::now();
        lock.lock();
        InFlight = 0;
        if (error) {
            // The rest would fail the same way, each with a box of its own: it is dropped, and
            // the window says once how much was lost.
            const std::size_t notSent = 1 + Schedule.Clear();
            if (Failure)
                Failure->NotSent += notSent;
            else
                Failure = TSendFailure {*error, notSent};
        } else {
            Schedule.Left(message, left);
        }
        if (Schedule.Empty())
            Drained.notify_all();
    }
}

// TPacedOutputs

TPacedOutputs::TPacedOutputs(IMidiOuts &target)
    : Target(target)
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
        Devices[slot] = std::make_unique<TPacedOutput>([this, index](const TQueuedMessage &m) {
            std::lock_guard targetLock(TargetLock);
            IMidiOut &device = Target.Device(index);
            if (m.Short)
                device.SendShort(m.Bytes[0], m.Bytes[1], m.Bytes[2]);
            else
                device.SendSysEx(m.Bytes);
        });
        Devices[slot]->SetGap(Gaps[slot]);
    }
    return *Devices[slot];
}

IMidiOut &TPacedOutputs::Device(int index)
{
    return Paced(index);
}

void TPacedOutputs::Open(int index)
{
    std::lock_guard lock(TargetLock);
    Target.Open(index);
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
