// Paced output: one queue per device keeps the program's order, data sets (of the instrument's
// model and of model 3A) keep the gap after the previous one has left the cable, and wait while
// other bytes still occupy it, a newer value of a waiting data set takes its place unless
// something that touches its part stands between, a JACK period lengthens the gap, a request's
// wait can start when it has actually left, a failing device drops its queue once; and the
// program's own data is cut into packets the instrument takes.

#include "midi/MidiError.h"
#include "midi/PacedOutput.h"
#include "support/MessageText.h"
#include "sysex/InstrumentPacing.h"
#include "sysex/RolandMessage.h"

#include <QtTest>

#include <atomic>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;
using midi::TByteStream;
using midi::TPacingSchedule;
using midi::TQueuedMessage;
using TList = std::vector<midi::TByteStream>;
using TQueue = std::vector<midi::TQueuedMessage>;

namespace {

const midi::IPacingRule &Rule = sysex::InstrumentPacing();

// A data set of the instrument's model: address and data, with its checksum and F7.
TByteStream DataSet(std::array<std::uint8_t, 4> address, std::vector<std::uint8_t> data)
{
    TByteStream message {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12};
    message.insert(message.end(), address.begin(), address.end());
    message.insert(message.end(), data.begin(), data.end());
    message.push_back(midi::RolandChecksum(message.data() + 6, message.size() - 6));
    message.push_back(0xF7);
    return message;
}

TByteStream Request(std::array<std::uint8_t, 4> address, std::array<std::uint8_t, 4> size)
{
    TByteStream message {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x11};
    message.insert(message.end(), address.begin(), address.end());
    message.insert(message.end(), size.begin(), size.end());
    message.push_back(midi::RolandChecksum(message.data() + 6, message.size() - 6));
    message.push_back(0xF7);
    return message;
}

TQueuedMessage Long(TByteStream bytes)
{
    return {std::move(bytes), false, 0};
}
TQueuedMessage Short(std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    return {{status, data1, data2}, true, 0};
}

std::vector<TByteStream> Contents(const TPacingSchedule &schedule)
{
    std::vector<TByteStream> contents;
    for (const TQueuedMessage &message : schedule.Messages())
        contents.push_back(message.Bytes);
    return contents;
}

const TByteStream LevelA = DataSet({0x02, 0x00, 0x12, 0x65}, {0x10});
const TByteStream LevelB = DataSet({0x02, 0x00, 0x12, 0x65}, {0x20});
const TByteStream LevelC = DataSet({0x02, 0x00, 0x12, 0x65}, {0x30});
const TByteStream PartLevelA = DataSet({0x01, 0x00, 0x12, 0x06}, {0x10});
const TByteStream PartLevelB = DataSet({0x01, 0x00, 0x12, 0x06}, {0x11});
const TByteStream PanA = DataSet({0x02, 0x00, 0x12, 0x77}, {0x40});
const TByteStream TwoBytes = DataSet({0x02, 0x00, 0x12, 0x64}, {0x01, 0x02}); // covers 64..65
const TByteStream ToneRequest = Request({0x02, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x17, 0x01});
const TByteStream OtherRequest = Request({0x01, 0x00, 0x10, 0x00}, {0x00, 0x00, 0x00, 0x1A});
const TByteStream Model3A
    = {0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12, 0x30, 0x55, 0x40, 0x00, 0x3B, 0xF7};

const TByteStream TransposeA = Model3AMessage(0x30, 0x55, 0x40);
const TByteStream TransposeB = Model3AMessage(0x30, 0x55, 0x41);
const TByteStream OtherTranspose = Model3AMessage(0x31, 0x55, 0x40);
const TByteStream MfxSwitch = Model3AMessage(0x30, 0x56, 0x01);
// Part 1's patch selection (its group byte), another part's, a request of part 1's tone 1 block
// and a patch file's packet of part 1's patch common: each reloads or reads part 1.
const TByteStream PartOneSelection = DataSet({0x01, 0x00, 0x10, 0x03}, {0x02});
const TByteStream PartTwoSelection = DataSet({0x01, 0x00, 0x11, 0x03}, {0x02});
const TByteStream ToneOneRequest = Request({0x02, 0x00, 0x10, 0x00}, {0x00, 0x00, 0x01, 0x01});
const TByteStream CommonPacket
    = DataSet({0x02, 0x00, 0x00, 0x00}, std::vector<std::uint8_t>(72, 1));

// Records what a paced device sends, and when, from the queue's thread.
class TRecorder
{
public:
    void Take(const TQueuedMessage &message)
    {
        if (FailFrom.load() != 0 && Count.load() + 1 >= FailFrom.load())
            throw midi::EMidiError("MIDI output \"Test\" has gone away.");
        std::lock_guard lock(Lock);
        Sent.push_back({message.Bytes, std::chrono::steady_clock::now()});
        Count.fetch_add(1);
    }
    struct TSent
    {
        TByteStream Bytes;
        std::chrono::steady_clock::time_point At;
    };
    std::vector<TSent> Copy() const
    {
        std::lock_guard lock(Lock);
        return Sent;
    }
    std::atomic<std::size_t> FailFrom {0}; // the 1-based message that fails, and all after it
    std::atomic<std::size_t> Count {0};

private:
    mutable std::mutex Lock;
    std::vector<TSent> Sent;
};

// Two devices that count what reaches them, for the paced set in front of them.
class TCountingOuts final : public midi::IMidiOuts
{
public:
    int Count() const override { return 2; }
    const std::string &Name(int index) const override
    {
        if (index < 0 || index > 1)
            throw midi::EMidiError("TMidiOutput: Device index out of bounds!");
        return Names[std::size_t(index)];
    }
    midi::IMidiOut &Device(int index) override { return Devices[std::size_t(index)]; }
    void Open(int index) override { Devices[std::size_t(index)].Open = true; }
    // Device 1 hands messages on once a period, as JACK does, once it is open.
    std::chrono::microseconds HandOverPeriod(int index) const override
    {
        return index == 1 && Devices[1].Open ? Period : std::chrono::microseconds {};
    }
    std::size_t Sent(int index) const { return Devices[std::size_t(index)].Count.load(); }
    // When each message reached the device; read once its queue has drained.
    std::vector<std::chrono::steady_clock::time_point> Times(int index) const
    {
        return Devices[std::size_t(index)].Times;
    }
    std::chrono::microseconds Period {};

private:
    struct TDevice final : midi::IMidiOut
    {
        void SendSysEx(const TByteStream &) override { Took(); }
        void SendShort(std::uint8_t, std::uint8_t, std::uint8_t) override { Took(); }
        void Took()
        {
            Times.push_back(std::chrono::steady_clock::now());
            Count.fetch_add(1);
        }
        std::atomic<std::size_t> Count {0};
        std::vector<std::chrono::steady_clock::time_point> Times;
        std::atomic<bool> Open {false};
    };
    const std::string Names[2] = {"Zero", "One"};
    TDevice Devices[2];
};

} // namespace

class TestPacing : public QObject
{
    Q_OBJECT

private slots:
    // The instrument's own data sets, and the Data Set 1 messages that are paced: model 3A too.
    void recognisesTheModelsDataSets_data()
    {
        QTest::addColumn<TByteStream>("message");
        QTest::addColumn<bool>("dataSet");
        QTest::addColumn<bool>("paced");
        QTest::newRow("data set") << LevelA << true << true;
        QTest::newRow("request") << ToneRequest << false << false;
        QTest::newRow("model 3A") << Model3A << false << true;
        QTest::newRow("model 3A without its 00")
            << TByteStream(Model3A.begin() + 1, Model3A.end()) << false << true;
        QTest::newRow("other model") << TByteStream {0xF0, 0x41, 0x10, 0x00, 0x0C, 0x12, 0x02,
                                                     0x00, 0x12, 0x65, 0x10, 0x77, 0xF7}
                                     << false << false;
        QTest::newRow("no data") << TByteStream {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12,
                                                 0x02, 0x00, 0x12, 0x65, 0x07, 0xF7}
                                 << false << false;
        QTest::newRow("empty") << TByteStream {} << false << false;
    }
    void recognisesTheModelsDataSets()
    {
        QFETCH(TByteStream, message);
        QFETCH(bool, dataSet);
        QFETCH(bool, paced);
        QCOMPARE(sysex::IsModelDataSet(message), dataSet);
        QCOMPARE(Rule.Classify(message, false).DataSet, paced);
    }

    // Which queued messages a newer data set replaces, and which stop it from doing so.
    void supersession_data()
    {
        QTest::addColumn<std::vector<TQueuedMessage>>("queued");
        QTest::addColumn<std::vector<TByteStream>>("expected");
        QTest::newRow("same address replaces in place")
            << TQueue {Long(LevelA), Long(PanA), Long(LevelB)} << TList {LevelB, PanA};
        QTest::newRow("three values in a row leave one")
            << TQueue {Long(LevelA), Long(LevelB), Long(LevelC)} << TList {LevelC};
        QTest::newRow("a request for the address keeps the older")
            << TQueue {Long(LevelA), Long(ToneRequest), Long(LevelB)}
            << TList {LevelA, ToneRequest, LevelB};
        QTest::newRow("a request elsewhere does not")
            << TQueue {Long(LevelA), Long(OtherRequest), Long(LevelB)}
            << TList {LevelB, OtherRequest};
        QTest::newRow("an overlapping data set keeps the older")
            << TQueue {Long(LevelA), Long(TwoBytes), Long(LevelB)}
            << TList {LevelA, TwoBytes, LevelB};
        QTest::newRow("a control change elsewhere does not")
            << TQueue {Long(LevelA), Short(0xB0, 7, 100), Long(LevelB)}
            << TList {LevelB, {0xB0, 7, 100}};
        QTest::newRow("a control change to the parts keeps the older")
            << TQueue {Long(PartLevelA), Short(0xB0, 7, 100), Long(PartLevelB)}
            << TList {PartLevelA, {0xB0, 7, 100}, PartLevelB};
        QTest::newRow("a model-3A message to the parts keeps the older")
            << TQueue {Long(PartLevelA), Long(Model3A), Long(PartLevelB)}
            << TList {PartLevelA, Model3A, PartLevelB};
        QTest::newRow("a model-3A message elsewhere does not")
            << TQueue {Long(LevelA), Long(Model3A), Long(LevelB)} << TList {LevelB, Model3A};
        QTest::newRow("an unknown message keeps the older")
            << TQueue {Long(LevelA), Short(0xC0, 1, 0), Long(LevelB)}
            << TList {LevelA, {0xC0, 1, 0}, LevelB};
        QTest::newRow("another length is not the same target")
            << TQueue {Long(TwoBytes), Long(DataSet({0x02, 0x00, 0x12, 0x64}, {0x05}))}
            << TList {TwoBytes, DataSet({0x02, 0x00, 0x12, 0x64}, {0x05})};
        QTest::newRow("a transposition replaces its part's, past other parts'")
            << TQueue {Long(TransposeA), Long(OtherTranspose), Long(TransposeB)}
            << TList {TransposeB, OtherTranspose};
        QTest::newRow("an MFX switch is not a transposition")
            << TQueue {Long(TransposeA), Long(MfxSwitch), Long(TransposeB)}
            << TList {TransposeB, MfxSwitch};
        QTest::newRow("behind a data set, a level change replaces its channel's")
            << TQueue {Long(LevelA), Short(0xB0, 7, 1), Short(0xB1, 7, 1), Short(0xB0, 7, 2)}
            << TList {LevelA, {0xB0, 7, 2}, {0xB1, 7, 1}};
        QTest::newRow("a level change not held back is not replaced")
            << TQueue {Short(0xB0, 7, 1), Short(0xB0, 7, 2)} << TList {{0xB0, 7, 1}, {0xB0, 7, 2}};
        QTest::newRow("a level change does not move past a data set")
            << TQueue {Long(LevelA), Short(0xB0, 7, 1), Long(PanA), Short(0xB0, 7, 2)}
            << TList {LevelA, {0xB0, 7, 1}, PanA, {0xB0, 7, 2}};
        QTest::newRow("a controller the mixer does not send keeps the older")
            << TQueue {Long(LevelA), Short(0xB0, 7, 1), Short(0xB0, 100, 0), Short(0xB0, 7, 2)}
            << TList {LevelA, {0xB0, 7, 1}, {0xB0, 100, 0}, {0xB0, 7, 2}};
        QTest::newRow("a control change keeps the older transposition")
            << TQueue {Long(TransposeA), Short(0xB0, 7, 100), Long(TransposeB)}
            << TList {TransposeA, {0xB0, 7, 100}, TransposeB};
        QTest::newRow("the part's patch selection keeps the older tone value")
            << TQueue {Long(LevelA), Long(PartOneSelection), Long(LevelB)}
            << TList {LevelA, PartOneSelection, LevelB};
        QTest::newRow("another part's patch selection does not")
            << TQueue {Long(LevelA), Long(PartTwoSelection), Long(LevelB)}
            << TList {LevelB, PartTwoSelection};
        QTest::newRow("a request of the part's other tone keeps the older")
            << TQueue {Long(LevelA), Long(ToneOneRequest), Long(LevelB)}
            << TList {LevelA, ToneOneRequest, LevelB};
        QTest::newRow("a patch file's packet of the part keeps the older")
            << TQueue {Long(LevelA), Long(CommonPacket), Long(LevelB)}
            << TList {LevelA, CommonPacket, LevelB};
    }
    void supersession()
    {
        QFETCH(std::vector<TQueuedMessage>, queued);
        QFETCH(std::vector<TByteStream>, expected);
        TPacingSchedule schedule(Rule);
        for (TQueuedMessage &message : queued)
            schedule.Push(message);
        QCOMPARE(Contents(schedule), expected);
    }

    void startedDataSetIsNotReplaced()
    {
        TPacingSchedule schedule(Rule);
        schedule.Push(Long(LevelA));
        const TQueuedMessage started = schedule.Pop();
        schedule.Push(Long(LevelB));
        QCOMPARE(started.Bytes, LevelA);
        QCOMPARE(Contents(schedule), TList {LevelB});
    }

    // Random mixes of messages: whatever is not replaced leaves in the order it came, and the
    // last value for each address is the one that stays.
    void orderIsKeptProperty()
    {
        const auto replaceable = [](const TByteStream &bytes) {
            const bool shortMessage = bytes.size() == 3 && bytes[0] >= 0x80;
            return Rule.Classify(bytes, shortMessage).Key != 0;
        };
        const std::vector<TQueuedMessage> kinds
            = {Long(LevelA),         Long(LevelB),          Long(PanA),         Long(TwoBytes),
               Long(Model3A),        Long(ToneRequest),     Short(0xB1, 10, 3), Long(OtherRequest),
               Long(OtherTranspose), Long(PartOneSelection)};
        std::uint32_t seed = 12345;
        for (int round = 0; round < 500; ++round) {
            TPacingSchedule schedule(Rule);
            std::vector<TByteStream> pushed;
            const int count = 1 + round % 20;
            for (int i = 0; i < count; ++i) {
                seed = seed * 1103515245u + 12345u;
                TQueuedMessage message = kinds[(seed >> 16) % kinds.size()];
                pushed.push_back(message.Bytes);
                schedule.Push(message);
            }
            // The queue is a subsequence of what was pushed, up to in-place replacement: every
            // queued message is the last of its run of same-target data sets.
            const std::vector<TByteStream> queued = Contents(schedule);
            QVERIFY(queued.size() <= pushed.size());
            QVERIFY(!queued.empty());
            QCOMPARE(
                queued.back() == pushed.back()
                    || (replaceable(pushed.back())
                        && std::find(queued.begin(), queued.end(), pushed.back()) != queued.end()),
                true);
            // Nothing that cannot be replaced is ever dropped or moved relative to the others.
            std::vector<TByteStream> others, othersQueued;
            for (const TByteStream &bytes : pushed)
                if (!replaceable(bytes))
                    others.push_back(bytes);
            for (const TByteStream &bytes : queued)
                if (!replaceable(bytes))
                    othersQueued.push_back(bytes);
            QCOMPARE(othersQueued, others);
        }
    }

    // Pacing with made-up times: a data set may start the gap after the previous one would
    // have ended on the cable (its length x 320 us); other messages go at once.
    void pacingTimes_data()
    {
        QTest::addColumn<int>("gapMs");
        QTest::newRow("20 ms") << 20;
        QTest::newRow("none") << 0;
        QTest::newRow("100 ms") << 100;
    }
    void pacingTimes()
    {
        QFETCH(int, gapMs);
        TPacingSchedule schedule(Rule);
        schedule.SetGap(std::chrono::milliseconds(gapMs));
        const auto t0 = TPacingSchedule::Clock::time_point(std::chrono::seconds(1000));
        schedule.Push(Long(LevelA));
        QCOMPARE(schedule.FrontDue(), TPacingSchedule::TimePoint::min());
        schedule.Left(schedule.Pop(), t0);
        schedule.Push(Short(0xB0, 7, 1));
        QCOMPARE(schedule.FrontDue(), TPacingSchedule::TimePoint::min());
        schedule.Left(schedule.Pop(), t0 + 1ms);
        schedule.Push(Long(PanA));
        // The control change's three bytes follow LevelA's on the cable.
        const auto expected = std::max(t0 + midi::CableByteTime * long(LevelA.size())
                                           + std::chrono::milliseconds(gapMs),
                                       t0 + midi::CableByteTime * long(LevelA.size() + 3));
        QCOMPARE(schedule.FrontDue(), expected);
        // A request is not a data set: it does not wait behind the gap, but it does wait behind
        // the data set ahead of it.
        schedule.Push(Long(ToneRequest));
        QCOMPARE(schedule.Size(), std::size_t(2));
        schedule.Left(schedule.Pop(), expected);
        QCOMPARE(schedule.FrontDue(), TPacingSchedule::TimePoint::min());
    }

    // Made-up departures, each at a moment in microseconds, then when the next data set may
    // start: every byte counts on the cable, a model-3A message is a data set, and a JACK
    // period lengthens the gap.
    void cableTimes_data()
    {
        QTest::addColumn<std::vector<TQueuedMessage>>("departed");
        QTest::addColumn<std::vector<int>>("atUs");
        QTest::addColumn<int>("periodUs");
        QTest::addColumn<int>("dueUs");
        const TQueue eightChanges(8, Short(0xB0, 7, 100));
        QTest::newRow("behind eight control changes")
            << eightChanges << std::vector<int>(8, 0) << 0 << 8 * 3 * 320;
        TQueue changesThenLevel = eightChanges;
        changesThenLevel.push_back(Long(LevelA));
        std::vector<int> atUs(8, 0);
        atUs.push_back(100);
        QTest::newRow("the gap from where the data set really left")
            << changesThenLevel << atUs << 0 << (8 * 3 + 13) * 320 + 20000;
        QTest::newRow("after a transposition")
            << TQueue {Long(TransposeA)} << std::vector<int> {0} << 0 << 12 * 320 + 20000;
        QTest::newRow("a JACK period more")
            << TQueue {Long(LevelA)} << std::vector<int> {0} << 5334 << 13 * 320 + 20000 + 5334;
        QTest::newRow("behind a request after the gap")
            << TQueue {Long(LevelA), Long(ToneRequest)} << std::vector<int> {0, 30000} << 0
            << 30000 + 16 * 320;
    }
    void cableTimes()
    {
        QFETCH(std::vector<TQueuedMessage>, departed);
        QFETCH(std::vector<int>, atUs);
        QFETCH(int, periodUs);
        QFETCH(int, dueUs);
        TPacingSchedule schedule(Rule);
        schedule.SetGap(20ms);
        schedule.SetHandOverPeriod(std::chrono::microseconds(periodUs));
        const auto t0 = TPacingSchedule::Clock::time_point(std::chrono::seconds(1000));
        for (std::size_t i = 0; i < departed.size(); ++i) {
            schedule.Push(departed[i]);
            schedule.Left(schedule.Pop(), t0 + std::chrono::microseconds(atUs[i]));
        }
        schedule.Push(Long(PanA));
        QCOMPARE(schedule.FrontDue(), t0 + std::chrono::microseconds(dueUs));
    }

    void ticketsTellWhatHasLeft()
    {
        TPacingSchedule schedule(Rule);
        const std::uint64_t first = schedule.Push(Long(LevelA));
        const std::uint64_t second = schedule.Push(Long(ToneRequest));
        QVERIFY(schedule.Holds(first));
        QVERIFY(schedule.Holds(second));
        QCOMPARE(schedule.LastTicket(), second);
        schedule.Pop();
        QVERIFY(!schedule.Holds(first));
        QVERIFY(schedule.Holds(second));
        QCOMPARE(schedule.Clear(), std::size_t(1));
        QVERIFY(!schedule.Holds(second));
    }

    // The thread: the gap between data sets is kept on a real clock, nothing overtakes, and a
    // request's ticket is known to have left only once it was sent.
    void pacedDeviceKeepsTheGapAndTheOrder()
    {
        TRecorder recorder;
        midi::TPacedOutput output([&](const TQueuedMessage &m) { recorder.Take(m); }, Rule);
        output.SetGap(5ms);
        for (int i = 0; i < 6; ++i) {
            output.SendSysEx(DataSet({0x02, 0x00, 0x12, std::uint8_t(0x60 + i)}, {0x01}));
            output.SendShort(0xB0, 7, std::uint8_t(i));
        }
        output.SendSysEx(ToneRequest);
        const std::uint64_t request = output.LastTicket();
        QVERIFY(!output.HasLeft(request));
        QVERIFY(output.Waiting() > 0);
        QVERIFY(output.Flush(5s));
        QVERIFY(output.HasLeft(request));
        QCOMPARE(output.Waiting(), std::size_t(0));
        const auto sent = recorder.Copy();
        QCOMPARE(sent.size(), std::size_t(13));
        std::optional<std::chrono::steady_clock::time_point> previous;
        for (std::size_t i = 0; i < 12; i += 2) {
            QCOMPARE(sent[i].Bytes[9], std::uint8_t(0x60 + i / 2));
            QCOMPARE(sent[i + 1].Bytes, (TByteStream {0xB0, 7, std::uint8_t(i / 2)}));
            if (previous)
                QVERIFY(sent[i].At - *previous >= 5ms + midi::CableByteTime * 12);
            previous = sent[i].At;
        }
        QCOMPARE(sent.back().Bytes, ToneRequest);
        QVERIFY(!output.TakeFailure());
    }

    void failingDeviceDropsItsQueueOnce()
    {
        TRecorder recorder;
        recorder.FailFrom = 3;
        midi::TPacedOutput output([&](const TQueuedMessage &m) { recorder.Take(m); }, Rule);
        output.SetGap(2ms);
        for (int i = 0; i < 10; ++i)
            output.SendSysEx(DataSet({0x02, 0x00, 0x12, std::uint8_t(0x60 + i)}, {0x01}));
        QVERIFY(output.Flush(5s));
        const std::optional<midi::TSendFailure> failure = output.TakeFailure();
        QVERIFY(failure);
        QCOMPARE(failure->NotSent, std::size_t(8));
        QVERIFY(QString::fromStdString(failure->Text).contains("gone away"));
        QVERIFY(!output.TakeFailure());
        QCOMPARE(recorder.Count.load(), std::size_t(2));
    }

    void refusedMessageFailsAtOnce()
    {
        midi::TPacedOutput output(
            [](const TQueuedMessage &m) {
                if (midi::SysExFault(m.Bytes))
                    throw midi::EMidiError("refused");
            },
            Rule);
        QVERIFY_THROWS_EXCEPTION(midi::EMidiError,
                                 output.SendSysEx(TByteStream {0xF0, 0x41, 0x90, 0xF7}));
        QCOMPARE(output.Waiting(), std::size_t(0));
    }

    void dragNeverBuildsABacklog()
    {
        TRecorder recorder;
        midi::TPacedOutput output([&](const TQueuedMessage &m) { recorder.Take(m); }, Rule);
        output.SetGap(20ms);
        const auto start = std::chrono::steady_clock::now();
        for (int step = 0; step < 200; ++step) {
            output.SendSysEx(DataSet({0x02, 0x00, 0x12, 0x65}, {std::uint8_t(step % 128)}));
            QVERIFY(output.Waiting() <= 2);
        }
        const auto took = std::chrono::steady_clock::now() - start;
        QVERIFY(output.Flush(5s));
        const auto sent = recorder.Copy();
        // One message a slot of some 24 ms while the steps came, and the last value after.
        QVERIFY(sent.size() <= std::size_t(2 + took / 20ms));
        QCOMPARE(sent.back().Bytes[10], std::uint8_t(199 % 128));
    }

    // The device set's transport period, known once the device is open, lengthens the gap.
    void pacedSetTakesTheTransportsPeriod()
    {
        TCountingOuts target;
        target.Period = 30ms;
        midi::TPacedOutputs paced(target, Rule);
        paced.SetGap(1, 1ms);
        paced.Device(1).SendSysEx(LevelA);
        paced.Open(1);
        paced.Device(1).SendSysEx(PanA);
        QVERIFY(paced.Flush(5s));
        const auto times = target.Times(1);
        QCOMPARE(times.size(), std::size_t(2));
        QVERIFY(times[1] - times[0] >= 31ms + midi::CableByteTime * long(LevelA.size()));
    }

    void pacedSetKeepsOneQueuePerDevice()
    {
        TCountingOuts target;
        midi::TPacedOutputs paced(target, sysex::InstrumentPacing());
        QCOMPARE(paced.Count(), 2);
        QCOMPARE(paced.Name(1), std::string("One"));
        QCOMPARE(paced.Gap(0), std::chrono::microseconds(20000));
        paced.SetGap(0, 0ms);
        paced.SetGap(1, 1ms);
        QCOMPARE(paced.Gap(1), std::chrono::microseconds(1000));
        QVERIFY(&paced.Device(0) != &paced.Device(1));
        QCOMPARE(&paced.Device(1), &paced.Device(1));
        for (int i = 0; i < 4; ++i) {
            paced.Device(0).SendSysEx(DataSet({0x02, 0x00, 0x12, std::uint8_t(i)}, {0x01}));
            paced.Device(1).SendShort(0xB0, 7, std::uint8_t(i));
        }
        QVERIFY(paced.Flush(5s));
        QCOMPARE(target.Sent(0), std::size_t(4));
        QCOMPARE(target.Sent(1), std::size_t(4));
        QVERIFY(paced.TakeFailures().empty());
        QVERIFY_THROWS_EXCEPTION(midi::EMidiError, paced.Device(2));
        // Once stopped, no device is given out: the device set behind may be gone.
        paced.Stop();
        QVERIFY_THROWS_EXCEPTION(midi::EMidiError, paced.Device(0));
    }

    // Packets: every size from nothing to beyond two packets.
    void packetsOfEverySize()
    {
        for (int size = 0; size <= 300; ++size) {
            std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
            for (int i = 0; i < size; ++i)
                data[std::size_t(i)] = std::uint8_t((i * 37 + size) % 128);
            const std::array<std::uint8_t, 4> start {0x02, 0x03, 0x7F, 0x40};
            const auto packets = sysex::DataSetPackets(23, start, data);
            QCOMPARE(int(packets.size()), (size + 127) / 128);
            std::vector<std::uint8_t> joined;
            std::uint32_t expectedAddress = (0x02u << 21) | (0x03u << 14) | (0x7Fu << 7) | 0x40u;
            for (const TByteStream &packet : packets) {
                QVERIFY(sysex::IsModelDataSet(packet));
                QCOMPARE(packet[2], std::uint8_t(22));
                QVERIFY(packet.size() - 12 <= sysex::MaxPacketData);
                QVERIFY(!midi::SysExFault(packet));
                unsigned sum = 0;
                for (std::size_t i = 6; i + 1 < packet.size(); ++i)
                    sum += packet[i];
                QCOMPARE(sum % 128, 0u);
                const std::uint32_t address = (std::uint32_t(packet[6]) << 21)
                    | (std::uint32_t(packet[7]) << 14) | (std::uint32_t(packet[8]) << 7)
                    | packet[9];
                QCOMPARE(address, expectedAddress);
                expectedAddress += std::uint32_t(packet.size() - 12);
                joined.insert(joined.end(), packet.begin() + 10, packet.end() - 2);
            }
            QCOMPARE(joined, data);
        }
    }

    void packetAddressesCarryInSevenBits()
    {
        const std::vector<std::uint8_t> data(200, 0x01);
        const auto packets = sysex::DataSetPackets(17, {0x02, 0x00, 0x7F, 0x00}, data);
        QCOMPARE(packets.size(), std::size_t(2));
        QCOMPARE((TByteStream(packets[1].begin() + 6, packets[1].begin() + 10)),
                 (TByteStream {0x02, 0x01, 0x00, 0x00}));
    }
};

QTEST_GUILESS_MAIN(TestPacing)
#include "tst_sysex_pacing.moc"
