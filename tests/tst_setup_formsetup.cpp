// The setup dialog driven as a user drives it: the device lists, typing the device ID, the
// arrows, OK and Annuler, and what each leaves in the settings file.

#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "controls/UpDown.h"
#include "midi/MidiDevices.h"
#include "session/ErrorPolicy.h"
#include "settings/ConfFile.h"
#include "settings/SettingsFile.h"
#include "setup/FormSetup.h"
#include "support/EditorTestSupport.h"
#include "support/ErrorRecorder.h"
#include "support/FakeMidiService.h"
#include "support/RawFile.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
const QString SettingsFile = QString::fromLatin1(settings::SettingsFileName);

// The file OK writes: three values, then the names (missing ones empty), all ended by CR LF.
QByteArray Expected(const QByteArray &in, const QByteArray &out, const QByteArray &id,
                    const std::vector<QByteArray> &names = {})
{
    QByteArray bytes = in + "\r\n" + out + "\r\n" + id + "\r\n";
    for (int k = 0; k < settings::PatchNameCount; ++k)
        bytes += (std::size_t(k) < names.size() ? names[std::size_t(k)] : QByteArray()) + "\r\n";
    return bytes;
}
} // namespace

class TestFormSetup : public QObject, public TErrorRecorder
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> Dir;
    std::shared_ptr<TFakeMidiService> Fake;
    std::unique_ptr<TFormSetup> Form;

    void Install(std::vector<std::string> in, std::vector<std::string> out)
    {
        midi::ShutdownMidi();
        Fake = std::make_shared<TFakeMidiService>(std::move(in), std::move(out));
        midi::SetMidiService(Fake);
    }

    template<class T>
    T *Control(const char *name) const
    {
        return FindControl<T>(*Form, QString::fromLatin1(name));
    }
    TDropDownList *ListIn() const { return Control<TDropDownList>("LBSetup_Midi_in"); }
    TDropDownList *ListOut() const { return Control<TDropDownList>("LBSetup_Midi_out"); }
    TEditBox *Edit() const { return Control<TEditBox>("EditSetup_Id"); }
    TUpDown *Arrows() const { return Control<TUpDown>("UpDown_Setup_Id"); }
    QPushButton *OK() const { return Control<QPushButton>("OKBtn"); }
    QPushButton *Cancel() const { return Control<QPushButton>("CancelBtn"); }

    bool Show()
    {
        Form->show();
        Form->activateWindow();
        const bool active = QTest::qWaitForWindowActive(Form.get());
        // Errors found while showing are reported once the dialog is on screen.
        QCoreApplication::processEvents();
        return active;
    }

    // Replaces the box's text with keystrokes; the edit is still being typed afterwards.
    void Type(const QString &text)
    {
        Edit()->setFocus();
        QTRY_VERIFY(Edit()->hasFocus());
        QTest::keyClick(Edit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(Edit(), Qt::Key_Backspace);
        QTest::keyClicks(Edit(), text);
    }
    // The focus leaves the box, as a click elsewhere or Tab does.
    void LeaveEdit()
    {
        QTest::keyClick(Edit(), Qt::Key_Tab);
        QTRY_VERIFY(!Edit()->hasFocus());
    }
    void ClickArrow(bool up)
    {
        TUpDown *arrows = Arrows();
        const QPoint where(arrows->width() / 2, up ? 2 : arrows->height() - 3);
        QTest::mouseClick(arrows, Qt::LeftButton, Qt::NoModifier, where);
    }

private slots:
    void init()
    {
        Dir = std::make_unique<QTemporaryDir>();
        QVERIFY(Dir->isValid());
        QVERIFY(QDir::setCurrent(Dir->path()));
        Errors.clear();
        RecordErrors();
        Install({"In zero", "In one"}, {"Out zero", "Out one", "Out two"});
        Form = std::make_unique<TFormSetup>();
    }
    void cleanup()
    {
        Form.reset();
        midi::ShutdownMidi();
        StopRecordingErrors();
        QDir::setCurrent(QDir::tempPath());
        Dir.reset();
    }

    void dialogLooksAsDesigned()
    {
        QCOMPARE(Form->objectName(), QStringLiteral("FormSetup"));
        QCOMPARE(Form->windowTitle(), QStringLiteral("Setup"));
        // Grown by the row of the search's result.
        QCOMPARE(Form->size(), QSize(360, 240));
        QCOMPARE(Form->minimumSize(), Form->maximumSize());
        QCOMPARE(OK()->text(), QStringLiteral("OK"));
        QVERIFY(OK()->isDefault());
        QCOMPARE(Cancel()->text(), QStringLiteral("Annuler"));
        QCOMPARE(Edit()->text(), QStringLiteral("17"));
        QCOMPARE(Arrows()->Min(), 17);
        QCOMPARE(Arrows()->Max(), 32);
        QCOMPARE(Arrows()->Position(), 17);
        const QString hint = QStringLiteral("See SYSTEM - MIDI PARM1/2 - DEVICE ID on your MC307");
        QCOMPARE(Edit()->toolTip(), hint);
        QCOMPARE(Arrows()->toolTip(), hint);
        QStringList captions;
        for (const QLabel *label : Form->findChildren<QLabel *>())
            if (label->objectName() != "LabelSetup_Detect")
                captions << label->text();
        captions.sort();
        QCOMPARE(captions, (QStringList {"Gap (ms)", "Id MC307", "Port MIDI In", "Port MIDI Out"}));

        // Everything but the buttons sits inside the bevel; the buttons sit below it.
        const QRect bevel = Control<QFrame>("Bevel1")->geometry();
        for (QWidget *inside :
             std::initializer_list<QWidget *> {ListIn(), ListOut(), Edit(), Arrows()})
            QVERIFY2(bevel.contains(inside->geometry()), qPrintable(inside->objectName()));
        for (QLabel *label : Form->findChildren<QLabel *>())
            if (label->objectName() != "LabelSetup_Detect")
                QVERIFY(bevel.contains(label->geometry()));
        QCOMPARE(OK()->geometry(), QRect(196, 180, 75, 25));
        QCOMPARE(Cancel()->geometry(), QRect(278, 180, 75, 25));
        auto *detect = Control<QPushButton>("DetectBtn");
        QCOMPARE(detect->text(), QStringLiteral("Detect"));
        QCOMPARE(detect->toolTip(), QStringLiteral("Find the MC-307 on the MIDI ports"));
        QVERIFY(!detect->geometry().intersects(OK()->geometry()));
        auto *result = Control<QLabel>("LabelSetup_Detect");
        QVERIFY(result->geometry().top() > OK()->geometry().bottom());
        QVERIFY(QRect(QPoint(), Form->size()).contains(result->geometry()));
        for (QPushButton *button : {OK(), Cancel(), detect}) {
            QVERIFY(button->geometry().top() > bevel.bottom());
            QVERIFY(QRect(QPoint(), Form->size()).contains(button->geometry()));
        }
    }

    void gapControlsSitBesideTheId()
    {
        TEditBox *gap = Control<TEditBox>("EditSetup_Gap");
        TUpDown *arrows = Control<TUpDown>("UpDown_Setup_Gap");
        const QString hint
            = QStringLiteral("Time between two data messages; the MC-307 needs at least 20 ms");
        QCOMPARE(gap->toolTip(), hint);
        QCOMPARE(arrows->toolTip(), hint);
        QCOMPARE(gap->text(), QStringLiteral("20"));
        QCOMPARE(arrows->Min(), 0);
        QCOMPARE(arrows->Max(), 100);
        // The controls that were there keep their places, and nothing overlaps.
        QCOMPARE(Edit()->geometry(), QRect(120, 116, 41, 22));
        QCOMPARE(Arrows()->geometry(), QRect(161, 116, 17, 22));
        QCOMPARE(OK()->geometry(), QRect(196, 180, 75, 25));
        const QRect bevel = Control<QFrame>("Bevel1")->geometry();
        const QList<QWidget *> controls = {Edit(),
                                           Arrows(),
                                           gap,
                                           arrows,
                                           Control<QLabel>("LabelSetup_Gap"),
                                           Control<QLabel>("LabelSetup_Id"),
                                           ListIn(),
                                           ListOut()};
        for (QWidget *control : controls) {
            QVERIFY2(bevel.contains(control->geometry()), qPrintable(control->objectName()));
            for (QWidget *other : controls)
                QVERIFY2(control == other || !control->geometry().intersects(other->geometry()),
                         qPrintable(control->objectName() + " " + other->objectName()));
        }
    }

    void typedGapIsClampedOnceFinished_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("in range") << "35"
                                  << "35";
        QTest::newRow("zero") << "0"
                              << "0";
        QTest::newRow("highest") << "100"
                                 << "100";
        QTest::newRow("above") << "150"
                               << "100";
        QTest::newRow("negative") << "-5"
                                  << "0";
        QTest::newRow("letters") << "abc"
                                 << "0";
        QTest::newRow("empty") << ""
                               << "0";
        QTest::newRow("hex is not decimal") << "$20"
                                            << "0";
    }
    void typedGapIsClampedOnceFinished()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QVERIFY(Show());
        TEditBox *gap = Control<TEditBox>("EditSetup_Gap");
        gap->setFocus();
        QTRY_VERIFY(gap->hasFocus());
        QTest::keyClick(gap, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(gap, Qt::Key_Backspace);
        QTest::keyClicks(gap, typed);
        QCOMPARE(gap->text(), typed);
        QTest::keyClick(gap, Qt::Key_Return);
        QCOMPARE(gap->text(), shown);
        QCOMPARE(Control<TUpDown>("UpDown_Setup_Gap")->Position(), shown.toInt());
        OK()->click();
        settings::TConfValues conf;
        QVERIFY(settings::ReadConfFile(settings::ConfFilePath(), conf).Error.empty());
        QCOMPARE(conf.GapMs, shown.toInt());
        // The first file keeps its format exactly.
        QCOMPARE(ReadRaw(SettingsFile), Expected("0", "0", "17"));
        QVERIFY(Errors.empty());
    }

    void savedGapIsShownAndAnnulerKeepsIt()
    {
        settings::WriteConfFile(settings::ConfFilePath(), settings::TConfValues {42});
        QVERIFY(Show());
        QCOMPARE(Control<TEditBox>("EditSetup_Gap")->text(), QStringLiteral("42"));
        QCOMPARE(Control<TUpDown>("UpDown_Setup_Gap")->Position(), 42);
        Control<TEditBox>("EditSetup_Gap")->setText(QStringLiteral("7"));
        Cancel()->click();
        settings::TConfValues conf;
        settings::ReadConfFile(settings::ConfFilePath(), conf);
        QCOMPARE(conf.GapMs, 42);
        QVERIFY(Errors.empty());
    }

    void unreadableConfGivesDefaultsAndOneError()
    {
        QVERIFY(QDir().mkdir(settings::ConfFilePath()));
        QVERIFY(Show());
        QCOMPARE(Control<TEditBox>("EditSetup_Gap")->text(), QStringLiteral("20"));
        QCOMPARE(Errors.size(), std::size_t(1));
        QVERIFY(QString::fromStdString(Errors.front()).contains("Ombrix.conf"));
    }

    void listsShowDevicesInServiceOrder()
    {
        Install({"Zeta", "Alpha", "Mid"}, {"Out B", "Out A"});
        QVERIFY(Show());
        QCOMPARE(ListIn()->count(), 3);
        QCOMPARE(ListIn()->itemText(0), QStringLiteral("Zeta"));
        QCOMPARE(ListIn()->itemText(1), QStringLiteral("Alpha"));
        QCOMPARE(ListIn()->itemText(2), QStringLiteral("Mid"));
        QCOMPARE(ListOut()->itemText(0), QStringLiteral("Out B"));
        QCOMPARE(ListIn()->ItemIndex(), 0);
        QCOMPARE(ListOut()->ItemIndex(), 0);
        QVERIFY(Errors.empty());
    }

    void noFileThenOkWritesDefaults()
    {
        QVERIFY(Show());
        QCOMPARE(Edit()->text(), QStringLiteral("17"));
        QTest::mouseClick(OK(), Qt::LeftButton);
        QCOMPARE(Form->result(), int(QDialog::Accepted));
        QVERIFY(!Form->isVisible());
        const QByteArray written = ReadRaw(SettingsFile);
        QCOMPARE(written, Expected("0", "0", "17"));
        QCOMPARE(written.count("\r\n"), 1059);
        QVERIFY(Errors.empty());
    }

    void typedIdIsClampedOnceFinished_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("position");
        QTest::newRow("40") << "40"
                            << "32" << 32;
        QTest::newRow("18") << "18"
                            << "18" << 18;
        QTest::newRow("32") << "32"
                            << "32" << 32;
        QTest::newRow("16") << "16"
                            << "16" << 17;
        QTest::newRow("5") << "5"
                           << "16" << 17;
        QTest::newRow("empty") << ""
                               << "16" << 17;
        QTest::newRow("letters") << "abc"
                                 << "16" << 17;
        QTest::newRow("minus") << "-20"
                               << "16" << 17;
        QTest::newRow("digits and letters") << "20x"
                                            << "16" << 17;
        QTest::newRow("leading blank") << " 25"
                                       << "25" << 25;
        // Decimal only: a hex form is not a number here.
        QTest::newRow("dollar hex") << "$20"
                                    << "16" << 17;
        QTest::newRow("0x hex") << "0x11"
                                << "16" << 17;
    }
    void typedIdIsClampedOnceFinished()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, position);
        QVERIFY(Show());
        Type(typed);
        // Nothing is clamped while the number is being typed.
        QCOMPARE(Edit()->text(), typed);
        LeaveEdit();
        QCOMPARE(Edit()->text(), shown);
        QCOMPARE(Arrows()->Position(), position);
    }

    // Typing 1 then 8 must not pass through 16.
    void everyIdCanBeTyped()
    {
        QVERIFY(Show());
        for (int id = 16; id <= 32; ++id) {
            Type(QString::number(id));
            LeaveEdit();
            QCOMPARE(Edit()->text(), QString::number(id));
        }
    }

    void enterFinishesTheEditAndOkWritesIt()
    {
        QVERIFY(Show());
        Type(QStringLiteral("40"));
        QTest::keyClick(Edit(), Qt::Key_Return);
        QCOMPARE(Edit()->text(), QStringLiteral("32"));
        // Enter is also the default button's key.
        QCOMPARE(Form->result(), int(QDialog::Accepted));
        QCOMPARE(ReadRaw(SettingsFile), Expected("0", "0", "32"));
    }

    void okFinishesAPendingEdit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("line3");
        QTest::newRow("18") << "18" << QByteArray("18");
        QTest::newRow("40") << "40" << QByteArray("32");
        QTest::newRow("letters") << "zz" << QByteArray("16");
        QTest::newRow("empty") << "" << QByteArray("16");
    }
    void okFinishesAPendingEdit()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, line3);
        QVERIFY(Show());
        Type(typed);
        QVERIFY(Edit()->HasPendingEdit());
        // A click straight from the box to OK; the click itself runs the button.
        OK()->click();
        QCOMPARE(ReadRaw(SettingsFile), Expected("0", "0", line3));
    }

    void arrowsStepWithinTheirRange()
    {
        QVERIFY(Show());
        ClickArrow(false);
        QCOMPARE(Edit()->text(), QStringLiteral("17"));
        ClickArrow(true);
        QCOMPARE(Edit()->text(), QStringLiteral("18"));
        QCOMPARE(Arrows()->Position(), 18);
        for (int i = 0; i < 20; ++i)
            ClickArrow(true);
        QCOMPARE(Edit()->text(), QStringLiteral("32"));
        QCOMPARE(Arrows()->Position(), 32);
        ClickArrow(false);
        QCOMPARE(Edit()->text(), QStringLiteral("31"));

        // The arrows go on from a number still being typed.
        Type(QStringLiteral("20"));
        ClickArrow(true);
        QCOMPARE(Edit()->text(), QStringLiteral("21"));
        QVERIFY(!Edit()->HasPendingEdit());
        // From the lowest typed ID the arrows climb into their own range.
        Type(QStringLiteral("16"));
        LeaveEdit();
        ClickArrow(true);
        QCOMPARE(Edit()->text(), QStringLiteral("17"));
        Type(QStringLiteral("16"));
        LeaveEdit();
        ClickArrow(false);
        QCOMPARE(Edit()->text(), QStringLiteral("17"));

        OK()->click();
        QCOMPARE(ReadRaw(SettingsFile), Expected("0", "0", "17"));
    }

    void savedSettingsAreShown_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("in");
        QTest::addColumn<int>("out");
        QTest::addColumn<QString>("id");
        QTest::newRow("plain") << QByteArray("1\r\n2\r\n20\r\n") << 1 << 2 << "20";
        QTest::newRow("LF") << QByteArray("1\n2\n20\n") << 1 << 2 << "20";
        QTest::newRow("input index = count") << QByteArray("2\r\n1\r\n17\r\n") << 0 << 1 << "17";
        QTest::newRow("output index = count") << QByteArray("1\r\n3\r\n17\r\n") << 1 << 0 << "17";
        QTest::newRow("far beyond") << QByteArray("99\r\n99\r\n17\r\n") << 0 << 0 << "17";
        QTest::newRow("nothing selected") << QByteArray("-1\r\n-1\r\n17\r\n") << -1 << -1 << "17";
        QTest::newRow("ID above range") << QByteArray("0\r\n0\r\n40\r\n") << 0 << 0 << "32";
        QTest::newRow("ID below range") << QByteArray("0\r\n0\r\n5\r\n") << 0 << 0 << "16";
        QTest::newRow("ID 16 kept") << QByteArray("0\r\n0\r\n16\r\n") << 0 << 0 << "16";
    }
    void savedSettingsAreShown()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, in);
        QFETCH(int, out);
        QFETCH(QString, id);
        WriteRaw(SettingsFile, file);
        QVERIFY(Show());
        QCOMPARE(ListIn()->ItemIndex(), in);
        QCOMPARE(ListOut()->ItemIndex(), out);
        QCOMPARE(Edit()->text(), id);
        QVERIFY(Errors.empty());
        OK()->click();
        QCOMPARE(ReadRaw(SettingsFile),
                 Expected(QByteArray::number(in), QByteArray::number(out), id.toLatin1()));
    }

    void userChoicesAreWritten()
    {
        QVERIFY(Show());
        ListIn()->setCurrentIndex(1);
        ListOut()->setCurrentIndex(2);
        Type(QStringLiteral("25"));
        OK()->click();
        QCOMPARE(ReadRaw(SettingsFile), Expected("1", "2", "25"));
    }

    void annulerWritesNothing()
    {
        QVERIFY(Show());
        Type(QStringLiteral("25"));
        QTest::mouseClick(Cancel(), Qt::LeftButton);
        QCOMPARE(Form->result(), int(QDialog::Rejected));
        QVERIFY(!Form->isVisible());
        QVERIFY(!QFileInfo::exists(SettingsFile));

        const QByteArray old = "1\r\n1\r\n19\r\nKeep me\r\n";
        WriteRaw(SettingsFile, old);
        QVERIFY(Show());
        QCOMPARE(Edit()->text(), QStringLiteral("19"));
        ListIn()->setCurrentIndex(0);
        QTest::keyClick(Form.get(), Qt::Key_Escape);
        QCOMPARE(Form->result(), int(QDialog::Rejected));
        QCOMPARE(ReadRaw(SettingsFile), old);
    }

    void namesSurviveAnOkRoundTrip()
    {
        std::vector<QByteArray> names = {"  Soft  Pad  ",       "Caf\xE9 \x80uro",
                                         "\xC3\xA9t\xC3\xA9",   "lone\rCR",
                                         QByteArray("a\0b", 3), "",
                                         "ends in CR\r",        "\t"};
        names.resize(settings::PatchNameCount, "Same name");
        names.back() = "Last of group G";
        const QByteArray original = Expected("1", "0", "21", names);
        WriteRaw(SettingsFile, original);
        QVERIFY(Show());
        OK()->click();
        QCOMPARE(ReadRaw(SettingsFile), original);

        // A file from a system with LF line ends comes back with CR LF and the same names. (There
        // a CR before the LF would end the line as CR LF does, so no name ends in CR.)
        names[6] = "ends in LF";
        QByteArray lf = Expected("1", "0", "21", names);
        lf.replace("\r\n", "\n");
        WriteRaw(SettingsFile, lf);
        QVERIFY(Show());
        OK()->click();
        QCOMPARE(ReadRaw(SettingsFile), Expected("1", "0", "21", names));
    }

    // The dialog keeps its names between showings; each showing rereads the file.
    void eachShowingRereadsTheFile()
    {
        WriteRaw(SettingsFile, Expected("1", "1", "20", {"First"}));
        QVERIFY(Show());
        QCOMPARE(Edit()->text(), QStringLiteral("20"));
        Cancel()->click();
        WriteRaw(SettingsFile, Expected("0", "2", "24", {"Second"}));
        QVERIFY(Show());
        QCOMPARE(ListOut()->ItemIndex(), 2);
        QCOMPARE(Edit()->text(), QStringLiteral("24"));
        Cancel()->click();
        // Gone now: the dialog starts from its defaults and still has the names it read.
        QVERIFY(QFile::remove(SettingsFile));
        QVERIFY(Show());
        QCOMPARE(ListOut()->ItemIndex(), 0);
        QCOMPARE(Edit()->text(), QStringLiteral("17"));
        OK()->click();
        QCOMPARE(ReadRaw(SettingsFile), Expected("0", "0", "17", {"Second"}));
    }

    // A damaged number line is reported; OK must not then write empty names over the user's.
    void badNumberKeepsTheNames_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("line 1") << QByteArray("abc\r\n1\r\n20\r\n") << 1
                                << QByteArray("0\r\n0\r\n17");
        QTest::newRow("line 2") << QByteArray("1\r\nx\r\n20\r\n") << 2
                                << QByteArray("1\r\n0\r\n17");
        QTest::newRow("line 3") << QByteArray("1\r\n2\r\n2O\r\n") << 3
                                << QByteArray("1\r\n2\r\n17");
    }
    void badNumberKeepsTheNames()
    {
        QFETCH(QByteArray, head);
        QFETCH(int, line);
        QFETCH(QByteArray, written);
        std::vector<QByteArray> names(settings::PatchNameCount);
        for (int k = 0; k < settings::PatchNameCount; ++k)
            names[std::size_t(k)] = "Patch " + QByteArray::number(k);
        QByteArray file = head;
        for (const QByteArray &name : names)
            file += name + "\r\n";
        WriteRaw(SettingsFile, file);
        QVERIFY(Show());
        QCOMPARE(Errors.size(), std::size_t(1));
        const QString error = QString::fromStdString(Errors[0]);
        QVERIFY2(error.contains(QStringLiteral("Ombrix.INI")), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("line %1:").arg(line)), qPrintable(error));
        OK()->click();
        QByteArray expected = written + "\r\n";
        for (const QByteArray &name : names)
            expected += name + "\r\n";
        QCOMPARE(ReadRaw(SettingsFile), expected);
    }

    void failedWriteKeepsFileAndDialog()
    {
        std::vector<QByteArray> names(settings::PatchNameCount, QByteArray(200, 'n'));
        const QByteArray old = Expected("1", "1", "20", names);
        WriteRaw(SettingsFile, old);
        QVERIFY(Show());
        Type(QStringLiteral("30"));
        {
            // The disk is full once 16 KiB are written.
            TFileSizeLimit limit(16 * 1024);
            QTest::mouseClick(OK(), Qt::LeftButton);
        }
        QCOMPARE(Errors.size(), std::size_t(1));
        QVERIFY2(QString::fromStdString(Errors[0]).contains(QStringLiteral("Ombrix.INI")),
                 Errors[0].c_str());
        QCOMPARE(ReadRaw(SettingsFile), old);
        QVERIFY(Form->isVisible());
        QCOMPARE(Edit()->text(), QStringLiteral("30"));
        // Once there is room again, OK goes through.
        QTest::mouseClick(OK(), Qt::LeftButton);
        QVERIFY(!Form->isVisible());
        QCOMPARE(ReadRaw(SettingsFile), Expected("1", "1", "30", names));
    }

    void settingsPathIsADirectory()
    {
        QVERIFY(QDir().mkdir(SettingsFile));
        QVERIFY(Show());
        QCOMPARE(Errors.size(), std::size_t(1));
        QVERIFY(QString::fromStdString(Errors[0]).contains(QStringLiteral("Ombrix.INI")));
        OK()->click();
        QCOMPARE(Errors.size(), std::size_t(2));
        QVERIFY2(QString::fromStdString(Errors[1]).contains(QStringLiteral("cannot be written")),
                 Errors[1].c_str());
        QVERIFY(Form->isVisible());
        QVERIFY(QFileInfo(SettingsFile).isDir());
        Cancel()->click();
        QVERIFY(!Form->isVisible());
    }

    void serviceFailureLeavesListsEmpty()
    {
        Fake->Fail("midiInGetDevCapsA", 1);
        QVERIFY(Show());
        QCOMPARE(ListIn()->count(), 0);
        QCOMPARE(ListOut()->count(), 3);
        QCOMPARE(Errors.size(), std::size_t(1));
        QCOMPARE(Errors[0], std::string("Unspecified MIDI error."));
        OK()->click();
        QCOMPARE(ReadRaw(SettingsFile), Expected("-1", "0", "17"));
    }

    void noDevicesAtAll()
    {
        Install({}, {});
        QVERIFY(Show());
        QCOMPARE(ListIn()->count(), 0);
        QCOMPARE(ListIn()->ItemIndex(), -1);
        OK()->click();
        QCOMPARE(ReadRaw(SettingsFile), Expected("-1", "-1", "17"));
    }
};

QTEST_MAIN(TestFormSetup)
#include "tst_setup_formsetup.moc"
