// The mixer window on recording outputs: its controls and start values, the exchange of
// boxes and bars, the exact messages of every handler, the decoder (which sends nothing), short
// and garbage messages, and send errors that end a handler where they happen.

#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "controls/ReceiveLog.h"
#include "controls/UpDown.h"
#include "midi/MidiDevices.h"
#include "midi/SysExText.h"
#include "mixer/FormMixer.h"
#include "session/ErrorPolicy.h"
#include "support/EditorTestSupport.h"
#include "support/FakeMidiService.h"
#include "support/MixerBlocks.h"
#include "support/MixerWindowFixture.h"
#include "support/RecordingOutputs.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <memory>

using TBytes = std::vector<std::uint8_t>;

namespace {
// A hex text with its checksum and F7, as the program sends it.
QString Message(const std::string &text)
{
    return HexOf(SysExOfText(text));
}

using F = sysex::mixer::TFieldId;

const std::string Set17 = "F0 41 10 00 0B 12 ";
const std::string Model3A17 = "00 F0 41 10 3A 12 ";
} // namespace

class TestMixerWindow : public TMixerWindowFixture
{
    Q_OBJECT

    // The window sends through the recording outputs; its openings listen to the fake's input.
    TRecordingOutputs Outputs;
    std::shared_ptr<TFakeMidiService> Fake;

    QStringList Sent() const { return Outputs.SentHex(); }
    void Decode(const TBytes &message) { Form->DoSysexData(0, message); }
    // Puts every part at the same values through the decoder, which sends nothing.
    void DecodeAllParts(const TMixerBytes &part)
    {
        for (const sysex::mixer::TMixerPart &p : sysex::mixer::Parts)
            Decode(MixerPartBlock(p.BlockByte, part));
    }
    static void Type(TEditBox *box, const QString &text)
    {
        box->selectAll();
        if (text.isEmpty())
            QTest::keyClick(box, Qt::Key_Delete);
        else
            QTest::keyClicks(box, text);
    }
    static void Enter(TEditBox *box) { QTest::keyClick(box, Qt::Key_Return); }

    // The control changes of one group with every part at `value` and the part of suffix
    // `changed` at `changedValue`: parts 1 to 7, then part R.
    static QStringList ControlChanges(int controller, int value, int changed, int changedValue)
    {
        QStringList out;
        const int channels[] = {10, 1, 2, 3, 4, 5, 6, 7};
        for (int suffix : {2, 3, 4, 5, 6, 7, 8, 1}) {
            const int v = suffix == changed ? changedValue : value;
            out << HexOf(BytesOf({0xB0 + channels[suffix - 1] - 1, controller, v}));
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        Fake = std::make_shared<TFakeMidiService>(std::vector<std::string> {"In"},
                                                  std::vector<std::string> {});
        midi::SetMidiService(Fake);
        midi::MidiIn().Open(0);
        StartWindow(Outputs);

        // One opening for the whole class: the instrument answers nothing.
        QElapsedTimer clock;
        clock.start();
        Form->FormShow();
        QVERIFY(clock.elapsed() >= 2000);
        QCOMPARE(Sent(),
                 QStringList({"F0 41 10 00 0B 11 01 00 00 00 00 00 19 1A 4C F7",
                              "F0 41 10 00 0B 11 01 00 19 00 00 00 00 1A 4C F7",
                              "F0 41 10 00 0B 11 00 00 00 08 00 00 00 03 75 F7",
                              "F0 41 10 00 0B 11 30 00 00 00 00 00 00 17 39 F7"}));
        QVERIFY(!midi::MidiIn().HasOnSysEx());
        QVERIFY(Errors.empty());
        // No answer: every value as created.
        for (int k = 1; k <= 8; ++k) {
            QCOMPARE(Box(QStringLiteral("EditMixer%1").arg(k))->text(), QStringLiteral("100"));
            QCOMPARE(Bar(QStringLiteral("BarMixer%1").arg(k))->value(), 100);
            QCOMPARE(Bar(QStringLiteral("BarTrans%1").arg(k))->value(), 0);
            QCOMPARE(Bar(QStringLiteral("BarTrans%1").arg(k))->toolTip(),
                     QStringLiteral("Use this to set transpose on each part"));
        }
        QCOMPARE(Log(), QStringLiteral("0"));
        QCOMPARE(List(QStringLiteral("LBReverbType"))->ItemIndex(), -1);
    }
    void init()
    {
        Errors.clear();
        Outputs.ClearFailures();
        Outputs.ClearRecord();
    }
    void cleanup() { QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str()); }
    void cleanupTestCase()
    {
        StopWindow();
        midi::ShutdownMidi();
        midi::SetMidiService(nullptr);
    }

    void windowAndControls()
    {
        TFormMixer form([] { return TMainWindowSettings {}; }, Outputs);
        QCOMPARE(form.objectName(), QStringLiteral("FormMixer"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Réglages Pattern"));
        QCOMPARE(form.size(), QSize(588, 632));
        QCOMPARE(form.minimumSize(), form.maximumSize());

        struct TGroupStart
        {
            const char *Name;
            int Min, Max, Start;
            const char *Hint;
        };
        const TGroupStart groups[]
            = {{"Mixer", 0, 127, 100, "Use this to set the volume on each part"},
               {"Pan", -64, 63, 0, "Use this to set the pan on each part"},
               {"Reverb", 0, 127, 0, "Use this to set the reverb on each part"},
               {"Delay", 0, 127, 0, "Use this to set the delay on each part"}};
        for (const TGroupStart &g : groups) {
            int previousTop = 100000;
            for (int k = 1; k <= 8; ++k) {
                QScrollBar *bar
                    = FindControl<QScrollBar>(form, QStringLiteral("Bar%1%2").arg(g.Name).arg(k));
                TEditBox *box
                    = FindControl<TEditBox>(form, QStringLiteral("Edit%1%2").arg(g.Name).arg(k));
                QCOMPARE(bar->orientation(), Qt::Horizontal);
                QCOMPARE(bar->minimum(), g.Min);
                QCOMPARE(bar->maximum(), g.Max);
                QCOMPARE(bar->value(), g.Start);
                QCOMPARE(box->text(), QString::number(g.Start));
                QCOMPARE(box->maxLength(), 3);
                QCOMPARE(bar->toolTip(), QString::fromLatin1(g.Hint));
                QCOMPARE(box->toolTip(), QString::fromLatin1(g.Hint));
                // Part R at the bottom, part 7 at the top; box and bar on one row.
                QVERIFY(bar->geometry().top() < previousTop);
                previousTop = bar->geometry().top();
                QVERIFY(qAbs(box->geometry().center().y() - bar->geometry().center().y()) < 4);
                QVERIFY(box->geometry().right() < bar->geometry().left());
            }
        }
        int previousLeft = 100000;
        for (int k = 1; k <= 8; ++k) {
            QScrollBar *bar = FindControl<QScrollBar>(form, QStringLiteral("BarTrans%1").arg(k));
            QCOMPARE(bar->orientation(), Qt::Vertical);
            QCOMPARE(bar->minimum(), -48);
            QCOMPARE(bar->maximum(), 48);
            QCOMPARE(bar->pageStep(), 1);
            QVERIFY(!bar->invertedAppearance());
            QCOMPARE(bar->value(), 0);
            QCOMPARE(bar->toolTip(), QStringLiteral("Use this to set transpose on each part"));
            // Part R rightmost, part 7 leftmost.
            QVERIFY(bar->geometry().left() < previousLeft);
            previousLeft = bar->geometry().left();
            QCheckBox *mfx = FindControl<QCheckBox>(form, QStringLiteral("CBMFXSwitch%1").arg(k));
            QVERIFY(!mfx->isChecked());
            QCOMPARE(mfx->toolTip(), QStringLiteral("Check this box if u want MFX on this part"));
        }
        QPushButton *ok = FindControl<QPushButton>(form, QStringLiteral("OKBtn"));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());
        TReceiveLog *log = FindControl<TReceiveLog>(form, QStringLiteral("EditBPM"));
        QCOMPARE(log->Text(), QStringLiteral("0"));
        QCOMPARE(log->toolTip(), QStringLiteral("Set the BPM of the pattern"));
        // The MFX setup button stands where a label once promised it.
        for (QLabel *label : form.findChildren<QLabel *>())
            QVERIFY(!label->text().startsWith(QStringLiteral("In future version")));
        QCOMPARE(FindControl<QPushButton>(form, QStringLiteral("MFXSetupBtn"))->text(),
                 QStringLiteral("Setup..."));

        // The effects area.
        struct TListStart
        {
            const char *Name;
            QStringList Items;
            const char *Hint;
        };
        const QStringList damping {"200",  "250",  "315",  "400",  "500",  "630",
                                   "800",  "1000", "1250", "1600", "2000", "2500",
                                   "3150", "4000", "5000", "6300", "8000", "Byp."};
        const TListStart lists[]
            = {{"LBReverbType",
                {"Room 1", "Room 2", "Stage 1", "Stage 2", "Hall 1", "Hall 2"},
                "Select the Reverb type"},
               {"LBReverbHF", damping, "All the frequencies above will be cut from the reverb"},
               {"LBDelayType", {"Short", "Long"}, "Select the Delay type"},
               {"LBDelayHF", damping, "All the frequencies above will be cut from the delay"},
               {"LBDelayOutput", {"Line", "Reverb", "Line+Rev"}, "Select the output destination"}};
        for (const TListStart &l : lists) {
            TDropDownList *list = FindControl<TDropDownList>(form, QString::fromLatin1(l.Name));
            QStringList items;
            for (int i = 0; i < list->count(); ++i)
                items << list->itemText(i);
            QCOMPARE(items, l.Items);
            QCOMPARE(list->ItemIndex(), -1);
            QVERIFY(!list->isEditable());
            QCOMPARE(list->toolTip(), QString::fromLatin1(l.Hint));
        }
        struct TBarStart
        {
            const char *Name;
            int Max;
            const char *Hint;
        };
        const TBarStart bars[]
            = {{"BarReverbLevel", 127, "Output level of the Reverb"},
               {"BarReverbTime", 127, "Time of the Reverb release"},
               {"BarReverbToMFX", 127, "Apply a reverb on each MFX Part after the MFX"},
               {"BarDelayLevel", 127, "Output level of the Delay"},
               {"BarDelayTime", 120, "Time between 2 repetitions"},
               {"BarDelayToMFX", 127, "Apply a delay on each MFX Part after the MFX"}};
        for (const TBarStart &b : bars) {
            QScrollBar *bar = FindControl<QScrollBar>(form, QString::fromLatin1(b.Name));
            QCOMPARE(bar->minimum(), 0);
            QCOMPARE(bar->maximum(), b.Max);
            QCOMPARE(bar->value(), 0);
            QCOMPARE(bar->toolTip(), QString::fromLatin1(b.Hint));
        }
        QLineEdit *time = FindControl<QLineEdit>(form, QStringLiteral("EditDelayTime"));
        QVERIFY(time->isReadOnly());
        QVERIFY(!time->hasFrame());
        QVERIFY(time->text().isEmpty());
        TEditBox *feedback = FindControl<TEditBox>(form, QStringLiteral("EditDelayFeedback"));
        QCOMPARE(feedback->text(), QStringLiteral("0"));
        QCOMPARE(feedback->maxLength(), 3);
        QCOMPARE(feedback->toolTip(), QStringLiteral("Amount of originial sound to repeat"));
        TUpDown *arrows = FindControl<TUpDown>(form, QStringLiteral("UpDownDelayFeedback"));
        QCOMPARE(arrows->Min(), 0);
        QCOMPARE(arrows->Max(), 98);
        QCOMPARE(arrows->Position(), 0);
        const std::pair<const char *, const char *> switches[]
            = {{"CBReverbSwitch", "Check this box to set Reverb On/Off"},
               {"CBDelaySwitch", "Check this box to set Delay On/Off"},
               {"CBMFXSwitch", "Check this box to set MFX On/Off"}};
        for (const auto &[name, hint] : switches) {
            QCheckBox *box = FindControl<QCheckBox>(form, QString::fromLatin1(name));
            QVERIFY(!box->isChecked());
            QCOMPARE(box->toolTip(), QString::fromLatin1(hint));
        }
        QStringList captions;
        for (QLabel *label : form.findChildren<QLabel *>())
            captions << label->text();
        for (const char *caption : {"Part Mixer", "Pan Mixer", "Reverb Mixer", "Delay Mixer",
                                    "Transpose Mixer", "MFX", "Type", "HF Damp", "Level", "Time",
                                    "MFX to Revb", "Output", "Feedbck (%)", "MFX to Delay", "R"})
            QVERIFY2(captions.contains(QString::fromLatin1(caption)), caption);
    }

    void beforeTheFirstOpeningNothingIsSent()
    {
        TFormMixer form([] { return TMainWindowSettings {0, 17}; }, Outputs);
        // Boxes move their bars from the start...
        FindControl<TEditBox>(form, QStringLiteral("EditMixer2"))->setText(QStringLiteral("50"));
        QCOMPARE(FindControl<QScrollBar>(form, QStringLiteral("BarMixer2"))->value(), 50);
        // ...but nothing sends before the first opening, and the feedback box only clamps.
        FindControl<QScrollBar>(form, QStringLiteral("BarPan3"))->setValue(-10);
        QCOMPARE(FindControl<TEditBox>(form, QStringLiteral("EditPan3"))->text(),
                 QStringLiteral("0"));
        FindControl<QScrollBar>(form, QStringLiteral("BarTrans3"))->setValue(10);
        FindControl<QCheckBox>(form, QStringLiteral("CBMFXSwitch3"))->setChecked(true);
        FindControl<QScrollBar>(form, QStringLiteral("BarReverbLevel"))->setValue(10);
        FindControl<QScrollBar>(form, QStringLiteral("BarDelayTime"))->setValue(10);
        FindControl<QCheckBox>(form, QStringLiteral("CBReverbSwitch"))->click();
        TEditBox *feedback = FindControl<TEditBox>(form, QStringLiteral("EditDelayFeedback"));
        feedback->setText(QStringLiteral("150"));
        QCOMPARE(feedback->text(), QStringLiteral("98"));
        QCOMPARE(FindControl<TUpDown>(form, QStringLiteral("UpDownDelayFeedback"))->Position(), 98);
        QVERIFY(FindControl<QLineEdit>(form, QStringLiteral("EditDelayTime"))->text().isEmpty());
        QVERIFY(Sent().isEmpty());
    }

    void levelBarOfPartR()
    {
        DecodeAllParts({});
        Bar("BarMixer1")->setValue(127);
        QCOMPARE(Box("EditMixer1")->text(), QStringLiteral("127"));
        QCOMPARE(Sent(), ControlChanges(0x07, 100, 1, 127));
        QCOMPARE(Sent().back(), QStringLiteral("B9 07 7F"));
    }

    void panBarOfPartRLast()
    {
        DecodeAllParts({});
        Bar("BarPan1")->setValue(-64);
        QCOMPARE(Box("EditPan1")->text(), QStringLiteral("-64"));
        QCOMPARE(Sent(), ControlChanges(0x0A, 0x40, 1, 0x00));
        QCOMPARE(Sent().back(), QStringLiteral("B9 0A 00"));
    }

    void sendBars_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("controller");
        QTest::newRow("reverb") << "Reverb" << 0x5B;
        QTest::newRow("delay") << "Delay" << 0x5E;
    }
    void sendBars()
    {
        QFETCH(QString, name);
        QFETCH(int, controller);
        DecodeAllParts({{F::DelaySend, 20}, {F::ReverbSend, 20}});
        Bar(QStringLiteral("Bar%1%2").arg(name).arg(5))->setValue(33);
        QCOMPARE(Box(QStringLiteral("Edit%1%2").arg(name).arg(5))->text(), QStringLiteral("33"));
        QCOMPARE(Sent(), ControlChanges(controller, 20, 5, 33));
    }

    void typedLevelIsClamped()
    {
        DecodeAllParts({});
        TEditBox *box = Box("EditMixer3");
        Type(box, QStringLiteral("200"));
        // Nothing happens while the user is still typing.
        QVERIFY(Sent().isEmpty());
        QCOMPARE(Bar("BarMixer3")->value(), 100);
        Enter(box);
        QCOMPARE(Bar("BarMixer3")->value(), 127);
        QCOMPARE(box->text(), QStringLiteral("127"));
        QCOMPARE(Sent(), ControlChanges(0x07, 100, 3, 127));
        QVERIFY(Sent().contains(QStringLiteral("B1 07 7F")));
    }

    // Enter after typing applies the number, then presses OK, the default button: one Enter
    // sends the value and closes the window.
    void enterAppliesAndCloses()
    {
        DecodeAllParts({});
        QStringList sentByEnter;
        QTimer::singleShot(0, Form.get(), [&] {
            TEditBox *box = Box("EditReverb4");
            box->setFocus();
            Type(box, QStringLiteral("55"));
            Outputs.ClearRecord();
            Enter(box);
            sentByEnter = Sent();
        });
        QCOMPARE(Form->exec(), int(QDialog::Accepted));
        QCOMPARE(Bar("BarReverb4")->value(), 55);
        QCOMPARE(sentByEnter, ControlChanges(0x5B, 0, 4, 55));
    }

    // A number typed but not yet finished counts when another bar of its group moves (bars take
    // no focus): it goes out with that move, once, and stays in its box.
    void pendingTypedValueGoesWithABarMove()
    {
        DecodeAllParts({});
        TEditBox *box = Box("EditMixer2");
        Type(box, QStringLiteral("30"));
        QVERIFY(box->HasPendingEdit());
        Bar("BarMixer5")->setValue(90);
        QCOMPARE(box->text(), QStringLiteral("30"));
        QCOMPARE(Bar("BarMixer2")->value(), 30);
        QStringList expected = ControlChanges(0x07, 100, 5, 90);
        expected[0] = HexOf(BytesOf({0xB0, 0x07, 30})); // suffix 2, part 1, goes first
        QCOMPARE(Sent(), expected);
        Outputs.ClearRecord();
        box->FinishEdit();
        QVERIFY(Sent().isEmpty());
    }

    // The same for the delay feedback: a delay change applies the typed number, and the edit's
    // end later sends nothing more.
    void pendingFeedbackIsAppliedOnce()
    {
        Decode(MixerCommonBlock({}));
        Outputs.ClearRecord();
        TEditBox *box = Box("EditDelayFeedback");
        Type(box, QStringLiteral("45"));
        Bar("BarDelayLevel")->setValue(Bar("BarDelayLevel")->value() + 1);
        QCOMPARE(Sent().filter(Message(Set17 + "01 00 00 26 2D")).size(), 1);
        Outputs.ClearRecord();
        box->FinishEdit();
        QVERIFY(Sent().isEmpty());
    }

    void typedPanIsClamped()
    {
        DecodeAllParts({});
        TEditBox *box = Box("EditPan2");
        Type(box, QStringLiteral("-70"));
        Enter(box);
        QCOMPARE(Bar("BarPan2")->value(), -64);
        QCOMPARE(box->text(), QStringLiteral("-64"));
        QCOMPARE(Sent(), ControlChanges(0x0A, 0x40, 2, 0x00));
        QCOMPARE(Sent().front(), QStringLiteral("B0 0A 00"));
    }

    void emptiedLevelBox()
    {
        DecodeAllParts({});
        TEditBox *box = Box("EditMixer4");
        Type(box, QString());
        Enter(box);
        QCOMPARE(Bar("BarMixer4")->value(), 0);
        QCOMPARE(box->text(), QStringLiteral("0"));
        QCOMPARE(Sent(), ControlChanges(0x07, 100, 4, 0));
        QVERIFY(Sent().contains(QStringLiteral("B2 07 00")));

        // The same text again is no change.
        Outputs.ClearRecord();
        box->setText(QStringLiteral("0"));
        Type(box, QStringLiteral("0"));
        Enter(box);
        QVERIFY(Sent().isEmpty());
    }

    void notANumberCountsAsZero()
    {
        DecodeAllParts({});
        TEditBox *box = Box("EditDelay6");
        Decode(MixerPartBlock(0x14, {{F::DelaySend, 40}}));
        QCOMPARE(Bar("BarDelay6")->value(), 40);
        Type(box, QStringLiteral("x1g"));
        Enter(box);
        QCOMPARE(Bar("BarDelay6")->value(), 0);
        QCOMPARE(box->text(), QStringLiteral("0"));
        QCOMPARE(Sent(), ControlChanges(0x5E, 0, 6, 0));
    }

    void transposition_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("hint");
        QTest::newRow("top end") << -48 << "70"
                                 << "48";
        QTest::newRow("middle") << 0 << "40"
                                << "0";
        QTest::newRow("bottom end") << 48 << "10"
                                    << "-48";
    }
    void transposition()
    {
        QFETCH(int, position);
        QFETCH(QString, value);
        QFETCH(QString, hint);
        // Every part 5 semitones up (bar position -5) first, through the decoder.
        DecodeAllParts({{F::Transpose, 0x30 + 5}});
        Outputs.ClearRecord();
        Bar("BarTrans4")->setValue(position);
        QStringList expected;
        for (int suffix : {2, 3, 4, 5, 6, 7, 8, 1}) {
            const std::string part = suffix == 1 ? "39" : "3" + std::to_string(suffix - 2);
            const std::string v = suffix == 4 ? value.toStdString() : "45";
            expected << Message(Model3A17 + part + " 55 " + v + " 00");
        }
        QCOMPARE(Sent(), expected);
        for (int k = 1; k <= 8; ++k)
            QCOMPARE(Bar(QStringLiteral("BarTrans%1").arg(k))->toolTip(),
                     k == 4 ? hint : QStringLiteral("5"));
        if (position == -48)
            QCOMPARE(Sent()[2], QStringLiteral("00 F0 41 10 3A 12 32 55 70 00 09 F7"));
    }

    void mfxPartSwitches()
    {
        DecodeAllParts({});
        Check("CBMFXSwitch1")->click();
        QCOMPARE(
            Sent(),
            QStringList(
                {"00 F0 41 10 3A 12 30 56 00 00 7A F7", "00 F0 41 10 3A 12 31 56 00 00 79 F7",
                 "00 F0 41 10 3A 12 32 56 00 00 78 F7", "00 F0 41 10 3A 12 33 56 00 00 77 F7",
                 "00 F0 41 10 3A 12 34 56 00 00 76 F7", "00 F0 41 10 3A 12 35 56 00 00 75 F7",
                 "00 F0 41 10 3A 12 36 56 00 00 74 F7", "00 F0 41 10 3A 12 39 56 01 09 67 F7"}));
        Outputs.ClearRecord();
        Check("CBMFXSwitch8")->click();
        QCOMPARE(Sent().size(), 8);
        QCOMPARE(Sent()[6], Message(Model3A17 + "36 56 01 00"));
        QCOMPARE(Sent()[7], Message(Model3A17 + "39 56 01 09"));
    }

    void decodedPart_data()
    {
        QTest::addColumn<int>("suffix");
        QTest::addColumn<int>("pan");
        QTest::addColumn<QString>("panText");
        QTest::addColumn<int>("transpose");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("mfx");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("R, pan 00, transpose 00") << 1 << 0x00 << "-64" << 0x00 << 48 << 1 << true;
        QTest::newRow("1, pan 40, transpose 30") << 2 << 0x40 << "0" << 0x30 << 0 << 0 << false;
        QTest::newRow("4, pan 7F, transpose 60") << 5 << 0x7F << "63" << 0x60 << -48 << 2 << false;
        QTest::newRow("7, transpose 7F") << 8 << 0x41 << "1" << 0x7F << -48 << 1 << true;
    }
    void decodedPart()
    {
        QFETCH(int, suffix);
        QFETCH(int, pan);
        QFETCH(QString, panText);
        QFETCH(int, transpose);
        QFETCH(int, position);
        QFETCH(int, mfx);
        QFETCH(bool, ticked);
        DecodeAllParts({});
        Check(QStringLiteral("CBMFXSwitch%1").arg(suffix))->setChecked(!ticked);
        Outputs.ClearRecord();
        const QString before = Log();
        const int level = 10 + suffix, delay = 20 + suffix, reverb = 30 + suffix;
        Decode(MixerPartBlock(sysex::mixer::Parts[suffix - 1].BlockByte,
                              {{F::Level, level},
                               {F::Pan, pan},
                               {F::Transpose, transpose},
                               {F::PartMfx, mfx},
                               {F::DelaySend, delay},
                               {F::ReverbSend, reverb}}));
        QCOMPARE(Box(QStringLiteral("EditMixer%1").arg(suffix))->text(), QString::number(level));
        QCOMPARE(Bar(QStringLiteral("BarMixer%1").arg(suffix))->value(), level);
        QCOMPARE(Box(QStringLiteral("EditDelay%1").arg(suffix))->text(), QString::number(delay));
        QCOMPARE(Bar(QStringLiteral("BarDelay%1").arg(suffix))->value(), delay);
        QCOMPARE(Box(QStringLiteral("EditReverb%1").arg(suffix))->text(), QString::number(reverb));
        QCOMPARE(Bar(QStringLiteral("BarReverb%1").arg(suffix))->value(), reverb);
        QCOMPARE(Box(QStringLiteral("EditPan%1").arg(suffix))->text(), panText);
        QCOMPARE(Bar(QStringLiteral("BarPan%1").arg(suffix))->value(), panText.toInt());
        QCOMPARE(Bar(QStringLiteral("BarTrans%1").arg(suffix))->value(), position);
        // The window shows the transposition it read.
        QCOMPARE(Bar(QStringLiteral("BarTrans%1").arg(suffix))->toolTip(),
                 QString::number(-position));
        QCOMPARE(Check(QStringLiteral("CBMFXSwitch%1").arg(suffix))->isChecked(), ticked);
        // The other parts are untouched.
        for (int k = 1; k <= 8; ++k)
            if (k != suffix)
                QCOMPARE(Box(QStringLiteral("EditMixer%1").arg(k))->text(), QStringLiteral("100"));
        const QString tag
            = suffix == 1 ? QStringLiteral(" R") : QStringLiteral(" %1").arg(suffix - 1);
        QCOMPARE(Log(), before + tag);
        // Decoding sends nothing, although every send handler is connected.
        QVERIFY(Sent().isEmpty());
    }

    // Only a pattern part block is a part row: a tone block arriving from a part request is not
    // read, and the next bar move sends the mix, not tone data.
    void onlyPartBlocksAreRows()
    {
        DecodeAllParts({});
        const QString before = Log();
        Decode(MixerPartBlock(0x10, {{F::Level, 77}}, 0x02));
        Decode(DataSetMessage({0x02, 0x00, 0x12, 0x00}, TBytes(0x81, 0x33)));
        // Neither 17 nor 18 names a part.
        Decode(MixerPartBlock(0x17, {{F::Level, 5}}));
        Decode(MixerPartBlock(0x18, {{F::Level, 5}}));
        QCOMPARE(Log(), before);
        QCOMPARE(Box("EditMixer2")->text(), QStringLiteral("100"));
        QVERIFY(Sent().isEmpty());
        Bar("BarMixer3")->setValue(101);
        QCOMPARE(Sent(), ControlChanges(0x07, 100, 3, 101));
    }

    void tagsAccumulate()
    {
        TReceiveLog *log = Find<TReceiveLog>(QStringLiteral("EditBPM"));
        log->SetText(QStringLiteral("0"));
        Decode(MixerPartBlock(0x19, {}));
        Decode(MixerPartBlock(0x19, {}));
        QCOMPARE(log->Text(), QStringLiteral("0 R R"));
        // 01 00 00 08 is the pattern common block, not the system area's switches.
        TBytes data(44, 0);
        data[0] = 1;
        Decode(DataSetMessage({0x01, 0x00, 0x00, 0x08}, data));
        QCOMPARE(log->Text(), QStringLiteral("0 R R Common"));
        Decode(DataSetMessage({0x00, 0x00, 0x00, 0x08}, BytesOf({1, 1, 1})));
        QCOMPARE(log->Text(), QStringLiteral("0 R R Common Switch"));
        QVERIFY(Check("CBMFXSwitch")->isChecked());
        QVERIFY(Sent().isEmpty());
    }

    void decodedCommon()
    {
        TMixerBytes c;
        c[F::ReverbType] = 5;
        c[F::ReverbLevel] = 64;
        c[F::ReverbTime] = 90;
        c[F::ReverbHfDamp] = 17;
        c[F::ReverbToMfx] = 11;
        c[F::DelayType] = 1;
        c[F::DelayLevel] = 70;
        c[F::DelayTime] = 0x7F;
        c[F::DelayHfDamp] = 16;
        c[F::DelayOutput] = 2;
        c[F::DelayFeedback] = 0x7F;
        c[F::DelayToMfx] = 12;
        const QString before = Log();
        Decode(MixerCommonBlock(c));
        QCOMPARE(List("LBReverbType")->currentText(), QStringLiteral("Hall 2"));
        QCOMPARE(Bar("BarReverbLevel")->value(), 64);
        QCOMPARE(Bar("BarReverbTime")->value(), 90);
        QCOMPARE(List("LBReverbHF")->currentText(), QStringLiteral("Byp."));
        QCOMPARE(Bar("BarReverbToMFX")->value(), 11);
        QCOMPARE(List("LBDelayType")->currentText(), QStringLiteral("Long"));
        QCOMPARE(Bar("BarDelayLevel")->value(), 70);
        QCOMPARE(Bar("BarDelayTime")->value(), 120);
        QCOMPARE(List("LBDelayHF")->currentText(), QStringLiteral("8000"));
        QCOMPARE(List("LBDelayOutput")->currentText(), QStringLiteral("Line+Rev"));
        QCOMPARE(Box("EditDelayFeedback")->text(), QStringLiteral("98"));
        QCOMPARE(Find<TUpDown>(QStringLiteral("UpDownDelayFeedback"))->Position(), 98);
        QCOMPARE(Bar("BarDelayToMFX")->value(), 12);
        // The window shows the delay time it read.
        QCOMPARE(Find<QLineEdit>(QStringLiteral("EditDelayTime"))->text(), QStringLiteral("o"));
        QCOMPARE(Log(), before + " Common");
        QVERIFY(Sent().isEmpty());

        // Bytes that are no item of their list leave it without a selection.
        c[F::ReverbType] = 6;
        c[F::ReverbHfDamp] = 0x7F;
        c[F::DelayType] = 2;
        c[F::DelayHfDamp] = 18;
        c[F::DelayOutput] = 3;
        c[F::DelayTime] = 36;
        c[F::DelayFeedback] = 40;
        Decode(MixerCommonBlock(c));
        for (const char *name :
             {"LBReverbType", "LBReverbHF", "LBDelayType", "LBDelayHF", "LBDelayOutput"})
            QCOMPARE(List(QString::fromLatin1(name))->ItemIndex(), -1);
        QCOMPARE(Box("EditDelayFeedback")->text(), QStringLiteral("40"));
        QCOMPARE(Find<QLineEdit>(QStringLiteral("EditDelayTime"))->text(), QStringLiteral("380"));
        QVERIFY(Sent().isEmpty());
    }

    void decodedSwitches_data()
    {
        QTest::addColumn<int>("mfx");
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("reverb");
        QTest::newRow("on") << 1 << 1 << 1;
        QTest::newRow("off") << 0 << 0 << 0;
        QTest::newRow("other values") << 2 << 0x7F << 0x10;
        QTest::newRow("mixed") << 0 << 1 << 0;
    }
    void decodedSwitches()
    {
        QFETCH(int, mfx);
        QFETCH(int, delay);
        QFETCH(int, reverb);
        const QString before = Log();
        Decode(MixerSwitchBlock(mfx, delay, reverb));
        QCOMPARE(Check("CBMFXSwitch")->isChecked(), mfx == 1);
        QCOMPARE(Check("CBDelaySwitch")->isChecked(), delay == 1);
        QCOMPARE(Check("CBReverbSwitch")->isChecked(), reverb == 1);
        QCOMPARE(Log(), before + " Switch");
        QVERIFY(Sent().isEmpty());
    }

    void shortAndGarbageMessagesChangeNothing()
    {
        DecodeAllParts({});
        Decode(MixerCommonBlock({}));
        Decode(MixerSwitchBlock(0, 0, 0));
        const auto snapshot = [this] {
            QStringList values;
            for (QLineEdit *edit : Form->findChildren<QLineEdit *>())
                values << edit->objectName() + "=" + edit->text();
            for (QScrollBar *bar : Form->findChildren<QScrollBar *>())
                values << bar->objectName() + "=" + QString::number(bar->value());
            for (QComboBox *list : Form->findChildren<QComboBox *>())
                values << list->objectName() + "=" + QString::number(list->currentIndex());
            for (QCheckBox *box : Form->findChildren<QCheckBox *>())
                values << box->objectName() + "=" + QString::number(box->isChecked());
            return values;
        };
        const QStringList before = snapshot();
        // Each message with the position of the last byte its test needs.
        // clang-format off
        const TBytes common = MixerCommonBlock({
            {F::DelayToMfx, 1}, {F::ReverbToMfx, 2}, {F::DelayLevel, 3}, {F::DelayType, 1},
            {F::DelayHfDamp, 4}, {F::DelayTime, 5}, {F::DelayFeedback, 6}, {F::DelayOutput, 1},
            {F::ReverbType, 2}, {F::ReverbLevel, 7}, {F::ReverbTime, 8}, {F::ReverbHfDamp, 9}});
        const TBytes part = MixerPartBlock(0x12, {{F::Level, 1}, {F::Pan, 2}, {F::Transpose, 3},
            {F::PartMfx, 1}, {F::DelaySend, 5}, {F::ReverbSend, 6}});
        // clang-format on
        const std::pair<TBytes, std::size_t> wholes[]
            = {{part, 23}, {common, 53}, {MixerSwitchBlock(1, 1, 1), 12}};
        for (const auto &[whole, lastNeeded] : wholes) {
            // Every cut that misses that byte, as a piece and closed by F7 (which makes the
            // byte before it a checksum).
            for (std::size_t length = 0; length <= lastNeeded; ++length) {
                TBytes piece(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
                Decode(piece);
                piece.push_back(0xF7);
                Decode(piece);
            }
            TBytes closed(whole.begin(),
                          whole.begin() + static_cast<std::ptrdiff_t>(lastNeeded + 1));
            closed.push_back(0xF7);
            Decode(closed);
        }
        QRandomGenerator random(4242);
        for (int round = 0; round < 500; ++round) {
            TBytes bytes(random.bounded(24));
            for (auto &b : bytes)
                b = static_cast<std::uint8_t>(random.bounded(256));
            if (bytes.size() > 9)
                bytes[9] = 0x07; // never the switch block
            Decode(bytes);
        }
        QCOMPARE(snapshot(), before);
        QVERIFY(Sent().isEmpty());
    }

    void reverbTypeHall2()
    {
        TMixerBytes c;
        c[F::ReverbLevel] = 10;
        c[F::ReverbTime] = 20;
        c[F::ReverbHfDamp] = 3;
        c[F::ReverbToMfx] = 30;
        Decode(MixerCommonBlock(c));
        Outputs.ClearRecord();
        // The user picks the last row with the keyboard.
        QTest::keyClick(List("LBReverbType"), Qt::Key_End);
        QCOMPARE(List("LBReverbType")->currentText(), QStringLiteral("Hall 2"));
        QCOMPARE(Sent(),
                 QStringList({Message(Set17 + "01 00 00 28 05"), Message(Set17 + "01 00 00 29 0A"),
                              Message(Set17 + "01 00 00 2A 14"), Message(Set17 + "01 00 00 2B 03"),
                              Message(Set17 + "01 00 00 1D 1E")}));
        // Picking the row already selected is no change.
        Outputs.ClearRecord();
        QTest::keyClick(List("LBReverbType"), Qt::Key_End);
        QVERIFY(Sent().isEmpty());
    }

    void reverbLevelExample()
    {
        Decode(MixerCommonBlock({}));
        Outputs.ClearRecord();
        Bar("BarReverbLevel")->setValue(100);
        QCOMPARE(Sent().size(), 5);
        QCOMPARE(Sent()[1], QStringLiteral("F0 41 10 00 0B 12 01 00 00 29 64 72 F7"));
    }

    void listsWithoutSelectionAreLeftOut()
    {
        TMixerBytes c;
        c[F::ReverbType] = 0x40;
        c[F::ReverbHfDamp] = 0x40;
        c[F::DelayType] = 0x40;
        c[F::DelayHfDamp] = 0x40;
        c[F::DelayOutput] = 0x40;
        Decode(MixerCommonBlock(c));
        Outputs.ClearRecord();
        Bar("BarReverbTime")->setValue(7);
        QCOMPARE(Sent(),
                 QStringList({Message(Set17 + "01 00 00 29 00"), Message(Set17 + "01 00 00 2A 07"),
                              Message(Set17 + "01 00 00 1D 00")}));
        Outputs.ClearRecord();
        Bar("BarDelayTime")->setValue(111);
        QCOMPARE(
            Sent(),
            QStringList({Message(Set17 + "01 00 00 22 00"), Message(Set17 + "01 00 00 25 6F"),
                         Message(Set17 + "01 00 00 26 00"), Message(Set17 + "01 00 00 1C 00")}));
        // Without a type the long table applies.
        QCOMPARE(Find<QLineEdit>(QStringLiteral("EditDelayTime"))->text(), QStringLiteral("!="));
    }

    void mfxSendBarsSendTheirGroup()
    {
        TMixerBytes c;
        c[F::ReverbToMfx] = 1;
        c[F::DelayToMfx] = 2;
        Decode(MixerCommonBlock(c));
        Outputs.ClearRecord();
        Bar("BarReverbToMFX")->setValue(99);
        QCOMPARE(Sent().size(), 5);
        QCOMPARE(Sent().back(), Message(Set17 + "01 00 00 1D 63"));
        Outputs.ClearRecord();
        Bar("BarDelayToMFX")->setValue(98);
        QCOMPARE(Sent().size(), 7);
        QCOMPARE(Sent().back(), Message(Set17 + "01 00 00 1C 62"));
        Outputs.ClearRecord();
        Bar("BarReverbLevel")->setValue(3);
        QCOMPARE(Sent().back(), Message(Set17 + "01 00 00 1D 63"));
    }

    void delayLists_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("message");
        QTest::newRow("Byp.") << "LBDelayHF" << int(Qt::Key_End) << "Byp." << 2 << "01 00 00 24 11";
        QTest::newRow("8000") << "LBDelayHF" << int(Qt::Key_Up) << "8000" << 2 << "01 00 00 24 10";
        QTest::newRow("Line+Rev") << "LBDelayOutput" << int(Qt::Key_End) << "Line+Rev" << 5
                                  << "01 00 00 27 02";
        QTest::newRow("Long") << "LBDelayType" << int(Qt::Key_Down) << "Long" << 1
                              << "01 00 00 23 01";
    }
    void delayLists()
    {
        QFETCH(QString, list);
        QFETCH(int, key);
        QFETCH(QString, item);
        QFETCH(int, index);
        QFETCH(QString, message);
        TMixerBytes c;
        c[F::DelayHfDamp] = 17; // the damping list starts on "Byp.": Up goes to "8000"
        Decode(MixerCommonBlock(c));
        if (list == QStringLiteral("LBDelayHF") && key == Qt::Key_End)
            List(list)->SetItemIndex(0);
        Outputs.ClearRecord();
        QTest::keyClick(List(list), Qt::Key(key));
        QCOMPARE(List(list)->currentText(), item);
        const QStringList sent = Sent();
        QCOMPARE(sent.size(), 7);
        QCOMPARE(sent[index], Message(Set17 + message.toStdString()));
    }

    void typedFeedbackIsClampedAndSentTwice_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("value");
        QTest::newRow("150") << "150"
                             << "98"
                             << "62";
        QTest::newRow("empty") << ""
                               << "0"
                               << "00";
        QTest::newRow("-5") << "-5"
                            << "0"
                            << "00";
        QTest::newRow("not a number") << "1a"
                                      << "0"
                                      << "00";
    }
    void typedFeedbackIsClampedAndSentTwice()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, value);
        TMixerBytes c;
        c[F::DelayFeedback] = 50;
        Decode(MixerCommonBlock(c));
        Outputs.ClearRecord();
        TEditBox *box = Box("EditDelayFeedback");
        Type(box, typed);
        Enter(box);
        QCOMPARE(box->text(), shown);
        QCOMPARE(Find<TUpDown>(QStringLiteral("UpDownDelayFeedback"))->Position(), shown.toInt());
        // The rewrite runs a whole delay change of its own before the outer one goes on.
        const QStringList sent = Sent();
        QCOMPARE(sent.size(), 14);
        QCOMPARE(sent.mid(0, 7), sent.mid(7, 7));
        QCOMPARE(sent[4], Message(Set17 + "01 00 00 26 " + value.toStdString()));
    }

    void feedbackInRangeIsSentOnce()
    {
        Decode(MixerCommonBlock({}));
        Outputs.ClearRecord();
        TEditBox *box = Box("EditDelayFeedback");
        Type(box, QStringLiteral("45"));
        Enter(box);
        QCOMPARE(Sent().size(), 7);
        QCOMPARE(Sent()[4], Message(Set17 + "01 00 00 26 2D"));
    }

    void feedbackArrows()
    {
        TMixerBytes c;
        c[F::DelayFeedback] = 97;
        Decode(MixerCommonBlock(c));
        Outputs.ClearRecord();
        TUpDown *arrows = Find<TUpDown>(QStringLiteral("UpDownDelayFeedback"));
        arrows->Step(+1);
        QCOMPARE(Box("EditDelayFeedback")->text(), QStringLiteral("98"));
        QCOMPARE(Sent().size(), 7);
        QCOMPARE(Sent()[4], Message(Set17 + "01 00 00 26 62"));
        // No wrap-around at the top.
        Outputs.ClearRecord();
        arrows->Step(+1);
        QVERIFY(Sent().isEmpty());
        arrows->Step(-1);
        QCOMPARE(Sent()[4], Message(Set17 + "01 00 00 26 61"));
    }

    void delayTimeTexts_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("text");
        const std::pair<int, const char *> shortRows[]
            = {{0, "0.1"}, {19, "2.0"}, {20, "2.5"}, {35, "10.0"},
               {36, "11"}, {75, "50"},  {76, "55"},  {120, "275"}};
        for (const auto &[position, text] : shortRows)
            QTest::addRow("short %d", position) << 0 << position << QString::fromLatin1(text);
        const std::pair<int, const char *> longRows[]
            = {{0, "200"},  {60, "500"}, {61, "510"}, {110, "1000"},
               {111, "!="}, {117, "!"},  {120, "o"}};
        for (const auto &[position, text] : longRows)
            QTest::addRow("long %d", position) << 1 << position << QString::fromLatin1(text);
    }
    void delayTimeTexts()
    {
        QFETCH(int, type);
        QFETCH(int, position);
        QFETCH(QString, text);
        TMixerBytes c;
        c[F::DelayType] = type;
        c[F::DelayTime] = position == 0 ? 1 : 0;
        Decode(MixerCommonBlock(c));
        Outputs.ClearRecord();
        Bar("BarDelayTime")->setValue(position);
        QCOMPARE(Find<QLineEdit>(QStringLiteral("EditDelayTime"))->text(), text);
        QCOMPARE(Sent()[3], Message(Set17 + "01 00 00 25 " + midi::HexByte(position)));
    }

    void delayTypeChangeKeepsTheTime()
    {
        TMixerBytes c;
        c[F::DelayType] = 0;
        c[F::DelayTime] = 30;
        Decode(MixerCommonBlock(c));
        QCOMPARE(Find<QLineEdit>(QStringLiteral("EditDelayTime"))->text(), QStringLiteral("7.5"));
        Outputs.ClearRecord();
        QTest::keyClick(List("LBDelayType"), Qt::Key_Down);
        QCOMPARE(Bar("BarDelayTime")->value(), 30);
        QCOMPARE(Find<QLineEdit>(QStringLiteral("EditDelayTime"))->text(), QStringLiteral("350"));
        QCOMPARE(Sent()[1], Message(Set17 + "01 00 00 23 01"));
        QCOMPARE(Sent()[3], Message(Set17 + "01 00 00 25 1E"));
    }

    void switchBoxesSendThemselvesAlone_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("offset");
        QTest::newRow("reverb") << "CBReverbSwitch"
                                << "0A";
        QTest::newRow("delay") << "CBDelaySwitch"
                               << "09";
        QTest::newRow("MFX") << "CBMFXSwitch"
                             << "08";
    }
    void switchBoxesSendThemselvesAlone()
    {
        QFETCH(QString, name);
        QFETCH(QString, offset);
        Decode(MixerSwitchBlock(0, 0, 0));
        Outputs.ClearRecord();
        Check(name)->click();
        QCOMPARE(Sent(), QStringList {Message(Set17 + "00 00 00 " + offset.toStdString() + " 01")});
        Outputs.ClearRecord();
        Check(name)->click();
        QCOMPARE(Sent(), QStringList {Message(Set17 + "00 00 00 " + offset.toStdString() + " 00")});
    }

    void sendErrorsEndTheHandler()
    {
        DecodeAllParts({});
        Decode(MixerCommonBlock({}));
        Outputs.ClearRecord();

        Outputs.FailShort("Unspecified MIDI error.");
        Bar("BarMixer2")->setValue(50);
        QCOMPARE(TakeErrors(), std::vector<std::string> {"Unspecified MIDI error."});
        QCOMPARE(Box("EditMixer2")->text(), QStringLiteral("50"));
        QVERIFY(Sent().isEmpty());

        // A typed value: the bar's error ends the box's change as well, once.
        Type(Box("EditPan4"), QStringLiteral("12"));
        Enter(Box("EditPan4"));
        QCOMPARE(TakeErrors().size(), std::size_t(1));
        QCOMPARE(Bar("BarPan4")->value(), 12);

        Outputs.ClearFailures();
        Outputs.FailSysEx("Unspecified MIDI error.");
        Bar("BarReverbLevel")->setValue(9);
        Bar("BarTrans2")->setValue(9);
        Check("CBMFXSwitch2")->click();
        Check("CBDelaySwitch")->click();
        QCOMPARE(TakeErrors().size(), std::size_t(4));
        QVERIFY(Sent().isEmpty());

        // The nested delay change fails at its first message; the outer one stops there too.
        Type(Box("EditDelayFeedback"), QStringLiteral("150"));
        Enter(Box("EditDelayFeedback"));
        QCOMPARE(TakeErrors(), std::vector<std::string> {"Unspecified MIDI error."});
        QCOMPARE(Box("EditDelayFeedback")->text(), QStringLiteral("98"));
        QVERIFY(Sent().isEmpty());
        Outputs.ClearFailures();
    }

    void failedFirstOpening()
    {
        // An output index that names no device: the opening stops at its first request, the
        // decoder is not left attached, and the send handlers stay unconnected.
        TFormMixer form([] { return TMainWindowSettings {3, 17}; }, Outputs);
        // Any wait for answers would dispatch this.
        bool waited = false;
        QTimer::singleShot(0, &form, [&waited] { waited = true; });
        form.FormShow();
        QVERIFY(!waited);
        QCOMPARE(Errors, std::vector<std::string> {"TMidiOutput: Device index out of bounds! (3)"});
        Errors.clear();
        QVERIFY(!midi::MidiIn().HasOnSysEx());
        FindControl<QScrollBar>(form, QStringLiteral("BarMixer1"))->setValue(5);
        FindControl<QScrollBar>(form, QStringLiteral("BarReverbLevel"))->setValue(5);
        QVERIFY(Errors.empty());
        QVERIFY(Sent().isEmpty());
    }

    void answersArriveThroughTheInput()
    {
        // Deliveries reach the decoder only while an opening waits.
        TReceiveLog *log = Find<TReceiveLog>(QStringLiteral("EditBPM"));
        log->SetText(QStringLiteral("0"));
        Fake->PlayLong(0, MixerPartBlock(0x11, {{F::Level, 33}}));
        QCoreApplication::processEvents();
        QCOMPARE(log->Text(), QStringLiteral("0"));

        TFormMixer form([] { return TMainWindowSettings {0, 32}; }, Outputs);
        QTimer::singleShot(100, this, [this] {
            Fake->PlayLong(0, MixerPartBlock(0x11, {{F::Level, 33}}));
            Fake->PlayLong(0, MixerSwitchBlock(1, 0, 1));
        });
        form.FormShow();
        QCOMPARE(FindControl<TEditBox>(form, QStringLiteral("EditMixer3"))->text(),
                 QStringLiteral("33"));
        QVERIFY(FindControl<QCheckBox>(form, QStringLiteral("CBReverbSwitch"))->isChecked());
        QCOMPARE(FindControl<TReceiveLog>(form, QStringLiteral("EditBPM"))->Text(),
                 QStringLiteral("0 2 Switch"));
        // Device ID 32 gives the device byte 1F in this opening's headers.
        QCOMPARE(Sent().front().left(8), QStringLiteral("F0 41 1F"));
        QCOMPARE(form.Session().Model3AHeader, std::string("00 F0 41 1F 3A 12 "));
        QCOMPARE(form.Session().DataSetHeader, std::string("F0 41 1F 00 0B 12 "));
    }
};

QTEST_MAIN(TestMixerWindow)
#include "tst_mixer_window.moc"
