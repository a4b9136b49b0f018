// Undo and redo of the mixer window's changes against the built-in instrument: each kind of
// change, undone, leaves the instrument's memory as it was before, and redone as after; its
// step is named after the control; an opening's decoding is never a step.

#include "controls/EditBox.h"
#include "controls/UndoCoordinator.h"
#include "midi/MidiDevices.h"
#include "mixer/FormMixer.h"
#include "mixer/MixerUndo.h"
#include "support/MixerWindowFixture.h"
#include "support/VirtualRig.h"

#include <QScrollBar>
#include <QUndoStack>
#include <QtTest>

#include <memory>

class TestMixerUndo : public TMixerWindowFixture
{
    Q_OBJECT

    std::unique_ptr<TVirtualRig> Rig;
    TUndoCoordinator Undo;
    QUndoStack &Stack = Undo.MixerStack();

    // The pattern's part blocks, its common block and the system's effect switches.
    std::vector<std::uint8_t> Memory()
    {
        std::vector<std::uint8_t> memory;
        for (std::uint8_t block : {0x00, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x19}) {
            const auto bytes = Rig->Instrument().Read({0x01, 0x00, block, 0x00}, 0x30);
            memory.insert(memory.end(), bytes.begin(), bytes.end());
        }
        const auto system = Rig->Instrument().Read({0x00, 0x00, 0x00, 0x00}, 0x10);
        memory.insert(memory.end(), system.begin(), system.end());
        return memory;
    }

private slots:
    void initTestCase()
    {
        Rig = std::make_unique<TVirtualRig>();
        midi::MidiOut().Open(0);
        midi::MidiIn().Open(0);
        StartWindow(midi::MidiOut());
        Form->SetUndo(Undo);
    }
    void cleanup() { QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str()); }
    void cleanupTestCase()
    {
        StopWindow();
        Rig.reset();
    }

    void stepNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("step");
        QTest::newRow("level") << "BarMixer3"
                               << "Level Part 2";
        QTest::newRow("part R") << "EditPan1"
                                << "Pan Part R";
        QTest::newRow("list") << "LBReverbType"
                              << "Reverb Type";
        QTest::newRow("words") << "BarReverbToMFX"
                               << "Reverb To MFX";
        QTest::newRow("transpose") << "BarTrans8"
                                   << "Transpose Part 7";
        QTest::newRow("part switch") << "CBMFXSwitch4"
                                     << "MFX Switch Part 3";
        QTest::newRow("switch") << "CBDelaySwitch"
                                << "Delay Switch";
        QTest::newRow("feedback") << "EditDelayFeedback"
                                  << "Delay Feedback";
    }
    void stepNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, step);
        QCOMPARE(TMixerUndo::StepName(name), step);
    }

    void openingIsNoStep()
    {
        Open();
        Open();
        QCOMPARE(Stack.count(), 0);
    }

    void change_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("step");
        QTest::newRow("bar") << "BarMixer3"
                             << "Level Part 2";
        QTest::newRow("typed") << "EditPan5"
                               << "Pan Part 4";
        QTest::newRow("transpose") << "BarTrans2"
                                   << "Transpose Part 1";
        QTest::newRow("part switch") << "CBMFXSwitch4"
                                     << "MFX Switch Part 3";
        QTest::newRow("list") << "LBReverbType"
                              << "Reverb Type";
        QTest::newRow("effect bar") << "BarReverbToMFX"
                                    << "Reverb To MFX";
        QTest::newRow("switch") << "CBDelaySwitch"
                                << "Delay Switch";
        QTest::newRow("feedback") << "EditDelayFeedback"
                                  << "Delay Feedback";
    }
    void change()
    {
        QFETCH(QString, name);
        QFETCH(QString, step);
        Stack.clear();
        Open([&] {
            const auto before = Memory();
            Nudge(Find<QWidget>(name));
            const auto after = Memory();
            QVERIFY(before != after);
            QCOMPARE(Stack.count(), 1);
            QCOMPARE(Stack.undoText(), step);
            Stack.undo();
            QCOMPARE(Memory(), before);
            Stack.redo();
            QCOMPARE(Memory(), after);
            Stack.undo();
            QCOMPARE(Memory(), before);
            QCOMPARE(Stack.count(), 1);
        });
    }

    // A number typed and still pending goes out with a move of another bar of its group: it is
    // a step of its own, ahead of the move.
    void typedValueAppliedByABarMove_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("bar");
        QTest::addColumn<QString>("step");
        QTest::newRow("group") << "EditPan5"
                               << "BarPan2"
                               << "Pan Part 4";
        QTest::newRow("feedback") << "EditDelayFeedback"
                                  << "BarDelayLevel"
                                  << "Delay Feedback";
    }
    void typedValueAppliedByABarMove()
    {
        QFETCH(QString, box);
        QFETCH(QString, bar);
        QFETCH(QString, step);
        Stack.clear();
        Open([&] {
            const auto before = Memory();
            TEditBox *edit = Box(box);
            const QString was = edit->text();
            edit->selectAll();
            QTest::keyClicks(edit, edit->text() == QLatin1String("12") ? "13" : "12");
            QVERIFY(edit->HasPendingEdit());
            Bar(bar)->triggerAction(QAbstractSlider::SliderPageStepAdd);
            QCOMPARE(Stack.count(), 2);
            QCOMPARE(Stack.text(0), step);
            Stack.undo();
            Stack.undo();
            QCOMPARE(Memory(), before);
            QCOMPARE(edit->text(), was);
        });
    }

    void barMoveFromPressToReleaseIsOneStep()
    {
        Stack.clear();
        Open([&] {
            const auto before = Memory();
            QScrollBar *bar = Bar("BarDelayLevel");
            bar->setSliderDown(true);
            for (int value = 10; value <= 100; value += 10)
                bar->setValue(value);
            bar->setSliderDown(false);
            const auto dragged = Memory();
            bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            QCOMPARE(Stack.count(), 3);
            Stack.undo();
            Stack.undo();
            QCOMPARE(Memory(), dragged);
            Stack.undo();
            QCOMPARE(Memory(), before);
            QCOMPARE(bar->value(), int(before[0x22]));
        });
    }
};

QTEST_MAIN(TestMixerUndo)
#include "tst_mixer_undo.moc"
