// What the virtual instrument does with what it receives: data-set messages stored (or dropped
// for another device, a bad checksum or an address outside its blocks), control changes and
// model-3A messages applied to the pattern part blocks, patch selections loading patches, and
// the log of everything received.

#include "instrument/InstrumentContents.h"
#include "instrument/VirtualInstrument.h"
#include "support/MessageText.h"

#include <QtTest>

#include <cstdint>
#include <thread>
#include <vector>

using instrument::TVirtualInstrument;
using TBytes = std::vector<std::uint8_t>;
using TAddr = std::array<std::uint8_t, 4>;

namespace {

TBytes Model3A(std::uint8_t part, std::uint8_t function, std::uint8_t value, std::uint8_t closing,
               bool leadingZero, std::uint8_t device = 0x10)
{
    TBytes m {0xF0, 0x41, device, 0x3A, 0x12, part, function, value, closing};
    m.push_back(ChecksumOf(m, 5, m.size()));
    m.push_back(0xF7);
    if (leadingZero)
        m.insert(m.begin(), std::uint8_t(0x00));
    return m;
}

// Everything the instrument holds, as one byte string per block, for before/after comparisons.
TBytes Snapshot(const TVirtualInstrument &instrument)
{
    TBytes all;
    auto add = [&](TAddr a, int size) {
        const TBytes b = instrument.Read(a, size);
        all.insert(all.end(), b.begin(), b.end());
    };
    add({0, 0, 0, 0}, 0x0B);
    add({1, 0, 0, 0}, 0x44);
    for (std::uint8_t b : instrument::PatternPartBlockBytes)
        add({1, 0, b, 0}, 0x1A);
    for (std::uint8_t p = 0; p < 7; ++p) {
        add({2, p, 0, 0}, 0x4A);
        for (std::uint8_t t : instrument::ToneBlockBytes)
            add({2, p, t, 0}, 0x81);
    }
    return all;
}

TBytes Tones(const TVirtualInstrument &instrument, std::uint8_t part)
{
    TBytes all;
    for (std::uint8_t t : instrument::ToneBlockBytes) {
        const TBytes b = instrument.Read({2, part, t, 0}, 0x81);
        all.insert(all.end(), b.begin(), b.end());
    }
    return all;
}

// The three messages the main window sends for a patch choice.
void SelectPatch(TVirtualInstrument &instrument, std::uint8_t partBlock, int group, int number)
{
    const std::uint8_t bank = group <= 2 ? 0x03 : 0x00;
    instrument.Receive(DataSetMessage({1, 0, partBlock, 0x02}, {bank}));
    instrument.Receive(DataSetMessage({1, 0, partBlock, 0x03}, {std::uint8_t(group)}));
    instrument.Receive(DataSetMessage({1, 0, partBlock, 0x04},
                                      {std::uint8_t(number / 16), std::uint8_t(number % 16)}));
}

} // namespace

Q_DECLARE_METATYPE(TAddr)

class TestInstrumentMemory : public QObject
{
    Q_OBJECT

private slots:
    void dataSetIsStoredAndAnsweredBack()
    {
        TVirtualInstrument instrument;
        // Tone 2 level of part 4 set to 100, as the main window sends it.
        const TBytes message {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02,
                              0x03, 0x12, 0x65, 0x64, 0x20, 0xF7};
        QVERIFY(instrument.Receive(message).empty());
        QCOMPARE(instrument.ReadByte({0x02, 0x03, 0x12, 0x65}), std::uint8_t(0x64));

        const TBytes request {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x11, 0x02, 0x03,
                              0x12, 0x65, 0x00, 0x00, 0x00, 0x01, 0x03, 0xF7};
        const auto answers = instrument.Receive(request);
        QCOMPARE(answers.size(), std::size_t(1));
        QCOMPARE(answers[0], message);
    }

    void dataSetStoresOnlyInsideBlocks_data()
    {
        QTest::addColumn<TAddr>("address");
        QTest::addColumn<TBytes>("data");
        QTest::addColumn<int>("storedCount");
        QTest::newRow("voice reserve, two bytes past the common block's end")
            << TAddr {1, 0, 0, 0x42} << TBytes {5, 6, 7, 8} << 2;
        QTest::newRow("across a tone block's page boundary")
            << TAddr {2, 0, 0x10, 0x7F} << TBytes {9, 10, 11} << 2;
        QTest::newRow("part R's whole block")
            << TAddr {1, 0, 0x19, 0} << TBytes(0x1A, 0x22) << 0x1A;
        QTest::newRow("the gap after part 7") << TAddr {1, 0, 0x17, 0} << TBytes {1, 2, 3} << 0;
        QTest::newRow("outside every area") << TAddr {0x10, 0, 0, 0} << TBytes {1} << 0;
    }

    void dataSetStoresOnlyInsideBlocks()
    {
        QFETCH(TAddr, address);
        QFETCH(TBytes, data);
        QFETCH(int, storedCount);
        TVirtualInstrument instrument;
        const TBytes before = Snapshot(instrument);
        instrument.Receive(DataSetMessage(address, data));
        const TBytes after = Snapshot(instrument);

        QCOMPARE(instrument.Read(address, storedCount),
                 TBytes(data.begin(), data.begin() + storedCount));
        // Nothing else moved: the bytes past the stored ones read 0 and every other byte is kept.
        int changed = 0;
        for (std::size_t i = 0; i < before.size(); ++i)
            changed += before[i] != after[i];
        int expectedChanges = 0;
        const TBytes old = TVirtualInstrument().Read(address, storedCount);
        for (int i = 0; i < storedCount; ++i)
            expectedChanges += old[i] != data[i];
        QCOMPARE(changed, expectedChanges);
        const TBytes rest = instrument.Read(address, int(data.size()));
        for (std::size_t i = storedCount; i < data.size(); ++i)
            QCOMPARE(rest[i], std::uint8_t(0));
    }

    void messagesForOtherDevicesOrWithBadChecksumsChangeNothing_data()
    {
        QTest::addColumn<TBytes>("message");
        QTest::newRow("data set for device 18") << DataSetMessage({2, 0, 0x10, 0x65}, {0x01}, 0x11);
        QTest::newRow("data set for all devices")
            << DataSetMessage({2, 0, 0x10, 0x65}, {0x01}, 0x7F);
        TBytes bad = DataSetMessage({2, 0, 0x10, 0x65}, {0x01});
        bad[11] = std::uint8_t((bad[11] + 1) & 0x7F);
        QTest::newRow("data set with a bad checksum") << bad;
        TBytes noData = DataSetMessage({2, 0, 0x10, 0x65}, {});
        QTest::newRow("data set without data") << noData;
        QTest::newRow("model 3A for device 18") << Model3A(0x30, 0x55, 0x70, 0x00, true, 0x11);
        TBytes bad3A = Model3A(0x30, 0x55, 0x70, 0x00, true);
        bad3A[10] ^= 0x01;
        QTest::newRow("model 3A with a bad checksum") << bad3A;
        TBytes long3A = Model3A(0x30, 0x55, 0x70, 0x00, false);
        long3A.insert(long3A.begin() + 9, 0x00);
        QTest::newRow("model 3A with five bytes") << long3A;
        QTest::newRow("model 3A for part 8") << Model3A(0x37, 0x55, 0x70, 0x00, true);
        QTest::newRow("model 3A unknown function") << Model3A(0x30, 0x57, 0x70, 0x00, true);
        QTest::newRow("control change on channel 8") << TBytes {0xB7, 0x07, 0x11};
        QTest::newRow("control change on channel 16") << TBytes {0xBF, 0x07, 0x11};
        QTest::newRow("other controller") << TBytes {0xB0, 0x0B, 0x11};
        QTest::newRow("note on") << TBytes {0x90, 0x3C, 0x40};
        QTest::newRow("value is a status byte") << TBytes {0xB0, 0x07, 0x91};
    }

    void messagesForOtherDevicesOrWithBadChecksumsChangeNothing()
    {
        QFETCH(TBytes, message);
        TVirtualInstrument instrument;
        const TBytes before = Snapshot(instrument);
        QVERIFY(instrument.Receive(message).empty());
        QCOMPARE(Snapshot(instrument), before);
        // Still logged as received.
        QCOMPARE(instrument.Log(), std::vector<TBytes> {message});
    }

    void controlChanges_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("controller");
        QTest::addColumn<int>("blockByte");
        QTest::addColumn<int>("offset");
        const std::array<std::pair<int, int>, 4> controllers {
            {{7, 0x06}, {10, 0x07}, {91, 0x0D}, {94, 0x0C}}};
        const std::array<std::pair<int, int>, 8> channels {{{0xB0, 0x10},
                                                            {0xB1, 0x11},
                                                            {0xB2, 0x12},
                                                            {0xB3, 0x13},
                                                            {0xB4, 0x14},
                                                            {0xB5, 0x15},
                                                            {0xB6, 0x16},
                                                            {0xB9, 0x19}}};
        for (auto [status, block] : channels)
            for (auto [controller, offset] : controllers)
                QTest::addRow("%02X %d", status, controller)
                    << status << controller << block << offset;
    }

    void controlChanges()
    {
        QFETCH(int, status);
        QFETCH(int, controller);
        QFETCH(int, blockByte);
        QFETCH(int, offset);
        TVirtualInstrument instrument;
        const TAddr address {1, 0, std::uint8_t(blockByte), std::uint8_t(offset)};
        for (std::uint8_t value : {0x00, 0x40, 0x7F, 0x21}) {
            const TBytes before = Snapshot(instrument);
            QVERIFY(
                instrument.Receive(TBytes {std::uint8_t(status), std::uint8_t(controller), value})
                    .empty());
            QCOMPARE(instrument.ReadByte(address), value);
            // Only that byte changed.
            const TBytes after = Snapshot(instrument);
            int changed = 0;
            for (std::size_t i = 0; i < before.size(); ++i)
                changed += before[i] != after[i];
            QVERIFY(changed <= 1);
        }
    }

    void controlChangesWithRunningStatus()
    {
        TVirtualInstrument instrument;
        instrument.Receive(TBytes {0xB9, 0x07, 0x11, 0x0A, 0x22, 0x5B, 0x33});
        QCOMPARE(instrument.Read({1, 0, 0x19, 0x06}, 2), (TBytes {0x11, 0x22}));
        QCOMPARE(instrument.ReadByte({1, 0, 0x19, 0x0D}), std::uint8_t(0x33));
    }

    void model3A_data()
    {
        QTest::addColumn<TBytes>("message");
        QTest::addColumn<int>("blockByte");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("stored");
        // The mixer window's own example: part 3 to +48 semitones.
        QTest::newRow("part 3 top end, as sent")
            << TBytes {0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12, 0x32, 0x55, 0x70, 0x00, 0x09, 0xF7}
            << 0x12 << 0x08 << 0x60;
        QTest::newRow("part R MFX on, as sent")
            << TBytes {0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12, 0x39, 0x56, 0x01, 0x09, 0x67, 0xF7}
            << 0x19 << 0x0A << 0x01;
        for (int p = 0; p < 8; ++p) {
            const std::uint8_t partByte = std::uint8_t(p < 7 ? 0x30 + p : 0x39);
            const int block = instrument::PatternPartBlockBytes[p];
            for (bool zero : {true, false}) {
                const char *lead = zero ? "with 00" : "without 00";
                QTest::addRow("%02X transpose bottom %s", partByte, lead)
                    << Model3A(partByte, 0x55, 0x10, 0x00, zero) << block << 0x08 << 0x00;
                QTest::addRow("%02X transpose none %s", partByte, lead)
                    << Model3A(partByte, 0x55, 0x40, 0x00, zero) << block << 0x08 << 0x30;
                QTest::addRow("%02X transpose -5 %s", partByte, lead)
                    << Model3A(partByte, 0x55, 0x3B, 0x00, zero) << block << 0x08 << 43;
                QTest::addRow("%02X MFX off %s", partByte, lead)
                    << Model3A(partByte, 0x56, 0x00, p < 7 ? 0x00 : 0x09, zero) << block << 0x0A
                    << 0x00;
            }
        }
        // Values beyond what the program sends are held to the stored range.
        QTest::newRow("transpose value 7F")
            << Model3A(0x30, 0x55, 0x7F, 0x00, true) << 0x10 << 0x08 << 96;
        QTest::newRow("transpose value 00")
            << Model3A(0x30, 0x55, 0x00, 0x00, true) << 0x10 << 0x08 << 0;
    }

    void model3A()
    {
        QFETCH(TBytes, message);
        QFETCH(int, blockByte);
        QFETCH(int, offset);
        QFETCH(int, stored);
        TVirtualInstrument instrument;
        const TBytes before = Snapshot(instrument);
        QVERIFY(instrument.Receive(message).empty());
        QCOMPARE(int(instrument.ReadByte({1, 0, std::uint8_t(blockByte), std::uint8_t(offset)})),
                 stored);
        const TBytes after = Snapshot(instrument);
        int changed = 0;
        for (std::size_t i = 0; i < before.size(); ++i)
            changed += before[i] != after[i];
        QVERIFY(changed <= 1);
    }

    void patchSelectionLoadsItsPatch()
    {
        TVirtualInstrument instrument;
        const TBytes otherParts = [&] {
            TBytes all;
            for (std::uint8_t p : {0, 1, 3, 4, 5, 6}) {
                const TBytes t = Tones(instrument, p);
                all.insert(all.end(), t.begin(), t.end());
            }
            return all;
        }();
        const TBytes initial = Tones(instrument, 2);

        SelectPatch(instrument, 0x12, 5, 77);
        const TBytes first = Tones(instrument, 2);
        QVERIFY(first != initial);
        QCOMPARE(instrument.Read({1, 0, 0x12, 0x02}, 4), (TBytes {0x00, 5, 4, 13}));

        SelectPatch(instrument, 0x12, 5, 78);
        const TBytes second = Tones(instrument, 2);
        QVERIFY(second != first);

        // Edits to the temporary patch are lost when a patch is selected, even the same one.
        instrument.Receive(DataSetMessage({2, 2, 0x14, 0x65}, {0x01}));
        SelectPatch(instrument, 0x12, 5, 77);
        QCOMPARE(Tones(instrument, 2), first);
        instrument.Receive(DataSetMessage({2, 2, 0x14, 0x65}, {0x01}));
        instrument.Receive(DataSetMessage({1, 0, 0x12, 0x04}, {4, 13}));
        QCOMPARE(Tones(instrument, 2), first);

        // The same selection gives the same patch on another instrument, on another part.
        TVirtualInstrument other;
        SelectPatch(other, 0x15, 5, 77);
        QCOMPARE(Tones(other, 5), first);

        // No other part's patch moved.
        TBytes nowOthers;
        for (std::uint8_t p : {0, 1, 3, 4, 5, 6}) {
            const TBytes t = Tones(instrument, p);
            nowOthers.insert(nowOthers.end(), t.begin(), t.end());
        }
        QCOMPARE(nowOthers, otherParts);
    }

    void patchSelectionOfEveryPart()
    {
        TVirtualInstrument instrument;
        for (std::uint8_t p = 0; p < 7; ++p) {
            const TBytes before = Tones(instrument, p);
            SelectPatch(instrument, std::uint8_t(0x10 + p), 9, 31);
            QVERIFY(Tones(instrument, p) != before);
            if (p > 0)
                QCOMPARE(Tones(instrument, p), Tones(instrument, 0));
        }
    }

    void bytesBesideTheSelectionLoadNothing()
    {
        TVirtualInstrument instrument;
        const TBytes before = Snapshot(instrument);
        // Bank byte alone, the level byte, part R's selection: none is a part's patch choice.
        instrument.Receive(DataSetMessage({1, 0, 0x10, 0x02}, {0x03}));
        instrument.Receive(DataSetMessage({1, 0, 0x10, 0x06}, {0x05}));
        instrument.Receive(DataSetMessage({1, 0, 0x19, 0x03}, {4, 1, 2}));
        for (std::uint8_t p = 0; p < 7; ++p)
            QCOMPARE(Tones(instrument, p), Tones(TVirtualInstrument(), p));
        QVERIFY(Snapshot(instrument) != before);
    }

    void writeChangesBytesAlone()
    {
        TVirtualInstrument instrument;
        const TBytes tones = Tones(instrument, 0);
        const TBytes selection {5, 1, 2};
        instrument.Write({1, 0, 0x10, 0x03}, selection);
        QCOMPARE(instrument.Read({1, 0, 0x10, 0x03}, 3), selection);
        QCOMPARE(Tones(instrument, 0), tones);
        // Outside every block nothing is written and everything reads 0.
        instrument.Write({1, 0, 0x18, 0x00}, TBytes {1, 2, 3});
        QCOMPARE(instrument.Read({1, 0, 0x18, 0x00}, 3), TBytes(3, 0));
        QCOMPARE(instrument.ReadByte({0x7F, 0x7F, 0x7F, 0x7F}), std::uint8_t(0));
    }

    void logKeepsEveryMessageAsReceived()
    {
        TVirtualInstrument instrument;
        const std::vector<TBytes> messages {
            Model3A(0x30, 0x55, 0x40, 0x00, true),
            {},
            {0xB0, 0x07, 0x64},
            {0xF0, 0x41},
            DataSetMessage({2, 0, 0x10, 0x65}, {0x7F}, 0x11),
            {0x00},
        };
        for (const TBytes &m : messages)
            instrument.Receive(m);
        QCOMPARE(instrument.Log(), messages);
        instrument.ClearLog();
        QVERIFY(instrument.Log().empty());
    }

    void concurrentSendersAndReaders()
    {
        TVirtualInstrument instrument;
        constexpr int Rounds = 2000;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&instrument, t] {
                for (int i = 0; i < Rounds; ++i) {
                    instrument.Receive(
                        TBytes {std::uint8_t(0xB0 + t), 0x07, std::uint8_t(i & 0x7F)});
                    instrument.Receive(
                        DataSetMessage({2, std::uint8_t(t), 0x10, 0x65}, {std::uint8_t(i & 0x7F)}));
                    const TBytes request {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x11, 0x01, 0x00,
                                          0x10, 0x00, 0x00, 0x00, 0x00, 0x1A, 0x55, 0xF7};
                    if (instrument.Receive(request).size() != 1)
                        std::abort();
                }
            });
        }
        threads.emplace_back([&instrument] {
            for (int i = 0; i < Rounds; ++i) {
                (void)instrument.Read({1, 0, 0x10, 0}, 0x1A);
                if (i % 100 == 0)
                    (void)instrument.Log();
            }
        });
        for (std::thread &t : threads)
            t.join();
        QCOMPARE(instrument.Log().size(), std::size_t(4 * 3 * Rounds));
        for (std::uint8_t t = 0; t < 4; ++t) {
            QCOMPARE(instrument.ReadByte({1, 0, std::uint8_t(0x10 + t), 0x06}),
                     std::uint8_t((Rounds - 1) & 0x7F));
            QCOMPARE(instrument.ReadByte({2, t, 0x10, 0x65}), std::uint8_t((Rounds - 1) & 0x7F));
        }
    }
};

QTEST_GUILESS_MAIN(TestInstrumentMemory)
#include "tst_instrument_memory.moc"
