// The MFX window and the mixer's pattern row against the strict built-in instrument, through the
// paced output: every type chosen once with each parameter it uses set to both ends (the data
// sets on the wire, the instrument's bytes and the texts shown), a type change followed by the
// instrument's answer, an out-of-range byte shown and not sent, part R's RHY read, sent and kept
// by a click on another part's box, the pattern's name and tempo, and an MFX file.

#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "controls/ReceiveLog.h"
#include "controls/UndoCoordinator.h"
#include "midi/MidiDevices.h"
#include "midi/PacedOutput.h"
#include "mixer/FormMFX.h"
#include "mixer/FormMixer.h"
#include "support/EditorTestSupport.h"
#include "support/ErrorRecorder.h"
#include "support/MessageText.h"
#include "support/VirtualRig.h"
#include "sysex/InstrumentPacing.h"
#include "sysex/MfxParams.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QtTest>

#include <memory>

using instrument::TAddress;
using namespace std::chrono_literals;
namespace mfx = sysex::mfx;

namespace {
TAddress MfxByte(int v)
{
    return {0x01, 0x00, 0x00, static_cast<std::uint8_t>(0x0D + v)};
}
const TAddress RhythmSwitch {0x01, 0x00, 0x19, 0x0A};
const TAddress PatternName {0x30, 0x00, 0x00, 0x00};
const TAddress Tempo {0x30, 0x00, 0x00, 0x13};
} // namespace

class TestMixerMfx : public QObject, public TErrorRecorder
{
    Q_OBJECT

    std::unique_ptr<TVirtualRig> Rig;
    std::unique_ptr<midi::TPacedOutputs> Paced;
    std::unique_ptr<TUndoCoordinator> Undo;
    std::unique_ptr<TFormMixer> Form;

    template<class T>
    T *Find(const QString &name)
    {
        return FindControl<T>(*Form, name);
    }
    template<class T>
    T *InMfx(const QString &name)
    {
        return FindControl<T>(Form->Mfx(), name);
    }
    int Memory(const TAddress &address) { return Rig->Instrument().ReadByte(address); }
    void WaitSent() { QTRY_VERIFY_WITH_TIMEOUT(Paced->Device(0).Waiting() == 0, 15000); }
    QString Shown(int v) { return InMfx<QLabel>(QStringLiteral("LabelMFXValue%1").arg(v))->text(); }

    // The mixer opened as the main window opens it, then its Setup button clicked.
    void OpenMfx()
    {
        Form->show();
        QTRY_VERIFY(!Form->IsOpening());
        QTest::mouseClick(Find<QPushButton>(QStringLiteral("MFXSetupBtn")), Qt::LeftButton);
        QVERIFY(Form->Mfx().isVisible());
        QCOMPARE(Form->Mfx().parentWidget(), Form.get());
    }
    // A user's pick of row `index` with the keyboard.
    static void Pick(TDropDownList *list, int index)
    {
        list->SetItemIndex(index > 0 ? index - 1 : 1);
        QTest::keyClick(list, index > 0 ? Qt::Key_Down : Qt::Key_Home);
        QCOMPARE(list->ItemIndex(), index);
    }
    // Every parameter the type uses to one end, by the keyboard; checks the wire, the
    // instrument's bytes and the texts.
    void AllToEnd(int type, bool highest, bool check = true)
    {
        const std::size_t logFrom = Rig->Instrument().Log().size();
        const std::span<const mfx::TMfxParam> params = mfx::Types[std::size_t(type)].Params;
        QStringList expected;
        for (int v = 1; v <= int(params.size()); ++v) {
            const mfx::TMfxParam &param = params[std::size_t(v - 1)];
            const Qt::Key key = highest ? Qt::Key_End : Qt::Key_Home;
            if (mfx::ShownAsList(param))
                QTest::keyClick(InMfx<TDropDownList>(QStringLiteral("LBMFXParam%1").arg(v)), key);
            else
                QTest::keyClick(InMfx<QSlider>(QStringLiteral("BarMFXParam%1").arg(v)), key);
            const int byte = highest ? param.Max : 0;
            expected << QStringLiteral("F0 41 10 00 0B 12 01 00 00 %1 %2")
                            .arg(0x0D + v, 2, 16, QLatin1Char('0'))
                            .arg(byte, 2, 16, QLatin1Char('0'))
                            .toUpper();
            QCOMPARE(Shown(v), QString::fromStdString(mfx::ValueText(param, byte)));
        }
        WaitSent();
        if (!check)
            return;
        QCOMPARE(DataSets(LogSince(Rig->Instrument(), logFrom)), expected);
        for (int v = 1; v <= int(params.size()); ++v)
            QCOMPARE(Memory(MfxByte(v)), highest ? params[std::size_t(v - 1)].Max : 0);
    }

private slots:
    void init()
    {
        Errors.clear();
        RecordErrors();
        Rig = std::make_unique<TVirtualRig>();
        Rig->Instrument().SetStrictTiming(true);
        midi::MidiOut().Open(0);
        midi::MidiIn().Open(0);
        Paced = std::make_unique<midi::TPacedOutputs>(midi::MidiOut(), sysex::InstrumentPacing());
        Paced->SetGap(0, 20ms);
        Undo = std::make_unique<TUndoCoordinator>();
        Form = std::make_unique<TFormMixer>([] { return TMainWindowSettings {0, 17}; }, *Paced);
        Form->SetUndo(*Undo);
    }
    void cleanup()
    {
        Form.reset();
        Undo.reset();
        Paced.reset();
        QCOMPARE(Rig->Instrument().StrictDrops(), std::uint64_t(0));
        QCOMPARE(Rig->Instrument().MfxRangeFaults(), std::uint64_t(0));
        Rig.reset();
        StopRecordingErrors();
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
    }

    void everyTypeWithItsParametersAtBothEnds()
    {
        OpenMfx();
        auto *typeList = InMfx<TDropDownList>(QStringLiteral("LBMFXType"));
        QCOMPARE(typeList->count(), mfx::TypeCount);
        for (int type = 0; type < mfx::TypeCount; ++type) {
            Pick(typeList, type);
            WaitSent();
            QCOMPARE(Memory(MfxByte(0)), type);
            const std::span<const mfx::TMfxParam> params = mfx::Types[std::size_t(type)].Params;
            for (int v = 1; v <= mfx::ParamCount; ++v) {
                const bool used = v <= int(params.size());
                auto *caption = InMfx<QLabel>(QStringLiteral("LabelMFXParam%1").arg(v));
                QCOMPARE(caption->isVisible(), used);
                const bool list = used && mfx::ShownAsList(params[std::size_t(v - 1)]);
                QCOMPARE(InMfx<TDropDownList>(QStringLiteral("LBMFXParam%1").arg(v))->isVisible(),
                         list);
                QCOMPARE(InMfx<QSlider>(QStringLiteral("BarMFXParam%1").arg(v))->isVisible(),
                         used && !list);
                if (used)
                    QCOMPARE(caption->text(), QString::fromLatin1(params[std::size_t(v - 1)].Name));
            }
            // From the lowest, each key moves its parameter: every one is sent.
            AllToEnd(type, false, false);
            AllToEnd(type, true);
            if (QTest::currentTestFailed())
                return;
            AllToEnd(type, false);
            if (QTest::currentTestFailed())
                return;
        }
        QCOMPARE(Undo->MixerStack().undoText(), QStringLiteral("MFX Output Level"));
    }

    // The instrument keeps the old bytes on a type change: the window shows what it answers,
    // a byte out of the new type's range marked and never sent back.
    void typeChangeShowsTheAnswer()
    {
        const std::uint8_t chorus[] = {14, 10, 20, 30, 40, 2, 16, 100, 127, 0x7F, 0, 0, 0};
        Rig->Instrument().Write(MfxByte(0), chorus);
        OpenMfx();
        QCOMPARE(InMfx<TDropDownList>(QStringLiteral("LBMFXType"))->currentText(),
                 QStringLiteral("CHORUS"));
        QCOMPARE(Shown(2), QString::fromStdString(mfx::ValueText(mfx::Chorus[1], 20)));
        const std::size_t logFrom = Rig->Instrument().Log().size();
        // REVERB: its type list takes 0..5 where CHORUS kept 10.
        Pick(InMfx<TDropDownList>(QStringLiteral("LBMFXType")), 22);
        WaitSent();
        const QStringList sent = LogSince(Rig->Instrument(), logFrom);
        QCOMPARE(DataSets(sent), QStringList {QStringLiteral("F0 41 10 00 0B 12 01 00 00 0D 16")});
        QCOMPARE(sent.size(), 2); // the type, then the request of the thirteen bytes
        QCOMPARE(Shown(1), QStringLiteral("HALL2"));
        auto *marked = InMfx<QLabel>(QStringLiteral("LabelMFXValue1"));
        QVERIFY(!marked->toolTip().isEmpty());
        QCOMPARE(Shown(2), QString::fromStdString(mfx::ValueText(mfx::Reverb[1], 20)));
        QVERIFY(InMfx<QLabel>(QStringLiteral("LabelMFXValue2"))->toolTip().isEmpty());
        QCOMPARE(Memory(MfxByte(1)), 10);
        QCOMPARE(Undo->MixerStack().undoText(), QStringLiteral("MFX Type"));
        Undo->MixerStack().undo();
        WaitSent();
        QCOMPARE(Memory(MfxByte(0)), 14);
        QCOMPARE(Shown(1), QString::fromStdString(mfx::ValueText(mfx::Chorus[0], 10)));
    }

    void rhythmSettingReadSentAndKept()
    {
        const std::uint8_t rhythm[] = {4};
        Rig->Instrument().Write(RhythmSwitch, rhythm);
        OpenMfx();
        QCheckBox *partR = Find<QCheckBox>(QStringLiteral("CBMFXSwitch1"));
        auto *list = InMfx<TDropDownList>(QStringLiteral("LBMFXRhythm"));
        QCOMPARE(partR->checkState(), Qt::PartiallyChecked);
        QCOMPARE(list->currentText(), QStringLiteral("RHY"));
        // A click on part 2's box sends all eight switches; part R's goes as RHY.
        QTest::mouseClick(Find<QCheckBox>(QStringLiteral("CBMFXSwitch3")), Qt::LeftButton);
        WaitSent();
        QCOMPARE(Memory(RhythmSwitch), 4);
        QCOMPARE(partR->checkState(), Qt::PartiallyChecked);
        Undo->MixerStack().undo();
        WaitSent();
        QCOMPARE(Memory(RhythmSwitch), 4);
        QCOMPARE(partR->checkState(), Qt::PartiallyChecked);
        // OFF, then RHY again, from the MFX window.
        QTest::keyClick(list, Qt::Key_Home);
        WaitSent();
        QCOMPARE(Memory(RhythmSwitch), 0);
        QCOMPARE(partR->checkState(), Qt::Unchecked);
        const std::size_t logFrom = Rig->Instrument().Log().size();
        QTest::keyClick(list, Qt::Key_End);
        WaitSent();
        QCOMPARE(DataSets(LogSince(Rig->Instrument(), logFrom)),
                 QStringList {QStringLiteral("F0 41 10 00 0B 12 01 00 19 0A 04")});
        QCOMPARE(partR->checkState(), Qt::PartiallyChecked);
        Undo->MixerStack().undo();
        WaitSent();
        QCOMPARE(Memory(RhythmSwitch), 0);
        // From ON to RHY the box stays ticked: a click elsewhere is one step, and RHY stays.
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_End);
        QTest::mouseClick(Find<QCheckBox>(QStringLiteral("CBMFXSwitch3")), Qt::LeftButton);
        QCOMPARE(Undo->MixerStack().undoText(), QStringLiteral("MFX Switch Part 2"));
        Undo->MixerStack().undo();
        QCOMPARE(Undo->MixerStack().undoText(), QStringLiteral("MFX Part R"));
        WaitSent();
        QCOMPARE(Memory(RhythmSwitch), 4);
    }

    void nameAndTempoRoundTrip()
    {
        // 138.85 BPM, between two tenths, and a name padded with 00h.
        const std::uint8_t tempo[] = {0x03, 0x06, 0x03, 0x0D};
        Rig->Instrument().Write(Tempo, tempo);
        const std::uint8_t name[15] = {'B', 'e', 'a', 't'};
        Rig->Instrument().Write(PatternName, name);
        Form->show();
        QTRY_VERIFY(!Form->IsOpening());
        auto *nameBox = Find<TEditBox>(QStringLiteral("EditPatternName"));
        auto *tempoBox = Find<TEditBox>(QStringLiteral("EditTempo"));
        QCOMPARE(nameBox->text(), QStringLiteral("Beat"));
        QCOMPARE(tempoBox->text(), QStringLiteral("138.9"));
        QVERIFY(Find<TReceiveLog>(QStringLiteral("EditBPM"))->Text().endsWith(" Pattern"));
        // Shown rounded, the tempo is not sent back; leaving the box unedited sends nothing.
        QCOMPARE(DataSets(LogSince(Rig->Instrument())), QStringList());
        QCOMPARE(Memory({0x30, 0x00, 0x00, 0x16}), 0x0D);

        nameBox->selectAll();
        QTest::keyClicks(nameBox, QStringLiteral("Groove 7"));
        QTest::keyClick(nameBox, Qt::Key_Return);
        tempoBox->selectAll();
        QTest::keyClicks(tempoBox, QStringLiteral("120"));
        QTest::keyClick(tempoBox, Qt::Key_Return);
        WaitSent();
        QCOMPARE(
            Rig->Instrument().Read(PatternName, 15),
            BytesOf({'G', 'r', 'o', 'o', 'v', 'e', ' ', '7', ' ', ' ', ' ', ' ', ' ', ' ', ' '}));
        QCOMPARE(Rig->Instrument().Read(Tempo, 4), BytesOf({0x02, 0x0E, 0x0E, 0x00}));
        QCOMPARE(Undo->MixerStack().undoText(), QStringLiteral("Tempo"));
        Undo->MixerStack().undo();
        QCOMPARE(Undo->MixerStack().undoText(), QStringLiteral("Pattern Name"));
        WaitSent();
        QCOMPARE(tempoBox->text(), QStringLiteral("138.9"));
        QCOMPARE(Rig->Instrument().Read(Tempo, 4), BytesOf({0x03, 0x06, 0x04, 0x02}));
        // A tempo out of range is refused, and the box shows the tempo it had.
        tempoBox->selectAll();
        QTest::keyClicks(tempoBox, QStringLiteral("300"));
        QTest::keyClick(tempoBox, Qt::Key_Return);
        QCOMPARE(tempoBox->text(), QStringLiteral("138.9"));
        QCOMPARE(std::exchange(Errors, {}).size(), std::size_t(1));
    }

    void mfxFileSavedAndOpened()
    {
        const std::uint8_t flanger[] = {17, 1, 2, 3, 4, 5, 1, 6, 7, 8, 0, 0, 0};
        Rig->Instrument().Write(MfxByte(0), flanger);
        OpenMfx();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("flanger.syx"));
        Form->Mfx().SaveToFile(path);
        Pick(InMfx<TDropDownList>(QStringLiteral("LBMFXType")), 2);
        WaitSent();
        QCOMPARE(Memory(MfxByte(0)), 2);
        Form->Mfx().OpenFile(path);
        WaitSent();
        QCOMPARE(Rig->Instrument().Read(MfxByte(0), 10),
                 std::vector<std::uint8_t>(flanger, flanger + 10));
        QCOMPARE(InMfx<TDropDownList>(QStringLiteral("LBMFXType"))->currentText(),
                 QStringLiteral("FLANGER"));
        QCOMPARE(Undo->MixerStack().undoText(), QStringLiteral("MFX File"));
        // A file that is no MFX file is refused whole, and nothing is sent.
        QFile bad(dir.filePath(QStringLiteral("bad.syx")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("\xF0\x41\x10\x00\x0B\x12\x01\x00\x00\x0D\x7F\x00\xF7");
        bad.close();
        const std::size_t logFrom = Rig->Instrument().Log().size();
        QVERIFY_THROWS_EXCEPTION(std::exception, Form->Mfx().OpenFile(bad.fileName()));
        QCOMPARE(LogSince(Rig->Instrument(), logFrom), QStringList());
    }
};

QTEST_MAIN(TestMixerMfx)
#include "tst_mixer_mfx.moc"
