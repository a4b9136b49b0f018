// Patch files of the main window against the virtual instrument: a saved patch holds exactly the
// instrument's blocks, bytes the window does not show included; one opened into another part
// leaves that part's memory equal to the file and the window showing it; a dump's part is picked;
// a bad file or a place that cannot be written gives one error and sends or writes nothing. And
// the patch's own name, which a saved file is named after.

#include "controls/RadioGroup.h"
#include "editor/PatchFileActions.h"
#include "midi/PacedOutput.h"
#include "settings/ConfFile.h"
#include "settings/SettingsFile.h"
#include "support/MainWindowFixture.h"
#include "support/RawFile.h"
#include "sysex/InstrumentPacing.h"
#include "sysex/PatchFile.h"

#include <QAbstractSlider>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>
#include <QUrl>
#include <QtTest>

namespace {

constexpr int CommonSize = 0x4A;
constexpr int ToneSize = 0x81;
constexpr std::array<std::uint8_t, 4> TonePages {0x10, 0x12, 0x14, 0x16};

// Every byte of a part's patch, common then the four tones.
std::vector<std::uint8_t> PatchOf(instrument::TVirtualInstrument &instrument, std::uint8_t part)
{
    std::vector<std::uint8_t> bytes = instrument.Read({0x02, part, 0x00, 0x00}, CommonSize);
    for (std::uint8_t page : TonePages) {
        const auto tone = instrument.Read({0x02, part, page, 0x00}, ToneSize);
        bytes.insert(bytes.end(), tone.begin(), tone.end());
    }
    return bytes;
}

} // namespace

class TPatchFilesTest : public TMainWindowFixture
{
    Q_OBJECT

private:
    QString Report() { return Find<QLabel>("PatchFileReport")->text(); }
    void SelectPart(int part)
    {
        Find<TRadioGroup>("RadioGroupSelectPart")->Item(part - 1)->click();
    }

    void Name(std::uint8_t part, const char *name)
    {
        Instrument().Write({0x02, part, 0x00, 0x00},
                           std::span(reinterpret_cast<const std::uint8_t *>(name), 12));
    }
    // The next modal dialog of that name (any, for "") is handed to look, then left with the
    // button of that text, if any.
    void Answering(const QString &name, const QString &button,
                   const std::function<void(QWidget &)> &look)
    {
        auto *timer = new QTimer(Window.get());
        connect(timer, &QTimer::timeout, this, [=] {
            QWidget *dialog = QApplication::activeModalWidget();
            if (!dialog || !(name.isEmpty() || dialog->objectName() == name))
                return;
            timer->stop();
            look(*dialog);
            for (QAbstractButton *choice : dialog->findChildren<QAbstractButton *>())
                if (!button.isEmpty() && choice->text() == button)
                    choice->click();
        });
        timer->start(20);
    }

    // Part 2 made unlike the others, with values every control takes as they are, and bytes the
    // window neither shows nor sends (common, an unread tone offset, a tone's 129th byte).
    void MarkPart2()
    {
        const std::uint8_t common[] {0x33};
        Instrument().Write({0x02, 0x01, 0x00, 0x10}, common);
        const std::uint8_t level[] {77};
        Instrument().Write({0x02, 0x01, 0x10, 0x65}, level);
        const std::uint8_t unread[] {0x55};
        Instrument().Write({0x02, 0x01, 0x12, 0x01}, unread);
        const std::uint8_t last[] {0x22};
        Instrument().Write({0x02, 0x01, 0x17, 0x00}, last);
    }

private slots:
    void init()
    {
        QFile::remove(QStringLiteral("Ombrix.conf"));
        StartWindow();
        QVERIFY(Dir.isValid());
    }
    void cleanup()
    {
        StopWindow();
        QFile::remove(QStringLiteral("Ombrix.conf"));
    }

    void MenuHasTheFileItems()
    {
        auto *file = Find<QMenu>("Fichier");
        QStringList names;
        for (QAction *action : file->actions())
            if (!action->isSeparator())
                names << action->objectName();
        QCOMPARE(names, (QStringList {"OpenPatch", "SavePatch", "", "ActionReadNames", "Setup", "Quitter"}));
        QCOMPARE(Find<QMenu>("RecentPatches")->menuAction()->text(), QString("Recent Patches"));
        QVERIFY(!Find<QMenu>("RecentPatches")->isEnabled());
        QCOMPARE(Find<QAction>("OpenPatch")->shortcut(), QKeySequence(QKeySequence::Open));
        QCOMPARE(Find<QAction>("SavePatch")->shortcut(), QKeySequence(QKeySequence::Save));
        QCOMPARE(Find<QAction>("SavePatch")->text(), QString("Save Patch..."));
        QCOMPARE(Find<QAction>("OpenPatch")->text(), QString("Open Patch..."));
    }

    void SavesAndOpensIntoAnotherPart()
    {
        MarkPart2();
        SelectPart(2);
        const QString path = Dir.filePath("Part2.syx");
        const QStringList saving = SentBy([&] { Window->PatchFiles().SavePatch(path); });
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
        QCOMPARE(saving, QStringList {}); // no echo of what came in

        const QByteArray bytes = ReadRaw(path);
        const auto read = sysex::ParsePatchFile(
            {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())});
        QVERIFY(!read.Error);
        QCOMPARE(read.File.Skipped, 0);
        QCOMPARE(read.File.Part, 1);
        std::vector<std::uint8_t> saved;
        for (const auto &message : read.File.Messages)
            saved.insert(saved.end(), message.Data.begin(), message.Data.end());
        QCOMPARE(saved, PatchOf(Instrument(), 1));

        SelectPart(5);
        QVERIFY(PatchOf(Instrument(), 4) != PatchOf(Instrument(), 1));
        Window->PatchFiles().OpenPatch(path);
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
        QCOMPARE(PatchOf(Instrument(), 4), PatchOf(Instrument(), 1));
        QCOMPARE(Find<QAbstractSlider>("BarLevelTone1")->value(), 77);
        QVERIFY(Report().contains("9 messages sent to part 5, 0 other messages skipped"));

        // Both went first in the recent files, kept in Ombrix.conf; one is opened from there.
        auto *recent = Find<QMenu>("RecentPatches");
        QVERIFY(recent->isEnabled());
        QCOMPARE(recent->actions().size(), 1);
        QCOMPARE(recent->actions().front()->text(), QDir::toNativeSeparators(path));
        QCOMPARE(settings::ReadRecentPatchFiles(settings::ConfFilePath()), QStringList {path});
        SelectPart(7);
        recent->actions().front()->trigger();
        QVERIFY(Errors.empty());
        QCOMPARE(PatchOf(Instrument(), 6), PatchOf(Instrument(), 1));
    }

    // An opened file is one step: its undo sends back the patch the part held before the file
    // went out, and its redo the file again.
    void OpenedFileIsOneUndoStep()
    {
        MarkPart2();
        SelectPart(2);
        const QString path = Dir.filePath("Part2.syx");
        Window->PatchFiles().SavePatch(path);
        SelectPart(5);
        const auto before = PatchOf(Instrument(), 4);
        QVERIFY(before != PatchOf(Instrument(), 1));
        Window->PatchFiles().OpenPatch(path);
        QCOMPARE(PatchOf(Instrument(), 4), PatchOf(Instrument(), 1));
        auto *undo = Find<QAction>("Undo");
        QCOMPARE(undo->text(), QString("Undo Open Patch"));
        undo->trigger();
        QTRY_COMPARE(PatchOf(Instrument(), 4), before);
        QTRY_VERIFY(Find<QAction>("Redo")->isEnabled());
        Find<QAction>("Redo")->trigger();
        QTRY_COMPARE(PatchOf(Instrument(), 4), PatchOf(Instrument(), 1));
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
    }

    // Through the paced output to an instrument that drops what comes less than 20 ms after the
    // previous data set, as the MC-307 does: the saved patch opened into another part arrives
    // whole, packet after packet, and so does the echo of the part asked for again.
    void OpensIntoAStrictInstrument()
    {
        StopWindow();
        RecordErrors();
        Rig = std::make_unique<TVirtualRig>();
        Instrument().SetStrictTiming(true);
        midi::TPacedOutputs paced(midi::MidiOut(), sysex::InstrumentPacing());
        paced.SetGap(0, std::chrono::milliseconds(20));
        const auto waitSent
            = [&] { QTRY_VERIFY_WITH_TIMEOUT(paced.Device(0).Waiting() == 0, 15000); };
        OpenWindow(paced);
        waitSent();
        MarkPart2();
        SelectPart(2);
        waitSent();
        const QString path = Dir.filePath("Strict.syx");
        Window->PatchFiles().SavePatch(path);
        SelectPart(6);
        waitSent();
        Window->PatchFiles().OpenPatch(path);
        waitSent();
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
        QCOMPARE(Instrument().StrictDrops(), std::uint64_t(0));
        QCOMPARE(PatchOf(Instrument(), 5), PatchOf(Instrument(), 1));
        QCOMPARE(Find<QAbstractSlider>("BarLevelTone1")->value(), 77);
        // The queue's own message has come and gone; the file's report is still there.
        QTRY_VERIFY(Window->statusBar()->currentMessage().isEmpty());
        QVERIFY(Report().contains("sent to part 6"));
        Window.reset();
    }

    // A .syx file dropped on the window is opened into the selected part; other files are not
    // taken.
    void OpensADroppedFile()
    {
        MarkPart2();
        SelectPart(2);
        const QString path = Dir.filePath("Dropped.SYX");
        Window->PatchFiles().SavePatch(path);
        SelectPart(4);
        const auto offer = [&](const QString &file) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(file)});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QCoreApplication::sendEvent(Window.get(), &enter);
            if (!enter.isAccepted())
                return false;
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(Window.get(), &drop);
            return drop.isAccepted();
        };
        QVERIFY(!offer(Dir.filePath("notes.txt")));
        QVERIFY(PatchOf(Instrument(), 3) != PatchOf(Instrument(), 1));
        QVERIFY(offer(path));
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
        QCOMPARE(PatchOf(Instrument(), 3), PatchOf(Instrument(), 1));
    }

    // An instrument of another device ID answers nothing: the error names every block, and no
    // file is written.
    void SaveWithoutAnAnswer()
    {
        StopWindow();
        RecordErrors();
        Rig = std::make_unique<TVirtualRig>(instrument::DinByteTime, 18);
        OpenWindow(midi::MidiOut());
        const QString path = Dir.filePath("Silent.syx");
        session::RunBurstHandler([&] { Window->PatchFiles().SavePatch(path); });
        QCOMPARE(Errors.size(), std::size_t(1));
        QVERIFY2(QString::fromStdString(Errors.front())
                     .contains("Part 1 did not answer completely (missing: Common, Tone 1, Tone 2, "
                               "Tone 3, Tone 4)"),
                 Errors.front().c_str());
        QVERIFY(!QFile::exists(path));
    }

    // Without the part's whole patch kept, the file could not be undone: the user is asked
    // first, Annuler being the default; a file sent anyway makes no step.
    void AsksBeforeAFileThatCannotBeUndone_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("send") << "Send";
        QTest::newRow("cancel") << "Annuler";
    }
    void AsksBeforeAFileThatCannotBeUndone()
    {
        QFETCH(QString, button);
        StopWindow();
        RecordErrors();
        Rig = std::make_unique<TVirtualRig>(instrument::DinByteTime, 18);
        OpenWindow(midi::MidiOut());
        const QString path = Dir.filePath("Level.syx");
        WriteRaw(path, QByteArray("\xF0\x41\x10\x00\x0B\x12\x02\x00\x10\x65\x01\x08\xF7", 13));
        QString asked;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            for (QWidget *top : QApplication::topLevelWidgets())
                if (auto *box = qobject_cast<QMessageBox *>(top); box && box->isVisible()) {
                    asked = box->text() + " / " + box->defaultButton()->text();
                    for (QAbstractButton *choice : box->buttons())
                        if (choice->text() == button)
                            choice->click();
                }
        });
        answer.start(20);
        const QStringList sent = SentBy(
            [&] { session::RunBurstHandler([&] { Window->PatchFiles().OpenPatch(path); }); });
        QCOMPARE(asked,
                 QString("Part 1 did not answer completely: the file can be sent, but not "
                         "undone. Send it anyway? / Annuler"));
        QCOMPARE(sent.filter("02 00 10 65 01").size(), button == "Send" ? 1 : 0);
        QCOMPARE(Undo->PartStack(0).count(), 0);
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
    }

    // A dump with the patches of parts 2, 4 and 6, part 4's last block cut off: the user picks
    // the one for the selected part, part 4 listed but not choosable; Annuler sends nothing.
    void OpensThePartPickedFromADump_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("OK") << "OK";
        QTest::newRow("Annuler") << "Annuler";
    }
    void OpensThePartPickedFromADump()
    {
        QFETCH(QString, button);
        QByteArray dump;
        for (std::uint8_t part : {1, 3, 5}) {
            Name(part, std::array {"Moon Synth  ", "Glass Keys  ", "Deep Bass   "}[part / 2]);
            SelectPart(part + 1);
            Window->PatchFiles().SavePatch(Dir.filePath("Part.syx"));
            const QByteArray saved = ReadRaw(Dir.filePath("Part.syx"));
            dump += part == 3 ? saved.left(saved.lastIndexOf('\xF0')) : saved;
        }
        WriteRaw(Dir.filePath("Dump.syx"), dump);
        SelectPart(1);
        const auto before = PatchOf(Instrument(), 0);
        QStringList listed;
        const std::size_t logged = Instrument().Log().size();
        Answering("FormPickPart", button, [&](QWidget &form) {
            auto *list = form.findChild<QListWidget *>("ListPatchParts");
            for (int row = 0; row < list->count(); ++row)
                listed << list->item(row)->text()
                        + (list->item(row)->flags() & Qt::ItemIsEnabled ? "" : " / disabled");
            list->setCurrentRow(2);
        });
        session::RunBurstHandler([&] { Window->PatchFiles().OpenPatch(Dir.filePath("Dump.syx")); });
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
        QCOMPARE(listed,
                 (QStringList {"Part 2: Moon Synth",
                               "Part 4: Glass Keys (incomplete: Tone 4) / "
                               "disabled",
                               "Part 6: Deep Bass"}));
        QCOMPARE(PatchOf(Instrument(), 0), button == "OK" ? PatchOf(Instrument(), 5) : before);
        if (button == "Annuler")
            QCOMPARE(Instrument().Log().size(), logged);
        else
            QCOMPARE(Report(),
                     QString("Dump.syx, part 6 of the file (Deep Bass): 9 messages sent "
                             "to part 1, 9 other messages skipped"));
    }

    // The name a part answer brings is shown, sending nothing; a typed one goes to the part's
    // temporary patch on Enter or when the box is left, as one undo step each, and leaves the
    // patch list and the settings file alone; Save Patch offers it as the file's name.
    void ShowsSendsAndUndoesTheName()
    {
        auto *box = Find<QLineEdit>("EditPatchName");
        Name(2, "Moon/Synth  ");
        const QStringList showing = SentBy([&] { SelectPart(3); });
        QCOMPARE(box->text(), QString("Moon/Synth"));
        QCOMPARE(showing.filter("0B 12 02 02 00"), QStringList {}); // the tones' echo goes out
        QString offered;
        Answering("", "", [&](QWidget &dialog) {
            offered = QFileInfo(qobject_cast<QFileDialog *>(&dialog)->selectedFiles().value(0))
                          .fileName();
            qobject_cast<QDialog *>(&dialog)->reject();
        });
        Window->PatchFiles().SavePatchClick();
        QCOMPARE(offered, QString("Moon_Synth.syx"));

        // Focus comes and goes only in a window that is active.
        Window->show();
        QVERIFY(QTest::qWaitForWindowActive(Window.get()));
        auto *list = Find<QComboBox>("LBPatch");
        const QString listed = list->currentText();
        // One key for each character, those beyond ASCII included; only 32..125 are taken.
        const auto type = [box](const QString &text) {
            box->setFocus();
            box->selectAll();
            for (const QChar c : text)
                QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), {});
            return box->text();
        };
        QCOMPARE(type("Caf~\u00e9 Bar {} Synth"), QString("Caf Bar {} S"));
        QCOMPARE(SentBy([&] { QTest::keyClick(box, Qt::Key_Return); }),
                 QStringList {"F0 41 10 00 0B 12 02 02 00 00 43 61 66 20 42 61 72 20 7B 7D 20 53"});
        type("Star");
        QCOMPARE(SentBy([&] { box->clearFocus(); }).size(), 1);
        QCOMPARE(SentBy([&] { box->clearFocus(); }).size(), 0);
        QCOMPARE(list->currentText(), listed);
        QVERIFY(!QFile::exists("Ombrix.INI"));

        auto *undo = Find<QAction>("Undo");
        QCOMPARE(undo->text(), QString("Undo Patch Name"));
        undo->trigger();
        undo->trigger();
        const auto name = Instrument().Read({0x02, 0x02, 0x00, 0x00}, 12);
        QCOMPARE(std::string(name.begin(), name.end()), std::string("Moon/Synth  "));
        QCOMPARE(box->text(), QString("Moon/Synth"));
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
    }

    void RefusesWhatItCannotUse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        QTest::newRow("empty") << QByteArray() << "at byte 0, no patch data";
        QTest::newRow("another maker") << QByteArray("\xF0\x43\x10\x00\xF7", 5) << "no patch data";
        QTest::newRow("bad checksum")
            << QByteArray("\xF0\x41\x10\x00\x0B\x12\x02\x00\x10\x65\x01\x00\xF7", 13)
            << "at byte 0, bad checksum";
        QTest::newRow("random") << QByteArray("\x01\x02\x03", 3) << "byte 01 outside";
    }
    void RefusesWhatItCannotUse()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        const QString path = Dir.filePath("bad.syx");
        WriteRaw(path, bytes);
        const int level = Find<QAbstractSlider>("BarLevelTone1")->value();
        const std::size_t before = Instrument().Log().size();
        session::RunBurstHandler([&] { Window->PatchFiles().OpenPatch(path); });
        QCOMPARE(Instrument().Log().size(), before);
        QCOMPARE(Errors.size(), std::size_t(1));
        QVERIFY2(QString::fromStdString(Errors.front()).contains(why), Errors.front().c_str());
        QCOMPARE(Find<QAbstractSlider>("BarLevelTone1")->value(), level);
    }

    void SaveThatCannotBeWritten()
    {
        const QString path = Dir.filePath("no/such/dir/Patch.syx");
        session::RunBurstHandler([&] { Window->PatchFiles().SavePatch(path); });
        QCOMPARE(Errors.size(), std::size_t(1));
        QVERIFY2(QString::fromStdString(Errors.front()).contains("cannot be written"),
                 Errors.front().c_str());
        QVERIFY(!QFile::exists(path));
    }

private:
    QTemporaryDir Dir;
};

QTEST_MAIN(TPatchFilesTest)
#include "tst_editor_patchfiles.moc"
