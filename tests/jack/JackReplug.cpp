// A re-plug through a real MIDI server: in the middle of a session, run_jack_test.sh stops
// ombrix-virtual-instrument (its JACK clients vanish) and starts it again. While it is gone, a
// burst sent through the paced output fails once, with its count, and nothing is taken as sent;
// once it is back, the device is found again and reconnected, and a change made after the
// restart reaches the new instrument.
//
// The script and this program meet through files in the working directory: this program writes
// "replug.ready" and "replug.checked"; the script writes "replug.gone" and "replug.back".

#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "midi/PacedOutput.h"
#include "midi/RtMidiPorts.h"
#include "protocol/ReceiveHandOver.h"
#include "protocol/RequestProcedure.h"
#include "protocol/WaitPumping.h"
#include "support/MessageText.h"

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
        protocol::WaitPumping(20);
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
            protocol::TSysExAttachment attachment(
                midi::MidiIn(), [&](std::int32_t, std::span<const std::uint8_t> bytes) {
                    received.emplace_back(bytes.begin(), bytes.end());
                });
            device.SendSysExText("F0 41 10 00 0B 11 02 00 12 65 00 00 00 01");
            protocol::WaitPumpingAfterLeaving(device, 500);
        }
        if (received.size() != 1 || received.front().size() != 13)
            return -1;
        return received.front()[10];
    }

private slots:
    void initTestCase()
    {
        for (const char *name : {"replug.ready", "replug.gone", "replug.checked", "replug.back"})
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
        protocol::TReceiveHandOver::Ensure();
        QVERIFY2(In >= 0 && Out >= 0, qPrintable(listed));
        midi::MidiIn().Open(In);
        midi::MidiOut().Open(Out);
    }

    void changeAfterARestartArrives()
    {
        midi::TPacedOutputs paced(midi::MidiOut());
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
        QElapsedTimer clock;
        clock.start();
        std::vector<std::string> back;
        // As the program polls: every 500 ms. How soon it notices is a figure of `make bench`
        // (bench_app_replug); the limit here only catches a device never found again.
        while (back.size() < 2 && clock.elapsed() < 30000) {
            for (std::string &line : Hub->Recheck())
                back.push_back(std::move(line));
            if (back.size() < 2)
                protocol::WaitPumping(500);
        }
        std::sort(back.begin(), back.end());
        QCOMPARE(back.size(), std::size_t(2));
        QVERIFY2(back[1] == "MIDI output Ombrix Virtual MC-307 In:in reconnected", back[1].c_str());
        QVERIFY2(back[0] == "MIDI input Ombrix Virtual MC-307 Out:out reconnected",
                 back[0].c_str());
        device.SendSysExText("F0 41 10 00 0B 12 02 00 12 65 22");
        QCOMPARE(ReadLevel(device), 0x22);
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
