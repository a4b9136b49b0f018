// Data requests to the virtual instrument: one data-set answer per block the range touches,
// each from the later of the requested address and the block's start, with a Roland checksum.

#include "instrument/VirtualInstrument.h"
#include "support/MessageText.h"

#include <QtTest>

#include <cstdint>
#include <vector>

using instrument::TMessage;
using instrument::TVirtualInstrument;
using TBytes = std::vector<std::uint8_t>;
using TAddr = std::array<std::uint8_t, 4>;

namespace {

std::uint32_t Linear(TAddr a)
{
    return (std::uint32_t(a[0]) << 21) | (std::uint32_t(a[1]) << 14) | (std::uint32_t(a[2]) << 7)
        | a[3];
}

TAddr FromLinear(std::uint32_t v)
{
    return {std::uint8_t(v >> 21 & 0x7F), std::uint8_t(v >> 14 & 0x7F), std::uint8_t(v >> 7 & 0x7F),
            std::uint8_t(v & 0x7F)};
}

struct TExpected
{
    TAddr Address;
    int Size;
};

} // namespace

Q_DECLARE_METATYPE(TAddr)
Q_DECLARE_METATYPE(std::vector<TExpected>)

class TestInstrumentRequests : public QObject
{
    Q_OBJECT

private:
    // Checks the frame of every answer and that it carries what memory holds.
    static void VerifyAnswers(const TVirtualInstrument &instrument,
                              const std::vector<TMessage> &answers,
                              const std::vector<TExpected> &expected, std::uint8_t device = 0x10)
    {
        QCOMPARE(answers.size(), expected.size());
        for (std::size_t i = 0; i < answers.size(); ++i) {
            const TMessage &m = answers[i];
            const TExpected &e = expected[i];
            QCOMPARE(int(m.size()), 10 + e.Size + 2);
            const TBytes header {0xF0, 0x41, device, 0x00, 0x0B, 0x12};
            QCOMPARE(TBytes(m.begin(), m.begin() + 6), header);
            QCOMPARE((TAddr {m[6], m[7], m[8], m[9]}), e.Address);
            QCOMPARE(m[m.size() - 2], ChecksumOf(m, 6, m.size() - 2));
            QCOMPARE(m.back(), std::uint8_t(0xF7));
            for (std::size_t k = 1; k + 1 < m.size(); ++k)
                QVERIFY2(m[k] < 0x80, "a data byte of an answer is a status byte");
            QCOMPARE(TBytes(m.begin() + 10, m.end() - 2), instrument.Read(e.Address, e.Size));
        }
    }

private slots:
    void systemSwitches()
    {
        TVirtualInstrument instrument;
        const auto answers = instrument.Receive(RequestMessage({0, 0, 0, 0x08}, {0, 0, 0, 0x03}));
        // The switches start on; 08 + 01 + 01 + 01 = 0B, so the checksum is 75.
        const TBytes expected {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x00, 0x00,
                               0x00, 0x08, 0x01, 0x01, 0x01, 0x75, 0xF7};
        QCOMPARE(answers.size(), std::size_t(1));
        QCOMPARE(answers[0], expected);
    }

    void answersPerBlock_data()
    {
        QTest::addColumn<TAddr>("address");
        QTest::addColumn<TAddr>("size");
        QTest::addColumn<std::vector<TExpected>>("expected");

        for (std::uint8_t p = 0; p < 7; ++p) {
            QTest::addRow("whole patch of part %d", p + 1)
                << TAddr {0x02, p, 0x00, 0x00} << TAddr {0x00, 0x00, 0x17, 0x01}
                << std::vector<TExpected> {{{0x02, p, 0x00, 0x00}, 0x4A},
                                           {{0x02, p, 0x10, 0x00}, 0x81},
                                           {{0x02, p, 0x12, 0x00}, 0x81},
                                           {{0x02, p, 0x14, 0x00}, 0x81},
                                           {{0x02, p, 0x16, 0x00}, 0x81}};
            QTest::addRow("pattern block of part %d", p + 1)
                << TAddr {0x01, 0x00, std::uint8_t(0x10 + p), 0x00} << TAddr {0, 0, 0, 0x1A}
                << std::vector<TExpected> {{{0x01, 0x00, std::uint8_t(0x10 + p), 0x00}, 0x1A}};
        }
        QTest::addRow("pattern block of part R")
            << TAddr {0x01, 0x00, 0x19, 0x00} << TAddr {0, 0, 0, 0x1A}
            << std::vector<TExpected> {{{0x01, 0x00, 0x19, 0x00}, 0x1A}};

        // The mixer reads the first 44 bytes of the common block; the instrument answers all 68.
        std::vector<TExpected> mixer {{{0x01, 0x00, 0x00, 0x00}, 0x44}};
        for (std::uint8_t b : {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x19})
            mixer.push_back({{0x01, 0x00, b, 0x00}, 0x1A});
        QTest::addRow("mixer pattern request")
            << TAddr {0x01, 0x00, 0x00, 0x00} << TAddr {0x00, 0x00, 0x19, 0x1A} << mixer;

        QTest::addRow("starting inside the common block, ending inside part 1")
            << TAddr {0x01, 0x00, 0x00, 0x20} << TAddr {0x00, 0x00, 0x0F, 0x65}
            << std::vector<TExpected> {{{0x01, 0x00, 0x00, 0x20}, 0x24},
                                       {{0x01, 0x00, 0x10, 0x00}, 0x05}};
        QTest::addRow("one tone parameter")
            << TAddr {0x02, 0x03, 0x12, 0x65} << TAddr {0, 0, 0, 1}
            << std::vector<TExpected> {{{0x02, 0x03, 0x12, 0x65}, 1}};
        QTest::addRow("tone block across its page boundary")
            << TAddr {0x02, 0x00, 0x10, 0x7E} << TAddr {0, 0, 0, 0x10}
            << std::vector<TExpected> {{{0x02, 0x00, 0x10, 0x7E}, 3}};
        QTest::addRow("inside tone 2 up to tone 3")
            << TAddr {0x02, 0x06, 0x12, 0x40} << TAddr {0, 0, 0x01, 0x45}
            << std::vector<TExpected> {{{0x02, 0x06, 0x12, 0x40}, 0x41},
                                       {{0x02, 0x06, 0x14, 0x00}, 0x05}};
        QTest::addRow("past the end of the system block")
            << TAddr {0x00, 0x00, 0x00, 0x0A} << TAddr {0, 0, 0x01, 0x00}
            << std::vector<TExpected> {{{0x00, 0x00, 0x00, 0x0A}, 1}};
        QTest::addRow("a gap between blocks")
            << TAddr {0x01, 0x00, 0x17, 0x00} << TAddr {0, 0, 0, 0x1A} << std::vector<TExpected> {};
        QTest::addRow("size 0") << TAddr {0x01, 0x00, 0x10, 0x00} << TAddr {0, 0, 0, 0}
                                << std::vector<TExpected> {};
        QTest::addRow("the pattern's name and tempo")
            << TAddr {0x30, 0x00, 0x00, 0x00} << TAddr {0, 0, 0, 0x17}
            << std::vector<TExpected> {{{0x30, 0x00, 0x00, 0x00}, 0x17}};
        QTest::addRow("the pattern setup's header and effects")
            << TAddr {0x30, 0x00, 0x00, 0x00} << TAddr {0, 0, 0x20, 0x30}
            << std::vector<TExpected> {{{0x30, 0x00, 0x00, 0x00}, 0x77},
                                       {{0x30, 0x00, 0x20, 0x00}, 0x24}};
        QTest::addRow("beyond the last block")
            << TAddr {0x30, 0x00, 0x20, 0x24} << TAddr {0x7F, 0x7F, 0x7F, 0x7F}
            << std::vector<TExpected> {};
    }

    void answersPerBlock()
    {
        QFETCH(TAddr, address);
        QFETCH(TAddr, size);
        QFETCH(std::vector<TExpected>, expected);
        TVirtualInstrument instrument;
        VerifyAnswers(instrument, instrument.Receive(RequestMessage(address, size)), expected);
    }

    void wholeMemoryInAddressOrder()
    {
        TVirtualInstrument instrument;
        const auto answers
            = instrument.Receive(RequestMessage({0, 0, 0, 0}, {0x7F, 0x7F, 0x7F, 0x7F}));
        // System, pattern common, eight part blocks, a common and four tones for seven parts, and
        // the rhythm set's name and 64 keys, and the pattern setup's header and effects.
        QCOMPARE(answers.size(), std::size_t(1 + 1 + 8 + 7 * 5 + 1 + 64 + 2));
        std::uint32_t previousEnd = 0;
        for (const TMessage &m : answers) {
            QCOMPARE(m[m.size() - 2], ChecksumOf(m, 6, m.size() - 2));
            const std::uint32_t start = Linear({m[6], m[7], m[8], m[9]});
            QVERIFY(start >= previousEnd);
            previousEnd = start + std::uint32_t(m.size() - 12);
        }
    }

    void requestedBytesMatchMemoryAtEveryStart()
    {
        // Every start inside and around the first tone block of part 1, eight bytes each.
        TVirtualInstrument instrument;
        const std::uint32_t tone = Linear({0x02, 0x00, 0x10, 0x00});
        for (std::uint32_t start = tone - 4; start < tone + 0x81 + 4; ++start) {
            const auto answers
                = instrument.Receive(RequestMessage(FromLinear(start), {0, 0, 0, 8}));
            const std::uint32_t from = std::max(start, tone);
            const std::uint32_t to = std::min(start + 8, tone + 0x81);
            if (from >= to) {
                QVERIFY(answers.empty());
                continue;
            }
            VerifyAnswers(instrument, answers, {{FromLinear(from), int(to - from)}});
        }
    }

    void deviceIdDecidesTheDeviceByte_data()
    {
        QTest::addColumn<int>("deviceId");
        QTest::addColumn<int>("deviceByte");
        QTest::newRow("17") << 17 << 0x10;
        QTest::newRow("16") << 16 << 0x0F;
        QTest::newRow("32") << 32 << 0x1F;
    }

    void deviceIdDecidesTheDeviceByte()
    {
        QFETCH(int, deviceId);
        QFETCH(int, deviceByte);
        TVirtualInstrument instrument(deviceId);
        QCOMPARE(instrument.DeviceId(), deviceId);
        const auto byte = std::uint8_t(deviceByte);
        VerifyAnswers(instrument,
                      instrument.Receive(RequestMessage({0, 0, 0, 8}, {0, 0, 0, 3}, byte)),
                      {{{0, 0, 0, 8}, 3}}, byte);
        // Another device's request is not for this instrument.
        QVERIFY(
            instrument.Receive(RequestMessage({0, 0, 0, 8}, {0, 0, 0, 3}, std::uint8_t(byte ^ 1)))
                .empty());
        QVERIFY(instrument.Receive(RequestMessage({0, 0, 0, 8}, {0, 0, 0, 3}, 0x7F)).empty());
    }

    void inquiryIsAnsweredWithTheInstrumentsIdentity_data()
    {
        QTest::addColumn<int>("deviceId");
        QTest::addColumn<TBytes>("request");
        QTest::addColumn<bool>("answered");
        const TBytes all {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
        QTest::newRow("to all, ID 17") << 17 << all << true;
        QTest::newRow("to all, ID 23") << 23 << all << true;
        QTest::newRow("to this device")
            << 23 << TBytes {0xF0, 0x7E, 0x16, 0x06, 0x01, 0xF7} << true;
        QTest::newRow("to another device")
            << 23 << TBytes {0xF0, 0x7E, 0x10, 0x06, 0x01, 0xF7} << false;
        QTest::newRow("identity reply is no request")
            << 17 << TBytes {0xF0, 0x7E, 0x7F, 0x06, 0x02, 0xF7} << false;
        QTest::newRow("real-time universal")
            << 17 << TBytes {0xF0, 0x7F, 0x7F, 0x06, 0x01, 0xF7} << false;
        QTest::newRow("one byte too many")
            << 17 << TBytes {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0x00, 0xF7} << false;
        QTest::newRow("no F7") << 17 << TBytes {0xF0, 0x7E, 0x7F, 0x06, 0x01} << false;
    }
    void inquiryIsAnsweredWithTheInstrumentsIdentity()
    {
        QFETCH(int, deviceId);
        QFETCH(TBytes, request);
        QFETCH(bool, answered);
        TVirtualInstrument instrument(deviceId);
        const auto answers = instrument.Receive(request);
        if (!answered) {
            QVERIFY(answers.empty());
            return;
        }
        QCOMPARE(answers.size(), std::size_t(1));
        QCOMPARE(HexOf(answers.front()),
                 HexOf(TBytes {0xF0, 0x7E, std::uint8_t(deviceId - 1), 0x06, 0x02, 0x41, 0x0B, 0x01,
                               0x01, 0x00, 0x00, 0x03, 0x00, 0x00, 0xF7}));
    }

    void malformedRequestsAreNotAnswered_data()
    {
        QTest::addColumn<TBytes>("message");
        const TBytes good = RequestMessage({0x01, 0x00, 0x10, 0x00}, {0, 0, 0, 0x1A});
        TBytes badSum = good;
        badSum[14] ^= 0x01;
        QTest::newRow("bad checksum") << badSum;
        TBytes noEnd = good;
        noEnd.pop_back();
        QTest::newRow("no F7") << noEnd;
        TBytes shortSize = good;
        shortSize.erase(shortSize.begin() + 13);
        shortSize[13] = ChecksumOf(shortSize, 6, 13);
        QTest::newRow("three size bytes") << shortSize;
        TBytes longer = good;
        longer.insert(longer.begin() + 14, 0x00);
        QTest::newRow("one byte too many") << longer;
        TBytes otherModel = good;
        otherModel[4] = 0x0C;
        QTest::newRow("other model") << otherModel;
        TBytes otherMaker = good;
        otherMaker[1] = 0x43;
        QTest::newRow("other manufacturer") << otherMaker;
        TBytes status = good;
        status[9] = 0x80;
        status[14] = ChecksumOf(status, 6, 14);
        QTest::newRow("status byte inside") << status;
    }

    void malformedRequestsAreNotAnswered()
    {
        QFETCH(TBytes, message);
        TVirtualInstrument instrument;
        QVERIFY(instrument.Receive(message).empty());
        QCOMPARE(instrument.Log().size(), std::size_t(1));
        QCOMPARE(instrument.Log()[0], message);
    }
};

QTEST_GUILESS_MAIN(TestInstrumentRequests)
#include "tst_instrument_requests.moc"
