// The strict virtual instrument's rule, with made-up hand-over times: a data set (of the
// instrument's model or of model 3A) that starts less than 20 ms after the previous data set
// ended (its bytes at 320 us each) is dropped and counted; every message occupies the cable, so
// a message handed over while bytes are still on their way starts after them; other messages
// and other devices' data sets are never dropped; strict timing follows the environment at
// construction.

#include "instrument/VirtualInstrument.h"
#include "support/MessageText.h"

#include <QtTest>

#include <chrono>
#include <cstdlib>

using namespace std::chrono_literals;
using instrument::TVirtualInstrument;
using TBytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {
// Tone 2 level of part 1: 13 bytes, 4.16 ms on the cable.
TBytes Level(int value, std::uint8_t device = 0x10)
{
    TBytes message {
        0xF0, 0x41, device, 0x00, 0x0B, 0x12, 0x02, 0x00, 0x12, 0x65, std::uint8_t(value)};
    message.push_back(ChecksumOf(message, 6, message.size()));
    message.push_back(0xF7);
    return message;
}
constexpr auto Cable13 = std::chrono::microseconds(13 * 320);
// Part 1's transposition, 12 bytes.
const TBytes Transpose = Model3AMessage(0x30, 0x55, 0x40);
const TBytes LevelChange {0xB0, 7, 100};
} // namespace

class TestInstrumentStrict : public QObject
{
    Q_OBJECT

private slots:
    void dataSetsTooCloseAreDropped_data()
    {
        QTest::addColumn<int>("afterEndUs"); // start of the second after the first's end
        QTest::addColumn<bool>("dropped");
        QTest::newRow("at once") << 0 << true;
        QTest::newRow("1 us short of 20 ms") << 19999 << true;
        QTest::newRow("exactly 20 ms") << 20000 << false;
        QTest::newRow("later") << 50000 << false;
    }
    void dataSetsTooCloseAreDropped()
    {
        QFETCH(int, afterEndUs);
        QFETCH(bool, dropped);
        TVirtualInstrument instrument;
        instrument.SetStrictTiming(true);
        const Clock::time_point t0 = Clock::now();
        instrument.Receive(Level(10), t0);
        instrument.Receive(Level(20), t0 + Cable13 + std::chrono::microseconds(afterEndUs));
        QCOMPARE(instrument.StrictDrops(), std::uint64_t(dropped ? 1 : 0));
        QCOMPARE(int(instrument.ReadByte({0x02, 0x00, 0x12, 0x65})), dropped ? 10 : 20);
        // Received all the same: the log keeps what came.
        QCOMPARE(instrument.Log().size(), std::size_t(2));
    }

    void aDroppedDataSetStillKeepsTheInstrumentBusy()
    {
        TVirtualInstrument instrument;
        instrument.SetStrictTiming(true);
        const Clock::time_point t0 = Clock::now();
        instrument.Receive(Level(1), t0);
        instrument.Receive(Level(2), t0 + Cable13 + 10ms);
        instrument.Receive(Level(3), t0 + Cable13 + 25ms);
        QCOMPARE(instrument.StrictDrops(), std::uint64_t(2));
        QCOMPARE(int(instrument.ReadByte({0x02, 0x00, 0x12, 0x65})), 1);
    }

    void otherMessagesDoNotCount()
    {
        TVirtualInstrument instrument;
        instrument.SetStrictTiming(true);
        const Clock::time_point t0 = Clock::now();
        instrument.Receive(Level(1), t0);
        // A request, a control change, another device's data set: none of them a data set for
        // this instrument.
        instrument.Receive(RequestMessage({0x02, 0x00, 0x12, 0x65}, {0x00, 0x00, 0x00, 0x01}),
                           t0 + 5ms);
        instrument.Receive(TBytes {0xB0, 7, 100}, t0 + 6ms);
        instrument.Receive(Level(9, 0x11), t0 + 7ms);
        instrument.Receive(Level(2), t0 + Cable13 + 20ms);
        QCOMPARE(instrument.StrictDrops(), std::uint64_t(0));
        QCOMPARE(int(instrument.ReadByte({0x02, 0x00, 0x12, 0x65})), 2);
    }

    void cableAndModel3A_data()
    {
        QTest::addColumn<std::vector<TBytes>>("messages");
        QTest::addColumn<std::vector<int>>("handedUs");
        QTest::addColumn<int>("drops");
        QTest::newRow("two transpositions back to back")
            << std::vector<TBytes> {Transpose, Transpose} << std::vector<int> {0, 0} << 1;
        QTest::newRow("a data set in a transposition's gap")
            << std::vector<TBytes> {Transpose, Level(1)} << std::vector<int> {0, 12 * 320 + 19000}
            << 1;
        QTest::newRow("a data set 20 ms after a transposition")
            << std::vector<TBytes> {Transpose, Level(1)} << std::vector<int> {0, 12 * 320 + 20000}
            << 0;
        std::vector<TBytes> changes(8, LevelChange);
        changes.push_back(Level(1));
        changes.push_back(Level(2));
        std::vector<int> handed(8, 0);
        handed.push_back(100);
        // The first data set started when the eight control changes were through, not when
        // it was handed over.
        handed.push_back(100 + 13 * 320 + 20000);
        QTest::newRow("the gap after a data set that waited for the cable")
            << changes << handed << 1;
        handed.back() = (8 * 3 + 13) * 320 + 20000;
        QTest::newRow("the gap from where it really ended") << changes << handed << 0;
    }
    void cableAndModel3A()
    {
        QFETCH(std::vector<TBytes>, messages);
        QFETCH(std::vector<int>, handedUs);
        QFETCH(int, drops);
        TVirtualInstrument instrument;
        instrument.SetStrictTiming(true);
        const Clock::time_point t0 = Clock::now();
        for (std::size_t i = 0; i < messages.size(); ++i)
            instrument.Receive(messages[i], t0 + std::chrono::microseconds(handedUs[i]));
        QCOMPARE(instrument.StrictDrops(), std::uint64_t(drops));
    }

    void notStrictTakesAnyPace()
    {
        TVirtualInstrument instrument;
        instrument.SetStrictTiming(false);
        const Clock::time_point t0 = Clock::now();
        for (int i = 0; i < 10; ++i)
            instrument.Receive(Level(i), t0);
        QCOMPARE(instrument.StrictDrops(), std::uint64_t(0));
        QCOMPARE(int(instrument.ReadByte({0x02, 0x00, 0x12, 0x65})), 9);
    }

    void toleranceForgivesRoughArrivalTimes()
    {
        TVirtualInstrument instrument;
        instrument.SetStrictTiming(true, 6ms);
        const Clock::time_point t0 = Clock::now();
        instrument.Receive(Level(1), t0);
        instrument.Receive(Level(2), t0 + Cable13 + 15ms);
        instrument.Receive(Level(3), t0 + 2 * Cable13 + 15ms + 13ms);
        QCOMPARE(instrument.StrictDrops(), std::uint64_t(1));
        // The same, given by the port for one message only.
        instrument.SetStrictTiming(true);
        instrument.Receive(Level(4), t0 + 3 * Cable13 + 28ms + 15ms, 6ms);
        instrument.Receive(Level(5), t0 + 4 * Cable13 + 43ms + 15ms);
        QCOMPARE(instrument.StrictDrops(), std::uint64_t(2));
    }

    void environmentTurnsItOn()
    {
        qputenv("OMBRIX_STRICT_TIMING", "1");
        QVERIFY(TVirtualInstrument().StrictTiming());
        qputenv("OMBRIX_STRICT_TIMING", "0");
        QVERIFY(!TVirtualInstrument().StrictTiming());
        qunsetenv("OMBRIX_STRICT_TIMING");
        QVERIFY(!TVirtualInstrument().StrictTiming());
    }
};

QTEST_GUILESS_MAIN(TestInstrumentStrict)
#include "tst_instrument_strict.moc"
