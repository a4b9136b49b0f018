// The rhythm set's key table: each kind of key parameter sent as the one data set of its change
// and named by the monitor as its value is shown; the wave as group and two nibbles; bytes no
// change sends alone; note names and rhythm groups.

#include "support/MessageText.h"
#include "sysex/MessageMeaning.h"
#include "sysex/RhythmMessages.h"
#include "sysex/WaveList.h"

#include <QtTest>

#include <set>
#include <string>

namespace rhythm = sysex::rhythm;

class TestRhythmParams : public QObject
{
    Q_OBJECT

private slots:
    // Every byte of a key is a parameter's, a reserved one or the wave group type, once.
    void everyOffsetHasOneMeaning()
    {
        std::set<std::string> stems;
        for (const rhythm::TKeyParam &param : rhythm::KeyTable)
            QVERIFY2(stems.insert(sysex::rhythm::ObjectName(param)).second, param.Stem);
        for (int offset = 0; offset < rhythm::KeyBlockSize; ++offset) {
            const rhythm::TKeyByte what = rhythm::KeyByteAt(offset);
            const bool reserved = rhythm::IsReserved(offset);
            const bool groupType = offset == rhythm::WaveGroupTypeOffset;
            QVERIFY2((what.Row >= 0) + reserved + groupType == 1,
                     qPrintable(QString::number(offset)));
            QVERIFY(what.Max <= 0x7F && what.Min <= what.Max);
        }
    }

    // Lowest, middle and highest byte of each kind of shown value, and a value past the range
    // brought back into it.
    void changeSendsOneDataSet_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("value"); // the byte the control asks for
        QTest::addColumn<int>("stored"); // the byte sent
        QTest::addColumn<QString>("shown");
        QTest::newRow("switch off") << 0x00 << 0 << 0 << "Switch OFF";
        QTest::newRow("switch on") << 0x00 << 1 << 1 << "Switch ON";
        QTest::newRow("gain lowest") << 0x05 << 0 << 0 << "Gain -6 dB";
        QTest::newRow("gain highest") << 0x05 << 3 << 3 << "Gain +12 dB";
        QTest::newRow("bend range") << 0x06 << 12 << 12 << "Bend Range ±12 semitones";
        QTest::newRow("mute group off") << 0x07 << 0 << 0 << "Mute Group OFF";
        QTest::newRow("mute group past") << 0x07 << 40 << 31 << "Mute Group 31";
        QTest::newRow("coarse lowest") << 0x0C << 0 << 0 << "Coarse Tune -60 semitones";
        QTest::newRow("coarse middle") << 0x0C << 60 << 60 << "Coarse Tune 0 semitones";
        QTest::newRow("coarse highest") << 0x0C << 120 << 120 << "Coarse Tune +60 semitones";
        QTest::newRow("random pitch tens") << 0x0E << 11 << 11 << "Random Pitch 20 cent";
        QTest::newRow("random pitch hundreds") << 0x0E << 20 << 20 << "Random Pitch 200 cent";
        QTest::newRow("random pitch highest") << 0x0E << 30 << 30 << "Random Pitch 1200 cent";
        QTest::newRow("velocity sens lowest") << 0x10 << 0 << 0 << "Pitch Env Velocity Sens -100";
        QTest::newRow("velocity sens zero") << 0x1F << 50 << 50 << "Filter Env Velocity Sens 0";
        QTest::newRow("velocity sens highest")
            << 0x2A << 125 << 125 << "Amplitude Env Velocity Sens +150";
        QTest::newRow("velocity time lowest") << 0x11 << 0 << 0 << "Pitch Env Velocity Time -100";
        QTest::newRow("velocity time zero") << 0x20 << 7 << 7 << "Filter Env Velocity Time 0";
        QTest::newRow("velocity time highest")
            << 0x2B << 14 << 14 << "Amplitude Env Velocity Time +100";
        QTest::newRow("pitch env time") << 0x12 << 127 << 127 << "Pitch Env T1 127";
        QTest::newRow("pitch env level lowest") << 0x16 << 0 << 0 << "Pitch Env L1 -63";
        QTest::newRow("pitch env level past") << 0x19 << 127 << 126 << "Pitch Env L4 +63";
        QTest::newRow("amp env level") << 0x32 << 64 << 64 << "Amplitude Env L3 64";
        QTest::newRow("filter list") << 0x1A << 4 << 4 << "Filter PKG";
        QTest::newRow("cutoff lowest") << 0x1B << 0 << 0 << "Cutoff 0";
        QTest::newRow("cutoff middle") << 0x1B << 64 << 64 << "Cutoff 64";
        QTest::newRow("cutoff past") << 0x1B << 300 << 127 << "Cutoff 127";
        QTest::newRow("pan left") << 0x33 << 0 << 0 << "Pan L64";
        QTest::newRow("pan centre") << 0x33 << 64 << 64 << "Pan 0";
        QTest::newRow("alternate pan right") << 0x35 << 127 << 127 << "Alternate Pan R63";
        QTest::newRow("random pan between") << 0x34 << 13 << 13 << "Random Pan 13";
        QTest::newRow("mfx unused") << 0x36 << 2 << 2 << "MFX 2";
        QTest::newRow("delay send") << int(rhythm::DelaySendOffset) << 90 << 90 << "Delay Send 90";
    }
    void changeSendsOneDataSet()
    {
        QFETCH(int, offset);
        QFETCH(int, value);
        QFETCH(int, stored);
        QFETCH(QString, shown);
        const int note = 36;
        const rhythm::TKeyByte what = rhythm::KeyByteAt(offset);
        const rhythm::TKeyParam &param = rhythm::KeyTable[what.Row];
        // A row's control sends through its conversion; an envelope's points byte by byte.
        const auto message = what.Point == 0
            ? rhythm::KeyParamMessage(17, note, param, param.ToControl(value))
            : rhythm::KeyByteMessage(17, note, offset, value);
        QVERIFY(message);
        QCOMPARE(
            HexOf(*message),
            HexOf(DataSetMessage({0x02, 0x09, note, std::uint8_t(offset)}, BytesOf({stored}))));
        QCOMPARE(QString::fromStdString(sysex::MessageMeaning(*message)),
                 "Rhythm key 36 (C2) " + shown);
    }

    void waveGoesAsGroupAndTwoNibbles()
    {
        const auto message = rhythm::KeyWaveMessage(17, 98, 3, 200);
        QVERIFY(message);
        QCOMPARE(HexOf(*message),
                 HexOf(DataSetMessage({0x02, 0x09, 0x62, 0x02}, {0x03, 0x0C, 0x08})));
        QCOMPARE(QString::fromStdString(sysex::MessageMeaning(*message)),
                 "Rhythm key 98 (D7) Wave C201");
        rhythm::TKeyBlock key {};
        std::copy(message->begin() + 10, message->begin() + 13, key.begin() + 2);
        QCOMPARE(rhythm::WaveOfKey(key).Number, 200);
        QVERIFY(rhythm::WaveName(3, 200).starts_with("C\u00AD"));
        QCOMPARE(rhythm::WaveName(1, 254), std::string(sysex::WaveSeparatorText));
    }

    // Reserved bytes, the group type and the wave's bytes go only with others; whatever is asked,
    // no message carries a status byte.
    void bytesSentAloneAreThoseShown()
    {
        for (int offset = 0; offset < rhythm::KeyBlockSize; ++offset) {
            const rhythm::TKeyByte what = rhythm::KeyByteAt(offset);
            const bool alone = what.Row >= 0 && what.Row != rhythm::WaveRow;
            for (int value : {-1, 0, 127, 128, 255})
                for (int note : {34, 35, 98, 99}) {
                    const auto message = rhythm::KeyByteMessage(17, note, offset, value);
                    QCOMPARE(bool(message), alone && rhythm::IsKey(note));
                    if (message)
                        QVERIFY(!midi::SysExFault(*message));
                }
        }
        QVERIFY(!midi::SysExFault(*rhythm::KeyWaveMessage(17, 35, 9, 999)));
    }

    void notesAndGroups_data()
    {
        QTest::addColumn<int>("note");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("group");
        QTest::newRow("lowest key") << 35 << "B1"
                                    << "BD";
        QTest::newRow("sharp") << 61 << "C#4"
                               << "CYM";
        QTest::newRow("middle C") << 60 << "C4"
                                  << "TOM/PERC";
        QTest::newRow("hit") << 88 << "E6"
                             << "HIT";
        QTest::newRow("others") << 93 << "A6"
                                << "OTHERS";
        QTest::newRow("highest key") << 98 << "D7"
                                     << "SD";
        QTest::newRow("below the keys") << 34 << "A#1"
                                        << "";
    }
    void notesAndGroups()
    {
        QFETCH(int, note);
        QFETCH(QString, name);
        QFETCH(QString, group);
        QCOMPARE(QString::fromStdString(rhythm::NoteName(note)), name);
        const auto of = rhythm::RhythmGroupOf(note);
        QCOMPARE(of ? QString(rhythm::RhythmGroupNames[std::size_t(*of)]) : QString(), group);
    }

    // Every key is in exactly one group, each group holds a key.
    void groupsCoverTheKeys()
    {
        std::set<rhythm::TRhythmGroup> seen;
        for (int note = rhythm::FirstKey; note <= rhythm::LastKey; ++note) {
            const auto group = rhythm::RhythmGroupOf(note);
            QVERIFY2(group, qPrintable(QString::number(note)));
            seen.insert(*group);
        }
        QCOMPARE(seen.size(), rhythm::RhythmGroupNames.size());
        QVERIFY(!rhythm::RhythmGroupOf(rhythm::LastKey + 1));
    }
};

QTEST_GUILESS_MAIN(TestRhythmParams)
#include "tst_sysex_rhythmparams.moc"
