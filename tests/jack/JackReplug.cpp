// A re-plug through a real MIDI server: in the middle of a session, run_jack_test.sh stops
// ombrix-virtual-instrument (its JACK clients vanish) and starts it again. While it is gone, a
// burst sent through the paced output fails once, with its count, and nothing is taken as sent;
// once it is back, the device is found again and reconnected, and a change made after the
// restart reaches the new instrument. Then the script restarts the instrument between two checks,
// so that no check sees it gone: the next one still finds it replaced and reconnects.
//
// The script and this program meet through files in the working directory: this program writes
// "replug.ready", "replug.checked" and "replug.quick"; the script writes "replug.gone",
// "replug.back" and "replug.restarted".

#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "midi/PacedOutput.h"
#include "midi/RtMidiPorts.h"
#include "session/ReceiveHandOver.h"
#include "session/RequestProcedure.h"
#include "session/WaitPumping.h"
#include "support/MessageText.h"
#include "sysex/InstrumentPacing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

namespace {

using TBytes = std::vector<std::uint8_t>;

int FindDevice(const midi::TMidiDevices &devices, const std::string &part)
{
    for (int i = 0; i < devices.Count(); ++i)
        if (devices.Name(i).find(part) != std::string::npos)
            return i;
    return -1;
}

void Touch(const char *name)
{
    QFile file(QString::fromLatin1(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
}

bool WaitForFile(const char *name, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(QString::fromLatin1(name))) {
        if (clock.elapsed() > ms)
            return false;
        session::WaitPumping(20);
    }
    return true;
}

} // namespace

class TJackReplug : public QObject
{
    Q_OBJECT

    std::shared_ptr<midi::TMidiHub> Hub;
    int In = -1;
    int Out = -1;

    // The tone 2 level of part 1 as the instrument holds it now.
    int ReadLevel(midi::IMidiOut &device)
    {
        std::vector<TBytes> received;
        {
            session::TSysExAttachment attachment(
                midi::MidiIn(), [&](std::int32_t, std::span<const std::uint8_t> bytes) {
                    received.emplace_back(bytes.begin(), bytes.end());
                });
            device.SendSysExText("F0 41 10 00 0B 11 02 00 12 65 00 00 00 01");
            session::WaitPumpingAfterLeaving(device, 100);
            // A loaded machine (the sanitizers) may answer late.
            QElapsedTimer clock;
            clock.start();
            while (received.empty() && clock.elapsed() < 5000)
                session::WaitPumping(20);
        }
        if (received.size() != 1 || received.front().size() != 13)
            return -1;
        return received.front()[10];
    }

    // What the checks report within 2 s, as the program checks: every 500 ms.
    // As the program polls: every 500 ms. How soon it notices is a figure of `make bench`
    // (bench_app_replug); the limit here only catches a device never found again.
    std::vector<std::string> Reconnected()
    {
        QElapsedTimer clock;
        clock.start();
        std::vector<std::string> back;
        while (back.size() < 2 && clock.elapsed() < 30000) {
            for (std::string &line : Hub->Recheck())
                back.push_back(std::move(line));
            if (back.size() < 2)
                session::WaitPumping(500);
        }
        std::sort(back.begin(), back.end());
        Settle();
        return back;
    }
    // A MIDI server makes new connections live some cycles later.
    static void Settle() { session::WaitPumping(300); }
    const std::vector<std::string> BothBack {"MIDI input Ombrix Virtual MC-307 Out:out reconnected",
                                             "MIDI output Ombrix Virtual MC-307 In:in reconnected"};

private slots:
    void initTestCase()
    {
        for (const char *name : {"replug.ready", "replug.gone", "replug.checked", "replug.back",
                                 "replug.quick", "replug.restarted"})
            QFile::remove(QString::fromLatin1(name));
        // A loaded JACK server may refuse a new client for a moment: the lists are made again
        // until they show the instrument.
        QString listed;
        for (int attempt = 0; attempt < 5 && (In < 0 || Out < 0); ++attempt) {
            if (attempt > 0) {
                midi::ShutdownMidi();
                QTest::qWait(500);
            }
            Hub = std::make_shared<midi::TMidiHub>(
                std::vector<std::shared_ptr<midi::IMidiPortProvider>> {
                    std::make_shared<midi::TRtMidiProvider>()});
            midi::SetMidiService(Hub);
            In = FindDevice(midi::MidiIn(), "Ombrix Virtual MC-307 Out");
            Out = FindDevice(midi::MidiOut(), "Ombrix Virtual MC-307 In");
            listed.clear();
            for (int i = 0; i < midi::MidiIn().Count(); ++i)
                listed += QString::fromStdString(midi::MidiIn().Name(i)) + "; ";
            for (int i = 0; i < midi::MidiOut().Count(); ++i)
                listed += QString::fromStdString(midi::MidiOut().Name(i)) + "; ";
        }
        session::TReceiveHandOver::Ensure();
        QVERIFY2(In >= 0 && Out >= 0, qPrintable(listed));
        midi::MidiIn().Open(In);
        midi::MidiOut().Open(Out);
        Settle();
    }

    void changeAfterARestartArrives()
    {
        midi::TPacedOutputs paced(midi::MidiOut(), sysex::InstrumentPacing());
        midi::IMidiOut &device = paced.Device(Out);
        device.SendSysExText("F0 41 10 00 0B 12 02 00 12 65 11");
        QCOMPARE(ReadLevel(device), 0x11);
        QVERIFY(Hub->Recheck().empty());

        Touch("replug.ready");
        QVERIFY2(WaitForFile("replug.gone", 30000), "the instrument was not stopped");
        // Gone: a burst fails once, its messages counted, none taken as sent.
        for (int i = 0; i < 5; ++i)
            device.SendSysExText("F0 41 10 00 0B 12 02 00 12 " + midi::HexByte(0x60 + i) + " 01");
        QVERIFY(paced.Flush(std::chrono::seconds(5)));
        const auto failures = paced.TakeFailures();
        QCOMPARE(failures.size(), std::size_t(1));
        QCOMPARE(failures.front().NotSent, std::size_t(5));
        QVERIFY2(failures.front().Text.find("no longer available") != std::string::npos,
                 failures.front().Text.c_str());
        Hub->Recheck();
        Touch("replug.checked");

        QVERIFY2(WaitForFile("replug.back", 30000), "the instrument did not come back");
        QCOMPARE(Reconnected(), BothBack);
        device.SendSysExText("F0 41 10 00 0B 12 02 00 12 65 22");
        QCOMPARE(ReadLevel(device), 0x22);

        Touch("replug.quick");
        QVERIFY2(WaitForFile("replug.restarted", 30000), "the instrument was not restarted");
        QCOMPARE(Reconnected(), BothBack);
        device.SendSysExText("F0 41 10 00 0B 12 02 00 12 65 33");
        QCOMPARE(ReadLevel(device), 0x33);
    }

    void cleanupTestCase()
    {
        midi::ShutdownMidi();
        midi::SetMidiService(nullptr);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    TJackReplug test;
    return QTest::qExec(&test, argc, argv);
}
#include "JackReplug.moc"
