// The program's MIDI layer against a real MIDI server: the device sets run on the hub with the
// RtMidi ports alone, and ombrix-virtual-instrument answers on JACK (run_jack_test.sh starts the
// server and the instrument before this program). Requests go out as the windows send them and
// the answers must come back whole, checksummed and on the window thread.

#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "midi/PacedOutput.h"
#include "midi/RtMidiPorts.h"
#include "session/RequestProcedure.h"
#include "session/WaitPumping.h"
#include "support/MessageText.h"
#include "sysex/InstrumentPacing.h"

#include <RtMidi.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace {

using TBytes = std::vector<std::uint8_t>;

// The instrument's ports as the program lists them: its input is one of our outputs.
constexpr const char *InstrumentInput = "Ombrix Virtual MC-307 In";
constexpr const char *InstrumentOutput = "Ombrix Virtual MC-307 Out";

struct TDelivery
{
    int Device = -1;
    TBytes Bytes;
    bool OnWindowThread = false;
};

int FindDevice(const midi::TMidiDevices &devices, const std::string &part, QString &listed)
{
    for (int i = 0; i < devices.Count(); ++i) {
        listed += QString::fromStdString(devices.Name(i)) + "; ";
        if (devices.Name(i).find(part) != std::string::npos)
            return i;
    }
    return -1;
}

// A data-set message of the instrument with device byte 10: header, address, data, checksum, F7.
bool IsDataSet(const TBytes &bytes)
{
    if (bytes.size() < 13 || bytes.back() != 0xF7)
        return false;
    const TBytes header {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12};
    if (!std::equal(header.begin(), header.end(), bytes.begin()))
        return false;
    return ChecksumOf(bytes, 6, bytes.size() - 2) == bytes[bytes.size() - 2];
}

TBytes AddressOf(const TBytes &bytes)
{
    return TBytes(bytes.begin() + 6, bytes.begin() + 10);
}

TBytes DataOf(const TBytes &bytes)
{
    return TBytes(bytes.begin() + 10, bytes.end() - 2);
}

// Waits for a condition while doing nothing else; deliveries of a bare port come on RtMidi's
// thread, so nothing needs pumping.
template<class F>
bool WaitFor(F condition, std::chrono::milliseconds limit = std::chrono::milliseconds(2000))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace

class TJackRoundTrip : public QObject
{
    Q_OBJECT

    int In = -1;
    int Out = -1;

    // One request procedure as the windows run it: attach, send each text followed by the wait,
    // detach.
    std::vector<TDelivery> Request(const std::vector<std::string> &texts, int waitMs)
    {
        std::vector<TDelivery> received;
        QThread *windowThread = QCoreApplication::instance()->thread();
        session::TSysExAttachment attachment(
            midi::MidiIn(), [&](std::int32_t device, std::span<const std::uint8_t> bytes) {
                received.push_back({device, TBytes(bytes.begin(), bytes.end()),
                                    QThread::currentThread() == windowThread});
            });
        for (const auto &text : texts) {
            midi::MidiOut().SendSysExText(Out, text);
            session::WaitPumping(waitMs);
        }
        return received;
    }

    void CheckDeliveries(const std::vector<TDelivery> &received)
    {
        for (const auto &delivery : received) {
            QCOMPARE(delivery.Device, In);
            QVERIFY(delivery.OnWindowThread);
            QVERIFY2(IsDataSet(delivery.Bytes), qPrintable(HexOf(delivery.Bytes)));
        }
    }

private slots:
    void initTestCase()
    {
        QString inputs;
        QString outputs;
        // A loaded JACK server may refuse a new client for a moment (the lists then come out
        // empty): they are made again until they show the instrument.
        for (int attempt = 0; attempt < 5 && (In < 0 || Out < 0); ++attempt) {
            if (attempt > 0) {
                midi::ShutdownMidi();
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
            }
            std::vector<std::shared_ptr<midi::IMidiPortProvider>> providers {
                std::make_shared<midi::TRtMidiProvider>()};
            midi::SetMidiService(std::make_shared<midi::TMidiHub>(providers));
            inputs.clear();
            outputs.clear();
            In = FindDevice(midi::MidiIn(), InstrumentOutput, inputs);
            Out = FindDevice(midi::MidiOut(), InstrumentInput, outputs);
        }
        QVERIFY2(In >= 0, qPrintable("no input device of the instrument among: " + inputs));
        QVERIFY2(Out >= 0, qPrintable("no output device of the instrument among: " + outputs));
        midi::MidiIn().Open(In);
        midi::MidiOut().Open(Out);
        QVERIFY(midi::MidiIn().Handle(In) != 0);
        QVERIFY(midi::MidiOut().Handle(Out) != 0);
    }

    void systemSwitchesAreAnswered()
    {
        const auto received = Request({"F0 41 10 00 0B 11 00 00 00 08 00 00 00 03"}, 1000);
        QCOMPARE(received.size(), std::size_t(1));
        CheckDeliveries(received);
        const TBytes &answer = received.front().Bytes;
        QCOMPARE(answer.size(), std::size_t(15));
        QCOMPARE(HexOf(AddressOf(answer)), QString("00 00 00 08"));
    }

    void wholePatchComesAsFiveBlocks()
    {
        const auto received = Request({"F0 41 10 00 0B 11 02 00 00 00 00 00 17 01"}, 1000);
        QCOMPARE(received.size(), std::size_t(5));
        CheckDeliveries(received);
        // The patch common block, then the four tone blocks.
        const std::uint8_t blocks[] = {0x00, 0x10, 0x12, 0x14, 0x16};
        for (std::size_t i = 0; i < 5; ++i) {
            QCOMPARE(HexOf(AddressOf(received[i].Bytes)),
                     HexOf(TBytes {0x02, 0x00, blocks[i], 0x00}));
            QVERIFY(DataOf(received[i].Bytes).size() > 1);
        }
    }

    void dataSetIsReadBack_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("value");
        QTest::newRow("tone 2 level 100") << "02 00 12 65" << 0x64;
        QTest::newRow("tone 2 level 0") << "02 00 12 65" << 0x00;
        QTest::newRow("tone 4 level 127") << "02 00 16 65" << 0x7F;
        QTest::newRow("part 1 MFX switch on") << "01 00 10 0A" << 0x01;
    }

    void dataSetIsReadBack()
    {
        QFETCH(QString, address);
        QFETCH(int, value);
        const std::string where = address.toStdString();
        const std::string setText = "F0 41 10 00 0B 12 " + where + " " + midi::HexByte(value);
        const std::string requestText = "F0 41 10 00 0B 11 " + where + " 00 00 00 01";
        // The instrument handles messages in order, so the data set needs no wait of its own.
        midi::MidiOut().SendSysExText(Out, setText);
        const auto received = Request({requestText}, 1000);
        QCOMPARE(received.size(), std::size_t(1));
        CheckDeliveries(received);
        const TBytes &answer = received.front().Bytes;
        QCOMPARE(HexOf(AddressOf(answer)), address);
        QCOMPARE(HexOf(DataOf(answer)), HexOf(TBytes {static_cast<std::uint8_t>(value)}));
    }

    // The device set finds the JACK server's period for its JACK output: 256 frames at 48 kHz,
    // the server run_jack_test.sh starts.
    void jackOutputKnowsItsPeriod()
    {
        QCOMPARE(midi::MidiOut().HandOverPeriod(Out), std::chrono::microseconds(5334));
    }

    // The instrument runs with strict timing, forgiving a quarter of a period (run_jack_test.sh
    // checks that it dropped nothing): a burst of data sets through the paced output, at the
    // manual's 20 ms and JACK's period, arrives whole, and a request queued behind it gets its
    // answer within its wait, which starts once the request has left. Without the period, JACK
    // brings some of them up to a period closer, and the instrument drops them.
    void pacedBurstArrivesWhole()
    {
        midi::TPacedOutputs paced(midi::MidiOut(), sysex::InstrumentPacing());
        paced.SetGap(Out, std::chrono::milliseconds(20));
        midi::IMidiOut &device = paced.Device(Out);
        constexpr int Count = 30;
        for (int i = 0; i < Count; ++i)
            device.SendSysExText("F0 41 10 00 0B 12 02 00 12 " + midi::HexByte(0x20 + i) + " "
                                 + midi::HexByte(i + 1));
        QVERIFY(device.Waiting() > 10);
        std::vector<TDelivery> received;
        QThread *windowThread = QCoreApplication::instance()->thread();
        {
            session::TSysExAttachment attachment(
                midi::MidiIn(), [&](std::int32_t index, std::span<const std::uint8_t> bytes) {
                    received.push_back({index, TBytes(bytes.begin(), bytes.end()),
                                        QThread::currentThread() == windowThread});
                });
            device.SendSysExText("F0 41 10 00 0B 11 02 00 12 20 00 00 00 1E");
            session::WaitPumpingAfterLeaving(device, 300);
        }
        QCOMPARE(device.Waiting(), std::size_t(0));
        QCOMPARE(received.size(), std::size_t(1));
        CheckDeliveries(received);
        TBytes expected;
        for (int i = 0; i < Count; ++i)
            expected.push_back(static_cast<std::uint8_t>(i + 1));
        QCOMPARE(HexOf(DataOf(received.front().Bytes)), HexOf(expected));
    }

    // The model-3A header starts with a 00 that neither ALSA nor JACK can carry.
    void model3AMessageReachesTheInstrument_data()
    {
        QTest::addColumn<int>("flag");
        QTest::newRow("MFX on") << 1;
        QTest::newRow("MFX off") << 0;
    }

    void model3AMessageReachesTheInstrument()
    {
        QFETCH(int, flag);
        const std::string switchText = "00 F0 41 10 3A 12 30 56 " + midi::HexByte(flag) + " 00";
        midi::MidiOut().SendSysExText(Out, switchText);
        const auto received = Request({"F0 41 10 00 0B 11 01 00 10 0A 00 00 00 01"}, 1000);
        QCOMPARE(received.size(), std::size_t(1));
        CheckDeliveries(received);
        QCOMPARE(HexOf(DataOf(received.front().Bytes)),
                 HexOf(TBytes {static_cast<std::uint8_t>(flag)}));
    }

    void lateAnswersReachNoLaterProcedure()
    {
        // The wait ends long before the answer can arrive; the handler is detached by then.
        Request({"F0 41 10 00 0B 11 02 00 00 00 00 00 17 01"}, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const auto received = Request({}, 0);
        QVERIFY(received.empty());
        // The device still works.
        QCOMPARE(Request({"F0 41 10 00 0B 11 00 00 00 08 00 00 00 03"}, 1000).size(),
                 std::size_t(1));
    }

    // Below the device sets: the provider's own ports against ports of this test.

    void sendStripsWhatPrecedesTheStatusByte()
    {
        RtMidiIn sink(RtMidi::UNIX_JACK, "Ombrix Test Sink");
        sink.ignoreTypes(false, true, true);
        sink.openVirtualPort("in");
        midi::TRtMidiProvider provider;
        auto ports = provider.OutputPorts();
        auto port = std::find_if(ports.begin(), ports.end(), [](const auto &p) {
            return p->Name().find("Ombrix Test Sink") != std::string::npos;
        });
        QVERIFY(port != ports.end());
        std::string error;
        QVERIFY2((*port)->Open(error), error.c_str());

        const TBytes model3A {0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12,
                              0x30, 0x56, 0x01, 0x00, 0x79, 0xF7};
        const TBytes nothing;
        QVERIFY2((*port)->Send(nothing.data(), nothing.size(), error), error.c_str());
        QVERIFY2((*port)->Send(model3A.data(), model3A.size(), error), error.c_str());
        std::vector<unsigned char> message;
        QVERIFY(WaitFor([&] {
            sink.getMessage(&message);
            return !message.empty();
        }));
        QCOMPARE(HexOf(TBytes(message.begin(), message.end())),
                 HexOf(TBytes(model3A.begin() + 1, model3A.end())));
        // The empty message was not sent: nothing else is on its way.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sink.getMessage(&message);
        QVERIFY(message.empty());

        // The destination goes away.
        sink.closePort();
        error.clear();
        QVERIFY(!(*port)->Send(model3A.data(), model3A.size(), error));
        QCOMPARE(error,
                 "MIDI output \"" + (*port)->Name()
                     + "\" failed: the device is no longer available");
        (*port)->Close();
    }

    void nothingIsDeliveredAfterClose()
    {
        RtMidiOut source(RtMidi::UNIX_JACK, "Ombrix Test Source");
        source.openVirtualPort("out");
        midi::TRtMidiProvider provider;
        auto ports = provider.InputPorts();
        auto port = std::find_if(ports.begin(), ports.end(), [](const auto &p) {
            return p->Name().find("Ombrix Test Source") != std::string::npos;
        });
        QVERIFY(port != ports.end());

        std::atomic<int> delivered {0};
        std::atomic<int> afterClose {0};
        std::atomic<bool> closed {false};
        std::string error;
        QVERIFY2((*port)->Open(
                     [&](const std::uint8_t *data, std::size_t size) {
                         if (closed)
                             ++afterClose;
                         if (size == 4 && data[0] == 0xF0 && data[3] == 0xF7)
                             ++delivered;
                     },
                     error),
                 error.c_str());

        std::atomic<bool> sending {true};
        std::thread sender([&] {
            const std::vector<unsigned char> message {0xF0, 0x7D, 0x01, 0xF7};
            while (sending) {
                source.sendMessage(&message);
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        });
        const bool arrived = WaitFor([&] { return delivered > 10; });
        (*port)->Close();
        closed = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        sending = false;
        sender.join();
        QVERIFY(arrived);
        QCOMPARE(afterClose.load(), 0);
    }

    // Last, since it stops the MIDI layer: the program ends while a notification runs on JACK's
    // process thread, held there by the test (as a slow notification function would hold it)
    // until 300 ms into the shutdown. The shutdown closes JACK clients while that thread is in
    // its callback, waits for the notification, and ends within 5 s; none runs after it.
    void shutdownEndsWhileANotificationIsHeld()
    {
        midi::ShutdownMidi();
        // The source must be there before the hub lists the ports.
        RtMidiOut source(RtMidi::UNIX_JACK, "Ombrix Held Source");
        source.openVirtualPort("out");
        midi::SetMidiService(
            std::make_shared<midi::TMidiHub>(std::vector<std::shared_ptr<midi::IMidiPortProvider>> {
                std::make_shared<midi::TRtMidiProvider>()}));
        QString listed;
        const int held = FindDevice(midi::MidiIn(), "Ombrix Held Source", listed);
        QVERIFY2(held >= 0, qPrintable("no input device of the source among: " + listed));
        // The program's own devices are open, as when the user quits.
        In = FindDevice(midi::MidiIn(), InstrumentOutput, listed);
        Out = FindDevice(midi::MidiOut(), InstrumentInput, listed);
        QVERIFY(In >= 0 && Out >= 0);
        midi::MidiIn().Open(In);
        midi::MidiOut().Open(Out);

        static std::atomic<bool> entered;
        static std::atomic<bool> released;
        static std::atomic<bool> shutDown;
        static std::atomic<int> afterShutdown;
        entered = released = shutDown = false;
        afterShutdown = 0;
        // However the test ends, JACK's thread is let go.
        struct TRelease
        {
            ~TRelease() { released = true; }
        } release;
        const midi::MidiInProc notify = [](midi::HMIDIIN, std::uint32_t message, std::uintptr_t,
                                           std::uintptr_t, std::uintptr_t) {
            if (message != midi::MIM_DATA)
                return;
            if (shutDown)
                ++afterShutdown;
            entered = true;
            while (!released)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        midi::HMIDIIN handle = 0;
        QCOMPARE(midi::MidiService().midiInOpen(&handle, static_cast<std::uint32_t>(held), notify,
                                                0, midi::CALLBACK_FUNCTION),
                 midi::MMSYSERR_NOERROR);
        QCOMPARE(midi::MidiService().midiInStart(handle), midi::MMSYSERR_NOERROR);
        // Sent again until it arrives: the new connection carries nothing until the server has
        // taken it into its graph.
        const std::vector<unsigned char> note {0x90, 0x40, 0x7F};
        int polls = 0;
        QVERIFY(WaitFor([&] {
            if (polls++ % 25 == 0)
                source.sendMessage(&note);
            return entered.load();
        }));

        std::thread releaser([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            released = true;
        });
        const auto start = std::chrono::steady_clock::now();
        midi::ShutdownMidi();
        const auto took = std::chrono::steady_clock::now() - start;
        shutDown = true;
        released = true;
        releaser.join();
        // Nothing is delivered any more.
        source.sendMessage(&note);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        QVERIFY2(
            took < std::chrono::seconds(5),
            qPrintable(
                QString("the shutdown took %1 ms")
                    .arg(std::chrono::duration_cast<std::chrono::milliseconds>(took).count())));
        QCOMPARE(afterShutdown.load(), 0);
    }

    void cleanupTestCase()
    {
        midi::ShutdownMidi();
        midi::SetMidiService(nullptr);
    }
};

QTEST_GUILESS_MAIN(TJackRoundTrip)
#include "JackRoundTrip.moc"
