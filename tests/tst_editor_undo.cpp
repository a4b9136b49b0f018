// Undo and redo in the main window against a strict instrument through the paced output: each
// kind of step, undone, leaves the instrument's memory as it was before, and redone as after;
// a decoding is never a step; the active stack follows the part and the window in front.

#include "controls/DropDownList.h"
#include "controls/EnvelopeImage.h"
#include "controls/RadioGroup.h"
#include "controls/ReceiveLog.h"
#include "editor/PatchFileActions.h"
#include "session/ErrorPolicy.h"
#include "support/MainWindowFixture.h"
#include "sysex/MixerParams.h"
#include "sysex/RolandMessage.h"
#include "sysex/ToneParams.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QMenu>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSlider>
#include <QUndoGroup>
#include <QUndoStack>
#include <QtTest>

#include <functional>
#include <memory>

using namespace std::chrono_literals;

using TMemory = std::vector<std::uint8_t>;

class TestEditorUndo : public TMainWindowFixture
{
    Q_OBJECT

    // The selected part's temporary patch: common and the four tones, and its patch selection.
    TMemory PartMemory(int part = 0)
    {
        TMemory memory
            = Instrument().Read({0x01, 0x00, sysex::mixer::PartBlockByte(part + 1), 0x00},
                                sysex::mixer::BlockInfo(sysex::mixer::TBlock::PatternPart).Size);
        for (int tone = 0; tone <= 4; ++tone) {
            const auto block = Instrument().Read(
                {0x02, static_cast<std::uint8_t>(part),
                 static_cast<std::uint8_t>(tone == 0 ? 0 : sysex::ToneByte(tone)), 0x00},
                sysex::ToneBlockUsedSize);
            memory.insert(memory.end(), block.begin(), block.end());
        }
        return memory;
    }
    void SelectPart(int part)
    {
        Find<TRadioGroup>("RadioGroupSelectPart")->Item(part - 1)->click();
    }
    // Runs action once, as the receive log first ends with word from now on, while scope lives.
    void AtLog(const QObject &scope, const QString &word, const std::function<void()> &action)
    {
        connect(Find<TReceiveLog>("Edit1"), &TReceiveLog::TextChanged, &scope,
                [word, action, done = false](const QString &text) mutable {
                    if (done || !text.endsWith(word))
                        return;
                    done = true;
                    action();
                });
    }
    QAction *Action(const char *name) { return Find<QAction>(QString::fromLatin1(name)); }
    QUndoStack *Active() { return Undo->Group().activeStack(); }
    // Undo then redo of the last step: the memory as before, then as after.
    void VerifyUndoRedo(const TMemory &before, const TMemory &after)
    {
        QVERIFY(before != after);
        Action("Undo")->trigger();
        WaitSent();
        QCOMPARE(PartMemory(), before);
        Action("Redo")->trigger();
        WaitSent();
        QCOMPARE(PartMemory(), after);
        QCOMPARE(Instrument().StrictDrops(), std::uint64_t(0));
    }

private slots:
    void init()
    {
        StartRig(true);
        OpenPacedWindow();
    }
    void cleanup()
    {
        const std::vector<std::string> errors = Errors;
        StopWindow();
        QVERIFY2(errors.empty(), errors.empty() ? "" : errors.front().c_str());
    }

    void menuHoldsUndoAndRedo()
    {
        QMenu *edit = Find<QMenu>("Edition");
        QCOMPARE(edit->title(), QString("Edit"));
        QCOMPARE(Action("Undo")->text(), QString("Undo"));
        QCOMPARE(Action("Undo")->shortcut(), QKeySequence("Ctrl+Z"));
        QCOMPARE(Action("Redo")->shortcuts(),
                 QList<QKeySequence>({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")}));
        QVERIFY(!Action("Undo")->isEnabled());
        QVERIFY(!Action("Redo")->isEnabled());
    }

    void toneChange_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::newRow("bar") << "BarLevelTone2"
                             << "Level Tone 2";
        QTest::newRow("track bar") << "BarCutOffTone1"
                                   << "Cutoff Tone 1";
        QTest::newRow("check box") << "CBRandomPanTone3"
                                   << "Random pan Tone 3";
        QTest::newRow("list") << "LBFilterTone4"
                              << "Filter Tone 4";
        QTest::newRow("wave") << "LBWaveTone1"
                              << "Wave Tone 1";
        QTest::newRow("radio") << "RadioGroupGainTone2"
                               << "Gain Tone 2";
        QTest::newRow("unlabelled bar") << "BarPitchEnvDepthTone1"
                                        << "Pitch Env Depth Tone 1";
    }
    void toneChange()
    {
        QFETCH(QString, control);
        QFETCH(QString, text);
        const TMemory before = PartMemory();
        Nudge(Find<QWidget>(control));
        WaitSent();
        const TMemory after = PartMemory();
        QCOMPARE(Active()->count(), 1);
        QCOMPARE(Action("Undo")->text(), "Undo " + text);
        VerifyUndoRedo(before, after);
        QCOMPARE(Action("Undo")->text(), "Undo " + text);
        Action("Undo")->trigger();
        QCOMPARE(Action("Redo")->text(), "Redo " + text);
        WaitSent();
        // Undoing sent the value back, and the control shows it: no step of its own.
        QCOMPARE(Active()->count(), 1);
    }

    // The history is bounded: past the limit the oldest steps go, and undoing everything kept
    // stops at the value the first kept step started from.
    void historyKeepsTheLatestSteps()
    {
        auto *bar = Find<QScrollBar>("BarFineTuneTone1");
        bar->setValue(bar->minimum());
        WaitSent();
        Active()->clear();
        // Ten steps up, then the limit's worth of steps down and up again.
        const QPoint down(2, bar->height() / 2);
        const QPoint up(bar->width() - 3, bar->height() / 2);
        for (int i = 0; i < 10 + TUndoCoordinator::UndoLimit; ++i)
            QTest::mouseClick(bar, Qt::LeftButton, {}, i >= 10 && (i - 10) % 2 == 0 ? down : up);
        QCOMPARE(bar->value(), bar->minimum() + 10);
        QCOMPARE(Active()->count(), TUndoCoordinator::UndoLimit);
        while (Active()->canUndo())
            Action("Undo")->trigger();
        WaitSent();
        QCOMPARE(bar->value(), bar->minimum() + 10);
        QCOMPARE(int(PartMemory()[0x1A + sysex::ToneBlockUsedSize + 0x3E]),
                 sysex::ToneParam::FineTune.ToByte(bar->minimum() + 10));
        QCOMPARE(Instrument().StrictDrops(), std::uint64_t(0));
    }

    void barMoveFromPressToReleaseIsOneStep()
    {
        auto *bar = Find<QScrollBar>("BarPanTone1");
        const TMemory before = PartMemory();
        bar->setSliderDown(true);
        for (int value = -30; value <= 30; value += 5) {
            bar->setValue(value);
            QTest::qWait(5);
        }
        bar->setSliderDown(false);
        // An arrow step after the release is a step of its own, and so is the next one.
        WaitSent();
        const TMemory dragged = PartMemory();
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        WaitSent();
        QCOMPARE(Active()->count(), 3);
        Action("Undo")->trigger();
        Action("Undo")->trigger();
        WaitSent();
        QCOMPARE(PartMemory(), dragged);
        VerifyUndoRedo(before, dragged);
    }

    void envelopeDrag()
    {
        auto *image = Find<TEnvelopeImage>("ImageEnvFilterTone3");
        const TMemory before = PartMemory();
        const QPoint handle(image->Envelope().Points[2].x, image->Envelope().Points[2].y);
        QTest::mousePress(image, Qt::LeftButton, {}, handle);
        for (int dx = 4; dx <= 20; dx += 4)
            QTest::mouseMove(image, handle + QPoint(dx, 8));
        QTest::mouseRelease(image, Qt::LeftButton, {}, handle + QPoint(20, 8));
        WaitSent();
        QCOMPARE(Active()->count(), 1);
        QCOMPARE(Action("Undo")->text(), QString("Undo Filter Env Tone 3"));
        const TEnvelopeValues dragged = image->Values();
        VerifyUndoRedo(before, PartMemory());
        QVERIFY(image->Values() == dragged);
        // A click that moves nothing is no step.
        QTest::mouseClick(image, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(Active()->count(), 1);
    }

    void patchChoice()
    {
        // A patch taken back is loaded again from the patch list: the first pick gives the
        // memory that the second pick's undo must give back.
        auto *patch = Find<TDropDownList>("LBPatch");
        UserPick(patch, patch->ItemIndex() == 5 ? 6 : 5);
        WaitSent();
        const int first = patch->ItemIndex();
        const TMemory before = PartMemory();
        UserPick(patch, first + 1);
        WaitSent();
        const TMemory after = PartMemory();
        QCOMPARE(Active()->count(), 2);
        QCOMPARE(Action("Undo")->text(), QString("Undo Patch Part 1"));
        Action("Undo")->trigger();
        WaitSent();
        QCOMPARE(PartMemory(), before);
        QCOMPARE(patch->ItemIndex(), first);
        Action("Redo")->trigger();
        WaitSent();
        QCOMPARE(PartMemory(), after);
        QCOMPARE(patch->ItemIndex(), first + 1);
        QCOMPARE(Active()->count(), 2);
        QCOMPARE(Instrument().StrictDrops(), std::uint64_t(0));
    }

    void openedPatchFile()
    {
        // A file of another device and part: tone 1 whole, past the 128 bytes of one data set,
        // then tone 2's used bytes.
        const auto message = [](std::uint8_t toneByte, const TMemory &data) {
            midi::TByteStream bytes {0xF0, 0x41, 0x13, 0x00,     0x0B,
                                     0x12, 0x02, 0x05, toneByte, 0x00};
            bytes.insert(bytes.end(), data.begin(), data.end());
            bytes.push_back(midi::RolandChecksum(bytes.data() + 6, bytes.size() - 6));
            bytes.push_back(0xF7);
            return bytes;
        };
        const auto tone = [this](int t, int size) {
            return Instrument().Read({0x02, 0x00, static_cast<std::uint8_t>(sysex::ToneByte(t)), 0},
                                     size);
        };
        const TMemory before = PartMemory();
        std::vector<std::vector<std::uint8_t>> was {
            message(0x10, tone(1, 0x100)), message(0x12, tone(2, sysex::ToneBlockUsedSize))};
        TMemory level1 = tone(1, 0x100);
        TMemory level2 = tone(2, sysex::ToneBlockUsedSize);
        level1[0x65] = level1[0x65] == 9 ? 10 : 9;
        level2[0x77] = level2[0x77] == 3 ? 4 : 3;
        std::vector<std::vector<std::uint8_t>> file {message(0x10, level1), message(0x12, level2)};
        // What the opening sent, as the file opener sends it.
        for (const auto &packet : sysex::DataSetPackets(17, {0x02, 0x00, 0x10, 0x00}, level1))
            Paced->Device(0).SendSysEx(packet);
        for (const auto &packet : sysex::DataSetPackets(17, {0x02, 0x00, 0x12, 0x00}, level2))
            Paced->Device(0).SendSysEx(packet);
        WaitSent();
        const TMemory after = PartMemory();
        emit Window->PatchFiles().PatchFileOpened(0, was, file);
        QCOMPARE(Active()->count(), 1);
        QCOMPARE(Action("Undo")->text(), QString("Undo Open Patch"));
        QCOMPARE(PartMemory(), after);
        const std::size_t logged = Instrument().Log().size();
        VerifyUndoRedo(before, after);
        // Each data set went to our device and part, with at most 128 data bytes.
        const QStringList sent = DataSets(LogSince(Instrument(), logged));
        QVERIFY(sent.filter(QRegularExpression("^F0 41 10 00 0B 12 02 00 1[02] ")).size() >= 6);
        for (const QString &message : sent) {
            QVERIFY(message.startsWith("F0 41 10 00 0B 12"));
            QVERIFY(message.split(' ').size() <= 10 + 128);
        }
        QCOMPARE(Find<QScrollBar>("BarLevelTone1")->value(), int(level1[0x65]));
    }

    // Part 4 clicked while a pick on part 1 waits, in its pause or in its part request: the
    // step is part 1's, from part 1's old patch, and part 4 keeps its own.
    void patchPickThenAnotherPart_data()
    {
        QTest::addColumn<QString>("clickAfter");
        QTest::newRow("pause") << QString();
        QTest::newRow("request") << " Patch";
    }
    void patchPickThenAnotherPart()
    {
        QFETCH(QString, clickAfter);
        const TMemory part4 = PartMemory(3);
        auto *patch = Find<TDropDownList>("LBPatch");
        const int first = patch->ItemIndex();
        const QObject scope;
        const auto click = [this] { SelectPart(4); };
        if (clickAfter.isEmpty())
            QTimer::singleShot(0, &scope, click);
        else
            AtLog(scope, clickAfter, click);
        UserPick(patch, first == 5 ? 6 : 5);
        WaitSent();
        QCOMPARE(PartMemory(3), part4);
        QCOMPARE(Undo->PartStack(3).count(), 0);
        QCOMPARE(Undo->PartStack(0).undoText(), QString("Patch Part 1"));
        SelectPart(1);
        Action("Undo")->trigger();
        WaitSent();
        QCOMPARE(patch->ItemIndex(), first);
        QCOMPARE(PartMemory(3), part4);
    }

    // A bar moved while part 4's request runs, once its tone is shown: the value went to part 4,
    // and so does the step.
    void controlMovedDuringAPartRequest()
    {
        const TMemory part1 = PartMemory(0);
        const TMemory part4 = PartMemory(3);
        const QObject scope;
        AtLog(scope, " Tone2", [this] {
            auto *bar = Find<QScrollBar>("BarLevelTone2");
            bar->triggerAction(bar->value() > 10 ? QAbstractSlider::SliderPageStepSub
                                                 : QAbstractSlider::SliderPageStepAdd);
        });
        SelectPart(4);
        WaitSent();
        QVERIFY(PartMemory(3) != part4);
        QCOMPARE(Undo->PartStack(0).count(), 0);
        QCOMPARE(Action("Undo")->text(), QString("Undo Level Tone 2"));
        Action("Undo")->trigger();
        WaitSent();
        QCOMPARE(PartMemory(3), part4);
        QCOMPARE(PartMemory(0), part1);
    }

    void decodingIsNeverAStep()
    {
        Find<QScrollBar>("BarLevelTone1")->triggerAction(QAbstractSlider::SliderPageStepAdd);
        WaitSent();
        QCOMPARE(Active()->count(), 1);
        // The instrument changed under the window: the request's echo sets the controls.
        const std::uint8_t three[] = {3};
        Instrument().Write({0x02, 0x00, 0x10, 0x65}, three);
        Window->Session().RequestAgain();
        WaitSent();
        QCOMPARE(Find<QScrollBar>("BarLevelTone1")->value(), 3);
        QCOMPARE(Active()->count(), 1);
        QCOMPARE(Action("Undo")->text(), QString("Undo Level Tone 1"));
    }

    void activeStackFollowsPartAndWindow()
    {
        auto *parts = Find<TRadioGroup>("RadioGroupSelectPart");
        QCOMPARE(Active(), &Undo->PartStack(0));
        parts->findChildren<QAbstractButton *>()[2]->click();
        WaitSent();
        QCOMPARE(Active(), &Undo->PartStack(2));
        Find<QScrollBar>("BarLevelTone1")->triggerAction(QAbstractSlider::SliderPageStepAdd);
        WaitSent();
        QCOMPARE(Undo->PartStack(2).count(), 1);
        QCOMPARE(Undo->PartStack(0).count(), 0);

        QDialog mixer;
        Undo->FollowWindow(mixer, Undo->MixerStack());
        mixer.show();
        QCOMPARE(Active(), &Undo->MixerStack());
        QCOMPARE(Action("Undo")->text(), QString("Undo"));
        QVERIFY(mixer.actions().contains(Action("Undo")));
        mixer.hide();
        QCOMPARE(Active(), &Undo->PartStack(2));
        QCOMPARE(Action("Undo")->text(), QString("Undo Level Tone 1"));
    }
};

QTEST_MAIN(TestEditorUndo)
#include "tst_editor_undo.moc"
