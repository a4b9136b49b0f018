// The request procedure against the virtual instrument: answers reach the attached handler on
// the window thread while the window waits, and nothing once the slot has been cleared.

#include "midi/MidiDevices.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "session/WaitPumping.h"
#include "support/MessageText.h"
#include "support/VirtualRig.h"

#include <QElapsedTimer>
#include <QtTest>

using Bytes = std::vector<std::uint8_t>;

class TestRequestProcedure : public QObject
{
    Q_OBJECT

    std::vector<Bytes> Received;
    std::vector<QThread *> Threads;

    midi::TSysExHandler Recorder()
    {
        return [this](std::int32_t, std::span<const std::uint8_t> bytes) {
            Received.emplace_back(bytes.begin(), bytes.end());
            Threads.push_back(QThread::currentThread());
        };
    }

private slots:
    void init()
    {
        Received.clear();
        Threads.clear();
    }

    void answersArriveWhileWaiting()
    {
        TVirtualRig rig;
        midi::MidiIn().Open(0);
        midi::MidiOut().Open(0);
        {
            session::TSysExAttachment attached(midi::MidiIn(), Recorder());
            midi::MidiOut().SendSysExText(0, "F0 41 10 00 0B 11 00 00 00 08 00 00 00 03");
            QVERIFY(Received.empty()); // never inside the send
            session::WaitPumping(300);
        }
        QVERIFY(!midi::MidiIn().HasOnSysEx());
        QCOMPARE(Received.size(), std::size_t(1));
        QCOMPARE(HexOf(Received[0]).left(30), QString("F0 41 10 00 0B 12 00 00 00 08 "));
        QCOMPARE(Received[0].size(), std::size_t(15));
        QCOMPARE(Threads[0], QThread::currentThread());
    }

    void wholePatchIsFiveMessages()
    {
        TVirtualRig rig;
        midi::MidiIn().Open(0);
        midi::MidiOut().Open(0);
        session::TSysExAttachment attached(midi::MidiIn(), Recorder());
        midi::MidiOut().SendSysExText(0, "F0 41 10 00 0B 11 02 03 00 00 00 00 17 01");
        session::WaitPumping(500);
        QCOMPARE(Received.size(), std::size_t(5));
        const char *blocks[] = {"00", "10", "12", "14", "16"};
        for (std::size_t i = 0; i < 5; ++i)
            QCOMPARE(HexOf(Received[i]).mid(18, 11), QString("02 03 %1 00").arg(blocks[i]));
    }

    // The answer to a request sent just before the slot is cleared comes too late: dropped.
    void lateAnswerIsDropped()
    {
        TVirtualRig rig;
        midi::MidiIn().Open(0);
        midi::MidiOut().Open(0);
        {
            session::TSysExAttachment attached(midi::MidiIn(), Recorder());
            midi::MidiOut().SendSysExText(0, "F0 41 10 00 0B 11 02 00 00 00 00 00 17 01");
            session::WaitPumping(1);
        }
        session::WaitPumping(500);
        QVERIFY(Received.empty());
    }

    // A scope that ends with an error still clears the slot.
    void failedProcedureClearsTheSlot()
    {
        TVirtualRig rig;
        midi::MidiIn().Open(0);
        try {
            session::TSysExAttachment attached(midi::MidiIn(), Recorder());
            midi::MidiOut().SendSysExText(0, "F0 41"); // output not open
            QFAIL("the send should fail");
        } catch (const std::exception &) { }
        QVERIFY(!midi::MidiIn().HasOnSysEx());
    }

    // A data set is stored; read back, it arrives as one message longer than nothing else.
    void longMessageArrivesInPieces()
    {
        TVirtualRig rig(std::chrono::microseconds(1));
        midi::MidiIn().Open(0);
        midi::MidiOut().Open(0);
        session::TSysExAttachment attached(midi::MidiIn(), Recorder());
        // The whole pattern area: one message per block, each well under 2048 bytes.
        midi::MidiOut().SendSysExText(0, "F0 41 10 00 0B 11 01 00 00 00 00 00 19 1A");
        session::WaitPumping(200);
        QVERIFY(Received.size() >= 9);
        for (const Bytes &message : Received) {
            QCOMPARE(message.front(), std::uint8_t(0xF0));
            QCOMPARE(message.back(), std::uint8_t(0xF7));
        }
    }

    void waitingTakesMoreThanTheTimeGiven()
    {
        QElapsedTimer clock;
        clock.start();
        session::WaitPumping(50);
        QVERIFY(clock.elapsed() > 50);
        bool dispatched = false;
        QTimer::singleShot(0, this, [&] { dispatched = true; });
        session::WaitPumping(0);
        QVERIFY(dispatched);
    }

    // Last: once the application quits, its event loops stay closed, and a wait must not spin on
    // until its time is up. The wait is given a minute: ending before that is the quit's doing.
    void waitEndsWhenTheApplicationQuits()
    {
        constexpr int WaitMs = 60000;
        QTimer::singleShot(50, [] { QCoreApplication::exit(0); });
        QElapsedTimer clock;
        clock.start();
        session::WaitPumping(WaitMs);
        QVERIFY2(clock.elapsed() < WaitMs, "the wait ran its whole time after the quit");
    }
};

QTEST_GUILESS_MAIN(TestRequestProcedure)
#include "tst_instrument_requestprocedure.moc"
