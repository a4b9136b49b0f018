#include "RtMidiPorts.h"

#include "JackLibrary.h"

#include <RtMidi.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace midi {

namespace {

// The JACK and ALSA client name of this program's own ports.
constexpr const char *ClientName = "Ombrix";
constexpr const char *InPortName = "MIDI In";
constexpr const char *OutPortName = "MIDI Out";

// RtMidi's texts start with the reporting function ("MidiInAlsa::initialize: ..."), which tells
// the user nothing.
std::string UserText(const std::string &text)
{
    const auto scope = text.find("::");
    const auto colon = text.find(": ");
    if (scope != std::string::npos && colon != std::string::npos && scope < colon)
        return text.substr(colon + 2);
    return text;
}

// Once installed, RtMidi reports here instead of printing to standard error or throwing, so every
// failure of a call shows up as a text the caller can hand on.
class TErrorLog
{
public:
    static void Report(RtMidiError::Type type, const std::string &text, void *user)
    {
        if (type == RtMidiError::DEBUG_WARNING)
            return;
        auto *log = static_cast<TErrorLog *>(user);
        std::lock_guard lock(log->Lock);
        if (log->Text.empty())
            log->Text = UserText(text);
    }

    void Clear()
    {
        std::lock_guard lock(Lock);
        Text.clear();
    }

    // The first error since Clear, or an empty text; clears it.
    std::string Take()
    {
        std::lock_guard lock(Lock);
        return std::exchange(Text, std::string());
    }

private:
    std::mutex Lock;
    std::string Text;
};

template<class T>
std::unique_ptr<T> Construct(RtMidi::Api api, std::string &failure)
{
    // RtMidi would quietly try the other APIs for one it does not know.
    std::vector<RtMidi::Api> compiled;
    RtMidi::getCompiledApi(compiled);
    if (api == RtMidi::UNSPECIFIED
        || std::find(compiled.begin(), compiled.end(), api) == compiled.end()) {
        failure = "this MIDI system is not supported";
        return nullptr;
    }
    try {
        return std::make_unique<T>(api, ClientName);
    } catch (const RtMidiError &e) {
        failure = UserText(e.getMessage());
    } catch (const std::exception &e) {
        failure = e.what();
    }
    return nullptr;
}

// Where the device named name is on the current list of midi: at index if nothing has moved,
// elsewhere if devices came or went since enumeration, nowhere if it is gone.
template<class T>
std::optional<unsigned int> Locate(T &midi, unsigned int index, const std::string &name)
{
    const unsigned int count = midi.getPortCount();
    if (index < count && midi.getPortName(index) == name)
        return index;
    for (unsigned int i = 0; i < count; ++i) {
        if (i != index && midi.getPortName(i) == name)
            return i;
    }
    return std::nullopt;
}

// The re-plug check of an open port: gone while no device of its name is found, back once one
// is found again and the port reconnected to it, present otherwise.
template<class T, class F>
TPortCheck RecheckPort(T &midi, unsigned int index, const std::string &name, bool &lost,
                       F reconnect)
{
    std::optional<unsigned int> at;
    try {
        at = Locate(midi, index, name);
    } catch (const RtMidiError &) { }
    if (!at) {
        lost = true;
        return TPortCheck::Gone;
    }
    if (!lost)
        return TPortCheck::Present;
    try {
        reconnect(*at);
    } catch (const RtMidiError &) {
        return TPortCheck::Gone;
    }
    lost = false;
    return TPortCheck::Back;
}

class TRtMidiInPort final : public IMidiInPort
{
public:
    TRtMidiInPort(RtMidi::Api api, unsigned int index, std::string name)
        : Api(api)
        , Index(index)
        , PortName(std::move(name))
    { }
    ~TRtMidiInPort() override { Close(); }

    std::string Name() const override { return PortName; }

    bool Open(Receiver receiver, std::string &error) override
    {
        if (Midi)
            return true;
        std::string failure;
        auto midi = Construct<RtMidiIn>(Api, failure);
        if (!midi) {
            error = "MIDI input \"" + PortName + "\" failed: " + failure;
            return false;
        }
        midi->setErrorCallback(&TErrorLog::Report, &Errors);
        Errors.Clear();
        try {
            const auto at = Locate(*midi, Index, PortName);
            if (!at) {
                error = "MIDI input \"" + PortName + "\" is no longer available";
                return false;
            }
            Target = std::move(receiver);
            Active.store(true);
            // Callback and filter go first: whatever arrives between opening and setting the
            // callback would sit in RtMidi's queue and never be delivered.
            midi->ignoreTypes(false, true, true);
            midi->setCallback(&TRtMidiInPort::Deliver, this);
            midi->openPort(*at, InPortName);
            failure = Errors.Take();
        } catch (const RtMidiError &e) {
            failure = UserText(e.getMessage());
        }
        if (!failure.empty()) {
            Stop(*midi);
            error = "MIDI input \"" + PortName + "\" failed: " + failure;
            return false;
        }
        Midi = std::move(midi);
        return true;
    }

    void Close() override
    {
        if (!Midi)
            return;
        Stop(*Midi);
        Midi.reset();
    }

    TPortCheck Recheck() override
    {
        if (!Midi)
            return TPortCheck::Present;
        // The connection went with the device: made again to the device now at that place.
        return RecheckPort(*Midi, Index, PortName, Lost, [this](unsigned int at) {
            Midi->closePort();
            Midi->openPort(at, InPortName);
        });
    }

private:
    // Runs on RtMidi's thread, with JACK on its real-time process thread: it takes no lock and
    // waits for nothing. Busy counts the deliveries running, so that Stop can promise that none
    // runs once it returns.
    static void Deliver(double, std::vector<unsigned char> *message, void *user)
    {
        if (!message || message->empty())
            return;
        auto *port = static_cast<TRtMidiInPort *>(user);
        port->Busy.fetch_add(1);
        if (port->Active.load()) {
            try {
                port->Target(message->data(), message->size());
            } catch (...) {
                // Nobody on this thread could report it; the message is lost, the port goes on.
            }
        }
        port->Busy.fetch_sub(1);
    }

    void Stop(RtMidiIn &midi)
    {
        Active.store(false);
        while (Busy.load() != 0)
            std::this_thread::yield();
        try {
            midi.closePort();
            midi.cancelCallback();
        } catch (const RtMidiError &) {
            // Closing is best effort; the object is destroyed next anyway.
        }
    }

    const RtMidi::Api Api;
    const unsigned int Index;
    const std::string PortName;
    // All outlive Midi: RtMidi may report or deliver until it is destroyed. Target is set only
    // while no delivery can run (before Active).
    TErrorLog Errors;
    std::atomic<bool> Active {false};
    std::atomic<int> Busy {0};
    Receiver Target;
    std::unique_ptr<RtMidiIn> Midi;
    bool Lost = false; // window thread
};

class TRtMidiOutPort final : public IMidiOutPort
{
public:
    TRtMidiOutPort(RtMidi::Api api, unsigned int index, std::string name)
        : Api(api)
        , Index(index)
        , PortName(std::move(name))
    { }
    ~TRtMidiOutPort() override { Close(); }

    std::string Name() const override { return PortName; }

    bool Open(std::string &error) override
    {
        std::lock_guard lock(Lock);
        if (Midi)
            return true;
        std::string failure;
        auto midi = Construct<RtMidiOut>(Api, failure);
        if (!midi) {
            error = Failed(failure);
            return false;
        }
        midi->setErrorCallback(&TErrorLog::Report, &Errors);
        Errors.Clear();
        std::optional<unsigned int> at;
        try {
            at = Locate(*midi, Index, PortName);
            if (!at) {
                error = "MIDI output \"" + PortName + "\" is no longer available";
                return false;
            }
            midi->openPort(*at, OutPortName);
            failure = Errors.Take();
        } catch (const RtMidiError &e) {
            failure = UserText(e.getMessage());
        }
        if (!failure.empty()) {
            error = Failed(failure);
            return false;
        }
        OpenIndex = *at;
        Midi = std::move(midi);
        // JACK hands a client's messages on at the start of its next period.
        if (Api == RtMidi::UNIX_JACK)
            PeriodUs.store(JackServerPeriod().count());
        return true;
    }

    bool Send(const std::uint8_t *data, std::size_t size, std::string &error) override
    {
        std::lock_guard lock(Lock);
        if (!Midi) {
            error = Failed("the device is not open");
            return false;
        }
        const auto wire = WireBytes({data, size});
        if (wire.empty())
            return true;
        Errors.Clear();
        std::string failure;
        try {
            // Neither ALSA nor JACK tells a sender that its destination has gone.
            const auto at = Locate(*Midi, OpenIndex, PortName);
            if (!at) {
                Lost = true;
                error = Failed("the device is no longer available");
                return false;
            }
            if (Lost)
                Reconnect(*at);
            OpenIndex = *at;
            Midi->sendMessage(wire.data(), wire.size());
            failure = Errors.Take();
        } catch (const RtMidiError &e) {
            failure = UserText(e.getMessage());
        }
        if (!failure.empty()) {
            error = Failed(failure);
            return false;
        }
        return true;
    }

    void Close() override
    {
        std::lock_guard lock(Lock);
        if (!Midi)
            return;
        try {
            Midi->closePort();
        } catch (const RtMidiError &) {
            // Closing is best effort; the object is destroyed next anyway.
        }
        Midi.reset();
    }

    TPortCheck Recheck() override
    {
        std::lock_guard lock(Lock);
        if (!Midi)
            return TPortCheck::Present;
        return RecheckPort(*Midi, OpenIndex, PortName, Lost, [this](unsigned int at) {
            Reconnect(at);
            OpenIndex = at;
        });
    }

    std::chrono::microseconds HandOverPeriod() const override
    {
        return std::chrono::microseconds(PeriodUs.load());
    }

private:
    std::string Failed(const std::string &why) const
    {
        return "MIDI output \"" + PortName + "\" failed: " + why;
    }

    // The connection went with the device: made again to the device now at that place. The
    // caller holds Lock.
    void Reconnect(unsigned int at)
    {
        Midi->closePort();
        Midi->openPort(at, OutPortName);
        Lost = false;
    }

    const RtMidi::Api Api;
    const unsigned int Index;
    const std::string PortName;
    TErrorLog Errors; // outlives Midi, which may report until it is destroyed
    std::mutex Lock;
    unsigned int OpenIndex = 0;
    std::unique_ptr<RtMidiOut> Midi;
    bool Lost = false; // under Lock
    std::atomic<std::int64_t> PeriodUs {0};
};

template<class TMidi, class TPort, class TBase>
std::vector<std::unique_ptr<TBase>> Enumerate()
{
    std::vector<std::unique_ptr<TBase>> ports;
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (const RtMidi::Api api : apis) {
        TErrorLog errors;
        std::string failure;
        // An API that does not work here (ALSA without a sequencer) throws and has no ports.
        auto midi = Construct<TMidi>(api, failure);
        if (!midi)
            continue;
        midi->setErrorCallback(&TErrorLog::Report, &errors);
        try {
            const unsigned int count = midi->getPortCount();
            for (unsigned int i = 0; i < count; ++i) {
                std::string name = midi->getPortName(i);
                if (!name.empty())
                    ports.push_back(std::make_unique<TPort>(api, i, std::move(name)));
            }
        } catch (const RtMidiError &) {
            // Keep what was listed before the failure.
        }
    }
    return ports;
}

RtMidi::Api ApiByName(const std::string &api)
{
    return api.empty() ? RtMidi::UNSPECIFIED : RtMidi::getCompiledApiByName(api);
}

} // namespace

std::span<const std::uint8_t> WireBytes(std::span<const std::uint8_t> message)
{
    if (std::find(message.begin(), message.end(), 0xF0) == message.end())
        return message;
    const auto status = std::find_if(message.begin(), message.end(),
                                     [](std::uint8_t byte) { return byte >= 0x80; });
    return message.subspan(static_cast<std::size_t>(status - message.begin()));
}

void PrepareProcessEnvironment()
{
    // RtMidi opens its JACK clients with JackNoStartServer; this covers any other JACK client of
    // the process and keeps the promise for RtMidi versions that do not.
    setenv("JACK_NO_START_SERVER", "1", 0);
}

TRtMidiProvider::TRtMidiProvider() = default;

TRtMidiProvider::~TRtMidiProvider() = default;

std::vector<std::unique_ptr<IMidiInPort>> TRtMidiProvider::InputPorts()
{
    return Enumerate<RtMidiIn, TRtMidiInPort, IMidiInPort>();
}

std::vector<std::unique_ptr<IMidiOutPort>> TRtMidiProvider::OutputPorts()
{
    return Enumerate<RtMidiOut, TRtMidiOutPort, IMidiOutPort>();
}

std::vector<std::string> TRtMidiProvider::CompiledApis()
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    std::vector<std::string> names;
    for (const RtMidi::Api api : apis)
        names.push_back(RtMidi::getApiName(api));
    return names;
}

std::unique_ptr<IMidiInPort>
TRtMidiProvider::MakeInputPort(const std::string &api, unsigned int index, const std::string &name)
{
    return std::make_unique<TRtMidiInPort>(ApiByName(api), index, name);
}

std::unique_ptr<IMidiOutPort>
TRtMidiProvider::MakeOutputPort(const std::string &api, unsigned int index, const std::string &name)
{
    return std::make_unique<TRtMidiOutPort>(ApiByName(api), index, name);
}

} // namespace midi
