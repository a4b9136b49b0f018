// One conversation with the instrument at a time: the user's clicks, undos and edits during a
// part request, a save, an opening's question and a name read, driven through the event loop
// while the paced window waits for the strict instrument's answers at a cable's pace.

#include "controls/RadioGroup.h"
#include "controls/ReceiveLog.h"
#include "editor/NameReader.h"
#include "editor/Ombrix.h"
#include "editor/PatchFileActions.h"
#include "session/RequestProcedure.h"
#include "settings/SettingsFile.h"
#include "support/EditorTestSupport.h"
#include "support/MainWindowFixture.h"
#include "support/PassingOutputs.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QUndoGroup>
#include <QUndoStack>
#include <QtTest>

namespace {

// Passes every message on, but the next whole-patch request once armed: the part then does not
// answer completely.
class TPatchRequestLost final : public TPassingOutputs
{
public:
    using TPassingOutputs::TPassingOutputs;
    void SendSysEx(const midi::TByteStream &message) override
    {
        const bool patchRequest = message.size() > 13 && message[5] == 0x11 && message[6] == 0x02
            && message[12] == 0x17;
        if (patchRequest && std::exchange(Armed, false))
            return;
        TPassingOutputs::SendSysEx(message);
    }
    bool Armed = false;
};

QString LevelTone1(int part, int value)
{
    return QStringLiteral("F0 41 10 00 0B 12 02 %1 10 65 %2")
        .arg(part - 1, 2, 16, QLatin1Char('0'))
        .arg(value, 2, 16, QLatin1Char('0'))
        .toUpper();
}

} // namespace

class TestExchanges : public TMainWindowFixture
{
    Q_OBJECT

    std::unique_ptr<TPatchRequestLost> Lossy;
    QTemporaryDir Dir;

    QRadioButton *PartButton(int part)
    {
        return Find<TRadioGroup>("RadioGroupSelectPart")->Item(part - 1);
    }
    // A user's click on the button once ms have passed, while the window waits.
    void ClickLater(int ms, QAbstractButton *button)
    {
        QTimer::singleShot(ms, button, [button] { QTest::mouseClick(button, Qt::LeftButton); });
    }
    QScrollBar *Level() { return Find<QScrollBar>("BarLevelTone1"); }
    int InstrumentLevel(int part)
    {
        return Instrument().ReadByte({0x02, std::uint8_t(part - 1), 0x10, 0x65});
    }
    // The window shows part, and its messages and history are that part's.
    void ShowsPart(int part)
    {
        QVERIFY(PartButton(part)->isChecked());
        QCOMPARE(Window->Session().MessagePart(), part - 1);
        QCOMPARE(Level()->value(), InstrumentLevel(part));
        QCOMPARE(Undo->Group().activeStack(), &Undo->PartStack(part - 1));
    }

private slots:
    void init()
    {
        StartRig(true);
        Lossy = std::make_unique<TPatchRequestLost>(midi::MidiOut());
        Paced = std::make_unique<midi::TPacedOutputs>(*Lossy, sysex::InstrumentPacing());
        Paced->SetGap(0, std::chrono::milliseconds(20));
        OpenWindow(*Paced);
        WaitSent();
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
    }
    void cleanup()
    {
        const std::uint64_t drops = Instrument().StrictDrops();
        StopWindow();
        Lossy.reset();
        QCOMPARE(drops, std::uint64_t {0});
    }

    // Part 2's level moved, part 1 shown, then parts 2 and 4 clicked 80 ms apart: the window
    // ends on part 4 with part 4's history, and an undo there never sends part 2's old level.
    void partClicksDuringARequest()
    {
        QTest::mouseClick(PartButton(2), Qt::LeftButton);
        Level()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QTest::mouseClick(PartButton(1), Qt::LeftButton);
        const std::size_t before = Instrument().Log().size();
        ClickLater(80, PartButton(4));
        QTest::mouseClick(PartButton(2), Qt::LeftButton);
        WaitForJobs();
        ShowsPart(4);
        const QStringList requests = LogSince(Instrument(), before).filter("F0 41 10 00 0B 11 01");
        QCOMPARE(requests.size(), 2); // parts 2 and 4, the last click carried out
        QVERIFY(!Find<QAction>("Undo")->isEnabled());
        const QStringList undone = SentBy([&] {
            QTest::keyClick(Window.get(), Qt::Key_Z, Qt::ControlModifier);
            WaitSent();
        });
        QCOMPARE(undone.filter(" 10 65 ").size(), 0);
        // Part 2 keeps its step.
        QCOMPARE(Undo->PartStack(1).count(), 1);
    }

    // A bar moved while its part is read keeps the user's value, sent once after the answers;
    // the status bar says what runs meanwhile.
    void controlMovedDuringARequest()
    {
        int target = -1;
        QString doing;
        QTimer::singleShot(120, this, [&] {
            doing = Find<QLabel>("JobStatus")->text();
            Level()->setValue(Level()->value() == 7 ? 9 : 7);
            target = Level()->value();
        });
        const std::size_t before = Instrument().Log().size();
        QTest::mouseClick(PartButton(3), Qt::LeftButton);
        WaitForJobs();
        WaitSent();
        QCOMPARE(doing, QString("Reading part 3..."));
        QCOMPARE(Level()->value(), target);
        QCOMPARE(InstrumentLevel(3), target);
        QCOMPARE(DataSets(LogSince(Instrument(), before)).filter(LevelTone1(3, target)).size(), 1);
        QCOMPARE(Find<QLabel>("JobStatus")->text(), QString());
    }

    // A part clicked while Save Patch collects the patch, or while Open Patch asks whether to
    // send a file it could not undo, is requested once that job has ended, and a bar then moves
    // the part clicked.
    void partClickDuringSaveAndOpen_data()
    {
        QTest::addColumn<bool>("open");
        QTest::newRow("save") << false;
        QTest::newRow("open, Annuler") << true;
    }
    void partClickDuringSaveAndOpen()
    {
        QFETCH(bool, open);
        const QString path = Dir.filePath("Part.syx");
        Window->PatchFiles().SavePatch(path);
        QVERIFY(QFile::exists(path));
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                for (QAbstractButton *choice : box->buttons())
                    if (choice->text() == "Annuler")
                        choice->click();
        });
        answer.start(20);
        Lossy->Armed = open;
        ClickLater(60, PartButton(4));
        const QStringList sent = SentBy([&] {
            if (open)
                Window->PatchFiles().OpenPatch(path);
            else
                Window->PatchFiles().SavePatch(Dir.filePath("Again.syx"));
            WaitForJobs();
        });
        QCOMPARE(sent.filter("02 03 00 00").size() + sent.filter("02 00 00 00").size(), 0);
        ShowsPart(4);
        WaitSent();
        const QStringList moved = SentBy([&] {
            Level()->triggerAction(QAbstractSlider::SliderPageStepAdd);
            WaitSent();
        });
        QCOMPARE(moved, QStringList {LevelTone1(4, Level()->value())});
    }

    // A name typed while the part's answers come in is left as typed; not yet confirmed when
    // Read Patch Names starts, it goes to the part first, as leaving the box would send it: no
    // patch read takes it for its own name, and the part ends with it.
    void nameTypedDuringAnswersThenANameRead()
    {
        auto *box = Find<QLineEdit>("EditPatchName");
        connect(Find<TReceiveLog>("Edit1"), &TReceiveLog::TextChanged, this,
                [box](const QString &text) {
                    if (!text.endsWith(" Patch"))
                        return;
                    box->setFocus();
                    box->selectAll();
                    QTest::keyClicks(box, "Mine");
                });
        QTest::mouseClick(PartButton(3), Qt::LeftButton);
        WaitForJobs();
        QCOMPARE(box->text(), QString("Mine"));
        WaitSent();
        const std::size_t before = Instrument().Log().size();
        Window->findChild<TNameReader *>("NameReader")->ReadNames(2);
        WaitForJobs();
        WaitSent();
        QVERIFY(DataSets(LogSince(Instrument(), before))
                    .value(0)
                    .startsWith("F0 41 10 00 0B 12 02 02 00 00 4D 69 6E 65 20"));
        settings::TSettingsValues values;
        settings::ReadSettingsFile("Ombrix.INI", values);
        QCOMPARE(QString::fromStdString(values.PatchNames[0]),
                 QString::fromStdString(Instrument().StoredPatchName(1, 0)).trimmed());
        QCOMPARE(Instrument().Read({0x02, 0x02, 0x00, 0x00}, 5),
                 BytesOf(QString("4D 69 6E 65 20")));
        QCOMPARE(Undo->PartStack(2).undoText(), QString("Patch Name"));
    }
};

QTEST_MAIN(TestExchanges)
#include "tst_editor_exchanges.moc"
