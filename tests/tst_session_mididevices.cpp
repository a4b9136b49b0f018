// The device sets on a fake service: indexes, result codes, the one input buffer per device and
// the hand-over of each returned buffer to the window thread.

#include "midi/MidiDevices.h"
#include "midi/MidiError.h"
#include "session/ErrorPolicy.h"
#include "session/ReceiveHandOver.h"
#include "session/TrafficTap.h"
#include "support/DeliveryRecorder.h"
#include "support/ErrorRecorder.h"
#include "support/FakeMidiService.h"
#include "support/MessageText.h"

#include <QtTest>
#include <thread>

using namespace midi;

class TestMidiDevices : public QObject, public TErrorRecorder
{
    Q_OBJECT

    std::shared_ptr<TFakeMidiService> Fake;
    TDeliveryRecorder Input;

    void Install(std::vector<std::string> in, std::vector<std::string> out)
    {
        ShutdownMidi();
        Fake = std::make_shared<TFakeMidiService>(std::move(in), std::move(out));
        SetMidiService(Fake);
    }

private slots:
    void init()
    {
        session::TReceiveHandOver::Ensure();
        Input.Deliveries.clear();
        Errors.clear();
        RecordErrors();
        Install({"In A", "In B"}, {"Out A"});
    }
    void cleanup()
    {
        ShutdownMidi();
        SetMidiService(nullptr);
        StopRecordingErrors();
    }

    void noDevices()
    {
        Install({}, {});
        QCOMPARE(MidiIn().Count(), 0);
        QCOMPARE(MidiOut().Count(), 0);
        QCOMPARE(ErrorOf([] { MidiIn().Open(0); }),
                 QString("TMidiInput: Device index out of bounds! (0)"));
    }

    void indexOutOfBounds()
    {
        QCOMPARE(ErrorOf([] { MidiOut().Open(-1); }),
                 QString("TMidiOutput: Device index out of bounds! (-1)"));
        QCOMPARE(ErrorOf([] { MidiOut().SendShort(1, 0xB0, 7, 100); }),
                 QString("TMidiOutput: Device index out of bounds! (1)"));
        QCOMPARE(ErrorOf([] { (void)MidiIn().Handle(2); }),
                 QString("TMidiInput: Device index out of bounds! (2)"));
    }

    void namesInServiceOrder()
    {
        Install({"First", std::string(40, 'x')}, {"Out"});
        QCOMPARE(MidiIn().Name(0), std::string("First"));
        QCOMPARE(MidiIn().Name(1), std::string(32, 'x')); // the name field holds 32 characters
        QCOMPARE(MidiIn().Buffers().size(), std::size_t(2));
        QCOMPARE(MidiIn().Buffers()[0]->Header.dwBufferLength, 2048u);
    }

    void openTwiceMakesNoCall()
    {
        MidiIn().Open(1);
        const auto calls = Fake->Calls();
        const std::vector<std::string> expected {"midiInOpen", "midiInPrepareHeader",
                                                 "midiInAddBuffer", "midiInStart"};
        QVERIFY(std::search(calls.begin(), calls.end(), expected.begin(), expected.end())
                != calls.end());
        (void)MidiOut();
        Fake->ClearRecords();
        MidiIn().Open(1);
        MidiOut().Open(0);
        MidiOut().Open(0);
        QCOMPARE(Fake->Calls(), std::vector<std::string> {"midiOutOpen"});
    }

    void sendShortOpensFirst()
    {
        MidiOut().SendShort(0, 0xB9, 0x0A, 0x00);
        QCOMPARE(Fake->Calls(),
                 (std::vector<std::string> {"midiOutGetNumDevs", "midiOutGetDevCapsA",
                                            "midiOutOpen", "midiOutShortMsg"}));
        QCOMPARE(Fake->Sent().back(), (std::vector<std::uint8_t> {0xB9, 0x0A, 0x00}));
    }

    void sendSysExOnClosedDevice()
    {
        QCOMPARE(ErrorOf([] { MidiOut().SendSysExText(0, "F0 41"); }),
                 QString("The MIDI device is not open."));
        MidiOut().Open(0);
        MidiOut().SendSysExText(0, "F0 41 10 00 0B 12 02 03 12 65 64");
        QCOMPARE(Fake->Sent().back(),
                 (std::vector<std::uint8_t> {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02, 0x03, 0x12,
                                             0x65, 0x64, 0x20, 0xF7}));
    }

    // A message with a status byte between its F0 and its F7 would end on the wire in the middle
    // and leave garbage behind: it is refused with a clear error, and nothing goes out.
    void statusByteInsideIsRefused()
    {
        MidiOut().Open(0);
        Fake->ClearRecords();
        const midi::TByteStream inside {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02,
                                        0x00, 0x10, 0x08, 0xF4, 0x62, 0xF7};
        QVERIFY(
            ErrorOf([&] { MidiOut().SendSysEx(0, inside); }).contains("status byte F4 at byte 10"));
        QVERIFY(ErrorOf([] { MidiOut().SendSysEx(0, {0xF0, 0x41, 0x10}); }).contains("closing F7"));
        QVERIFY(Fake->Calls().empty());
    }

    // A service that never lets go of a buffer keeps it: the send reports the error, and the
    // bytes stay there for the service until it releases them.
    void bufferHeldByTheServiceStaysAlive()
    {
        MidiOut().Open(0);
        Fake->Fail("midiOutUnprepareHeader", midi::MIDIERR_STILLPLAYING);
        Fake->ErrorTexts[midi::MIDIERR_STILLPLAYING] = "The MIDI buffer is still in use.";
        QCOMPARE(ErrorOf([] { MidiOut().SendSysExText(0, "F0 41 10 00 0B 12 02 00 10 65 7F"); }),
                 QString("The MIDI buffer is still in use."));
        QCOMPARE(MidiOut().HeldBuffers(), std::size_t(1));
        QCOMPARE(Fake->HeldBytes(),
                 (std::vector<std::vector<std::uint8_t>> {{0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02,
                                                           0x00, 0x10, 0x65, 0x7F, 0x0A, 0xF7}}));
        // Released at last: the next send frees it.
        Fake->ClearFailures();
        MidiOut().SendSysExText(0, "F0 41 10 00 0B 12 02 00 10 65 00");
        QCOMPARE(MidiOut().HeldBuffers(), std::size_t(0));
        QVERIFY(Fake->HeldBytes().empty());
    }

    // A code with a text raises it; a code without one raises nothing and the steps go on.
    void resultCodes()
    {
        Fake->Fail("midiInPrepareHeader", 1);
        QCOMPARE(ErrorOf([] { MidiIn().Open(0); }), QString("Unspecified MIDI error."));
        // The handle stored before the failing step stays: the device counts as open.
        QVERIFY(MidiIn().Handle(0) != 0);

        Fake->ClearFailures();
        Fake->Fail("midiInPrepareHeader", 77);
        Fake->ClearRecords();
        MidiIn().Open(1);
        const auto calls = Fake->Calls();
        QVERIFY(std::find(calls.begin(), calls.end(), "midiInStart") != calls.end());
    }

    void failedEnumerationRetries()
    {
        Fake->Fail("midiOutGetDevCapsA", 1);
        QCOMPARE(ErrorOf([] { MidiOut(); }), QString("Unspecified MIDI error."));
        Fake->ClearFailures();
        QCOMPARE(MidiOut().Count(), 1);
    }

    // Each returned buffer is one delivery, handed to the window thread as a copy.
    void deliveryReachesWindowThread()
    {
        MidiIn().Open(1);
        Input.Attach();
        const auto message = SysExOfSize(40, 0x11);
        std::thread service([&] { QCOMPARE(Fake->PlayLong(1, message), 1); });
        service.join();
        QVERIFY(Input.Deliveries.empty()); // never inside the notification
        QTRY_COMPARE(Input.Deliveries.size(), std::size_t(1));
        QCOMPARE(Input.Deliveries[0].Index, 1);
        QCOMPARE(Input.Deliveries[0].Bytes, message);
        QCOMPARE(Input.Deliveries[0].Thread, QThread::currentThread());
        QCOMPARE(Fake->QueuedBuffers(1), 1); // queued again
    }

    // The buffers of one long message are joined again before it is handed on.
    void longMessageArrivesInPieces()
    {
        MidiIn().Open(0);
        Input.Attach();
        const auto message = SysExOfSize(3000, 0x11);
        QCOMPARE(Fake->PlayLong(0, message), 2);
        QTRY_COMPARE(Input.Deliveries.size(), std::size_t(1));
        QCOMPARE(Input.Deliveries[0].Bytes, message);
    }

    // A message that lost its F7 is never handed to a handler, nor joined to the next one; the
    // watcher hears it as it came. Real-time bytes inside a message come after it.
    void cutShortIsDropped_data()
    {
        QTest::addColumn<QStringList>("deliveries");
        QTest::addColumn<QStringList>("handled");
        QTest::addColumn<QStringList>("heard");
        const QString fragment = "F0 41 10 00 0B 12 02 01 10 65";
        const QString answer = "F0 41 10 00 0B 12 02 01 10 00 00 6D F7";
        QTest::newRow("fragment and answer in one delivery")
            << QStringList {fragment + " " + answer} << QStringList {answer}
            << QStringList {fragment, answer};
        QTest::newRow("fragment delivered alone")
            << QStringList {fragment, answer} << QStringList {answer}
            << QStringList {fragment, answer};
        QTest::newRow("note inside")
            << QStringList {"F0 41 90 3C 40 F7", answer} << QStringList {answer}
            << QStringList {"F0 41 90 3C 40 F7", answer};
        QTest::newRow("clock inside")
            << QStringList {"F0 41 10 F8 00 F7"} << QStringList {"F0 41 10 00 F7"}
            << QStringList {"F0 41 10 00 F7", "F8"};
    }
    void cutShortIsDropped()
    {
        QFETCH(QStringList, deliveries);
        QFETCH(QStringList, handled);
        QFETCH(QStringList, heard);
        QStringList watched;
        session::SetTrafficSink(
            [&watched](const session::TTraffic &traffic) { watched << HexOf(traffic.Bytes); });
        midi::SetReceiveWatch(true);
        MidiIn().Open(0);
        Input.Attach();
        for (const QString &delivery : deliveries)
            Fake->PlayLong(0, BytesOf(delivery));
        QTRY_COMPARE(watched.size(), heard.size());
        midi::SetReceiveWatch(false);
        session::SetTrafficSink(nullptr);
        QCOMPARE(watched, heard);
        QStringList got;
        for (const TDelivery &delivery : Input.Deliveries)
            got << HexOf(delivery.Bytes);
        QCOMPARE(got, handled);
    }

    void zeroBytesRecordedIsNotQueuedAgain()
    {
        MidiIn().Open(0);
        Input.Attach();
        QVERIFY(Fake->ReturnBuffer(0, 0, MHDR_DONE));
        QTest::qWait(20);
        QVERIFY(Input.Deliveries.empty());
        QCOMPARE(Fake->QueuedBuffers(0), 0);
    }

    void bufferWithoutDoneFlagIsKept()
    {
        MidiIn().Open(0);
        Input.Attach();
        const auto first = std::vector<std::uint8_t> {0xF0, 0x01, 0x02};
        std::memcpy(MidiIn().Buffers()[0]->Buffer.data(), first.data(), first.size());
        QVERIFY(Fake->ReturnBuffer(0, 3, 0));
        QCOMPARE(Fake->PlayLong(0, std::vector<std::uint8_t> {0x03, 0xF7}), 1);
        QTRY_COMPARE(Input.Deliveries.size(), std::size_t(1));
        QCOMPARE(Input.Deliveries[0].Bytes,
                 (std::vector<std::uint8_t> {0xF0, 0x01, 0x02, 0x03, 0xF7}));
    }

    void noHandlerDiscards()
    {
        MidiIn().Open(0);
        QCOMPARE(Fake->PlayLong(0, SysExOfSize(10, 0x11)), 1);
        Input.Attach();
        QTest::qWait(20);
        QVERIFY(Input.Deliveries.empty());
        QCOMPARE(Fake->QueuedBuffers(0), 1);
    }

    // While a watcher is set, the rings also keep short messages and System Exclusive that no
    // handler waits for; the handler still gets only System Exclusive that came while it was
    // attached.
    void watcherHearsWhatNoHandlerTakes_data()
    {
        QTest::addColumn<bool>("attached");
        QTest::newRow("no handler") << false;
        QTest::newRow("handler") << true;
    }
    void watcherHearsWhatNoHandlerTakes()
    {
        QFETCH(bool, attached);
        std::vector<std::vector<std::uint8_t>> heard;
        session::SetTrafficSink([&heard](const session::TTraffic &traffic) {
            QVERIFY(!traffic.Sent);
            QCOMPARE(traffic.Device, std::string_view("In A"));
            heard.emplace_back(traffic.Bytes.begin(), traffic.Bytes.end());
        });
        midi::SetReceiveWatch(true);
        MidiIn().Open(0);
        if (attached)
            Input.Attach();
        const auto message = SysExOfSize(10, 0x11);
        std::thread service([&] {
            Fake->PlayShort(0, 0xFE);
            QCOMPARE(Fake->PlayLong(0, message), 1);
            Fake->PlayShort(0, 0x6407B3);
            Fake->PlayShort(0, 0x05C1);
        });
        service.join();
        if (!attached)
            Input.Attach(); // too late for what came before
        QTRY_COMPARE(heard.size(), std::size_t(4));
        midi::SetReceiveWatch(false);
        session::SetTrafficSink(nullptr);
        QCOMPARE(heard[0], (std::vector<std::uint8_t> {0xFE}));
        QCOMPARE(heard[1], message);
        QCOMPARE(heard[2], (std::vector<std::uint8_t> {0xB3, 0x07, 0x64}));
        QCOMPARE(heard[3], (std::vector<std::uint8_t> {0xC1, 0x05}));
        QCOMPARE(Input.Deliveries.size(), std::size_t(attached ? 1 : 0));
        if (attached)
            QCOMPARE(Input.Deliveries[0].Bytes, message);
        // Without a watcher short messages are ignored again.
        Fake->PlayShort(0, 0xFE);
        QTest::qWait(20);
        QCOMPARE(heard.size(), std::size_t(4));
    }

    // A delivery queued before the slot was cleared is dropped on the window thread.
    void clearedHandlerDropsQueuedDelivery()
    {
        MidiIn().Open(0);
        Input.Attach();
        QCOMPARE(Fake->PlayLong(0, SysExOfSize(10, 0x11)), 1);
        MidiIn().ClearOnSysEx();
        QTest::qWait(20);
        QVERIFY(Input.Deliveries.empty());
    }

    void shortMessagesIgnored()
    {
        MidiIn().Open(0);
        Input.Attach();
        Fake->PlayShort(0, 0x647B0);
        QTest::qWait(20);
        QVERIFY(Input.Deliveries.empty());
        QCOMPARE(Fake->QueuedBuffers(0), 1);
    }

    void requeueFailureIsReportedOnWindowThread()
    {
        MidiIn().Open(0);
        Fake->Fail("midiInAddBuffer", 1);
        std::thread service([&] { Fake->PlayLong(0, SysExOfSize(10, 0x11)); });
        service.join();
        QVERIFY(Errors.empty());
        QTRY_COMPARE(Errors.size(), std::size_t(1));
        QCOMPARE(Errors[0], std::string("Unspecified MIDI error."));
    }

    void handlerErrorsAreReported()
    {
        MidiIn().Open(0);
        MidiIn().SetOnSysEx(
            [](std::int32_t, std::span<const std::uint8_t>) { throw EMidiError("device gone"); });
        Fake->PlayLong(0, SysExOfSize(10, 0x11));
        QTRY_COMPARE(Errors.size(), std::size_t(1));
        QCOMPARE(Errors[0], std::string("device gone"));
    }

    void closeReturnsTheBuffer()
    {
        MidiIn().Open(0);
        Fake->ClearRecords();
        MidiIn().Close(0);
        QCOMPARE(Fake->Calls(),
                 (std::vector<std::string> {"midiInStop", "midiInReset", "midiInUnprepareHeader",
                                            "midiInClose"}));
        QCOMPARE(MidiIn().Handle(0), std::uintptr_t(0));
        QCOMPARE(Fake->QueuedBuffers(0), 0);
        MidiIn().Close(0); // closed: nothing happens
    }

    void shutdownDropsQueuedDeliveries()
    {
        MidiIn().Open(0);
        Input.Attach();
        Fake->PlayLong(0, SysExOfSize(10, 0x11));
        ShutdownMidi();
        QTest::qWait(20);
        QVERIFY(Input.Deliveries.empty());
    }
};

QTEST_GUILESS_MAIN(TestMidiDevices)
#include "tst_session_mididevices.moc"
