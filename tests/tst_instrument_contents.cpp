// The virtual instrument's contents: the memory it starts with and the patches it generates.
// The start contents must move every control that a first start shows, so every such value
// lies in its range and differs from the control's own start value, and values differ between
// tones and parts; a generated patch keeps every value in its stored range.

#include "instrument/InstrumentContents.h"
#include "instrument/VirtualInstrument.h"
#include "sysex/ToneParams.h"

#include <QtTest>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

using instrument::TVirtualInstrument;
using TBytes = std::vector<std::uint8_t>;

namespace {

// A tone parameter: its stored range and the byte its control stands for before anything is
// received (-1 where no byte does).
struct TParam
{
    const char *Name;
    int Offset;
    int Max;
    int StartByte;
    bool Shown;
};

const std::vector<TParam> &ToneParams()
{
    static const std::vector<TParam> params = [] {
        std::vector<TParam> p {
            {"gain", 0x05, 3, -1, true},
            {"fxm colour", 0x07, 3, -1, true},
            {"fxm depth", 0x08, 15, 0, true},
            {"coarse tune", 0x3D, 96, 48, true},
            {"fine tune", 0x3E, 100, 50, true},
            {"pitch env depth", 0x41, 24, 12, true},
            {"pitch velocity", 0x42, 125, -1, false},
            {"filter type", 0x50, 4, -1, true},
            {"cutoff", 0x51, 127, 0, true},
            {"resonance", 0x53, 127, 0, true},
            {"filter env depth", 0x55, 126, 63, true},
            {"filter velocity", 0x57, 125, -1, false},
            {"level", 0x65, 127, 0, true},
            {"amp velocity", 0x6A, 125, -1, false},
            {"pan", 0x77, 127, 64, true},
            {"alternate pan", 0x7A, 127, 64, true},
        };
        // Envelopes show times 127 and levels 0 before anything is received.
        for (int offset : {0x46, 0x47, 0x48, 0x49, 0x5B, 0x5C, 0x5D, 0x5E, 0x6E, 0x6F, 0x70, 0x71})
            p.push_back({"envelope time", offset, 127, 127, true});
        for (int offset : {0x4A, 0x4B, 0x4C, 0x4D, 0x5F, 0x60, 0x61, 0x62, 0x72, 0x73, 0x74})
            p.push_back({"envelope level", offset, 127, 0, true});
        return p;
    }();
    return params;
}

constexpr std::array<int, 3> WavesPerBank {254, 251, 236};

int WaveRow(const TBytes &tone)
{
    return (tone[2] - 1) * 255 + tone[3] * 16 + tone[4];
}

// Every value of a tone in its stored range; returns the first failure, or an empty text.
QString ToneRangeFailure(const TBytes &tone)
{
    if (tone.size() < 0x7B)
        return "tone block too short";
    if (tone[0x00] > 1)
        return "tone switch";
    if (tone[0x02] < 1 || tone[0x02] > 3)
        return "wave group";
    if (tone[0x03] > 15 || tone[0x04] > 15)
        return "wave number nibbles";
    if (tone[0x03] * 16 + tone[0x04] >= WavesPerBank[tone[0x02] - 1])
        return "wave number beyond its bank";
    if (tone[0x06] > 1)
        return "fxm switch";
    if (tone[0x79] != 0 && tone[0x79] != 63)
        return "random pan";
    for (const TParam &p : ToneParams())
        if (tone[p.Offset] > p.Max)
            return QString("%1 at %2: %3").arg(p.Name).arg(p.Offset, 2, 16).arg(tone[p.Offset]);
    for (std::uint8_t b : tone)
        if (b > 0x7F)
            return "a byte above 7F";
    return {};
}

TBytes Tone(const TVirtualInstrument &instrument, int part, int tone)
{
    return instrument.Read({0x02, std::uint8_t(part), instrument::ToneBlockBytes[tone], 0x00},
                           0x81);
}

TBytes PartBlock(const TVirtualInstrument &instrument, int index)
{
    return instrument.Read({0x01, 0x00, instrument::PatternPartBlockBytes[index], 0x00},
                           instrument::PatternPartSize);
}

bool AllEqual(const std::vector<int> &values)
{
    return std::adjacent_find(values.begin(), values.end(), std::not_equal_to<>()) == values.end();
}

bool AllDifferent(std::vector<int> values)
{
    std::sort(values.begin(), values.end());
    return std::adjacent_find(values.begin(), values.end()) == values.end();
}

int ChoiceCount(const TParam &p)
{
    return p.Max + 1 - (p.StartByte >= 0 ? 1 : 0);
}

} // namespace

class TestInstrumentContents : public QObject
{
    Q_OBJECT

private slots:
    void startTonesAreInRangeAndAwayFromTheControlsStart()
    {
        const TVirtualInstrument instrument;
        for (int part = 0; part < 7; ++part) {
            for (int tone = 0; tone < 4; ++tone) {
                const TBytes bytes = Tone(instrument, part, tone);
                const QString failure = ToneRangeFailure(bytes);
                QVERIFY2(failure.isEmpty(), qPrintable(failure));
                // Unticked boxes at start: the switches on and random pan at 63 tick them.
                QCOMPARE(int(bytes[0x00]), 1);
                QCOMPARE(int(bytes[0x06]), 1);
                QCOMPARE(int(bytes[0x79]), 63);
                for (const TParam &p : ToneParams())
                    if (p.Shown && p.StartByte >= 0)
                        QVERIFY2(bytes[p.Offset] != p.StartByte,
                                 qPrintable(QString("part %1 tone %2 %3 holds the start value")
                                                .arg(part + 1)
                                                .arg(tone + 1)
                                                .arg(p.Name)));
            }
        }
    }

    // The list above is the reference for the tone table: the instrument lays out its tone
    // blocks by the table, and finds there the same offsets, ranges and start values.
    void toneTableAgreesWithTheReference()
    {
        std::vector<TParam> expected = ToneParams();
        std::sort(expected.begin(), expected.end(),
                  [](const TParam &a, const TParam &b) { return a.Offset < b.Offset; });
        const auto fields = instrument::ToneFields();
        QCOMPARE(fields.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const QByteArray what = expected[i].Name;
            QVERIFY2(fields[i].Offset == expected[i].Offset, what);
            QVERIFY2(fields[i].Max == expected[i].Max, what);
            QVERIFY2(fields[i].Start == expected[i].StartByte, what);
        }
        // With the switches, the wave and random pan, these are all the offsets the table names.
        std::set<int> reference {0x00, 0x02, 0x03, 0x04, 0x06, 0x79};
        for (const TParam &p : ToneParams())
            reference.insert(p.Offset);
        std::set<int> named;
        for (int offset = 0; offset < 0x81; ++offset)
            if (sysex::ToneRowOfOffset(offset) >= 0)
                named.insert(offset);
        QVERIFY(named == reference);
    }

    void startTonesDifferBetweenTones()
    {
        const TVirtualInstrument instrument;
        for (int part = 0; part < 7; ++part) {
            std::vector<int> waves;
            for (int tone = 0; tone < 4; ++tone)
                waves.push_back(WaveRow(Tone(instrument, part, tone)));
            QVERIFY(AllDifferent(waves));
            for (const TParam &p : ToneParams()) {
                std::vector<int> values;
                for (int tone = 0; tone < 4; ++tone)
                    values.push_back(Tone(instrument, part, tone)[p.Offset]);
                QVERIFY2(AllDifferent(values),
                         qPrintable(QString("part %1: %2").arg(part + 1).arg(p.Name)));
            }
        }
    }

    void startTonesDifferBetweenParts()
    {
        const TVirtualInstrument instrument;
        for (int tone = 0; tone < 4; ++tone) {
            std::vector<int> waves;
            for (int part = 0; part < 7; ++part)
                waves.push_back(WaveRow(Tone(instrument, part, tone)));
            QVERIFY(AllDifferent(waves));
            for (const TParam &p : ToneParams()) {
                std::vector<int> values;
                for (int part = 0; part < 7; ++part)
                    values.push_back(Tone(instrument, part, tone)[p.Offset]);
                const QString what = QString("tone %1: %2").arg(tone + 1).arg(p.Name);
                // Where the range allows, no two parts share a value; elsewhere not all alike.
                if (ChoiceCount(p) >= 10)
                    QVERIFY2(AllDifferent(values), qPrintable(what));
                else
                    QVERIFY2(!AllEqual(values), qPrintable(what));
            }
        }
    }

    void startPatchOfPart1IsItsSelectionsPatch()
    {
        // Part 1 needs no moving; only its switches and random pan are set for the start.
        TVirtualInstrument instrument;
        const TBytes selection = PartBlock(instrument, 0);
        const instrument::TPatch generated
            = instrument::GeneratePatch(selection[3], selection[4] * 16 + selection[5]);
        for (int tone = 0; tone < 4; ++tone) {
            TBytes start = Tone(instrument, 0, tone);
            TBytes expected = generated.Tones[tone];
            for (int offset : {0x00, 0x06, 0x79})
                start[offset] = expected[offset] = 0;
            QCOMPARE(start, expected);
        }
    }

    void startMixerValues()
    {
        const TVirtualInstrument instrument;
        std::vector<int> levels, pans, transposes, reverbs, delays;
        for (int index = 0; index < 8; ++index) {
            const TBytes b = PartBlock(instrument, index);
            const int group = b[0x03];
            const int number = b[0x04] * 16 + b[0x05];
            QVERIFY(group >= 1 && group <= 9);
            QVERIFY(b[0x04] <= 7 && b[0x05] <= 15);
            QVERIFY(number < (group == 9 ? 32 : 128));
            QCOMPARE(int(b[0x02]), group <= 2 ? 0x03 : 0x00);
            QVERIFY(b[0x06] != 100);
            QVERIFY(b[0x07] != 64);
            QVERIFY(b[0x08] != 48 && b[0x08] <= 96);
            QCOMPARE(int(b[0x0A]), 1);
            QVERIFY(b[0x0C] != 0);
            QVERIFY(b[0x0D] != 0);
            for (std::uint8_t v : b)
                QVERIFY(v <= 0x7F);
            levels.push_back(b[0x06]);
            pans.push_back(b[0x07]);
            transposes.push_back(b[0x08]);
            delays.push_back(b[0x0C]);
            reverbs.push_back(b[0x0D]);
        }
        QVERIFY(AllDifferent(levels));
        QVERIFY(AllDifferent(pans));
        QVERIFY(AllDifferent(transposes));
        QVERIFY(AllDifferent(reverbs));
        QVERIFY(AllDifferent(delays));
    }

    void startPatternCommonAndSwitches()
    {
        const TVirtualInstrument instrument;
        const TBytes c = instrument.Read({0x01, 0x00, 0x00, 0x00}, 0x2C);
        // Bars start at 0.
        for (int offset : {0x1C, 0x1D, 0x22, 0x29, 0x2A})
            QVERIFY(c[offset] >= 1 && c[offset] <= 127);
        QVERIFY(c[0x25] >= 1 && c[0x25] <= 120); // delay time
        QVERIFY(c[0x26] >= 1 && c[0x26] <= 98); // feedback
        // Lists start with nothing selected: any item will do.
        QVERIFY(c[0x23] <= 1);
        QVERIFY(c[0x24] <= 17);
        QVERIFY(c[0x27] <= 2);
        QVERIFY(c[0x28] <= 5);
        QVERIFY(c[0x2B] <= 17);
        QCOMPARE(instrument.Read({0x00, 0x00, 0x00, 0x08}, 3), (TBytes {1, 1, 1}));
    }

    void everyPatchIsInRange()
    {
        std::set<TBytes> distinct;
        for (int group = 1; group <= 9; ++group) {
            for (int number = 0; number < (group == 9 ? 32 : 128); ++number) {
                const instrument::TPatch patch = instrument::GeneratePatch(group, number);
                QCOMPARE(int(patch.Common.size()), 0x4A);
                TBytes all;
                std::vector<int> waves;
                for (const TBytes &tone : patch.Tones) {
                    QCOMPARE(int(tone.size()), 0x81);
                    const QString failure = ToneRangeFailure(tone);
                    QVERIFY2(
                        failure.isEmpty(),
                        qPrintable(
                            QString("group %1 patch %2: %3").arg(group).arg(number).arg(failure)));
                    for (const TParam &p : ToneParams())
                        if (p.StartByte >= 0)
                            QVERIFY(tone[p.Offset] != p.StartByte);
                    waves.push_back(WaveRow(tone));
                    all.insert(all.end(), tone.begin(), tone.end());
                }
                QVERIFY(AllDifferent(waves));
                for (const TParam &p : ToneParams()) {
                    std::vector<int> values;
                    for (const TBytes &tone : patch.Tones)
                        values.push_back(tone[p.Offset]);
                    QVERIFY(AllDifferent(values));
                }
                distinct.insert(all);
            }
        }
        QCOMPARE(int(distinct.size()), 8 * 128 + 32);
    }

    void patchesAreDeterministic()
    {
        for (auto [group, number] : {std::pair {1, 0}, {5, 77}, {9, 31}}) {
            const instrument::TPatch a = instrument::GeneratePatch(group, number);
            const instrument::TPatch b = instrument::GeneratePatch(group, number);
            QCOMPARE(a.Tones, b.Tones);
            QCOMPARE(a.Common, b.Common);
        }
    }

    void selectionsThatNameNoPatchStillLoadValidValues()
    {
        for (auto [group, number] :
             {std::pair {0, 0}, {10, 5}, {0x7F, 0x7F * 16 + 0x7F}, {9, 100}}) {
            const instrument::TPatch patch = instrument::GeneratePatch(group, number);
            for (const TBytes &tone : patch.Tones)
                QVERIFY(ToneRangeFailure(tone).isEmpty());
        }
    }

    void generatedSwitchesVary()
    {
        // Not every generated patch has all tones on and random pan off.
        std::set<int> switches, fxm, randomPan;
        for (int number = 0; number < 128; ++number) {
            const instrument::TPatch patch = instrument::GeneratePatch(3, number);
            for (const TBytes &tone : patch.Tones) {
                switches.insert(tone[0x00]);
                fxm.insert(tone[0x06]);
                randomPan.insert(tone[0x79]);
            }
            QCOMPARE(int(patch.Tones[0][0x00]), 1);
        }
        QCOMPARE(switches, (std::set<int> {0, 1}));
        QCOMPARE(fxm, (std::set<int> {0, 1}));
        QCOMPARE(randomPan, (std::set<int> {0, 63}));
    }
};

QTEST_GUILESS_MAIN(TestInstrumentContents)
#include "tst_instrument_contents.moc"
