#include "VirtualInstrumentPorts.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace instrument {

using Clock = std::chrono::steady_clock;

struct TVirtualInstrumentProvider::TState
{
    TState(std::shared_ptr<TVirtualInstrument> instrument, std::chrono::microseconds byteTime)
        : Instrument(std::move(instrument))
        , ByteTime(byteTime)
    { }

    struct TPending
    {
        TMessage Bytes;
        Clock::time_point Due;
    };

    // Lock order: ReceiverLock before QueueLock; the answering thread never holds both.
    std::mutex QueueLock;
    std::condition_variable QueueChanged;
    std::deque<TPending> Queue;
    Clock::time_point WireFree {}; // when the last queued answer has passed the cable
    std::chrono::microseconds Delay {}; // of the next answers, once
    bool InputOpen = false; // under QueueLock
    bool Stopping = false; // under QueueLock
    std::thread Worker;
    std::atomic<std::thread::id> WorkerId {};
    std::atomic<bool> Ended {false}; // the first Stop joins (or detaches) the thread

    // Held while the receiver runs, so that Close waits for a delivery in progress; recursive
    // so that a receiver may close the port or send again from inside the call.
    std::recursive_mutex ReceiverLock;
    midi::IMidiInPort::Receiver Receiver;

    const std::shared_ptr<TVirtualInstrument> Instrument;
    const std::chrono::microseconds ByteTime;

    void OpenInput(midi::IMidiInPort::Receiver receiver)
    {
        std::lock_guard receiverLock(ReceiverLock);
        Receiver = std::move(receiver);
        std::lock_guard queueLock(QueueLock);
        InputOpen = true;
    }

    void CloseInput()
    {
        std::lock_guard receiverLock(ReceiverLock);
        Receiver = nullptr;
        std::lock_guard queueLock(QueueLock);
        InputOpen = false;
        // Like pulling the cable: what was still on its way is lost.
        Queue.clear();
    }

    // The request took requestSize bytes on the cable to the instrument; each answer then
    // takes its own bytes on the way back, one after the other.
    void Enqueue(std::vector<TMessage> answers, std::size_t requestSize)
    {
        if (answers.empty())
            return;
        const Clock::time_point arrival = Clock::now() + ByteTime * requestSize;
        std::lock_guard lock(QueueLock);
        if (!InputOpen || Stopping)
            return;
        Clock::time_point due = std::max(WireFree, arrival) + std::exchange(Delay, {});
        for (TMessage &answer : answers) {
            due += ByteTime * answer.size();
            Queue.push_back({std::move(answer), due});
        }
        WireFree = due;
        QueueChanged.notify_all();
    }

    void Run()
    {
        std::unique_lock lock(QueueLock);
        while (!Stopping) {
            if (Queue.empty()) {
                QueueChanged.wait(lock);
                continue;
            }
            const Clock::time_point due = Queue.front().Due;
            if (Clock::now() < due) {
                QueueChanged.wait_until(lock, due);
                continue;
            }
            TPending pending = std::move(Queue.front());
            Queue.pop_front();
            lock.unlock();
            Deliver(pending.Bytes);
            lock.lock();
        }
    }

    void Deliver(const TMessage &message)
    {
        std::lock_guard lock(ReceiverLock);
        // A copy: the receiver may close the port, which clears Receiver, while it runs.
        const midi::IMidiInPort::Receiver receiver = Receiver;
        if (receiver)
            receiver(message.data(), message.size());
    }

    void Stop()
    {
        {
            std::lock_guard lock(QueueLock);
            Stopping = true;
            Queue.clear();
            QueueChanged.notify_all();
        }
        if (Ended.exchange(true) || !Worker.joinable())
            return;
        if (std::this_thread::get_id() == WorkerId.load())
            Worker.detach(); // asked by a receiver: the loop ends when the delivery returns
        else
            Worker.join();
    }
};

namespace {

class TVirtualInPort final : public midi::IMidiInPort
{
public:
    explicit TVirtualInPort(std::shared_ptr<TVirtualInstrumentProvider::TState> state)
        : State(std::move(state))
    { }
    ~TVirtualInPort() override { Close(); }

    std::string Name() const override { return VirtualInstrumentName; }
    bool Open(Receiver receiver, std::string &) override
    {
        State->OpenInput(std::move(receiver));
        IsOpen = true;
        return true;
    }
    void Close() override
    {
        if (IsOpen.exchange(false))
            State->CloseInput();
    }

private:
    std::shared_ptr<TVirtualInstrumentProvider::TState> State;
    std::atomic<bool> IsOpen {false};
};

class TVirtualOutPort final : public midi::IMidiOutPort
{
public:
    explicit TVirtualOutPort(std::shared_ptr<TVirtualInstrumentProvider::TState> state)
        : State(std::move(state))
    { }

    std::string Name() const override { return VirtualInstrumentName; }
    bool Open(std::string &) override
    {
        IsOpen = true;
        return true;
    }
    bool Send(const std::uint8_t *data, std::size_t size, std::string &error) override
    {
        if (!IsOpen) {
            error = std::string(VirtualInstrumentName) + " is not open.";
            return false;
        }
        const std::span<const std::uint8_t> message(data, data ? size : 0);
        State->Enqueue(State->Instrument->Receive(message), message.size());
        return true;
    }
    void Close() override { IsOpen = false; }

private:
    std::shared_ptr<TVirtualInstrumentProvider::TState> State;
    std::atomic<bool> IsOpen {false};
};

} // namespace

TVirtualInstrumentProvider::TVirtualInstrumentProvider(
    std::shared_ptr<TVirtualInstrument> instrument, std::chrono::microseconds byteTime)
    : Shared(std::move(instrument))
    , State(std::make_shared<TState>(Shared, byteTime))
{
    // The thread owns a reference too, so the state outlives a thread that had to detach.
    State->Worker = std::thread([state = State] { state->Run(); });
    State->WorkerId = State->Worker.get_id();
}

TVirtualInstrumentProvider::~TVirtualInstrumentProvider()
{
    Shutdown();
}

std::vector<std::unique_ptr<midi::IMidiInPort>> TVirtualInstrumentProvider::InputPorts()
{
    std::vector<std::unique_ptr<midi::IMidiInPort>> ports;
    ports.push_back(std::make_unique<TVirtualInPort>(State));
    return ports;
}

std::vector<std::unique_ptr<midi::IMidiOutPort>> TVirtualInstrumentProvider::OutputPorts()
{
    std::vector<std::unique_ptr<midi::IMidiOutPort>> ports;
    ports.push_back(std::make_unique<TVirtualOutPort>(State));
    return ports;
}

void TVirtualInstrumentProvider::DelayNextAnswers(std::chrono::microseconds by)
{
    std::lock_guard lock(State->QueueLock);
    State->Delay = by;
}

void TVirtualInstrumentProvider::Shutdown()
{
    State->Stop();
}

} // namespace instrument
