// The tone table itself: names, places, ranges and conversions that hold for every row, so that
// a row added or changed keeps what the column, the decoder and the instrument rely on.

#include "sysex/ToneParams.h"

#include <QtTest>

#include <set>
#include <string>

using sysex::TControlKind;
using sysex::ToneTable;

class TestToneTable : public QObject
{
    Q_OBJECT

private slots:
    void namesAreUnique()
    {
        std::set<std::string> names;
        for (const sysex::TToneControl &control : ToneTable) {
            QVERIFY2(names.insert(control.Stem).second, control.Stem);
            if (control.Label.Stem)
                QVERIFY2(names.insert(control.Label.Stem).second, control.Label.Stem);
            if (control.CompanionStem)
                QVERIFY2(names.insert(control.CompanionStem).second, control.CompanionStem);
        }
    }

    // Every control, label and companion lies within the column.
    void placesLieInTheColumn()
    {
        const QRect column(0, 0, sysex::ColumnPlace.Width, sysex::ColumnPlace.Height);
        for (const sysex::TToneControl &control : ToneTable) {
            const sysex::TPlace &p = control.Place;
            QVERIFY2(column.contains(QRect(p.Left, p.Top, p.Width, p.Height)), control.Stem);
            QVERIFY2(p.Width > 0 && p.Height > 0, control.Stem);
            if (control.Label.Stem)
                QVERIFY2(column.contains(QPoint(control.Label.Place.Left, control.Label.Place.Top)),
                         control.Label.Stem);
            if (control.CompanionStem) {
                const sysex::TPlace &c = control.CompanionPlace;
                QVERIFY2(column.contains(QRect(c.Left, c.Top, c.Width, c.Height)),
                         control.CompanionStem);
            }
        }
    }

    // The decoding steps are 1, 2, ... once each, and DecodeOrder lists them in that order.
    void decodeStepsAreAnOrder()
    {
        std::set<int> steps;
        for (const sysex::TToneControl &control : ToneTable)
            if (control.DecodeStep > 0)
                QVERIFY2(steps.insert(control.DecodeStep).second, control.Stem);
        QCOMPARE(int(steps.size()), sysex::DecodeStepCount);
        QCOMPARE(*steps.rbegin(), sysex::DecodeStepCount);
        for (int i = 0; i < sysex::DecodeStepCount; ++i)
            QCOMPARE(ToneTable[sysex::DecodeOrder[std::size_t(i)]].DecodeStep, i + 1);
    }

    // Every control value gives a stored byte within the stored range, and a value read back
    // from a block is the value that was sent (the velocity bars are written only).
    void conversionsKeepTheStoredRange()
    {
        for (const sysex::TToneControl &control : ToneTable) {
            if (!sysex::HasParam(control) || control.Kind == TControlKind::WaveList)
                continue;
            const sysex::TToneParam &param = control.Param;
            QVERIFY2(param.StoredMax <= 0x7F, control.Stem);
            for (int value = param.ControlMin; value <= param.ControlMax; ++value) {
                const int byte = param.ToByte(value);
                QVERIFY2(byte >= 0 && byte <= param.StoredMax, control.Stem);
                if (control.DecodeStep > 0)
                    QVERIFY2(param.ToControl(byte) == value, control.Stem);
            }
            if (control.DecodeStep == 0)
                QCOMPARE(param.Conversion, sysex::TConversion::Halved);
        }
    }

    // Start values lie in their controls' ranges; lists and groups start without a selection.
    void startValues()
    {
        for (const sysex::TToneControl &control : ToneTable) {
            if (!sysex::HasParam(control) || control.Kind == TControlKind::EnvelopeImage)
                continue;
            const bool chooses = control.Kind == TControlKind::RadioGroup
                || control.Kind == TControlKind::WaveList
                || control.Kind == TControlKind::FilterList;
            if (chooses)
                QVERIFY2(control.Start == sysex::NoSelection, control.Stem);
            else
                QVERIFY2(control.Start >= control.Param.ControlMin
                             && control.Start <= control.Param.ControlMax,
                         control.Stem);
            if (control.Items)
                QCOMPARE(control.ItemCount, control.Param.ControlMax + 1);
        }
    }

    // Every offset the table names leads back to its row.
    void offsetsLeadToTheirRows()
    {
        for (int row = 0; row < sysex::ToneControlCount; ++row) {
            const sysex::TToneControl &control = ToneTable[row];
            if (!sysex::HasParam(control))
                continue;
            if (control.Envelope) {
                for (std::size_t i = 0; i < 4; ++i)
                    QCOMPARE(sysex::ToneRowOfOffset(control.Envelope->TimeOffsets[i]), row);
                for (int i = 0; i < control.Envelope->LevelCount; ++i)
                    QCOMPARE(sysex::ToneRowOfOffset(control.Envelope->LevelOffsets[std::size_t(i)]),
                             row);
            } else {
                QCOMPARE(sysex::ToneRowOfOffset(control.Param.Offset), row);
            }
        }
        QCOMPARE(sysex::ToneRowOfOffset(0x01), -1);
        QCOMPARE(sysex::ToneRowOfOffset(0x75), -1);
        QCOMPARE(sysex::ToneRowOfOffset(0x7B), -1);
    }
};

QTEST_MAIN(TestToneTable)
#include "tst_sysex_tonetable.moc"
