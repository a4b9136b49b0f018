// The mixer window against a strict instrument (a data set coming less than 20 ms after the
// previous one ended is dropped, as on the MC-307), through the paced output: a reverb change,
// a delay change, a 200-step level drag, a 200-step reverb-level drag and a transposition drag
// with MFX switches (eight model-3A data sets a step) all arrive, with zero drops, and the
// instrument ends holding what the window shows. Sent straight, a delay change loses messages.

#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "midi/MidiDevices.h"
#include "midi/PacedOutput.h"
#include "mixer/FormMixer.h"
#include "session/ErrorPolicy.h"
#include "support/EditorTestSupport.h"
#include "support/ErrorRecorder.h"
#include "support/VirtualRig.h"
#include "sysex/InstrumentPacing.h"

#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>
#include <QWindow>
#include <QtTest>

#include <memory>

using instrument::TAddress;
using namespace std::chrono_literals;

namespace {
TAddress CommonByte(std::uint8_t offset)
{
    return {0x01, 0x00, 0x00, offset};
}
TAddress PartLevel(std::uint8_t blockByte)
{
    return {0x01, 0x00, blockByte, 0x06};
}
} // namespace

class TestMixerStrict : public QObject, public TErrorRecorder
{
    Q_OBJECT

    std::unique_ptr<TVirtualRig> Rig;
    std::unique_ptr<midi::TPacedOutputs> Paced;
    std::unique_ptr<TFormMixer> Form;

    template<class T>
    T *Find(const QString &name)
    {
        return FindControl<T>(*Form, name);
    }
    QScrollBar *Bar(const QString &name) { return Find<QScrollBar>(name); }
    TDropDownList *List(const QString &name) { return Find<TDropDownList>(name); }
    int Memory(const TAddress &address) { return Rig->Instrument().ReadByte(address); }
    std::uint64_t Drops() { return Rig->Instrument().StrictDrops(); }

    void Make(midi::IMidiOuts &outputs)
    {
        Form = std::make_unique<TFormMixer>([] { return TMainWindowSettings {0, 17}; }, outputs);
        Form->FormShow();
    }
    void WaitSent() { QTRY_VERIFY_WITH_TIMEOUT(Paced->Device(0).Waiting() == 0, 15000); }

    void CompareEffectsWithMemory()
    {
        QCOMPARE(List("LBReverbType")->ItemIndex(), Memory(CommonByte(0x28)));
        QCOMPARE(Bar("BarReverbLevel")->value(), Memory(CommonByte(0x29)));
        QCOMPARE(Bar("BarReverbTime")->value(), Memory(CommonByte(0x2A)));
        QCOMPARE(List("LBReverbHF")->ItemIndex(), Memory(CommonByte(0x2B)));
        QCOMPARE(Bar("BarReverbToMFX")->value(), Memory(CommonByte(0x1D)));
        QCOMPARE(List("LBDelayType")->ItemIndex(), Memory(CommonByte(0x23)));
        QCOMPARE(Bar("BarDelayLevel")->value(), Memory(CommonByte(0x22)));
        QCOMPARE(Bar("BarDelayTime")->value(), Memory(CommonByte(0x25)));
        QCOMPARE(List("LBDelayHF")->ItemIndex(), Memory(CommonByte(0x24)));
        QCOMPARE(List("LBDelayOutput")->ItemIndex(), Memory(CommonByte(0x27)));
        QCOMPARE(Bar("BarDelayToMFX")->value(), Memory(CommonByte(0x1C)));
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
    }
    void cleanup()
    {
        Form.reset();
        Paced.reset();
        Rig.reset();
        StopRecordingErrors();
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
    }

    void unpacedDelayChangeIsDropped()
    {
        Make(midi::MidiOut());
        QTest::keyClick(List("LBDelayType"), Qt::Key_Home);
        QVERIFY(Drops() > 0);
    }

    void reverbAndDelayChangesArriveWhole()
    {
        Paced = std::make_unique<midi::TPacedOutputs>(midi::MidiOut(), sysex::InstrumentPacing());
        Paced->SetGap(0, 20ms);
        Make(*Paced);
        QTest::keyClick(List("LBReverbType"), Qt::Key_End);
        QTest::keyClick(List("LBDelayType"), Qt::Key_Home);
        QTest::keyClick(List("LBDelayHF"), Qt::Key_End);
        WaitSent();
        QCOMPARE(Drops(), std::uint64_t(0));
        QCOMPARE(Memory(CommonByte(0x28)), 5);
        QCOMPARE(Memory(CommonByte(0x23)), 0);
        QCOMPARE(Memory(CommonByte(0x24)), 0x11);
        CompareEffectsWithMemory();
    }

    // A level drag sends control changes, which leave at once; a reverb-level drag sends the
    // reverb group of five data sets, each replacing its waiting predecessor: neither builds up.
    void dragsOf200StepsArriveWhole_data()
    {
        QTest::addColumn<QString>("barName");
        QTest::addColumn<int>("mostWaiting");
        // Eight control changes a step, left at once: a few steps' worth on a busy machine.
        QTest::newRow("level") << "BarMixer2" << 40;
        // The group's five waiting, and one of them on its way.
        QTest::newRow("reverb level") << "BarReverbLevel" << 6;
    }
    void dragsOf200StepsArriveWhole()
    {
        QFETCH(QString, barName);
        QFETCH(int, mostWaiting);
        Paced = std::make_unique<midi::TPacedOutputs>(midi::MidiOut(), sysex::InstrumentPacing());
        Paced->SetGap(0, 20ms);
        Make(*Paced);
        QScrollBar *bar = Bar(barName);
        std::size_t most = 0;
        for (int step = 0; step < 200; ++step) {
            bar->setValue(step % 2 == 0 ? 10 + step / 4 : 120 - step / 4);
            QTest::qWait(5);
            most = std::max(most, Paced->Device(0).Waiting());
        }
        QVERIFY2(most <= std::size_t(mostWaiting), qPrintable(QString::number(most)));
        // What arrives after the last step is what it left waiting, and the one message that
        // may be on its way: no backlog hides behind the queue (messages reach the instrument
        // inside the send).
        const std::uint64_t arrivedDuringDrag = Rig->Instrument().ReceivedCount();
        WaitSent();
        const std::uint64_t arrivedAfter = Rig->Instrument().ReceivedCount() - arrivedDuringDrag;
        QVERIFY2(arrivedAfter <= std::uint64_t(mostWaiting) + 1,
                 qPrintable(QString::number(arrivedAfter)));
        QCOMPARE(Drops(), std::uint64_t(0));
        QCOMPARE(bar->value(), 120 - 199 / 4);
        if (barName == "BarMixer2")
            QCOMPARE(Memory(PartLevel(0x10)), bar->value());
        CompareEffectsWithMemory();
    }

    void transpositionsAndMfxSwitchesArriveWhole()
    {
        Paced = std::make_unique<midi::TPacedOutputs>(midi::MidiOut(), sysex::InstrumentPacing());
        Paced->SetGap(0, 20ms);
        Make(*Paced);
        QScrollBar *bar = Bar("BarTrans3");
        std::size_t most = 0;
        for (int step = 0; step < 50; ++step) {
            bar->setValue(step % 2 == 0 ? -step / 2 : step / 2);
            QTest::qWait(5);
            most = std::max(most, Paced->Device(0).Waiting());
        }
        // Each part's transposition waiting once, one of them on its way.
        QVERIFY2(most <= std::size_t(sysex::mixer::PartCount + 1),
                 qPrintable(QString::number(most)));
        Find<QCheckBox>("CBMFXSwitch4")->click();
        QTest::keyClick(List("LBReverbType"), Qt::Key_End);
        WaitSent();
        QCOMPARE(Drops(), std::uint64_t(0));
        for (int suffix = 1; suffix <= sysex::mixer::PartCount; ++suffix) {
            const std::uint8_t block = sysex::mixer::Parts[std::size_t(suffix - 1)].BlockByte;
            const QString number = QString::number(suffix);
            QCOMPARE(Memory({0x01, 0x00, block, std::uint8_t(instrument::PartOffset::Transpose)}),
                     48 - Bar("BarTrans" + number)->value());
            QCOMPARE(Memory({0x01, 0x00, block, std::uint8_t(instrument::PartOffset::MfxSwitch)}),
                     Find<QCheckBox>("CBMFXSwitch" + number)->isChecked() ? 1 : 0);
        }
        CompareEffectsWithMemory();
    }

    // Both at once: the control changes wait behind the data sets ahead of them (nothing
    // overtakes), but the queue stays bounded and everything arrives.
    void twoDragsAtOnceArriveWhole()
    {
        Paced = std::make_unique<midi::TPacedOutputs>(midi::MidiOut(), sysex::InstrumentPacing());
        Paced->SetGap(0, 20ms);
        Make(*Paced);
        QScrollBar *level = Bar("BarMixer2");
        QScrollBar *reverb = Bar("BarReverbLevel");
        std::size_t most = 0;
        for (int step = 0; step < 200; ++step) {
            level->setValue(step % 2 == 0 ? 10 + step / 4 : 120 - step / 4);
            reverb->setValue(step % 2 == 0 ? 5 + step / 4 : 125 - step / 4);
            QTest::qWait(5);
            most = std::max(most, Paced->Device(0).Waiting());
        }
        // One cycle of the reverb group's five gaps holds some 25 steps of eight changes.
        QVERIFY2(most <= 250, qPrintable(QString::number(most)));
        WaitSent();
        QCOMPARE(Drops(), std::uint64_t(0));
        QCOMPARE(Memory(PartLevel(0x10)), level->value());
        QCOMPARE(Memory(CommonByte(0x29)), reverb->value());
        CompareEffectsWithMemory();
    }
};

QTEST_MAIN(TestMixerStrict)
#include "tst_mixer_strict.moc"
