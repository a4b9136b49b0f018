// The system ports through RtMidi, on a machine that may have neither an ALSA sequencer nor a
// JACK server: nothing may throw, and every failure comes back as a text naming the device.
// Talking to real ports is the JACK integration test's job.

#include "midi/PortPresence.h"
#include "midi/RtMidiPorts.h"

#include <QTest>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

Q_DECLARE_METATYPE(std::vector<std::uint8_t>)

namespace {

using TBytes = std::vector<std::uint8_t>;

// A device name no system gives.
const std::string Missing = "Ombrix Test:no such port 0";

bool HasAlsaSequencer()
{
    return std::filesystem::exists("/dev/snd/seq");
}

std::vector<std::string> Names(const auto &ports)
{
    std::vector<std::string> names;
    for (const auto &port : ports)
        names.push_back(port->Name());
    return names;
}

bool StartsWith(const std::string &text, const std::string &start)
{
    return text.compare(0, start.size(), start) == 0;
}

} // namespace

class TRtMidiPortsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A server name nobody runs: whatever JACK server this machine has, the test sees none.
        const std::string server
            = "ombrix-no-server-" + std::to_string(QCoreApplication::applicationPid());
        setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    }

    // Start-up keeps JACK from starting a server, before any thread could race the change.
    void startUpKeepsJackFromStartingAServer()
    {
        const char *saved = std::getenv("JACK_NO_START_SERVER");
        const std::string before = saved ? saved : "";
        unsetenv("JACK_NO_START_SERVER");
        {
            midi::PrepareProcessEnvironment();
            const char *value = std::getenv("JACK_NO_START_SERVER");
            QVERIFY(value != nullptr);
            QCOMPARE(std::string(value), std::string("1"));
        }
        if (saved)
            setenv("JACK_NO_START_SERVER", before.c_str(), 1);
    }

    void compiledApisInEnumerationOrder()
    {
        const auto apis = midi::TRtMidiProvider::CompiledApis();
        QVERIFY(!apis.empty());
        for (const auto &api : apis)
            QVERIFY(!api.empty());
        const auto alsa = std::find(apis.begin(), apis.end(), "alsa");
        const auto jack = std::find(apis.begin(), apis.end(), "jack");
        if (alsa != apis.end() && jack != apis.end())
            QVERIFY(alsa < jack);
    }

    void enumerationNeverThrows()
    {
        midi::TRtMidiProvider provider;
        std::vector<std::unique_ptr<midi::IMidiInPort>> inputs;
        std::vector<std::unique_ptr<midi::IMidiOutPort>> outputs;
        QVERIFY_THROWS_NO_EXCEPTION(inputs = provider.InputPorts());
        QVERIFY_THROWS_NO_EXCEPTION(outputs = provider.OutputPorts());
        // Without a JACK server only an ALSA sequencer can have ports.
        if (!HasAlsaSequencer()) {
            QCOMPARE(inputs.size(), std::size_t(0));
            QCOMPARE(outputs.size(), std::size_t(0));
        }
        const auto apis = midi::TRtMidiProvider::CompiledApis();
        const auto unlisted = provider.UnlistedSystems();
        QCOMPARE(std::count(unlisted.begin(), unlisted.end(),
                            "JACK not running: its ports are not listed"),
                 std::count(apis.begin(), apis.end(), "jack"));
        QVERIFY_THROWS_NO_EXCEPTION(provider.Shutdown());
    }

    void portListsAreStable()
    {
        midi::TRtMidiProvider first;
        midi::TRtMidiProvider second;
        const auto inputs = first.InputPorts();
        const auto outputs = first.OutputPorts();
        QCOMPARE(Names(second.InputPorts()), Names(inputs));
        QCOMPARE(Names(second.OutputPorts()), Names(outputs));
        for (const auto &port : inputs)
            QVERIFY(!port->Name().empty());
        for (const auto &port : outputs)
            QVERIFY(!port->Name().empty());
    }

    void openOfMissingDeviceFails_data()
    {
        QTest::addColumn<QString>("api");
        QTest::addColumn<unsigned int>("index");
        QTest::newRow("jack, index past the end") << "jack" << 9999u;
        QTest::newRow("jack, first index") << "jack" << 0u;
        QTest::newRow("alsa, index past the end") << "alsa" << 9999u;
        QTest::newRow("alsa, first index") << "alsa" << 0u;
    }

    void openOfMissingDeviceFails()
    {
        QFETCH(QString, api);
        QFETCH(unsigned int, index);
        const auto apis = midi::TRtMidiProvider::CompiledApis();
        if (std::find(apis.begin(), apis.end(), api.toStdString()) == apis.end())
            QSKIP("RtMidi was built without this API");
        // JACK without a server, and ALSA with a sequencer, list no such device; ALSA without a
        // sequencer cannot even look.
        const bool cannotLook = api == "alsa" && !HasAlsaSequencer();

        std::atomic<int> deliveries {0};
        auto input = midi::TRtMidiProvider::MakeInputPort(api.toStdString(), index, Missing);
        QCOMPARE(input->Name(), Missing);
        std::string error;
        QVERIFY(!input->Open([&](const std::uint8_t *, std::size_t) { ++deliveries; }, error));
        if (cannotLook) {
            QVERIFY2(StartsWith(error, "MIDI input \"" + Missing + "\" failed: "), error.c_str());
            QVERIFY2(error.find("ALSA") != std::string::npos, error.c_str());
            QVERIFY2(error.find("::") == std::string::npos, error.c_str());
        } else {
            QCOMPARE(error, "MIDI input \"" + Missing + "\" is no longer available");
        }
        QVERIFY_THROWS_NO_EXCEPTION(input->Close());
        QCOMPARE(deliveries.load(), 0);

        auto output = midi::TRtMidiProvider::MakeOutputPort(api.toStdString(), index, Missing);
        error.clear();
        QVERIFY(!output->Open(error));
        if (cannotLook)
            QVERIFY2(StartsWith(error, "MIDI output \"" + Missing + "\" failed: "), error.c_str());
        else
            QCOMPARE(error, "MIDI output \"" + Missing + "\" is no longer available");

        // A failed open leaves the port closed.
        const TBytes message {0xF0, 0x41, 0xF7};
        error.clear();
        QVERIFY(!output->Send(message.data(), message.size(), error));
        QCOMPARE(error, "MIDI output \"" + Missing + "\" failed: the device is not open");
    }

    void unknownApiCannotOpen()
    {
        std::string error;
        auto input = midi::TRtMidiProvider::MakeInputPort("no such api", 0, Missing);
        QVERIFY(!input->Open([](const std::uint8_t *, std::size_t) {}, error));
        QCOMPARE(error, "MIDI input \"" + Missing + "\" failed: this MIDI system is not supported");
        auto output = midi::TRtMidiProvider::MakeOutputPort("", 0, Missing);
        error.clear();
        QVERIFY(!output->Open(error));
        QCOMPARE(error,
                 "MIDI output \"" + Missing + "\" failed: this MIDI system is not supported");
    }

    void closedPortsStayQuiet()
    {
        auto input = midi::TRtMidiProvider::MakeInputPort("jack", 0, Missing);
        auto output = midi::TRtMidiProvider::MakeOutputPort("jack", 0, Missing);
        // Closing what was never opened, twice, and destroying it afterwards.
        QVERIFY_THROWS_NO_EXCEPTION(input->Close());
        QVERIFY_THROWS_NO_EXCEPTION(input->Close());
        QVERIFY_THROWS_NO_EXCEPTION(output->Close());
        QVERIFY_THROWS_NO_EXCEPTION(output->Close());
        const TBytes message {0x00, 0xF0, 0x41, 0xF7};
        std::string error;
        QVERIFY(!output->Send(message.data(), message.size(), error));
        QCOMPARE(error, "MIDI output \"" + Missing + "\" failed: the device is not open");
    }

    // Each look: "-" nothing listed, "A" the device listed with identity A ("." with none); a
    // trailing "!" makes connecting fail; a leading "s" looks for a send (Usable or Not).
    void presenceFollowsTheDevice_data()
    {
        QTest::addColumn<QString>("identity");
        QTest::addColumn<QString>("looks");
        QTest::addColumn<QString>("results");
        const auto row
            = [](const char *name, const char *identity, const char *looks, const char *results) {
                  QTest::newRow(name) << QString(identity) << QString(looks) << QString(results);
              };
        row("gone, then back", "A", "A - A A", "PGBP");
        row("back only once connected", "A", "- A! A! A", "GGGB");
        row("replaced between two looks", "A", "B B", "BP");
        row("replaced, not connected yet", "A", "B! B", "GB");
        row("no identity to compare", "", ". - . .", "PGBP");
        row("a send connects, the check tells", "A", "- sA A A", "GUBP");
        row("a send to a device gone", "A", "s- sA! A", "NNB");
        row("a send goes by the name", "A", "sB B B", "UBP");
    }
    void presenceFollowsTheDevice()
    {
        QFETCH(QString, identity);
        QFETCH(QString, looks);
        QFETCH(QString, results);
        midi::TPortPresence presence;
        presence.Connected(identity.toStdString());
        QString seenResults;
        for (QString look : looks.split(' ')) {
            const bool send = look.startsWith('s');
            const bool refused = look.endsWith('!');
            look = look.mid(send ? 1 : 0, look.size() - send - refused);
            const bool listed = look != "-";
            const auto seen = [look] { return look == "." ? std::string() : look.toStdString(); };
            const auto reconnect = [refused] { return std::string(refused ? "refused" : ""); };
            if (send)
                seenResults += presence.Usable(listed, seen, reconnect) ? 'U' : 'N';
            else
                seenResults += "PGB"[static_cast<int>(presence.Check(listed, seen, reconnect))];
            if (refused)
                QCOMPARE(presence.Failure(), std::string("refused"));
        }
        QCOMPARE(seenResults, results);
    }

    void wireBytes_data()
    {
        QTest::addColumn<TBytes>("message");
        QTest::addColumn<int>("skipped");
        QTest::newRow("data set passes whole")
            << TBytes {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02, 0x03, 0x12, 0x65, 0x64, 0x20, 0xF7}
            << 0;
        QTest::newRow("model-3A loses its leading 00")
            << TBytes {0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12, 0x32, 0x55, 0x70, 0x00, 0x09, 0xF7} << 1;
        QTest::newRow("several data bytes before F0")
            << TBytes {0x00, 0x7F, 0x01, 0xF0, 0x41, 0xF7} << 3;
        QTest::newRow("another status byte before F0 is kept")
            << TBytes {0x00, 0x90, 0xF0, 0xF7} << 1;
        QTest::newRow("F0 at the very end") << TBytes {0x00, 0x00, 0xF0} << 2;
        QTest::newRow("control change passes whole") << TBytes {0xB0, 0x07, 0x64} << 0;
        QTest::newRow("no F0: data bytes pass whole") << TBytes {0x00, 0x40} << 0;
        QTest::newRow("no F0: a lone F7 passes") << TBytes {0xF7} << 0;
        QTest::newRow("empty") << TBytes {} << 0;
    }

    void wireBytes()
    {
        QFETCH(TBytes, message);
        QFETCH(int, skipped);
        const auto wire = midi::WireBytes(message);
        QCOMPARE(wire.size(), message.size() - static_cast<std::size_t>(skipped));
        // A view into the message itself, not a copy.
        const std::uint8_t *expected = message.data() + skipped;
        if (!wire.empty())
            QCOMPARE(wire.data(), expected);
        if (skipped > 0)
            QVERIFY(wire.front() >= 0x80);
    }
};

QTEST_GUILESS_MAIN(TRtMidiPortsTest)
#include "tst_rtmidi_ports.moc"
