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
// count when it ends ("drops: N"). It times each message by the frame JACK delivers it at, the
// start of the period the sender's port put it in; a sender that keeps its gap plus one period
// between hand-overs is never judged early. The one roughness the period leaves is a sender's
// client that runs late in its period: a message handed over after the period began still goes
// at its start. The sender's client runs before ours in each period, so ours is at least as
// late: that much is forgiven, for each message, and nothing more. A sender that ignores the
// period loses up to a whole one and is caught.
//
// With --load FILE.syx it fills the instrument's memory from a bulk dump before JACK is asked
// for anything, so that a file it cannot use ends it with status 2 whether a server runs or not.
//
// Prints "ready" once both ports exist; ends on SIGTERM or SIGINT with status 0.

#include "instrument/VirtualInstrument.h"
#include "midi/JackLibrary.h"
#include "midi/ReceiveRing.h"
#include "midi/System.h"

#include <RtMidi.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char *InClientName = "Ombrix Virtual MC-307 In";
constexpr const char *InPortName = "in";
constexpr const char *OutClientName = "Ombrix Virtual MC-307 Out";
constexpr const char *OutPortName = "out";
constexpr std::chrono::microseconds ByteTime {320};
using Clock = std::chrono::steady_clock;

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

// The instrument's input port, a JACK client of its own: JACK's process thread copies each
// message with its arrival time and its period's lateness (JACK's microseconds) into a ring and
// wakes the answering thread; it takes no lock and allocates nothing.
class TJackInput
{
public:
    TJackInput(const midi::TJackLibrary &jack, std::counting_semaphore<> &wake)
        : Jack(jack)
        , Wake(wake)
    { }
    ~TJackInput() { Close(); }

    // On failure returns false and says why in error.
    bool Open(std::string &error)
    {
        jack_status_t status {};
        Client = Jack.ClientOpen(InClientName, JackNoStartServer, &status);
        if (!Client) {
            error = "no JACK server to connect to";
            return false;
        }
        Port = Jack.PortRegister(Client, InPortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        if (!Port || Jack.SetProcessCallback(Client, &TJackInput::Process, this) != 0
            || Jack.Activate(Client) != 0) {
            error = "the JACK input port could not be made";
            Close();
            return false;
        }
        return true;
    }

    void Close()
    {
        if (!Client)
            return;
        Jack.Deactivate(Client);
        Jack.ClientClose(Client);
        Client = nullptr;
    }

    // The answering thread: the oldest message, its arrival and how late its period ran, if
    // any.
    bool Take(instrument::TMessage &message, Clock::time_point &arrival,
              std::chrono::microseconds &late)
    {
        const midi::TReceiveRing::TEntry *entry = Ring.Front();
        if (!entry)
            return false;
        const auto bytes = entry->Message();
        TStamp stamp {};
        if (bytes.size() > sizeof stamp) {
            std::memcpy(&stamp, bytes.data(), sizeof stamp);
            arrival = Clock::time_point(std::chrono::microseconds(stamp.Arrival));
            late = std::chrono::microseconds(stamp.Late);
            message.assign(bytes.begin() + sizeof stamp, bytes.end());
        } else {
            message.clear();
        }
        Ring.Pop();
        return true;
    }

private:
    struct TStamp
    {
        jack_time_t Arrival;
        jack_time_t Late;
    };

    static int Process(jack_nframes_t frames, void *user)
    {
        auto *self = static_cast<TJackInput *>(user);
        const midi::TJackLibrary &jack = self->Jack;
        void *buffer = jack.PortBuffer(self->Port, frames);
        const jack_nframes_t cycle = jack.LastFrameTime(self->Client);
        const jack_time_t start = jack.FramesToTime(self->Client, cycle);
        const jack_time_t now = jack.Time();
        const std::uint32_t count = jack.MidiEventCount(buffer);
        for (std::uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack.MidiEventGet(&event, buffer, i) != 0 || event.size == 0)
                continue;
            const TStamp stamp {jack.FramesToTime(self->Client, cycle + event.time),
                                now > start ? now - start : 0};
            self->Ring.Append({reinterpret_cast<const std::uint8_t *>(&stamp), sizeof stamp});
            self->Ring.Append({event.buffer, event.size});
            if (self->Ring.Commit())
                self->Wake.release();
        }
        return 0;
    }

    const midi::TJackLibrary &Jack;
    std::counting_semaphore<> &Wake;
    midi::TReceiveRing Ring;
    jack_client_t *Client = nullptr;
    jack_port_t *Port = nullptr;
};

// Received messages are judged and answered here: JACK's process thread must never wait for the
// instrument or for the cable.
class TAnswerer
{
public:
    TAnswerer(instrument::TVirtualInstrument &instrument, RtMidiOut &output, TJackInput &input,
              std::counting_semaphore<> &wake)
        : Instrument(instrument)
        , Output(output)
        , Input(input)
        , Wake(wake)
        , Worker([this] { Run(); })
    { }

    ~TAnswerer()
    {
        {
            std::lock_guard lock(Lock);
            Stopping = true;
        }
        Stopped.notify_all();
        Wake.release();
        Worker.join();
    }

private:
    void Run()
    {
        instrument::TMessage message;
        Clock::time_point arrival;
        std::chrono::microseconds late {};
        while (!IsStopping()) {
            if (!Input.Take(message, arrival, late)) {
                Wake.acquire();
                continue;
            }
            if (message.empty())
                continue;
            const std::uint64_t dropsBefore = Instrument.StrictDrops();
            const auto answers = Instrument.Receive(message, arrival, late);
            const std::uint64_t drops = Instrument.StrictDrops();
            if (drops != dropsBefore)
                std::cout << "dropped " << drops << ": " << AddressText(message) << std::endl;
            for (const auto &answer : answers) {
                std::unique_lock lock(Lock);
                // The cable time of this answer; a stop cuts it short.
                if (Stopped.wait_for(lock, ByteTime * answer.size(), [this] { return Stopping; }))
                    return;
                lock.unlock();
                try {
                    Output.sendMessage(answer.data(), answer.size());
                } catch (const RtMidiError &e) {
                    std::cerr << "ombrix-virtual-instrument: " << e.getMessage() << '\n';
                }
            }
        }
    }

    bool IsStopping()
    {
        std::lock_guard lock(Lock);
        return Stopping;
    }

    instrument::TVirtualInstrument &Instrument;
    RtMidiOut &Output;
    TJackInput &Input;
    std::counting_semaphore<> &Wake;
    std::mutex Lock;
    std::condition_variable Stopped;
    bool Stopping = false;
    std::thread Worker;
};

int Usage(int status)
{
    (status == 0 ? std::cout : std::cerr)
        << "Usage: ombrix-virtual-instrument [--device-id N] [--strict-timing] [--load FILE]\n"
           "The virtual MC-307 on JACK: input port \""
        << InClientName << ':' << InPortName << "\", output port \"" << OutClientName << ':'
        << OutPortName
        << "\".\n"
           "  --device-id N    the instrument's device ID, 16..32 (default 17)\n"
           "  --strict-timing  make the instrument drop data messages that come less than\n"
           "                   20 ms apart, as the real MC-307 does\n"
           "  --load FILE      fill the instrument's memory from the data sets of a bulk\n"
           "                   dump (.syx), whatever device they were sent to; may be given\n"
           "                   more than once, the files loaded in order\n"
           "  -h, --help       show this help and end\n"
           "  -v, --version    show the version and end\n";
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    int deviceId = 17;
    std::vector<instrument::TBulkDump> dumps;
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
            midi::SetEnvironment("OMBRIX_STRICT_TIMING", "1", true);
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
        if (option == "--load" && i + 1 < argc) {
            instrument::TDumpRead read = instrument::ReadDumpFile(argv[++i]);
            if (!read.Error.empty()) {
                std::cerr << "ombrix-virtual-instrument: --load: " << read.Error << '\n';
                return 2;
            }
            dumps.push_back(std::move(read.Dump));
            continue;
        }
        if (option == "--device-id" || option == "--load")
            std::cerr << "ombrix-virtual-instrument: " << option << " needs a value\n";
        else
            std::cerr << "ombrix-virtual-instrument: unknown option \"" << option << "\"\n";
        return Usage(2);
    }

    // Before any thread exists, so that JACK's threads leave the signals to the wait below.
    midi::TStopSignals stopSignals;
    midi::SetEnvironment("JACK_NO_START_SERVER", "1", false);

    instrument::TVirtualInstrument instrument(deviceId);
    for (const instrument::TBulkDump &dump : dumps)
        instrument.Load(dump);
    const midi::TJackLibrary *jack = midi::JackLibrary();
    if (!jack) {
        std::cerr << "ombrix-virtual-instrument: no JACK library in this RtMidi\n";
        return 1;
    }
    try {
        // One client after the other: a JACK client that starts while another is still starting
        // can hang the server.
        RtMidiOut output(RtMidi::UNIX_JACK, OutClientName);
        output.openVirtualPort(OutPortName);
        std::counting_semaphore<> wake(0);
        TJackInput input(*jack, wake);
        std::string error;
        if (!input.Open(error)) {
            std::cerr << "ombrix-virtual-instrument: " << error << '\n';
            return 1;
        }
        // Made after the input, gone before it: the input's ring outlives every reader.
        {
            TAnswerer answerer(instrument, output, input, wake);
            std::cout << "ready" << std::endl;
            stopSignals.Wait();
            input.Close();
        }
        if (instrument.StrictTiming())
            std::cout << "drops: " << instrument.StrictDrops() << std::endl;
    } catch (const RtMidiError &e) {
        std::cerr << "ombrix-virtual-instrument: " << e.getMessage() << '\n';
        return 1;
    }
    return 0;
}
