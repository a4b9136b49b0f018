// The main window showing what the instrument sends: the patch selection and the four tone
// columns, the echo of every changed control, messages of every shape, and envelope editing
// with the mouse, end to end against the virtual instrument.

#include "controls/DropDownList.h"
#include "controls/EnvelopeImage.h"
#include "controls/RadioGroup.h"
#include "controls/ReceiveLog.h"
#include "editor/Ombrix.h"
#include "editor/ToneColumn.h"
#include "midi/MidiDevices.h"
#include "midi/SysExText.h"
#include "session/ErrorPolicy.h"
#include "support/EditorTestSupport.h"
#include "support/MainWindowFixture.h"
#include "sysex/ToneParams.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSlider>
#include <QtTest>

using Bytes = std::vector<std::uint8_t>;

class TestDecoding : public TMainWindowFixture
{
    Q_OBJECT

    template<class T>
    T *Tone(const char *stem, int tone)
    {
        return Find<T>(QString("%1Tone%2").arg(stem).arg(tone));
    }
    Bytes ToneMemory(int part, int tone)
    {
        return Instrument().Read({0x02, static_cast<std::uint8_t>(part),
                                  static_cast<std::uint8_t>(sysex::ToneByte(tone)), 0x00},
                                 sysex::ToneBlockUsedSize);
    }
    QStringList Decode(const Bytes &message)
    {
        const std::size_t before = Instrument().Log().size();
        Window->Session().DoSysexData(0, message);
        QTest::qWait(5);
        return DataSets(LogSince(Instrument(), before));
    }
    // What a control shows, read the way its kind shows it.
    int Shown(const sysex::TToneControl &row, int tone)
    {
        QWidget *control = Tone<QWidget>(row.Stem, tone);
        switch (row.Kind) {
        case sysex::TControlKind::CheckBox:
            return static_cast<QCheckBox *>(control)->isChecked() ? 1 : 0;
        case sysex::TControlKind::RadioGroup:
            return static_cast<TRadioGroup *>(control)->ItemIndex();
        case sysex::TControlKind::WaveList:
        case sysex::TControlKind::FilterList:
            return static_cast<TDropDownList *>(control)->currentIndex();
        case sysex::TControlKind::DepthEdit:
            return static_cast<QLineEdit *>(control)->text().toInt();
        case sysex::TControlKind::ScrollBar:
        case sysex::TControlKind::TrackBar:
            return static_cast<QAbstractSlider *>(control)->value();
        default:
            return 0;
        }
    }
    // Every control a block sets shows the block's value by the tone table, brought into the
    // control's range (a list without such a row shows none); the envelopes hold the block's
    // times and levels, the amplitude envelope's fourth level 0.
    void VerifyColumnShows(int tone, const Bytes &b)
    {
        for (int row : sysex::DecodeOrder) {
            const sysex::TToneControl &control = sysex::ToneTable[row];
            const sysex::TToneParam &p = control.Param;
            if (const sysex::TEnvelopeParams *envelope = control.Envelope) {
                auto *image = Tone<TEnvelopeImage>(control.Stem, tone);
                for (std::size_t i = 0; i < 4; ++i) {
                    QCOMPARE(image->Envelope().Times[i], int(b[envelope->TimeOffsets[i]]));
                    QCOMPARE(image->Envelope().Levels[i],
                             int(i) < envelope->LevelCount ? int(b[envelope->LevelOffsets[i]]) : 0);
                }
                continue;
            }
            int expected = p.Conversion == sysex::TConversion::WaveRow
                ? sysex::WaveRowFromBytes(b[2], b[3], b[4])
                : p.ToControl(b[p.Offset]);
            if (control.Kind == sysex::TControlKind::WaveList
                || control.Kind == sysex::TControlKind::FilterList)
                expected = expected <= p.ControlMax ? expected : -1;
            else
                expected = std::clamp(expected, p.ControlMin, p.ControlMax);
            QVERIFY2(Shown(control, tone) == expected,
                     qPrintable(QString("%1Tone%2 shows %3, not %4")
                                    .arg(control.Stem)
                                    .arg(tone)
                                    .arg(Shown(control, tone))
                                    .arg(expected)));
        }
    }

private slots:
    void init()
    {
        StartWindow();
        QVERIFY(Errors.empty());
    }
    void cleanup() { StopWindow(); }

    // Every control of the four columns, the envelopes, the group and the patch show what the
    // instrument holds, for the start part and after choosing another.
    void showsWhatTheInstrumentHolds()
    {
        for (int part : {0, 4}) {
            if (part != 0)
                Find<TRadioGroup>("RadioGroupSelectPart")->Item(part)->click();
            for (int tone = 1; tone <= 4; ++tone)
                VerifyColumnShows(tone, ToneMemory(part, tone));
            const Bytes pattern
                = Instrument().Read({0x01, 0x00, static_cast<std::uint8_t>(0x10 + part), 0}, 6);
            QCOMPARE(Find<TDropDownList>("LBPatchGroup")->currentIndex(), pattern[3] - 1);
            QCOMPARE(Find<TDropDownList>("LBPatch")->currentIndex(), pattern[4] * 16 + pattern[5]);
            QVERIFY(IsPureRed(Window->Column(1).AmpImage()->Image(),
                              Window->Column(1).AmpImage()->Envelope().Points[1].x,
                              Window->Column(1).AmpImage()->Envelope().Points[1].y));
        }
        QVERIFY(
            Find<TReceiveLog>("Edit1")->Text().endsWith(" Patch Common Tone1 Tone2 Tone3 Tone4"));
    }

    // A change reaches the instrument, and asking for the part again shows the same.
    void changesRoundTrip()
    {
        Tone<QScrollBar>("BarLevel", 3)->setValue(33);
        Tone<QScrollBar>("BarTune", 2)->setValue(-7);
        UserPick(Tone<TDropDownList>("LBWave", 4), 600);
        Tone<QSlider>("BarReso", 1)->setValue(5);
        Find<TRadioGroup>("RadioGroupSelectPart")->Item(1)->click();
        Find<TRadioGroup>("RadioGroupSelectPart")->Item(0)->click();
        QCOMPARE(Tone<QScrollBar>("BarLevel", 3)->value(), 33);
        QCOMPARE(Tone<QScrollBar>("BarTune", 2)->value(), -7);
        QCOMPARE(Tone<TDropDownList>("LBWave", 4)->currentIndex(), 600);
        QCOMPARE(Tone<QSlider>("BarReso", 1)->value(), 5);
        for (int tone = 1; tone <= 4; ++tone)
            VerifyColumnShows(tone, ToneMemory(0, tone));
    }

    void equalBlockSendsNothingButRepaintsAndLogs()
    {
        const QString logBefore = Find<TReceiveLog>("Edit1")->Text();
        TEnvelopeImage *image = Window->Column(2).PitchImage();
        QImage blank(image->Image().size(), QImage::Format_RGB32);
        blank.fill(Qt::white);
        const_cast<QImage &>(image->Image()) = blank;
        QCOMPARE(Decode(DataSetMessage({0x02, 0x00, 0x12, 0x00}, ToneMemory(0, 2))),
                 QStringList {});
        QCOMPARE(Find<TReceiveLog>("Edit1")->Text(), logBefore + " Tone2");
        QVERIFY(image->Image() != blank);
    }

    // A long session's log keeps growing: the box has no length limit of its own.
    void receiveLogIsNeverCut()
    {
        auto *log = Find<TReceiveLog>("Edit1");
        log->SetText(QString(40000, QLatin1Char('x')));
        Decode(DataSetMessage({0x02, 0x00, 0x10, 0x00}, ToneMemory(0, 1)));
        QCOMPARE(log->Text().size(), 40000 + 6);
        QVERIFY(log->Text().endsWith(" Tone1"));
    }

    void randomPanFromABlock()
    {
        Bytes block = ToneMemory(0, 1);
        Tone<QCheckBox>("CBRandomPan", 1)->setChecked(false);
        Tone<QScrollBar>("BarPan", 1)->setValue(0);
        block[0x79] = 0x3F;
        block[0x77] = 0x50;
        const QStringList sent = Decode(DataSetMessage({0x02, 0x00, 0x10, 0x00}, block));
        QCOMPARE(
            sent,
            (QStringList {"F0 41 10 00 0B 12 02 00 10 77 50", "F0 41 10 00 0B 12 02 00 10 79 3F"}));
        QVERIFY(Tone<QCheckBox>("CBRandomPan", 1)->isChecked());
        QVERIFY(!Tone<QScrollBar>("BarPan", 1)->isEnabled());

        // A new pan position enables the bar again while random pan stays ticked.
        block[0x77] = 0x20;
        QCOMPARE(Decode(DataSetMessage({0x02, 0x00, 0x10, 0x00}, block)),
                 QStringList {"F0 41 10 00 0B 12 02 00 10 77 20"});
        QVERIFY(Tone<QCheckBox>("CBRandomPan", 1)->isChecked());
        QVERIFY(Tone<QScrollBar>("BarPan", 1)->isEnabled());

        // A depth the program never writes leaves the box unticked.
        block[0x79] = 0x28;
        QCOMPARE(Decode(DataSetMessage({0x02, 0x00, 0x10, 0x00}, block)),
                 QStringList {"F0 41 10 00 0B 12 02 00 10 79 00"});
        QVERIFY(!Tone<QCheckBox>("CBRandomPan", 1)->isChecked());
    }

    void filterOffFromABlockLeavesBarsEnabled()
    {
        auto *filter = Tone<TDropDownList>("LBFilter", 3);
        filter->SetItemIndex(2);
        QTest::qWait(5);
        UserPick(filter, 1);
        Bytes block = ToneMemory(0, 3);
        block[0x50] = 0;
        QCOMPARE(Decode(DataSetMessage({0x02, 0x00, 0x14, 0x00}, block)), QStringList {});
        QCOMPARE(filter->currentIndex(), 0);
        QVERIFY(Tone<QSlider>("BarCutOff", 3)->isEnabled());
        QVERIFY(Tone<QSlider>("BarReso", 3)->isEnabled());
    }

    void outOfRangeValues()
    {
        Bytes block = ToneMemory(0, 4);
        Tone<QScrollBar>("BarTune", 4)->setValue(0);
        Tone<TRadioGroup>("RadioGroupGain", 4)->SetItemIndex(0);
        block[0x3D] = 100;
        block[0x05] = 7;
        block[0x50] = 9;
        block[0x02] = 0; // no such bank
        const QStringList sent = Decode(DataSetMessage({0x02, 0x00, 0x16, 0x00}, block));
        QVERIFY(sent.contains("F0 41 10 00 0B 12 02 00 16 3D 60"));
        QVERIFY(sent.contains("F0 41 10 00 0B 12 02 00 16 05 03"));
        QCOMPARE(Tone<QScrollBar>("BarTune", 4)->value(), 48);
        QCOMPARE(Tone<TRadioGroup>("RadioGroupGain", 4)->ItemIndex(), 3);
        QCOMPARE(Tone<TDropDownList>("LBFilter", 4)->currentIndex(), -1);
        QCOMPARE(Tone<TDropDownList>("LBWave", 4)->currentIndex(), -1);
    }

    // A delivery with status bytes where data should be: every control takes a value in its
    // range, and nothing the window echoes then, or sends later, carries a status byte.
    void statusBytesInDataAreNeverEchoed()
    {
        Bytes block = ToneMemory(0, 1);
        for (int offset : {0x05, 0x07, 0x08, 0x3D, 0x3E, 0x41, 0x51, 0x55, 0x65, 0x77, 0x7A})
            block[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(0x80 + offset);
        for (std::size_t offset = 0x46; offset <= 0x4D; ++offset)
            block[offset] = 0xFF;
        for (std::size_t offset = 0x6E; offset <= 0x74; ++offset)
            block[offset] = 0xF7;
        const std::size_t before = Instrument().Log().size();
        Window->Session().DoSysexData(0, DataSetMessage({0x02, 0x00, 0x10, 0x00}, block));
        QCOMPARE(Tone<QLineEdit>("EditFxmDepth", 1)->text(), QString("16"));
        QCOMPARE(Tone<QScrollBar>("BarLevel", 1)->value(), 127);
        QCOMPARE(Window->Column(1).PitchImage()->Envelope().Times,
                 (std::array<int, 4> {127, 127, 127, 127}));
        QTest::mouseClick(Window->Column(1).AmpImage(), Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseClick(Window->Column(1).PitchImage(), Qt::LeftButton, {}, QPoint(3, 3));
        QTest::qWait(5);
        const auto log = Instrument().Log();
        QVERIFY(log.size() > before);
        for (std::size_t i = before; i < log.size(); ++i)
            QVERIFY2(!midi::SysExFault(log[i]), qPrintable(HexOf(log[i])));
        QVERIFY(Errors.empty());
    }

    void amplitudeReleaseLevelIsAlwaysZero()
    {
        Bytes block = ToneMemory(0, 1);
        block[0x75] = 0x55;
        Decode(DataSetMessage({0x02, 0x00, 0x10, 0x00}, block));
        QCOMPARE(Window->Column(1).AmpImage()->Envelope().Levels[3], 0);
    }

    void patternPartBlock()
    {
        Bytes block(0x1A, 0);
        block[3] = 9;
        block[4] = 1;
        block[5] = 4;
        // A block of part 3 while part 1 is selected is shown as the selected part's.
        Window->Session().DoSysexData(0, DataSetMessage({0x01, 0x00, 0x12, 0x00}, block));
        QCOMPARE(Find<TDropDownList>("LBPatchGroup")->currentIndex(), 8);
        QCOMPARE(Find<TDropDownList>("LBPatch")->count(), 32);
        QCOMPARE(Find<TDropDownList>("LBPatch")->currentIndex(), 20);
        QVERIFY(Find<TReceiveLog>("Edit1")->Text().endsWith(" Patch"));

        // Patch 40 of Preset G does not exist: no row.
        block[4] = 2;
        block[5] = 8;
        Window->Session().DoSysexData(0, DataSetMessage({0x01, 0x00, 0x10, 0x00}, block));
        QCOMPARE(Find<TDropDownList>("LBPatch")->currentIndex(), -1);

        // An unknown group: no group, the patch list as it was.
        block[3] = 12;
        Window->Session().DoSysexData(0, DataSetMessage({0x01, 0x00, 0x10, 0x00}, block));
        QCOMPARE(Find<TDropDownList>("LBPatchGroup")->currentIndex(), -1);
        QCOMPARE(Find<TDropDownList>("LBPatch")->count(), 32);
        block[3] = 0;
        Window->Session().DoSysexData(0, DataSetMessage({0x01, 0x00, 0x10, 0x00}, block));
        QCOMPARE(Find<TDropDownList>("LBPatchGroup")->currentIndex(), -1);
    }

    // One parameter the instrument sends on its own is read at its own offset.
    void partialMessages()
    {
        Tone<QScrollBar>("BarLevel", 2)->setValue(1);
        const QString logBefore = Find<TReceiveLog>("Edit1")->Text();
        QCOMPARE(Decode(DataSetMessage({0x02, 0x00, 0x12, 0x65}, {0x64})),
                 QStringList {"F0 41 10 00 0B 12 02 00 12 65 64"});
        QCOMPARE(Tone<QScrollBar>("BarLevel", 2)->value(), 100);
        QCOMPARE(Find<TReceiveLog>("Edit1")->Text(), logBefore + " Tone2");

        // An envelope is applied only with all its bytes.
        const auto before = Window->Column(2).PitchImage()->Envelope().Times;
        Decode(DataSetMessage({0x02, 0x00, 0x12, 0x46}, {1, 2, 3, 4, 5, 6, 7}));
        QCOMPARE(Window->Column(2).PitchImage()->Envelope().Times, before);
        Decode(DataSetMessage({0x02, 0x00, 0x12, 0x46}, {1, 2, 3, 4, 5, 6, 7, 8}));
        QCOMPARE(Window->Column(2).PitchImage()->Envelope().Times,
                 (std::array<int, 4> {1, 2, 3, 4}));
        QCOMPARE(Window->Column(2).PitchImage()->Envelope().Levels,
                 (std::array<int, 4> {5, 6, 7, 8}));

        // Data past the end of a tone's parameters, or a message with no data: nothing applied.
        const QString logNow = Find<TReceiveLog>("Edit1")->Text();
        QCOMPARE(Decode(DataSetMessage({0x02, 0x00, 0x12, 0x7C}, {1, 2, 3})), QStringList {});
        QCOMPARE(Decode(DataSetMessage({0x02, 0x00, 0x12, 0x00}, {})), QStringList {});
        QCOMPARE(Find<TReceiveLog>("Edit1")->Text(), logNow);
    }

    // Cut at every length, a whole block is read as far as it goes and never beyond its end.
    void truncatedAndGarbageMessages()
    {
        const Bytes whole = DataSetMessage({0x02, 0x00, 0x10, 0x00}, ToneMemory(0, 1));
        for (std::size_t size = 0; size <= whole.size(); ++size)
            Window->Session().DoSysexData(
                0, Bytes(whole.begin(), whole.begin() + static_cast<long>(size)));
        const Bytes pattern = DataSetMessage({0x01, 0x00, 0x10, 0x00}, Bytes(0x1A, 1));
        for (std::size_t size = 0; size <= pattern.size(); ++size)
            Window->Session().DoSysexData(
                0, Bytes(pattern.begin(), pattern.begin() + static_cast<long>(size)));
        QRandomGenerator random(7);
        for (int i = 0; i < 300; ++i) {
            Bytes garbage(random.bounded(0, 300));
            for (auto &b : garbage)
                b = static_cast<std::uint8_t>(random.bounded(256));
            if (garbage.size() > 8 && i % 2 == 0) {
                garbage[6] = static_cast<std::uint8_t>(1 + i % 2);
                garbage[8] = static_cast<std::uint8_t>(0x10 + 2 * (i % 4));
            }
            Window->Session().DoSysexData(0, garbage);
        }
        QVERIFY(Errors.empty());
    }

    // A send that fails ends the decoding at that step: no log word.
    void echoErrorEndsDecoding()
    {
        Bytes block = ToneMemory(0, 1);
        block[0x65] = static_cast<std::uint8_t>(Tone<QScrollBar>("BarLevel", 1)->value() ^ 1);
        block[0x77] = static_cast<std::uint8_t>((Tone<QScrollBar>("BarPan", 1)->value() + 64) ^ 1);
        midi::MidiOut().Close(0);
        const QString logBefore = Find<TReceiveLog>("Edit1")->Text();
        QVERIFY_THROWS_EXCEPTION(
            std::exception,
            Window->Session().DoSysexData(0, DataSetMessage({0x02, 0x00, 0x10, 0x00}, block)));
        QCOMPARE(Tone<QScrollBar>("BarLevel", 1)->value(), int(block[0x65]));
        QVERIFY(Tone<QScrollBar>("BarPan", 1)->value() != block[0x77] - 64);
        QCOMPARE(Find<TReceiveLog>("Edit1")->Text(), logBefore);
        // A user's change to a closed device is shown in the error box.
        Tone<QScrollBar>("BarLevel", 1)->setValue(block[0x65] ^ 2);
        QCOMPARE(Errors.size(), std::size_t(1));
    }

    // Drag tone 2's amplitude handle 1 to the right end of its range with the mouse; the release
    // sends the envelope, T1 first.
    void envelopeDragReachesTheInstrument()
    {
        TEnvelopeImage *image = Find<TEnvelopeImage>("ImageEnvAmpTone2");
        image->Envelope().SetValues({100, 80, 60, 0}, {20, 40, 60, 80});
        image->Repaint(false);
        const QPoint handle(image->Envelope().Points[1].x, image->Envelope().Points[1].y);
        QVERIFY(IsPureRed(image->Image(), handle.x(), handle.y()));
        const std::size_t before = Instrument().Log().size();
        QTest::mousePress(image, Qt::LeftButton, {}, handle);
        QTest::mouseMove(image, QPoint(249, handle.y()));
        QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(249, handle.y()));
        const QStringList sent = DataSets(LogSince(Instrument(), before));
        QCOMPARE(sent.size(), 7);
        QCOMPARE(sent[0], QString("F0 41 10 00 0B 12 02 00 12 6E 7F"));
        QCOMPARE(sent[1], QString("F0 41 10 00 0B 12 02 00 12 72 64"));
        QCOMPARE(sent[6], QString("F0 41 10 00 0B 12 02 00 12 71 50"));
        QCOMPARE(Instrument().ReadByte({0x02, 0x00, 0x12, 0x6E}), 0x7F);
    }
};

QTEST_MAIN(TestDecoding)
#include "tst_editor_decoding.moc"
