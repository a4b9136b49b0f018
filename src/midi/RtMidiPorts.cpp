#include "RtMidiPorts.h"

#include "JackLibrary.h"
#include "PortPresence.h"
#include "System.h"

#include <RtMidi.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <iostream>
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

void PrintNothing(const char *) { }

// The JACK and ALSA libraries print their failures on the standard error themselves, five lines
// for each JACK client that finds no server: a machine without one would get two dozen lines at
// every start. Their failures reach the user through RtMidi's texts instead.
void SilenceSystemLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (const TJackLibrary *jack = JackLibrary()) {
            jack->SetErrorFunction(&PrintNothing);
            jack->SetInfoFunction(&PrintNothing);
        }
        SilenceSystemMidiLibrary();
    });
}

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
    SilenceSystemLibraries();
    // Until an error callback is installed, RtMidi prints every failure on std::cerr, and a
    // constructor fails before one can be: the stream writes nowhere meanwhile. One construction
    // at a time, so that none puts back the stream while another still needs it quiet.
    static std::mutex quietLock;
    std::lock_guard lock(quietLock);
    struct TQuiet
    {
        std::streambuf *Saved = std::cerr.rdbuf(nullptr);
        ~TQuiet() { std::cerr.rdbuf(Saved); }
    } quiet;
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

// Runs a reconnection and returns why it failed, or an empty text: with an error callback
// installed, RtMidi reports a failed open there and does not throw.
template<class F>
std::string Reconnected(TErrorLog &errors, F reconnect)
{
    errors.Clear();
    try {
        reconnect();
    } catch (const RtMidiError &e) {
        return UserText(e.getMessage());
    }
    return errors.Take();
}

// Who owns a JACK port now: JACK numbers each client anew as it opens, while the ports of a
// client that ended and started again between two looks come back under the same names (and the
// same port numbers), with no connection. Asked through a client of our own, without ports,
// which lives while a JACK port of ours is open. The JACK library is the one RtMidi brought.
class TJackOwners
{
public:
    // None without a JACK server (or without the JACK library).
    static std::shared_ptr<TJackOwners> Shared()
    {
        static std::mutex lock;
        static std::weak_ptr<TJackOwners> shared;
        std::lock_guard guard(lock);
        if (auto owners = shared.lock())
            return owners;
        auto owners = std::make_shared<TJackOwners>();
        if (!owners->Client)
            return nullptr;
        shared = owners;
        return owners;
    }

    TJackOwners()
        : Jack(JackLibrary())
    {
        if (Jack)
            Client = Jack->ClientOpen("Ombrix device watch", JackNoStartServer, nullptr);
    }
    ~TJackOwners()
    {
        if (Client)
            Jack->ClientClose(Client);
    }
    TJackOwners(const TJackOwners &) = delete;
    TJackOwners &operator=(const TJackOwners &) = delete;

    // The identity of the client that owns the port named portName ("client:port"), or an empty
    // text.
    std::string Of(const std::string &portName)
    {
        const std::string client = portName.substr(0, portName.find(':'));
        std::lock_guard guard(Lock);
        char *uuid = Jack->UuidOfClient(Client, client.c_str());
        if (!uuid)
            return {};
        std::string identity = uuid;
        Jack->Free(uuid);
        return identity;
    }

private:
    const TJackLibrary *Jack;
    std::mutex Lock;
    jack_client_t *Client = nullptr;
};

// What the ports of both directions share: where the device is, and who it is.
class TDeviceLook
{
public:
    TDeviceLook(RtMidi::Api api, std::string name)
        : Api(api)
        , PortName(std::move(name))
    { }

    // Once the port is open: the identity from now on.
    void Connected()
    {
        if (Api == RtMidi::UNIX_JACK && !Owners)
            Owners = TJackOwners::Shared();
        Presence.Connected(Identity());
    }
    void Closed() { Owners.reset(); }

    // Whether midi's list shows the device now; its place goes to at.
    template<class T>
    bool Listed(T &midi, unsigned int index, unsigned int &at)
    {
        std::optional<unsigned int> found;
        try {
            found = Locate(midi, index, PortName);
        } catch (const RtMidiError &) { }
        if (found)
            at = *found;
        return found.has_value();
    }

    std::string Identity() { return Owners ? Owners->Of(PortName) : std::string(); }

    TPortPresence Presence;

private:
    const RtMidi::Api Api;
    const std::string PortName;
    std::shared_ptr<TJackOwners> Owners;
};

class TRtMidiInPort final : public IMidiInPort
{
public:
    TRtMidiInPort(RtMidi::Api api, unsigned int index, std::string name)
        : Api(api)
        , Index(index)
        , PortName(name)
        , Device(api, std::move(name))
    { }
    ~TRtMidiInPort() override { Close(); }

    std::string Name() const override { return PortName; }

    bool Open(Receiver receiver, std::string &error) override
    {
        if (Midi)
            return true;
        // Made before the client, whose thread reads it: the thread starts after it is made,
        // and the client goes before it.
        auto deliveries = std::make_unique<TDeliveries>();
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
            deliveries->Target = std::move(receiver);
            deliveries->Active.store(true);
            // Callback and filter go first: whatever arrives between opening and setting the
            // callback would sit in RtMidi's queue and never be delivered.
            midi->ignoreTypes(false, true, true);
            midi->setCallback(&TRtMidiInPort::Deliver, deliveries.get());
            midi->openPort(*at, InPortName);
            failure = Errors.Take();
        } catch (const RtMidiError &e) {
            failure = UserText(e.getMessage());
        }
        if (!failure.empty()) {
            Stop(*midi, *deliveries);
            error = "MIDI input \"" + PortName + "\" failed: " + failure;
            return false;
        }
        Deliveries = std::move(deliveries);
        Midi = std::move(midi);
        Device.Connected();
        return true;
    }

    void Close() override
    {
        if (!Midi)
            return;
        Stop(*Midi, *Deliveries);
        // Closing the JACK client ends its process thread; only then may the count go.
        Midi.reset();
        Deliveries.reset();
        Device.Closed();
    }

    TPortCheck Recheck() override
    {
        if (!Midi)
            return TPortCheck::Present;
        unsigned int at = Index;
        const bool listed = Device.Listed(*Midi, Index, at);
        // The connection went with the device: made again to the device now at that place.
        return Device.Presence.Check(
            listed, [this] { return Device.Identity(); },
            [&] {
                return Reconnected(Errors, [&] {
                    Midi->closePort();
                    Midi->openPort(at, InPortName);
                });
            });
    }

private:
    // What the deliveries of one opening share. Busy counts the deliveries running, so that Stop
    // can promise that none runs once it returns. One for each RtMidi client, and dropped with
    // it: JACK ends a client's process thread with an asynchronous cancel when the client closes
    // (libjack's jack_client_close, once the server has switched its graph, which it does without
    // waiting for a cycle still running), and a thread ended inside Deliver leaves its count up
    // for ever. A count kept by the port for its whole life would then hold every later close of
    // the port, and the program's end, in Stop's wait.
    struct TDeliveries
    {
        std::atomic<bool> Active {false};
        std::atomic<int> Busy {0};
        Receiver Target; // set only while no delivery can run (before Active)
    };

    // Runs on RtMidi's thread, with JACK on its real-time process thread: it takes no lock and
    // waits for nothing.
    static void Deliver(double, std::vector<unsigned char> *message, void *user)
    {
        // RtMidi clears the callback's data apart from the callback, which its thread may
        // already have read.
        if (!user || !message || message->empty())
            return;
        auto *deliveries = static_cast<TDeliveries *>(user);
        deliveries->Busy.fetch_add(1);
        if (deliveries->Active.load()) {
            try {
                deliveries->Target(message->data(), message->size());
            } catch (...) {
                // Nobody on this thread could report it; the message is lost, the port goes on.
            }
        }
        deliveries->Busy.fetch_sub(1);
    }

    static void Stop(RtMidiIn &midi, TDeliveries &deliveries)
    {
        deliveries.Active.store(false);
        while (deliveries.Busy.load() != 0)
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
    // Both outlive Midi: RtMidi may report or deliver until it is destroyed.
    TErrorLog Errors;
    std::unique_ptr<TDeliveries> Deliveries;
    std::unique_ptr<RtMidiIn> Midi;
    TDeviceLook Device; // window thread
};

class TRtMidiOutPort final : public IMidiOutPort
{
public:
    TRtMidiOutPort(RtMidi::Api api, unsigned int index, std::string name)
        : Api(api)
        , Index(index)
        , PortName(name)
        , Device(api, std::move(name))
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
        Device.Connected();
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
        // Neither ALSA nor JACK tells a sender that its destination has gone, or was replaced.
        if (!Usable()) {
            error = Failed(Device.Presence.Failure());
            return false;
        }
        Errors.Clear();
        std::string failure;
        try {
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
        Device.Closed();
    }

    TPortCheck Recheck() override
    {
        std::lock_guard lock(Lock);
        if (!Midi)
            return TPortCheck::Present;
        const bool listed = Device.Listed(*Midi, OpenIndex, OpenIndex);
        return Device.Presence.Check(
            listed, [this] { return Device.Identity(); }, [this] { return Reconnect(); });
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

    // Whether the device can take a message now, connected again when needed. The caller holds
    // Lock.
    bool Usable()
    {
        const bool listed = Device.Listed(*Midi, OpenIndex, OpenIndex);
        return Device.Presence.Usable(
            listed, [this] { return Device.Identity(); }, [this] { return Reconnect(); });
    }

    // The connection went with the device: made again to the device now at that place. The
    // caller holds Lock.
    std::string Reconnect()
    {
        return Reconnected(Errors, [this] {
            Midi->closePort();
            Midi->openPort(OpenIndex, OutPortName);
        });
    }

    const RtMidi::Api Api;
    const unsigned int Index;
    const std::string PortName;
    TErrorLog Errors; // outlives Midi, which may report until it is destroyed
    std::mutex Lock;
    unsigned int OpenIndex = 0;
    std::unique_ptr<RtMidiOut> Midi;
    TDeviceLook Device; // under Lock
    std::atomic<std::int64_t> PeriodUs {0};
};

// What the user is told of a MIDI system that lists no ports here.
std::string UnlistedText(RtMidi::Api api)
{
    switch (api) {
    case RtMidi::UNIX_JACK:
        return "JACK not running: its ports are not listed";
    case RtMidi::LINUX_ALSA:
        return "ALSA sequencer not available: its ports are not listed";
    default:
        return RtMidi::getApiDisplayName(api) + " not available: its ports are not listed";
    }
}

// Adds the APIs that could not be asked for their ports to unlisted.
template<class TMidi, class TPort, class TBase>
std::vector<std::unique_ptr<TBase>> Enumerate(std::vector<int> &unlisted)
{
    std::vector<std::unique_ptr<TBase>> ports;
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    const auto missing = [&unlisted](RtMidi::Api api) {
        if (std::find(unlisted.begin(), unlisted.end(), api) == unlisted.end())
            unlisted.push_back(static_cast<int>(api));
    };
    for (const RtMidi::Api api : apis) {
        TErrorLog errors;
        std::string failure;
        // An API that does not work here (ALSA without a sequencer) throws and has no ports.
        auto midi = Construct<TMidi>(api, failure);
        if (!midi) {
            missing(api);
            continue;
        }
        midi->setErrorCallback(&TErrorLog::Report, &errors);
        try {
            const unsigned int count = midi->getPortCount();
            // JACK without a server: the count tries to connect again, and reports its failure.
            if (count == 0 && !errors.Take().empty())
                missing(api);
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
    SetEnvironment("JACK_NO_START_SERVER", "1", false);
}

TRtMidiProvider::TRtMidiProvider() = default;

TRtMidiProvider::~TRtMidiProvider() = default;

std::vector<std::unique_ptr<IMidiInPort>> TRtMidiProvider::InputPorts()
{
    return Enumerate<RtMidiIn, TRtMidiInPort, IMidiInPort>(Unlisted);
}

std::vector<std::unique_ptr<IMidiOutPort>> TRtMidiProvider::OutputPorts()
{
    return Enumerate<RtMidiOut, TRtMidiOutPort, IMidiOutPort>(Unlisted);
}

std::vector<std::string> TRtMidiProvider::UnlistedSystems() const
{
    std::vector<std::string> texts;
    for (const int api : Unlisted)
        texts.push_back(UnlistedText(static_cast<RtMidi::Api>(api)));
    return texts;
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
