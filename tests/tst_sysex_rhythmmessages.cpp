// The rhythm set's messages without a window: the pasted key, the request that reads the whole
// set, the collecting of its blocks from pieces, and rhythm set files, read from their own bytes
// or from a pattern dump and refused with the offset of what is wrong.

#include "support/MadeUpDump.h"
#include "support/MessageText.h"
#include "sysex/MessageMeaning.h"
#include "sysex/RhythmMessages.h"

#include <QtTest>

namespace rhythm = sysex::rhythm;
using TBytes = std::vector<std::uint8_t>;

namespace {

// A rhythm set whose every block differs: bytes counting up from the block's index.
rhythm::TRhythmSet MadeUpSet()
{
    rhythm::TRhythmSet set;
    for (int block = 0; block < rhythm::BlockCount; ++block) {
        const TBytes bytes = madeup::Filled(rhythm::BlockSize(block), block + 32);
        std::copy(bytes.begin(), bytes.end(), set.Block(block).begin());
    }
    return set;
}

// Where the data set of a block starts in a rhythm set file: each message is its data and 12
// bytes of frame.
std::size_t FileOffsetOf(int block)
{
    return std::size_t(block == 0 ? 0 : 12 + 12 + (block - 1) * (58 + 12));
}

} // namespace

class TestRhythmMessages : public QObject
{
    Q_OBJECT

private slots:
    void pasteKeepsTheTargetsReservedBytes()
    {
        const rhythm::TRhythmSet set = MadeUpSet();
        const rhythm::TKeyBlock &source = set.Keys[0], &target = set.Keys[5];
        const auto message = rhythm::PasteKeyMessage(17, 40, source, target);
        QVERIFY(message);
        TBytes expected(source.begin(), source.end());
        for (int offset : {0x09, 0x0A, 0x0B, 0x37})
            expected[std::size_t(offset)] = target[std::size_t(offset)];
        QCOMPARE(HexOf(*message), HexOf(DataSetMessage({0x02, 0x09, 40, 0x00}, expected)));
        QVERIFY(!rhythm::PasteKeyMessage(17, 99, source, target));
    }

    void spanningRequestCoversNameAndKeys()
    {
        QCOMPARE(rhythm::SpanningRequestSize, std::uint32_t(0x62 * 128 + 0x3A));
        const TBytes request = rhythm::RhythmSetRequest(17);
        QCOMPARE(HexOf(request), HexOf(RequestMessage({0x02, 0x09, 0, 0}, {0, 0, 0x62, 0x3A})));
        QCOMPARE(QString::fromStdString(sysex::MessageMeaning(request)),
                 "Rhythm set request, 12602 bytes");
        QCOMPARE(HexOf(rhythm::BlockRequest(17, rhythm::BlockOfKey(36))),
                 HexOf(RequestMessage({0x02, 0x09, 36, 0}, {0, 0, 0, 0x3A})));
    }

    // Blocks come whole, in pieces, or not at all; a missing one is reported and never given.
    void collectorTellsTheMissingBlocks()
    {
        const rhythm::TRhythmSet set = MadeUpSet();
        rhythm::TRhythmSetCollector collector;
        const int late = rhythm::BlockOfKey(40);
        for (int block = 0; block < rhythm::BlockCount; ++block)
            if (block != late)
                QVERIFY(collector.Take(
                    DataSetMessage(rhythm::BlockAddress(block),
                                   TBytes(set.Block(block).begin(), set.Block(block).end()))));
        QCOMPARE(collector.MissingBlocks(), std::vector<int> {late});
        QVERIFY(!collector.Key(40) && !collector.Set());
        QCOMPARE(*collector.Key(41), set.Keys[41 - 35]);
        // Key 40 in two pieces, the second one with a bad checksum, refused.
        const TBytes key(set.Keys[40 - 35].begin(), set.Keys[40 - 35].end());
        QVERIFY(
            collector.Take(DataSetMessage({0x02, 0x09, 40, 0}, {key.begin(), key.begin() + 30})));
        TBytes rest = DataSetMessage({0x02, 0x09, 40, 30}, {key.begin() + 30, key.end()});
        rest[rest.size() - 2] ^= 1;
        QVERIFY(!collector.Take(rest));
        QVERIFY(!collector.Complete(late));
        rest[rest.size() - 2] ^= 1;
        QVERIFY(collector.Take(rest));
        QCOMPARE(*collector.Set(), set);
        // Another area's data set is no part of it.
        QVERIFY(!collector.Take(DataSetMessage({0x02, 0x08, 40, 0}, key)));
    }

    void fileReadsBackByteForByte()
    {
        const rhythm::TRhythmSet set = MadeUpSet();
        const TBytes file = rhythm::RhythmSetFile(set, 17);
        QCOMPARE(file.size(), FileOffsetOf(rhythm::BlockCount));
        const rhythm::TRhythmFileRead read = rhythm::ReadRhythmSetFile(file);
        QVERIFY2(!read.Error, read.Error ? read.Error->Why.c_str() : "");
        QCOMPARE(*read.Set, set);
        QCOMPARE(HexOf(rhythm::RhythmSetFile(*read.Set, 17)), HexOf(file));
        // A pattern dump holds one among its other data sets.
        const auto dump = madeup::PatternDumpMessages();
        const rhythm::TRhythmFileRead fromDump = rhythm::ReadRhythmSetFile(madeup::FileOf(dump));
        QVERIFY(fromDump.Set);
        QCOMPARE(fromDump.Skipped, madeup::DumpMessageCount - rhythm::BlockCount);
        QCOMPARE(TBytes(fromDump.Set->Keys[3].begin(), fromDump.Set->Keys[3].end()),
                 dump[10 + 4].Data);
    }

    void badFilesAreRefused_data()
    {
        QTest::addColumn<int>("block"); // whose data set is spoilt
        QTest::addColumn<int>("spoil");
        QTest::addColumn<QString>("why");
        QTest::newRow("bad checksum") << 20 << 0 << "bad checksum";
        QTest::newRow("stray byte") << 3 << 1 << "byte 41 outside";
        QTest::newRow("past the block")
            << 64 << 2 << "59 data bytes run past the end of key 98 (58 left)";
        QTest::newRow("key missing") << 7 << 3 << "key 41 is missing";
        QTest::newRow("no rhythm set") << 0 << 4 << "no rhythm set data (0 other messages)";
    }
    void badFilesAreRefused()
    {
        QFETCH(int, block);
        QFETCH(int, spoil);
        QFETCH(QString, why);
        rhythm::TRhythmSet set = MadeUpSet();
        std::vector<TBytes> messages;
        for (int b = 0; b < rhythm::BlockCount; ++b)
            messages.push_back(rhythm::RhythmSetMessages(set, 17)[std::size_t(b)]);
        TBytes &spoilt = messages[std::size_t(block)];
        std::size_t offset = FileOffsetOf(block);
        if (spoil == 0)
            spoilt[spoilt.size() - 2] ^= 0x01;
        else if (spoil == 1)
            spoilt.insert(spoilt.begin(), 0x41);
        else if (spoil == 2)
            spoilt = DataSetMessage({0x02, 0x09, 98, 0}, madeup::Filled(59, 0));
        else if (spoil == 3)
            spoilt.clear(), offset = 0;
        else
            messages.clear(), offset = 0;
        TBytes file;
        for (const TBytes &m : messages)
            file.insert(file.end(), m.begin(), m.end());
        const rhythm::TRhythmFileRead read = rhythm::ReadRhythmSetFile(file);
        QVERIFY(!read.Set && read.Error);
        QVERIFY2(QString::fromStdString(read.Error->Why).contains(why), read.Error->Why.c_str());
        QCOMPARE(read.Error->Offset, offset);
    }
};

QTEST_GUILESS_MAIN(TestRhythmMessages)
#include "tst_sysex_rhythmmessages.moc"
