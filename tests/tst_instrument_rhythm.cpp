// Part R's rhythm set in the built-in instrument: held from power-on within every range, answered
// a data set per block to the request that spans it, written by data sets, values out of range
// counted in strict mode, and the notes of channel 10 counted.

#include "instrument/RhythmContents.h"
#include "instrument/VirtualInstrument.h"
#include "support/MessageText.h"
#include "sysex/RhythmMessages.h"

#include <QtTest>

#include <chrono>

namespace rhythm = sysex::rhythm;
using instrument::TVirtualInstrument;
using TBytes = std::vector<std::uint8_t>;

class TestInstrumentRhythm : public QObject
{
    Q_OBJECT

private slots:
    void spanningRequestAnswersEveryBlock()
    {
        TVirtualInstrument instrument;
        const auto answers = instrument.Receive(rhythm::RhythmSetRequest(17));
        QCOMPARE(int(answers.size()), rhythm::BlockCount);
        rhythm::TRhythmSetCollector collector;
        for (int block = 0; block < rhythm::BlockCount; ++block) {
            const TBytes &answer = answers[std::size_t(block)];
            QCOMPARE(HexOf({answer.data() + 6, 4}), HexOf(rhythm::BlockAddress(block)));
            QCOMPARE(answer.size(), std::size_t(rhythm::BlockSize(block) + 12));
            QCOMPARE(instrument::RhythmValuesOutOfRange(
                         instrument::LinearAddress(rhythm::BlockAddress(block)),
                         {answer.data() + 10, answer.size() - 12}),
                     0);
            QVERIFY(collector.Take(answer));
        }
        const rhythm::TRhythmSet set = *collector.Set();
        QCOMPARE(rhythm::NameText(set.Name), std::string("Velmo Beats"));
        for (const rhythm::TKeyBlock &key : set.Keys)
            QCOMPARE(HexOf({key.data() + 9, 3}) + " " + HexOf({key.data() + 0x37, 1}),
                     QString("01 01 01 7F"));
        // The keys differ from each other: their values were drawn for each.
        QVERIFY(set.Keys[0] != set.Keys[1]);
    }

    void dataSetsWriteAKey()
    {
        TVirtualInstrument instrument;
        instrument.Receive(*rhythm::KeyWaveMessage(17, 50, 3, 200));
        QCOMPARE(HexOf(instrument.Read({0x02, 0x09, 50, 0x02}, 3)), QString("03 0C 08"));
        // A key pasted onto key 50 keeps the target's reserved bytes, all else the source's.
        const TBytes first = instrument.Read({0x02, 0x09, 35, 0x00}, rhythm::KeyBlockSize);
        rhythm::TKeyBlock source, target {};
        std::copy(first.begin(), first.end(), source.begin());
        target[0x37] = 0x11;
        instrument.Receive(*rhythm::PasteKeyMessage(17, 50, source, target));
        TBytes expected = first;
        std::fill(expected.begin() + 9, expected.begin() + 12, 0);
        expected[0x37] = 0x11;
        QCOMPARE(HexOf(instrument.Read({0x02, 0x09, 50, 0x00}, rhythm::KeyBlockSize)),
                 HexOf(expected));
    }

    void strictModeCountsValuesOutOfRange()
    {
        // The bend range past 12, a mute group past 31 and a name's character past 125.
        const TBytes bad = DataSetMessage({0x02, 0x09, 36, 0x06}, {13, 40});
        const TBytes badName = DataSetMessage({0x02, 0x09, 0x00, 0x0B}, {0x7E});
        const TBytes good = DataSetMessage({0x02, 0x09, 36, 0x06}, {12, 31});
        TVirtualInstrument instrument;
        instrument.Receive(bad);
        QCOMPARE(instrument.ValuesOutOfRange(), std::uint64_t(0));
        instrument.SetStrictTiming(true);
        auto at = std::chrono::steady_clock::now();
        for (const TBytes &message : {bad, badName, good}) {
            at += std::chrono::seconds(1);
            instrument.Receive(message, at);
        }
        QCOMPARE(instrument.ValuesOutOfRange(), std::uint64_t(3));
        QCOMPARE(instrument.StrictDrops(), std::uint64_t(0));
    }

    void notesOnChannelTenAreCounted()
    {
        TVirtualInstrument instrument;
        for (const TBytes &message :
             {TBytes {0x99, 36, 100}, TBytes {0x99, 38, 90}, TBytes {0x99, 36, 0},
              TBytes {0x89, 38, 64}, TBytes {0x90, 36, 100}, TBytes {0x80, 36, 0},
              TBytes {0x99, 0xF8, 100}})
            instrument.Receive(message);
        QCOMPARE(instrument.RhythmNoteOns(), std::uint64_t(2));
        QCOMPARE(instrument.RhythmNoteOffs(), std::uint64_t(2));
    }
};

QTEST_GUILESS_MAIN(TestInstrumentRhythm)
#include "tst_instrument_rhythm.moc"
