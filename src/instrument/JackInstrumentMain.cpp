// ombrix-virtual-instrument: the built-in virtual MC-307 as a JACK MIDI client, so that Ombrix
// (or anything else) can talk to it through a real MIDI server.
//
// Ports: the JACK client "Ombrix Virtual MC-307 In" with the MIDI input port "in" takes what the
// program sends; the client "Ombrix Virtual MC-307 Out" with the MIDI output port "out" carries
// the answers. Full names stay within the 31 characters a device name keeps in Ombrix.
//
// Answers leave one by one at the pace of a DIN cable: each message goes out once its bytes
// would have passed the cable (320 us a byte), as the real instrument's answers do.
//
// With --strict-timing (or OMBRIX_STRICT_TIMING=1) it drops data sets that come less than 20 ms
// after the previous one ended, printing each drop ("dropped N: <address>"), and prints the
// count when it ends ("drops: N").
//
// Prints "ready" once both ports exist; ends on SIGTERM or SIGINT with status 0.

#include "instrument/VirtualInstrument.h"

#include <RtMidi.h>

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char *InClientName = "Ombrix Virtual MC-307 In";
constexpr const char *InPortName = "in";
constexpr const char *OutClientName = "Ombrix Virtual MC-307 Out";
constexpr const char *OutPortName = "out";
constexpr std::chrono::microseconds ByteTime {320};
// JACK hands MIDI over once a period, at its start: two messages sent 20 ms apart may arrive up
// to a period closer. The test server's period is 256 frames at 48 kHz (5.3 ms); a strict
// instrument forgives that much.
constexpr std::chrono::microseconds ArrivalTolerance {6000};

std::string AddressText(const instrument::TMessage &message)
{
    std::string text;
    char byte[4];
    for (std::size_t i = 6; i < 10 && i < message.size(); ++i) {
        std::snprintf(byte, sizeof byte, i == 6 ? "%02X" : " %02X", message[i]);
        text += byte;
    }
    return text;
}

// Received messages wait here: RtMidi delivers on JACK's process thread, which must never wait
// for the instrument or for the cable.
class TAnswerer
{
public:
    TAnswerer(instrument::TVirtualInstrument &instrument, RtMidiOut &output)
        : Instrument(instrument)
        , Output(output)
        , Worker([this] { Run(); })
    { }

    ~TAnswerer()
    {
        {
            std::lock_guard lock(Lock);
            Stopping = true;
        }
        Wake.notify_all();
        Worker.join();
    }

    static void Receive(double, std::vector<unsigned char> *message, void *user)
    {
        if (message == nullptr || message->empty())
            return;
        auto *self = static_cast<TAnswerer *>(user);
        {
            std::lock_guard lock(self->Lock);
            self->Pending.push_back({*message, std::chrono::steady_clock::now()});
        }
        self->Wake.notify_one();
    }

private:
    void Run()
    {
        std::unique_lock lock(Lock);
        for (;;) {
            Wake.wait(lock, [this] { return Stopping || !Pending.empty(); });
            if (Stopping)
                return;
            const TArrival arrival = std::move(Pending.front());
            Pending.pop_front();
            lock.unlock();
            const std::uint64_t dropsBefore = Instrument.StrictDrops();
            const auto answers = Instrument.Receive(arrival.Message, arrival.Time);
            const std::uint64_t drops = Instrument.StrictDrops();
            if (drops != dropsBefore)
                std::cout << "dropped " << drops << ": " << AddressText(arrival.Message)
                          << std::endl;
            for (const auto &answer : answers) {
                lock.lock();
                // The cable time of this answer; a stop cuts it short.
                if (Wake.wait_for(lock, ByteTime * answer.size(), [this] { return Stopping; }))
                    return;
                lock.unlock();
                try {
                    Output.sendMessage(answer.data(), answer.size());
                } catch (const RtMidiError &e) {
                    std::cerr << "ombrix-virtual-instrument: " << e.getMessage() << '\n';
                }
            }
            lock.lock();
        }
    }

    instrument::TVirtualInstrument &Instrument;
    RtMidiOut &Output;
    std::mutex Lock;
    std::condition_variable Wake;
    struct TArrival
    {
        instrument::TMessage Message;
        std::chrono::steady_clock::time_point Time;
    };
    std::deque<TArrival> Pending;
    bool Stopping = false;
    std::thread Worker;
};

int Usage(int status)
{
    (status == 0 ? std::cout : std::cerr)
        << "Usage: ombrix-virtual-instrument [--device-id N] [--strict-timing]\n"
           "The virtual MC-307 on JACK: input port \""
        << InClientName << ':' << InPortName << "\", output port \"" << OutClientName << ':'
        << OutPortName
        << "\".\n"
           "  --device-id N    the instrument's device ID, 16..32 (default 17)\n"
           "  --strict-timing  make the instrument drop data messages that come less than\n"
           "                   20 ms apart, as the real MC-307 does\n"
           "  -h, --help       show this help and end\n"
           "  -v, --version    show the version and end\n";
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    int deviceId = 17;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h")
            return Usage(0);
        if (option == "--version" || option == "-v") {
            std::cout << "ombrix-virtual-instrument " OMBRIX_VERSION "\n";
            return 0;
        }
        if (option == "--strict-timing") {
            // Read by the instrument; set while the program has a single thread.
            setenv("OMBRIX_STRICT_TIMING", "1", 1);
            continue;
        }
        if (option == "--device-id" && i + 1 < argc) {
            char *end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || value < 16 || value > 32) {
                std::cerr << "ombrix-virtual-instrument: device ID must be 16..32\n";
                return 2;
            }
            deviceId = static_cast<int>(value);
            continue;
        }
        if (option == "--device-id")
            std::cerr << "ombrix-virtual-instrument: --device-id needs a value\n";
        else
            std::cerr << "ombrix-virtual-instrument: unknown option \"" << option << "\"\n";
        return Usage(2);
    }

    // Blocked before any thread exists, so that JACK's threads inherit the mask and the signals
    // reach sigwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    setenv("JACK_NO_START_SERVER", "1", 0);

    instrument::TVirtualInstrument instrument(deviceId);
    if (instrument.StrictTiming())
        instrument.SetStrictTiming(true, ArrivalTolerance);
    try {
        // One client after the other: a JACK client that starts while another is still starting
        // can hang the server.
        RtMidiOut output(RtMidi::UNIX_JACK, OutClientName);
        output.openVirtualPort(OutPortName);
        // Declared after the answerer, so that no delivery reaches the answerer once it is gone.
        TAnswerer answerer(instrument, output);
        RtMidiIn input(RtMidi::UNIX_JACK, InClientName);
        input.ignoreTypes(false, true, true);
        input.setCallback(&TAnswerer::Receive, &answerer);
        input.openVirtualPort(InPortName);

        std::cout << "ready" << std::endl;

        int signal = 0;
        sigwait(&stopSignals, &signal);

        input.closePort();
        input.cancelCallback();
        if (instrument.StrictTiming())
            std::cout << "drops: " << instrument.StrictDrops() << std::endl;
    } catch (const RtMidiError &e) {
        std::cerr << "ombrix-virtual-instrument: " << e.getMessage() << '\n';
        return 1;
    }
    return 0;
}
