// Short, truncated and garbage messages: the virtual instrument neither answers nor changes for
// them, never reads past a message's end (each message sits in an allocation of its exact size,
// so the address sanitizer sees any overread), and answers stay well formed whatever comes in.

#include "instrument/InstrumentContents.h"
#include "instrument/VirtualInstrument.h"
#include "support/MessageText.h"

#include <QtTest>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

using instrument::TMessage;
using instrument::TVirtualInstrument;
using TBytes = std::vector<std::uint8_t>;

namespace {

TBytes WithChecksum(TBytes m, std::size_t from)
{
    m.push_back(ChecksumOf(m, from, m.size()));
    m.push_back(0xF7);
    return m;
}

// Hands the bytes over in a heap block of exactly their size.
std::vector<TMessage> ReceiveExact(TVirtualInstrument &instrument, const TBytes &bytes)
{
    if (bytes.empty())
        return instrument.Receive({});
    std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    return instrument.Receive(std::span<const std::uint8_t>(exact.get(), bytes.size()));
}

TBytes Memory(const TVirtualInstrument &instrument)
{
    // Everything from 00 00 00 00 up to the end of the last patch, in two reads.
    TBytes all = instrument.Read({0, 0, 0, 0}, 0x80);
    const TBytes pattern = instrument.Read({1, 0, 0, 0}, 0x1A * 128);
    const TBytes patches = instrument.Read({2, 0, 0, 0}, 7 * 128 * 128);
    all.insert(all.end(), pattern.begin(), pattern.end());
    all.insert(all.end(), patches.begin(), patches.end());
    return all;
}

// Every answer is a complete data-set message of this device, with a correct checksum, whose
// data lie inside the instrument's memory.
QString AnswerFailure(const TMessage &m)
{
    if (m.size() < 13)
        return "answer too short";
    if (m[0] != 0xF0 || m[1] != 0x41 || m[2] != 0x10 || m[3] != 0x00 || m[4] != 0x0B || m[5] != 0x12
        || m.back() != 0xF7)
        return "answer frame";
    for (std::size_t i = 1; i + 1 < m.size(); ++i)
        if (m[i] > 0x7F)
            return "status byte inside an answer";
    if (ChecksumOf(m, 6, m.size() - 2) != m[m.size() - 2])
        return "answer checksum";
    return {};
}

} // namespace

class TestInstrumentRobustness : public QObject
{
    Q_OBJECT

private slots:
    void brokenMessagesDoNothing_data()
    {
        QTest::addColumn<TBytes>("message");
        QTest::newRow("empty") << TBytes {};
        QTest::newRow("F0") << TBytes {0xF0};
        QTest::newRow("F7") << TBytes {0xF7};
        QTest::newRow("F0 F7") << TBytes {0xF0, 0xF7};
        QTest::newRow("00") << TBytes {0x00};
        QTest::newRow("00 F0") << TBytes {0x00, 0xF0};
        QTest::newRow("00 F0 F7") << TBytes {0x00, 0xF0, 0xF7};
        QTest::newRow("00 00 F0 ...") << TBytes {0x00, 0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12,
                                                 0x30, 0x55, 0x70, 0x00, 0x0B, 0xF7};
        QTest::newRow("Roland header only") << TBytes {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0xF7};
        QTest::newRow("request header only") << TBytes {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x11, 0xF7};
        QTest::newRow("model 3A header only") << TBytes {0xF0, 0x41, 0x10, 0x3A, 0x12, 0xF7};
        QTest::newRow("model 3A, three bytes")
            << WithChecksum({0xF0, 0x41, 0x10, 0x3A, 0x12, 0x30, 0x55, 0x70}, 5);
        QTest::newRow("address only")
            << WithChecksum({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02, 0x00, 0x10, 0x65}, 6);
        QTest::newRow("short address")
            << WithChecksum({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02, 0x00, 0x10}, 6);
        QTest::newRow("two F0") << TBytes {0xF0, 0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12,
                                           0x02, 0x00, 0x10, 0x65, 0x01, 0x08, 0xF7};
        QTest::newRow("F7 in the middle") << TBytes {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02,
                                                     0xF7, 0x10, 0x65, 0x01, 0x08, 0xF7};
        QTest::newRow("ends with a data byte")
            << TBytes {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02, 0x00, 0x10, 0x65, 0x01, 0x08};
        QTest::newRow("B0") << TBytes {0xB0};
        QTest::newRow("B0 07") << TBytes {0xB0, 0x07};
        QTest::newRow("B9 5B") << TBytes {0xB9, 0x5B};
        QTest::newRow("data bytes") << TBytes {0x07, 0x64};
        QTest::newRow("system reset") << TBytes {0xFF};
        QTest::newRow("timing clock") << TBytes {0xF8};
        QTest::newRow("model 3A, 00 and no F0")
            << TBytes {0x00, 0x41, 0x10, 0x3A, 0x12, 0x30, 0x55, 0x70, 0x00, 0x0B, 0xF7};
    }

    void brokenMessagesDoNothing()
    {
        QFETCH(TBytes, message);
        TVirtualInstrument instrument;
        const TBytes before = Memory(instrument);
        QVERIFY(ReceiveExact(instrument, message).empty());
        QCOMPARE(Memory(instrument), before);
        QCOMPARE(instrument.Log(), std::vector<TMessage> {message});
    }

    void everyTruncationOfAGoodMessageDoesNothing_data()
    {
        QTest::addColumn<TBytes>("message");
        QTest::newRow("request") << WithChecksum(
            {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x11, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x17, 0x01},
            6);
        QTest::newRow("data set") << WithChecksum(
            {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x01, 0x00, 0x10, 0x03, 0x05, 0x04, 0x0D}, 6);
        QTest::newRow("model 3A") << TBytes {0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12,
                                             0x32, 0x55, 0x70, 0x00, 0x09, 0xF7};
        QTest::newRow("control change") << TBytes {0xB3, 0x07, 0x01};
    }

    void everyTruncationOfAGoodMessageDoesNothing()
    {
        QFETCH(TBytes, message);
        for (std::size_t length = 0; length < message.size(); ++length) {
            TVirtualInstrument instrument;
            const TBytes before = Memory(instrument);
            const TBytes head(message.begin(), message.begin() + length);
            QVERIFY(ReceiveExact(instrument, head).empty());
            QCOMPARE(Memory(instrument), before);
            // Cut from the front: the tail alone is no message either. (Dropping just the
            // first byte would leave a model-3A message without its 00, which is whole.)
            if (length == 0)
                continue;
            const TBytes tail(message.begin() + length + 1, message.end());
            QVERIFY(ReceiveExact(instrument, tail).empty());
            QCOMPARE(Memory(instrument), before);
        }
        // The whole message does act.
        TVirtualInstrument instrument;
        const TBytes before = Memory(instrument);
        const bool answered = !ReceiveExact(instrument, message).empty();
        QVERIFY(answered || Memory(instrument) != before);
    }

    void randomBytesGiveWellFormedAnswersOnly()
    {
        // Random messages built mostly from the instrument's own vocabulary, so that many get
        // past the first checks.
        std::mt19937 random(307);
        TVirtualInstrument instrument;
        const std::vector<std::uint8_t> vocabulary {0xF0, 0xF7, 0x41, 0x10, 0x00, 0x0B, 0x11, 0x12,
                                                    0x3A, 0x01, 0x02, 0x10, 0x19, 0x7F, 0xB0, 0xB9};
        int answered = 0;
        for (int round = 0; round < 20000; ++round) {
            TBytes m;
            const int length = int(random() % 40);
            const bool framed = random() % 2 == 0;
            if (framed)
                m.insert(m.end(),
                         {0xF0, 0x41, 0x10, 0x00, 0x0B, std::uint8_t(0x11 + random() % 2)});
            for (int i = 0; i < length; ++i)
                m.push_back(random() % 3 == 0 ? std::uint8_t(random())
                                              : vocabulary[random() % vocabulary.size()]);
            if (framed && random() % 2 == 0) {
                for (std::size_t i = 6; i < m.size(); ++i)
                    m[i] &= 0x7F;
                m = WithChecksum(m, 6);
            }
            for (const TMessage &answer : ReceiveExact(instrument, m)) {
                const QString failure = AnswerFailure(answer);
                QVERIFY2(failure.isEmpty(), qPrintable(failure));
                ++answered;
            }
        }
        QVERIFY(answered > 0);
        QCOMPARE(instrument.Log().size(), std::size_t(20000));
        // Whatever was written, the blocks are still there and answer a whole-memory request,
        // ahead of what the data sets left in the areas a bulk dump fills.
        const auto all = instrument.Receive(WithChecksum(
            {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x11, 0, 0, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}, 6));
        const auto held = std::find_if(all.begin(), all.end(), [](const TMessage &m) {
            return instrument::LinearAddress({m[6], m[7], m[8], m[9]})
                >= instrument::LinearAddress(instrument::HeldAreas.front().Start);
        });
        QCOMPARE(held - all.begin(), 45);
    }

    void logIsBounded()
    {
        TVirtualInstrument instrument;
        const std::size_t limit = TVirtualInstrument::LogLimit;
        for (std::size_t i = 0; i < limit + 10; ++i)
            instrument.Receive(TBytes {0xB0, 0x07, std::uint8_t(i & 0x7F)});
        const auto log = instrument.Log();
        QCOMPARE(log.size(), limit);
        // The oldest went first.
        QCOMPARE(log.front(), (TBytes {0xB0, 0x07, std::uint8_t(10 & 0x7F)}));
        QCOMPARE(log.back(), (TBytes {0xB0, 0x07, std::uint8_t((limit + 9) & 0x7F)}));
        QCOMPARE(instrument.ReceivedCount(), std::uint64_t(limit + 10));
        // A smaller limit drops the oldest at once; none keeps nothing but still counts.
        instrument.SetLogLimit(3);
        QCOMPARE(instrument.Log().back(), log.back());
        QCOMPARE(instrument.Log().size(), std::size_t(3));
        instrument.SetLogLimit(0);
        instrument.Receive(TBytes {0xB0, 0x07, 0x01});
        QVERIFY(instrument.Log().empty());
        QCOMPARE(instrument.ReceivedCount(), std::uint64_t(limit + 11));
    }
};

QTEST_GUILESS_MAIN(TestInstrumentRobustness)
#include "tst_instrument_robustness.moc"
