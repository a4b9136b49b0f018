// The main window against the virtual instrument: start-up, part and patch selection, and the
// messages of the tone controls.

#include "controls/DropDownList.h"
#include "controls/EnvelopeImage.h"
#include "controls/RadioGroup.h"
#include "controls/ReceiveLog.h"
#include "controls/UpDown.h"
#include "editor/Ombrix.h"
#include "editor/PatchFileActions.h"
#include "editor/ToneColumn.h"
#include "midi/MidiDevices.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "support/EditorTestSupport.h"
#include "support/MainWindowFixture.h"

#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr const char *Part1PatternRequest = "F0 41 10 00 0B 11 01 00 10 00 00 00 00 1A 55 F7";
constexpr const char *Part1PatchRequest = "F0 41 10 00 0B 11 02 00 00 00 00 00 17 01 66 F7";

void WriteSettings(int in, int out, int id, const QList<QByteArray> &names = {})
{
    QFile file(QStringLiteral("Ombrix.INI"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::number(in) + "\r\n" + QByteArray::number(out) + "\r\n"
               + QByteArray::number(id) + "\r\n");
    for (int i = 0; i < 1056; ++i)
        file.write((i < names.size() ? names[i] : QByteArray()) + "\r\n");
}
} // namespace

// A dialog that only counts how often the menu shows it.
class TRecordingDialog : public QDialog
{
public:
    int exec() override
    {
        ++Shown;
        return Rejected;
    }
    int Shown = 0;
};

// Tells, when it is destroyed, whether a widget it watches still exists.
class TTeardownProbe : public QWidget
{
public:
    TTeardownProbe(QWidget *parent, QWidget *watched)
        : QWidget(parent)
        , Watched(watched)
    { }
    ~TTeardownProbe() override
    {
        if (Outlived)
            *Outlived = !Watched.isNull();
    }
    QPointer<QWidget> Watched;
    bool *Outlived = nullptr;
};

class TestMainWindow : public TMainWindowFixture
{
    Q_OBJECT

    void ShowWindow()
    {
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
    }

    void SelectPart(int part)
    {
        Find<TRadioGroup>("RadioGroupSelectPart")->Item(part - 1)->click();
    }

private slots:
    void init() { StartWindow(); }
    void cleanup() { StopWindow(); }

    // First start without a settings file: devices 0 open, empty names, part 1 requested and
    // shown before the window appears.
    void startsOnPartOne()
    {
        QVERIFY(Errors.empty());
        QCOMPARE(Window->windowTitle(),
                 QString("Ombrix - Patch Editor for Roland Groovebox MC307"));
        QCOMPARE(Window->size(), QSize(1020, 750));
        QVERIFY(!Window->isVisible());
        const QStringList log = LogSince(Instrument());
        QCOMPARE(log.value(0), QString(Part1PatternRequest));
        QVERIFY(log.contains(Part1PatchRequest));
        QCOMPARE(Window->Session().PartText(), std::string("00"));
        QCOMPARE(Window->Session().DataSetHeader(), std::string("F0 41 10 00 0B 12 "));
        QCOMPARE(Find<TReceiveLog>("Edit1")->Text(),
                 QString(" Patch Common Tone1 Tone2 Tone3 Tone4"));
        auto *patch = Find<TDropDownList>("LBPatch");
        QVERIFY(patch->count() == 128 || patch->count() == 32);
        QCOMPARE(patch->itemText(0), QString());
        QVERIFY(midi::MidiIn().Handle(0) != 0);
        QVERIFY(midi::MidiOut().Handle(0) != 0);
    }

    void layout()
    {
        QCOMPARE(Find<TDropDownList>("LBPatch")->geometry(), QRect(104, 12, 145, 21));
        QCOMPARE(Find<TDropDownList>("LBPatchGroup")->geometry(), QRect(252, 12, 93, 21));
        QCOMPARE(Find<TDropDownList>("LBPatchGroup")->count(), 9);
        QCOMPARE(Find<TDropDownList>("LBPatchGroup")->itemText(8), QString("Preset G"));
        QCOMPARE(Find<TRadioGroup>("RadioGroupSelectPart")->geometry(), QRect(351, 7, 222, 30));
        QCOMPARE(Find<TRadioGroup>("RadioGroupSelectPart")->title(), QString("Select a Part"));
        QCOMPARE(Find<TReceiveLog>("Edit1")->geometry(), QRect(586, 11, 215, 21));
        // The tone controls lie in their columns; their places are the client area's.
        auto *client = Find<QWidget>("ClientArea");
        const auto place = [&](const QString &name) {
            const QWidget *control = Find<QWidget>(name);
            return QRect(control->mapTo(client, QPoint(0, 0)), control->size());
        };
        for (int tone = 1; tone <= 4; ++tone) {
            const int dx = 254 * (tone - 1);
            QCOMPARE(place(QString("BevelTone%1").arg(tone)), QRect(1 + dx, 44, 249, 637));
            QCOMPARE(place(QString("BarLevelTone%1").arg(tone)), QRect(124 + dx, 57, 125, 9));
            QCOMPARE(place(QString("BarCutOffTone%1").arg(tone)), QRect(204 + dx, 172, 17, 125));
            QCOMPARE(place(QString("ImageEnvFilterTone%1").arg(tone)), QRect(dx, 572, 250, 56));
            QCOMPARE(Find<TUpDown>(QString("UpDownFxmDepthTone%1").arg(tone))->width(),
                     tone == 4 ? 13 : 15);
            QCOMPARE(Find<QCheckBox>(QString("CBSwitchTone%1").arg(tone))->text(),
                     QString("TONE %1").arg(tone));
        }
        auto *wave = Find<TDropDownList>("LBWaveTone1");
        QCOMPARE(wave->count(), 746);
        QCOMPARE(wave->itemText(0), QString::fromUtf8("A\u2011TB Dst Saw"));
        QCOMPARE(wave->itemText(254), QString("___________"));
        QCOMPARE(wave->itemText(255), QString::fromUtf8("B\u2011SHKR+ MENU"));
        QCOMPARE(wave->itemText(745), QString::fromUtf8("C\u2011Hall Kick 2"));
        QVERIFY(Window->findChild<QWidget *>("LabelPub")->toolTip().isEmpty());
    }

    // The example of the road of one change.
    void toneLevelOfPartFour()
    {
        SelectPart(4);
        QCOMPARE(Window->Session().PartText(), std::string("03"));
        const std::size_t before = Instrument().Log().size();
        Find<QScrollBar>("BarLevelTone2")->setValue(100);
        QCOMPARE(LogSince(Instrument(), before),
                 QStringList {"F0 41 10 00 0B 12 02 03 12 65 64 20 F7"});
        QCOMPARE(Find<QScrollBar>("BarLevelTone2")->toolTip(), QString("100"));
        QCOMPARE(Instrument().ReadByte({0x02, 0x03, 0x12, 0x65}), 100);
    }

    void partSevenRequests()
    {
        const std::size_t before = Instrument().Log().size();
        SelectPart(7);
        const QStringList log = LogSince(Instrument(), before);
        QVERIFY(log.value(0).startsWith("F0 41 10 00 0B 11 01 00 16 00 00 00 00 1A"));
        QVERIFY(log.filter("F0 41 10 00 0B 11 02 06 00 00 00 00 17 01").size() == 1);
        const QStringList sent = SentBy([&] { Find<QScrollBar>("BarFineTuneTone3")->setValue(7); });
        QCOMPARE(sent, QStringList {"F0 41 10 00 0B 12 02 06 14 3E 39"});
    }

    // Each wait of a part request, and of a patch kept for a file, ends with its last block: with
    // waits that would otherwise last an hour, the part is shown and its patch saved all the same.
    void waitsEndOnTheirLastBlock()
    {
        Window->Session().SetWaitBound(3600 * 1000);
        SelectPart(3);
        QVERIFY(Find<TReceiveLog>("Edit1")->Text().endsWith(" Tone1 Tone2 Tone3 Tone4"));
        QCOMPARE(Find<QScrollBar>("BarLevelTone4")->value(),
                 int(Instrument().ReadByte({0x02, 0x02, 0x16, 0x65})));
        QVERIFY(!session::TRequestProcedure::Instance().Running());
        const QTemporaryDir dir;
        Window->PatchFiles().SavePatch(dir.filePath("Part3.syx"));
        QVERIFY(QFile::exists(dir.filePath("Part3.syx")));
    }

    void clickingTheSelectedPartSendsNothing()
    {
        const std::size_t before = Instrument().Log().size();
        SelectPart(1);
        QTest::qWait(50);
        QCOMPARE(Instrument().Log().size(), before);
    }

    void fineTuneEnds()
    {
        auto *bar = Find<QScrollBar>("BarFineTuneTone3");
        QCOMPARE(SentBy([&] { bar->setValue(-50); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 14 3E 00"});
        QCOMPARE(SentBy([&] { bar->setValue(50); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 14 3E 64"});
        QCOMPARE(SentBy([&] { bar->setValue(60); }), QStringList {}); // clamped: no change
    }

    void waveRows_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("number");
        QTest::newRow("first") << 0 << "01"
                               << "00 00";
        QTest::newRow("bank A last") << 253 << "01"
                                     << "0F 0D";
        QTest::newRow("separator 254") << 254 << "01"
                                       << "0F 0E";
        QTest::newRow("bank B first") << 255 << "02"
                                      << "00 00";
        QTest::newRow("separator 506") << 506 << "02"
                                       << "0F 0B";
        QTest::newRow("separator 509") << 509 << "02"
                                       << "0F 0E";
        QTest::newRow("bank C first") << 510 << "03"
                                      << "00 00";
        QTest::newRow("last") << 745 << "03"
                              << "0E 0B";
    }
    void waveRows()
    {
        QFETCH(int, row);
        QFETCH(QString, group);
        QFETCH(QString, number);
        auto *wave = Find<TDropDownList>("LBWaveTone1");
        if (wave->currentIndex() == row)
            wave->SetItemIndex(row == 0 ? 1 : 0);
        QCOMPARE(SentBy([&] { UserPick(wave, row); }),
                 (QStringList {"F0 41 10 00 0B 12 02 00 10 02 " + group,
                               "F0 41 10 00 0B 12 02 00 10 03 " + number}));
    }

    // Rows set by the program, and a pick of the row already selected, run no handler.
    void listsChangedByTheProgramSendNothing()
    {
        auto *wave = Find<TDropDownList>("LBWaveTone2");
        QCOMPARE(SentBy([&] { wave->SetItemIndex(12); }), QStringList {});
        QTest::qWait(10);
        QCOMPARE(SentBy([&] { UserPick(wave, 12); }), QStringList {});
        auto *filter = Find<TDropDownList>("LBFilterTone2");
        QCOMPARE(SentBy([&] { filter->setCurrentIndex(filter->currentIndex() == 3 ? 2 : 3); }),
                 QStringList {});
    }

    void filterOffDisablesBars()
    {
        auto *filter = Find<TDropDownList>("LBFilterTone1");
        filter->SetItemIndex(2);
        QTest::qWait(10);
        QCOMPARE(SentBy([&] { UserPick(filter, 0); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 10 50 00"});
        QVERIFY(!Find<QSlider>("BarCutOffTone1")->isEnabled());
        QVERIFY(!Find<QSlider>("BarResoTone1")->isEnabled());
        QCOMPARE(SentBy([&] { UserPick(filter, 1); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 10 50 01"});
        QVERIFY(Find<QSlider>("BarCutOffTone1")->isEnabled());
        QVERIFY(Find<QSlider>("BarResoTone1")->isEnabled());
    }

    void cutoffIsInverted()
    {
        auto *cutoff = Find<QSlider>("BarCutOffTone4");
        cutoff->setValue(cutoff->value() == 0 ? 1 : cutoff->value());
        QCOMPARE(SentBy([&] { cutoff->setValue(0); }).value(0),
                 QString("F0 41 10 00 0B 12 02 00 16 51 7F"));
        QCOMPARE(SentBy([&] { cutoff->setValue(127); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 16 51 00"});
        QCOMPARE(cutoff->toolTip(), QString("Set the filter Cut Off")); // track bars keep hints
    }

    void fxmSwitchEnablesItsGroup()
    {
        auto *box = Find<QCheckBox>("CBFxmSwitchTone2");
        box->setChecked(true);
        const QStringList sent = SentBy([&] { box->click(); });
        QCOMPARE(sent, QStringList {"F0 41 10 00 0B 12 02 00 12 06 00"});
        QVERIFY(!Find<TRadioGroup>("RadioGroupFxmTone2")->isEnabled());
        QVERIFY(!Find<TUpDown>("UpDownFxmDepthTone2")->isEnabled());
        QVERIFY(!Find<QLineEdit>("EditFxmDepthTone2")->isEnabled());
        QCOMPARE(SentBy([&] { box->click(); }), QStringList {"F0 41 10 00 0B 12 02 00 12 06 01"});
        QVERIFY(Find<TRadioGroup>("RadioGroupFxmTone2")->isEnabled());
    }

    void fxmDepthArrows()
    {
        auto *updown = Find<TUpDown>("UpDownFxmDepthTone1");
        auto *edit = Find<QLineEdit>("EditFxmDepthTone1");
        edit->setText("16");
        QCOMPARE(SentBy([&] { updown->Step(+1); }), QStringList {}); // no wrap-around
        QCOMPARE(SentBy([&] { updown->Step(-1); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 10 08 0E"});
        QCOMPARE(edit->text(), QString("15"));
        edit->setText("1");
        QCOMPARE(SentBy([&] { updown->Step(-1); }), QStringList {});
        // A real click on the upper half.
        QCOMPARE(SentBy([&] {
                     QTest::mousePress(updown, Qt::LeftButton, {}, QPoint(5, 3));
                     QTest::mouseRelease(updown, Qt::LeftButton, {}, QPoint(5, 3));
                 }),
                 QStringList {"F0 41 10 00 0B 12 02 00 10 08 01"});
    }

    void randomPan()
    {
        auto *box = Find<QCheckBox>("CBRandomPanTone3");
        box->setChecked(false);
        const QStringList on = SentBy([&] { box->click(); });
        QCOMPARE(on, QStringList {"F0 41 10 00 0B 12 02 00 14 79 3F"});
        QVERIFY(!Find<QScrollBar>("BarPanTone3")->isEnabled());
        QCOMPARE(SentBy([&] { box->click(); }), QStringList {"F0 41 10 00 0B 12 02 00 14 79 00"});
        QVERIFY(Find<QScrollBar>("BarPanTone3")->isEnabled());
    }

    void velocityBarsHalve()
    {
        auto *bar = Find<QScrollBar>("BarVeloSensAmpTone1");
        QCOMPARE(bar->singleStep(), 2);
        QCOMPARE(bar->toolTip(),
                 QString("Negative value will decrease the volume while the velocity increase."));
        QCOMPARE(SentBy([&] { bar->setValue(-99); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 10 6A 00"});
        QCOMPARE(bar->toolTip(), QString("-99"));
        QCOMPARE(SentBy([&] { bar->setValue(-97); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 10 6A 01"});
        QCOMPARE(SentBy([&] { bar->setValue(150); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 10 6A 7D"});
        QCOMPARE(SentBy([&] { Find<QScrollBar>("BarVeloSensFilterTone4")->setValue(3); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 16 57 33"});
        QCOMPARE(SentBy([&] { Find<QScrollBar>("BarVeloSensPitchTone2")->setValue(-100); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 12 42 00"});
    }

    void signedBarsUseTheirBias()
    {
        auto *depth = Find<QScrollBar>("BarFilterEnvDepthTone1");
        depth->setValue(5);
        QCOMPARE(SentBy([&] { depth->setValue(0); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 10 55 3F"});
        QCOMPARE(SentBy([&] { depth->setValue(-63); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 10 55 00"});
        QCOMPARE(SentBy([&] { depth->setValue(63); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 10 55 7E"});
        QCOMPARE(SentBy([&] { Find<QScrollBar>("BarTuneTone1")->setValue(-48); }).value(0),
                 QString("F0 41 10 00 0B 12 02 00 10 3D 00"));
        QCOMPARE(SentBy([&] { Find<QScrollBar>("BarPitchEnvDepthTone1")->setValue(12); }).value(0),
                 QString("F0 41 10 00 0B 12 02 00 10 41 18"));
        QCOMPARE(SentBy([&] { Find<QScrollBar>("BarAlternatePanTone1")->setValue(-64); }).value(0),
                 QString("F0 41 10 00 0B 12 02 00 10 7A 00"));
    }

    void radioGroups()
    {
        auto *gain = Find<TRadioGroup>("RadioGroupGainTone2");
        const int other = gain->ItemIndex() == 3 ? 0 : 3;
        QCOMPARE(SentBy([&] { gain->Item(other)->click(); }),
                 QStringList {QString("F0 41 10 00 0B 12 02 00 12 05 0%1").arg(other)});
        QCOMPARE(SentBy([&] { gain->Item(other)->click(); }), QStringList {}); // already selected
        auto *fxm = Find<TRadioGroup>("RadioGroupFxmTone2");
        fxm->SetItemIndex(0);
        QCOMPARE(SentBy([&] { fxm->Item(2)->click(); }),
                 QStringList {"F0 41 10 00 0B 12 02 00 12 07 02"});
    }

    void toneSwitch()
    {
        auto *box = Find<QCheckBox>("CBSwitchTone4");
        box->setChecked(true);
        QCOMPARE(SentBy([&] { box->click(); }), QStringList {"F0 41 10 00 0B 12 02 00 16 00 00"});
    }

    void patchSelection()
    {
        SelectPart(2);
        auto *group = Find<TDropDownList>("LBPatchGroup");
        auto *patch = Find<TDropDownList>("LBPatch");
        group->SetItemIndex(3);
        Window->FillPatchList(3);
        patch->SetItemIndex(1);
        QTest::qWait(10);
        const std::size_t before = Instrument().Log().size();
        UserPick(patch, 21);
        const QStringList log = LogSince(Instrument(), before);
        QCOMPARE(
            DataSets(log).mid(0, 3),
            (QStringList {"F0 41 10 00 0B 12 01 00 11 02 00", "F0 41 10 00 0B 12 01 00 11 03 04",
                          "F0 41 10 00 0B 12 01 00 11 04 01 05"}));
        // The part is requested again and shows the chosen patch.
        QVERIFY(log.contains("F0 41 10 00 0B 11 01 00 11 00 00 00 00 1A 54 F7"));
        QCOMPARE(group->currentIndex(), 3);
        QCOMPARE(patch->currentIndex(), 21);
        QCOMPARE(Instrument().ReadByte({0x01, 0x00, 0x11, 0x05}), 5);
    }

    void presetGKeepsAValidPatch()
    {
        auto *group = Find<TDropDownList>("LBPatchGroup");
        auto *patch = Find<TDropDownList>("LBPatch");
        group->SetItemIndex(0);
        Window->FillPatchList(0);
        patch->SetItemIndex(100);
        QTest::qWait(10);
        QStringList sent = SentBy([&] { UserPick(group, 8); });
        QCOMPARE(
            sent.mid(0, 3),
            (QStringList {"F0 41 10 00 0B 12 01 00 10 02 00", "F0 41 10 00 0B 12 01 00 10 03 09",
                          "F0 41 10 00 0B 12 01 00 10 04 01 0F"}));
        QCOMPARE(patch->count(), 32);
        QCOMPARE(patch->currentIndex(), 31);

        group->SetItemIndex(1);
        Window->FillPatchList(1);
        patch->SetItemIndex(20);
        QTest::qWait(10);
        sent = SentBy([&] { UserPick(group, 8); });
        QCOMPARE(sent.value(2), QString("F0 41 10 00 0B 12 01 00 10 04 01 04"));
        QCOMPARE(patch->currentIndex(), 20);

        // A new group sends all three with the patch index of the old group: the user bank.
        group->SetItemIndex(4);
        Window->FillPatchList(4);
        patch->SetItemIndex(7);
        QTest::qWait(10);
        sent = SentBy([&] { UserPick(group, 1); });
        QCOMPARE(
            sent.mid(0, 3),
            (QStringList {"F0 41 10 00 0B 12 01 00 10 02 03", "F0 41 10 00 0B 12 01 00 10 03 02",
                          "F0 41 10 00 0B 12 01 00 10 04 00 07"}));
    }

    void patchNamesFromTheSettings()
    {
        QList<QByteArray> names;
        for (int i = 0; i < 1056; ++i)
            names << "Name " + QByteArray::number(i);
        names[1024] = "Caf\xE9 G"; // Windows-1252
        WriteSettings(0, 0, 17, names);
        Window->Session().ApplySettings();
        // Not shown before the next fill.
        QVERIFY(Find<TDropDownList>("LBPatch")->itemText(0) != QString("Name 1024"));
        Window->FillPatchList(8);
        QCOMPARE(Find<TDropDownList>("LBPatch")->itemText(0), QString::fromUtf8("Café G"));
        Window->FillPatchList(2);
        QCOMPARE(Find<TDropDownList>("LBPatch")->itemText(5), QString("Name 261"));
    }

    void deviceIdChangeShowsInNextMessage()
    {
        WriteSettings(0, 0, 18);
        const std::size_t before = Instrument().Log().size();
        Window->Session().ApplySettings();
        QCOMPARE(Instrument().Log().size(), before); // no new request
        Find<QScrollBar>("BarLevelTone1")->setValue(3);
        QVERIFY(
            LogSince(Instrument(), before).value(0).startsWith("F0 41 11 00 0B 12 02 00 10 65 03"));
    }

    void setupMenuRunsApplySettingsWhateverTheOutcome()
    {
        QDialog setup;
        Window->SetDialogs(&setup, nullptr);
        WriteSettings(0, 0, 20);
        QTimer::singleShot(50, &setup, &QDialog::reject);
        Window->findChild<QAction *>("Setup")->trigger();
        QCOMPARE(Window->Devices().DeviceId, 20);
        QCOMPARE(Window->Session().DataSetHeader(), std::string("F0 41 13 00 0B 12 "));
    }

    void missingDeviceIsReportedAndHeadersStillBuilt()
    {
        WriteSettings(5, 0, 19);
        QVERIFY_THROWS_EXCEPTION(std::exception, Window->Session().ApplySettings());
        QCOMPARE(Window->Session().DataSetHeader(), std::string("F0 41 12 00 0B 12 "));
        try {
            Window->Session().ApplySettings();
        } catch (const std::exception &e) {
            QCOMPARE(QString(e.what()), QString("TMidiInput: Device index out of bounds! (5)"));
        }
    }

    void malformedSettingsAreReported()
    {
        WriteSettings(0, 0, 18);
        Window->Session().ApplySettings();
        QFile file(QStringLiteral("Ombrix.INI"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("0\r\n0\r\nabc\r\nFirst name\r\n");
        file.close();
        QVERIFY_THROWS_EXCEPTION(std::exception, Window->Session().ApplySettings());
        QCOMPARE(Window->Devices().DeviceId, 18);
        QCOMPARE(Window->Session().PatchNames()[0], std::string("First name"));
    }

    // One request procedure at a time: while a part request waits, the dialogs cannot be opened
    // (the mixer's own requests would take over its answers), and parts clicked meanwhile are
    // requested once it ends, the latest click winning.
    void oneRequestProcedureAtATime()
    {
        TRecordingDialog setup;
        TRecordingDialog mixer;
        Window->SetDialogs(&setup, &mixer);
        auto *setupItem = Window->findChild<QAction *>("Setup");
        auto *mixerItem = Window->findChild<QAction *>("Mixer");
        const std::size_t before = Instrument().Log().size();
        bool disabledMeanwhile = false;
        QTimer::singleShot(100, this, [&] {
            disabledMeanwhile = !setupItem->isEnabled() && !mixerItem->isEnabled();
            mixerItem->trigger();
            setupItem->trigger();
            SelectPart(3);
            SelectPart(5);
            // The part being requested keeps its place until its answers are in.
            QCOMPARE(Window->Session().PartText(), std::string("01"));
        });
        SelectPart(2);
        WaitForJobs();
        QVERIFY(disabledMeanwhile);
        QCOMPARE(setup.Shown + mixer.Shown, 0);
        QVERIFY(setupItem->isEnabled() && mixerItem->isEnabled());
        QCOMPARE(Window->Session().PartText(), std::string("04"));
        const QStringList requests = LogSince(Instrument(), before).filter("F0 41 10 00 0B 11");
        QCOMPARE(requests.size(), 4);
        QVERIFY(requests[0].startsWith("F0 41 10 00 0B 11 01 00 11 00"));
        QVERIFY(requests[2].startsWith("F0 41 10 00 0B 11 01 00 14 00"));
        QVERIFY(requests[3].startsWith("F0 41 10 00 0B 11 02 04 00 00"));
        QCOMPARE(Find<QScrollBar>("BarLevelTone3")->value(),
                 int(Instrument().ReadByte({0x02, 0x04, 0x14, 0x65})));
        QVERIFY(!midi::MidiIn().HasOnSysEx());
        // With nothing running, the menu opens the dialogs again.
        mixerItem->trigger();
        QCOMPARE(mixer.Shown, 1);
    }

    // The output fails while the answers come in: each tone block's echo fails, and the user
    // sees one error box for the whole request.
    void oneErrorBoxPerRequest()
    {
        auto *log = Find<TReceiveLog>("Edit1");
        connect(log, &TReceiveLog::TextChanged, this, [](const QString &text) {
            if (text.endsWith(" Common"))
                midi::MidiOut().Close(0);
        });
        SelectPart(2);
        QCOMPARE(Errors.size(), std::size_t(1));
        QVERIFY2(
            QString::fromStdString(Errors[0]).endsWith("\nand 3 more messages could not be sent"),
            Errors[0].c_str());
    }

    // The envelope images go before the envelope objects they draw: nothing during the rest of
    // the teardown can reach an envelope that is gone.
    void imagesGoBeforeTheirEnvelopes()
    {
        // Lowered, the probe is the window's first child and is destroyed first once the
        // window's own destructor has run.
        auto *probe = new TTeardownProbe(Window.get(), Window->Column(1).AmpImage());
        probe->lower();
        bool imageOutlivedWindow = true;
        probe->Outlived = &imageOutlivedWindow;
        Window.reset();
        QVERIFY(!imageOutlivedWindow);
    }

    // Arrows repeat only while their step works: once a step fails (the device is gone, and a
    // real error box would take the button's release), the repeat ends after that one error.
    void failingStepEndsTheRepeat_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("upperEnd");
        QTest::newRow("up-down") << "UpDownFxmDepthTone1" << true;
        QTest::newRow("scroll bar") << "BarLevelTone1" << false;
    }
    void failingStepEndsTheRepeat()
    {
        QFETCH(QString, control);
        QFETCH(bool, upperEnd);
        ShowWindow();
        auto *widget = Find<QWidget>(control);
        if (auto *bar = qobject_cast<QScrollBar *>(widget))
            bar->setValue(10);
        midi::MidiOut().Close(0);
        const QPoint at = upperEnd ? QPoint(widget->width() / 2, 2)
                                   : QPoint(widget->width() - 3, widget->height() / 2);
        QTest::mousePress(widget, Qt::LeftButton, {}, at);
        QTest::qWait(900);
        QCOMPARE(Errors.size(), std::size_t(1));
        QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
    }

    // Held down for real, an arrow repeats, and stops with the release.
    void heldArrowRepeats()
    {
        ShowWindow();
        auto *bar = Find<QScrollBar>("BarLevelTone1");
        bar->setValue(0);
        const QPoint at = bar->mapTo(Window.get(), QPoint(bar->width() - 3, bar->height() / 2));
        QTest::mousePress(Window->windowHandle(), Qt::LeftButton, {}, at);
        QTest::qWait(900);
        QTest::mouseRelease(Window->windowHandle(), Qt::LeftButton, {}, at);
        const int reached = bar->value();
        QVERIFY(reached > 2);
        QTest::qWait(200);
        QCOMPARE(bar->value(), reached);
        QVERIFY(Errors.empty());
    }

    void quitClosesTheWindow()
    {
        Window->show();
        Window->findChild<QAction *>("Quitter")->trigger();
        QVERIFY(!Window->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_editor_mainwindow.moc"
