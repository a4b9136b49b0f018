// The editor's messages and decoding without a window: the part request, the patch selection,
// and what a received message (whole, cut, single parameter or garbage) yields, as properties
// over the tone table.

#include "support/MessageText.h"
#include "sysex/MessageView.h"
#include "sysex/PatchMessages.h"
#include "sysex/RolandMessage.h"

#include <QtTest>

#include <cstdint>
#include <vector>

using TBytes = std::vector<std::uint8_t>;
using sysex::TControlKind;
using sysex::ToneTable;

namespace {
const std::string Request17 = sysex::DataRequestHeader(17);
const std::string Header17 = sysex::DataSetHeader(17);

TBytes ToneMessage(int tone, const TBytes &data, std::uint8_t start = 0)
{
    return DataSetMessage({0x02, 0x00, static_cast<std::uint8_t>(sysex::ToneByte(tone)), start},
                          data);
}

// The values a block sends back unchanged: each control at the value given by pick.
template<class F>
TBytes BlockOf(F &&pick)
{
    TBytes block(sysex::ToneBlockUsedSize, 0);
    for (int row : sysex::DecodeOrder) {
        const sysex::TToneControl &control = ToneTable[row];
        const sysex::TToneParam &param = control.Param;
        if (control.Kind == TControlKind::EnvelopeImage)
            continue;
        const int value = pick(param);
        if (control.Kind == TControlKind::WaveList) {
            const sysex::TWaveBytes wave = sysex::WaveBytesFromRow(value);
            block[2] = static_cast<std::uint8_t>(wave.Group);
            block[3] = static_cast<std::uint8_t>(wave.High);
            block[4] = static_cast<std::uint8_t>(wave.Low);
        } else {
            block[param.Offset] = static_cast<std::uint8_t>(param.ToByte(value));
        }
    }
    return block;
}

const sysex::patch::TToneValue *ValueOfRow(const sysex::patch::TDecoded &decoded, int row)
{
    for (const sysex::patch::TToneValue &value : decoded.Values)
        if (value.Row == row)
            return &value;
    return nullptr;
}
} // namespace

class TestEditorProtocol : public QObject
{
    Q_OBJECT

private slots:
    void partRequests()
    {
        const auto requests = sysex::patch::PartRequests(Request17, 0);
        QCOMPARE(requests[0].Text, std::string("F0 41 10 00 0B 11 01 00 10 00 00 00 00 1A"));
        QCOMPARE(requests[0].WaitMs, 300);
        QCOMPARE(requests[1].Text, std::string("F0 41 10 00 0B 11 02 00 00 00 00 00 17 01"));
        QCOMPARE(requests[1].WaitMs, 500);
        const auto seventh = sysex::patch::PartRequests(Request17, 6);
        QCOMPARE(seventh[0].Text, std::string("F0 41 10 00 0B 11 01 00 16 00 00 00 00 1A"));
        QCOMPARE(seventh[1].Text, std::string("F0 41 10 00 0B 11 02 06 00 00 00 00 17 01"));
    }

    void patchSelectionMessages()
    {
        QCOMPARE(sysex::patch::PatchSelectionMessages(Header17, 1, 3, 21),
                 (std::array<std::string, 3> {"F0 41 10 00 0B 12 01 00 11 02 00",
                                              "F0 41 10 00 0B 12 01 00 11 03 04",
                                              "F0 41 10 00 0B 12 01 00 11 04 01 05"}));
        QCOMPARE(sysex::patch::PatchSelectionMessages(Header17, 0, 1, 127)[0],
                 std::string("F0 41 10 00 0B 12 01 00 10 02 03"));
        QCOMPARE(sysex::patch::PatchSelectionMessages(Header17, 0, 8, 31)[2],
                 std::string("F0 41 10 00 0B 12 01 00 10 04 01 0F"));
        QCOMPARE(sysex::patch::PatchSelectionWaitMs, 200);
    }

    void blocks_data()
    {
        QTest::addColumn<int>("area");
        QTest::addColumn<int>("block");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("tone");
        QTest::newRow("pattern part")
            << 0x01 << 0x12 << int(sysex::patch::TBlock::PatternPart) << 0;
        QTest::newRow("pattern common")
            << 0x01 << 0x00 << int(sysex::patch::TBlock::PatternPart) << 0;
        QTest::newRow("patch common")
            << 0x02 << 0x00 << int(sysex::patch::TBlock::PatchCommon) << 0;
        for (int tone = 1; tone <= 4; ++tone)
            QTest::addRow("tone %d", tone)
                << 0x02 << sysex::ToneByte(tone) << int(sysex::patch::TBlock::Tone) << tone;
        QTest::newRow("between tones") << 0x02 << 0x11 << int(sysex::patch::TBlock::NotOurs) << 0;
        QTest::newRow("system") << 0x00 << 0x00 << int(sysex::patch::TBlock::NotOurs) << 0;
        QTest::newRow("other area") << 0x03 << 0x10 << int(sysex::patch::TBlock::NotOurs) << 0;
    }
    void blocks()
    {
        QFETCH(int, area);
        QFETCH(int, block);
        QFETCH(int, expected);
        QFETCH(int, tone);
        const sysex::patch::TDecoded decoded = sysex::patch::DecodeMessage(
            DataSetMessage({std::uint8_t(area), 0x00, std::uint8_t(block), 0x00}, TBytes(0x7B, 1)));
        QCOMPARE(int(decoded.Block), expected);
        QCOMPARE(decoded.Tone, tone);
        QCOMPARE(decoded.Values.empty(), expected != int(sysex::patch::TBlock::Tone));
    }

    // Values within their controls' ranges come back as they were sent, for every step, at
    // both ends of every range and at the start values.
    void toneValuesRoundTrip()
    {
        for (int end = 0; end < 3; ++end) {
            const auto pick = [end](const sysex::TToneParam &param) {
                return end == 0 ? param.ControlMin
                    : end == 1  ? param.ControlMax
                                : (param.ControlMin + param.ControlMax) / 2;
            };
            TBytes block = BlockOf(pick);
            for (std::size_t i = 0x46; i < 0x75; ++i)
                if (const int row = sysex::ToneRowOfOffset(int(i));
                    row >= 0 && ToneTable[row].Envelope)
                    block[i] = static_cast<std::uint8_t>(i);
            const sysex::patch::TDecoded decoded
                = sysex::patch::DecodeMessage(ToneMessage(3, block));
            QCOMPARE(decoded.Tone, 3);
            QCOMPARE(decoded.Values.size(), sysex::DecodeOrder.size());
            for (std::size_t i = 0; i < decoded.Values.size(); ++i) {
                const sysex::patch::TToneValue &value = decoded.Values[i];
                const sysex::TToneControl &control = ToneTable[value.Row];
                QCOMPARE(value.Row, sysex::DecodeOrder[i]);
                if (control.Envelope) {
                    for (std::size_t k = 0; k < 4; ++k) {
                        QCOMPARE(value.Times[k], int(control.Envelope->TimeOffsets[k]));
                        QCOMPARE(value.Levels[k],
                                 int(k) < control.Envelope->LevelCount
                                     ? int(control.Envelope->LevelOffsets[k])
                                     : 0);
                    }
                } else {
                    QVERIFY2(value.Value == pick(control.Param), control.Stem);
                }
            }
        }
    }

    // Cut at every length, a block yields exactly the steps whose bytes it still holds.
    void cutBlocksYieldThePresentSteps()
    {
        const TBytes whole = ToneMessage(1, TBytes(0x81, 0x05));
        for (std::size_t size = 0; size <= whole.size(); ++size) {
            const TBytes cut(whole.begin(), whole.begin() + static_cast<long>(size));
            const sysex::TMessageView view(cut);
            const sysex::patch::TDecoded decoded = sysex::patch::DecodeMessage(cut);
            for (int row : sysex::DecodeOrder) {
                const sysex::TToneControl &control = ToneTable[row];
                bool present = true;
                if (control.Envelope) {
                    for (std::size_t k = 0; k < 4; ++k)
                        present = present && view.AtOffset(control.Envelope->TimeOffsets[k])
                            && (int(k) >= control.Envelope->LevelCount
                                || view.AtOffset(control.Envelope->LevelOffsets[k]));
                } else {
                    present = view.HasOffsets(control.Param.Offset,
                                              control.Kind == TControlKind::WaveList ? 3 : 1);
                }
                QVERIFY2((ValueOfRow(decoded, row) != nullptr) == present,
                         qPrintable(QString("%1 at size %2").arg(control.Stem).arg(size)));
            }
        }
    }

    // Out-of-range bytes: bars and groups take their nearest end, lists no row, envelopes 7F.
    void outOfRangeBytes()
    {
        TBytes block(0x7B, 0);
        block[0x3D] = 100;
        block[0x05] = 7;
        block[0x50] = 9;
        block[0x02] = 0; // no such bank
        block[0x08] = 0xF0;
        block[0x46] = 0xFF;
        block[0x79] = 0x28; // a depth the program never writes
        const sysex::patch::TDecoded decoded = sysex::patch::DecodeMessage(ToneMessage(4, block));
        const auto valueAt
            = [&](int offset) { return ValueOfRow(decoded, sysex::ToneRowOfOffset(offset)); };
        QCOMPARE(valueAt(0x3D)->Value, 48);
        QCOMPARE(valueAt(0x05)->Value, 3);
        QCOMPARE(valueAt(0x50)->Value, sysex::NoSelection);
        QCOMPARE(valueAt(0x02)->Value, sysex::NoSelection);
        QCOMPARE(valueAt(0x08)->Value, 16);
        QCOMPARE(valueAt(0x46)->Times[0], 0x7F);
        QCOMPARE(valueAt(0x79)->Value, 0);
        QCOMPARE(valueAt(0x6E)->Levels[3], 0);
    }

    // A parameter the instrument sends on its own is read at its own offset.
    void singleParameter()
    {
        const sysex::patch::TDecoded level
            = sysex::patch::DecodeMessage(ToneMessage(2, {0x64}, 0x65));
        QCOMPARE(level.Values.size(), std::size_t(1));
        QCOMPARE(level.Values[0].Row, sysex::ToneRowOfOffset(0x65));
        QCOMPARE(level.Values[0].Value, 100);
        QVERIFY(sysex::patch::DecodeMessage(ToneMessage(2, {1, 2, 3}, 0x7C)).Values.empty());
        QVERIFY(sysex::patch::DecodeMessage(ToneMessage(2, {})).Values.empty());
    }

    void patternPartSelection_data()
    {
        QTest::addColumn<TBytes>("selection");
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("patch");
        QTest::newRow("preset G 20") << TBytes {9, 1, 4} << 8 << 20;
        QTest::newRow("preset G has no 40") << TBytes {9, 2, 8} << 8 << sysex::NoSelection;
        QTest::newRow("user A 127") << TBytes {1, 7, 15} << 0 << 127;
        QTest::newRow("no group 12")
            << TBytes {12, 0, 1} << sysex::NoSelection << sysex::NoSelection;
        QTest::newRow("no group 0") << TBytes {0, 0, 1} << sysex::NoSelection << sysex::NoSelection;
    }
    void patternPartSelection()
    {
        QFETCH(TBytes, selection);
        QFETCH(int, group);
        QFETCH(int, patch);
        TBytes block(0x1A, 0);
        std::copy(selection.begin(), selection.end(), block.begin() + 3);
        const sysex::patch::TDecoded decoded
            = sysex::patch::DecodeMessage(DataSetMessage({0x01, 0x00, 0x12, 0x00}, block));
        QCOMPARE(int(decoded.Block), int(sysex::patch::TBlock::PatternPart));
        QVERIFY(decoded.Selection.has_value());
        QCOMPARE(decoded.Selection->Group, group);
        QCOMPARE(decoded.Selection->Patch, patch);
    }

    void cutPatternPartHasNoSelection()
    {
        const TBytes whole = DataSetMessage({0x01, 0x00, 0x10, 0x00}, TBytes(0x1A, 1));
        // The group and patch bytes are message bytes 13 to 15.
        for (std::size_t size = 0; size <= whole.size(); ++size) {
            const sysex::patch::TDecoded decoded
                = sysex::patch::DecodeMessage(TBytes(whole.begin(), whole.begin() + long(size)));
            QCOMPARE(decoded.Selection.has_value(), size >= 16);
        }
    }
};

QTEST_MAIN(TestEditorProtocol)
#include "tst_sysex_patchmessages.moc"
