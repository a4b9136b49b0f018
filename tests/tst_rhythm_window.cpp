// The rhythm set window against the strict built-in instrument, through the paced output: the
// opening reads the name and the 64 keys; each kind of control sends its lowest, highest and a
// middle value as the key's data set and shows the map's text; an envelope drag sends the key's
// times and levels; the wave goes as group and two nibbles; a key is copied and pasted with its
// target's reserved bytes, and undone; a file is saved and opened back byte for byte; a block
// the instrument leaves out is reported, not shown; a key click sounds on channel 10.

#include "controls/DropDownList.h"
#include "controls/EnvelopeImage.h"
#include "controls/UndoCoordinator.h"
#include "midi/MidiDevices.h"
#include "midi/PacedOutput.h"
#include "monitor/FormMonitor.h"
#include "monitor/MonitorModel.h"
#include "rhythm/FormRhythm.h"
#include "rhythm/RhythmKeyboard.h"
#include "session/TrafficTap.h"
#include "support/EditorTestSupport.h"
#include "support/ErrorRecorder.h"
#include "support/MessageText.h"
#include "support/PassingOutputs.h"
#include "support/VirtualRig.h"
#include "sysex/InstrumentPacing.h"
#include "sysex/RolandMessage.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QtTest>

#include <functional>
#include <memory>

using namespace sysex::rhythm;
using namespace std::chrono_literals;

namespace {
constexpr std::uint8_t Device = 0x10; // device ID 17

// Passes every message on, records the data sets and requests, and holds back those drop names.
class TWatchedOutputs : public TPassingOutputs
{
public:
    using TPassingOutputs::TPassingOutputs;
    void SendSysEx(const midi::TByteStream &message) override
    {
        Sent.push_back(message);
        if (!Drop || !Drop(message))
            TPassingOutputs::SendSysEx(message);
    }
    std::vector<midi::TByteStream> Sent;
    std::function<bool(const midi::TByteStream &)> Drop;
};

midi::TByteStream DataSet(int note, int offset, std::vector<std::uint8_t> data)
{
    return sysex::DataSetMessage(Device, {Area, SubArea, std::uint8_t(note), std::uint8_t(offset)},
                                 data);
}
} // namespace

class TestRhythmWindow : public QObject, public TErrorRecorder
{
    Q_OBJECT

    std::unique_ptr<TVirtualRig> Rig;
    std::unique_ptr<midi::TPacedOutputs> Paced;
    std::unique_ptr<TWatchedOutputs> Watched;
    std::unique_ptr<TUndoCoordinator> Undo;
    std::unique_ptr<TFormRhythm> Form;

    template<class T>
    T *Find(const QString &name)
    {
        return FindControl<T>(*Form, name);
    }
    TKeyBlock Memory(int note)
    {
        TKeyBlock key {};
        const auto bytes
            = Rig->Instrument().Read({Area, SubArea, std::uint8_t(note), 0}, KeyBlockSize);
        std::copy(bytes.begin(), bytes.end(), key.begin());
        return key;
    }
    void Open()
    {
        Form = std::make_unique<TFormRhythm>([] { return TRhythmTarget {0, 17}; }, *Watched);
        Form->SetUndo(*Undo);
        Form->Open();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
    }
    void WaitSent()
    {
        QTRY_VERIFY_WITH_TIMEOUT(Paced->Device(0).Waiting() == 0, 15000);
        QTest::qWait(30);
    }
    void ClickKey(int note)
    {
        auto *keyboard = Find<TRhythmKeyboard>(QStringLiteral("RhythmKeyboard"));
        QTest::mouseClick(keyboard, Qt::LeftButton, {}, keyboard->CentreOf(note));
    }
    // Sets a row's control to the byte as the user would; another value first when it shows it.
    void UserSets(const TKeyParam &param, int byte)
    {
        QWidget *control = Find<QWidget>(QString::fromStdString(ObjectName(param)));
        if (auto *box = qobject_cast<QCheckBox *>(control)) {
            // On the box itself, which lies at the left of its wide cell.
            const QPoint onBox(6, box->height() / 2);
            if (box->isChecked() == (byte == 1))
                QTest::mouseClick(box, Qt::LeftButton, {}, onBox);
            QTest::mouseClick(box, Qt::LeftButton, {}, onBox);
        } else if (auto *list = qobject_cast<TDropDownList *>(control)) {
            if (list->ItemIndex() == byte - param.StoredMin)
                UserPick(list, byte == param.StoredMin ? 1 : 0);
            UserPick(list, byte - param.StoredMin);
        } else if (auto *bar = qobject_cast<QScrollBar *>(control)) {
            const int value = param.ToControl(byte);
            if (bar->value() == value)
                bar->setValue(value == bar->minimum() ? bar->maximum() : bar->minimum());
            if (value == bar->minimum() || value == bar->maximum())
                QTest::keyClick(bar, value == bar->minimum() ? Qt::Key_Home : Qt::Key_End);
            else
                bar->setValue(value);
        }
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
        Watched = std::make_unique<TWatchedOutputs>(*Paced);
        Undo = std::make_unique<TUndoCoordinator>();
    }
    void cleanup()
    {
        Form.reset();
        Undo.reset();
        Watched.reset();
        Paced.reset();
        QCOMPARE(Rig->Instrument().StrictDrops(), std::uint64_t(0));
        QCOMPARE(Rig->Instrument().ValuesOutOfRange(), std::uint64_t(0));
        Rig.reset();
        StopRecordingErrors();
    }

    void openingReadsNameAndEveryKey()
    {
        Open();
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
        // One request, spanning the name and the 64 keys.
        QCOMPARE(Watched->Sent.size(), std::size_t(1));
        QCOMPARE(HexOf(Watched->Sent[0]),
                 HexOf(sysex::RequestMessage(Device, {2, 9, 0, 0}, 0x313A)));
        QCOMPARE(Find<QLineEdit>(QStringLiteral("EditRhythmName"))->text(),
                 QStringLiteral("Velmo Beats"));
        for (int note = FirstKey; note <= LastKey; ++note)
            QVERIFY(Form->Data().Key(note) == Memory(note));
        // A key switch shows what was read and asks nothing.
        auto *list = Find<QTableView>(QStringLiteral("ListRhythmKeys"));
        list->selectRow(50 - FirstKey);
        QCOMPARE(Form->SelectedKey(), 50);
        QCOMPARE(Find<QScrollBar>(QStringLiteral("BarCutoffKey"))->value(), int(Memory(50)[0x1B]));
        QCOMPARE(Watched->Sent.size(), std::size_t(1));
        // A name typed goes as its 12 bytes; a character above 125 is not taken.
        auto *name = Find<QLineEdit>(QStringLiteral("EditRhythmName"));
        name->selectAll();
        QTest::keyClicks(name, QStringLiteral("Kit~Two"));
        QTest::keyClick(name, Qt::Key_Return);
        const std::string padded = "KitTwo      ";
        QCOMPARE(HexOf(Watched->Sent.back()),
                 HexOf(sysex::DataSetMessage(
                     Device, {2, 9, 0, 0},
                     {reinterpret_cast<const std::uint8_t *>(padded.data()), padded.size()})));
        QTRY_COMPARE(HexOf(Rig->Instrument().Read({2, 9, 0, 0}, NameSize)),
                     HexOf({reinterpret_cast<const std::uint8_t *>(padded.data()), 12}));
        QCOMPARE(Undo->RhythmStack().undoText(), QStringLiteral("Rhythm Set Name"));
    }

    void eachKindSendsAndShows_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("text");
        const struct
        {
            const char *Name;
            int Byte;
            const char *Text;
        } rows[] = {
            {"CBSwitchKey", 0, "OFF"},
            {"CBSwitchKey", 1, "ON"},
            {"CBMfxKey", 1, "ON"},
            {"LBFilterKey", 0, "OFF"},
            {"LBFilterKey", 2, "BPF"},
            {"LBFilterKey", 4, "PKG"},
            {"LBMuteGroupKey", 0, "OFF"},
            {"LBMuteGroupKey", 31, "31"},
            {"LBGainKey", 3, "+12 dB"},
            {"BarCutoffKey", 0, "0"},
            {"BarCutoffKey", 64, "64"},
            {"BarCutoffKey", 127, "127"},
            {"BarTuneKey", 0, "-60 semitones"},
            {"BarTuneKey", 72, "+12 semitones"},
            {"BarTuneKey", 120, "+60 semitones"},
            {"BarPanKey", 0, "L64"},
            {"BarPanKey", 64, "0"},
            {"BarPanKey", 127, "R63"},
            {"BarVeloSensResoKey", 0, "-100"},
            {"BarVeloSensResoKey", 125, "+150"},
            {"BarVeloTimeAmpKey", 0, "-100"},
            {"BarVeloTimeAmpKey", 7, "0"},
            {"BarVeloTimeAmpKey", 14, "+100"},
            {"BarRandomPitchKey", 15, "60 cent"},
            {"BarRandomPitchKey", 30, "1200 cent"},
            {"BarBendRangeKey", 12, "\u00B112 semitones"},
        };
        for (const auto &row : rows)
            QTest::addRow("%s %d", row.Name, row.Byte)
                << QString::fromLatin1(row.Name) << row.Byte << QString::fromUtf8(row.Text);
    }
    void eachKindSendsAndShows()
    {
        QFETCH(QString, name);
        QFETCH(int, byte);
        QFETCH(QString, text);
        Open();
        ClickKey(38);
        const TKeyParam *param = nullptr;
        for (const TKeyParam &each : KeyTable)
            if (QString::fromStdString(ObjectName(each)) == name)
                param = &each;
        QVERIFY(param);
        UserSets(*param, byte);
        QCOMPARE(HexOf(Watched->Sent.back()),
                 HexOf(DataSet(38, param->Offset, {std::uint8_t(byte)})));
        QCOMPARE(Find<QLabel>(QStringLiteral("Text") + name)->text(), text);
        QTRY_COMPARE(int(Memory(38)[param->Offset]), byte);
        QCOMPARE(Undo->RhythmStack().undoText(),
                 QStringLiteral("%1 Key 38").arg(QLatin1String(param->Caption)));
        // A key whose sound is off is drawn dimmed.
        if (param->Offset == SwitchOffset)
            QCOMPARE(Find<TRhythmKeyboard>(QStringLiteral("RhythmKeyboard"))->IsDimmed(38),
                     byte == 0);
    }

    // The moves of one held bar are one step; the next press starts another.
    void eachBarDragIsOneStep()
    {
        Open();
        auto *bar = Find<QScrollBar>(QStringLiteral("BarCutoffKey"));
        const int start = bar->value();
        const auto drag = [bar](int to) {
            bar->setSliderDown(true);
            for (int value = bar->value(); value != to; value += to > value ? 1 : -1)
                bar->setValue(value + (to > value ? 1 : -1));
            bar->setSliderDown(false);
        };
        drag(start > 60 ? 10 : 110);
        const int middle = bar->value();
        drag(60);
        QCOMPARE(Undo->RhythmStack().count(), 2);
        Undo->RhythmStack().undo();
        QCOMPARE(bar->value(), middle);
        QTRY_COMPARE(int(Memory(36)[0x1B]), middle);
    }

    void envelopeDragSendsTimesAndLevels()
    {
        Open();
        auto *image = Find<TEnvelopeImage>(QStringLiteral("ImageEnvAmpKey"));
        const sysex::TEnvPoint handle = image->Envelope().Points[1];
        const TKeyBlock before = Memory(36);
        Watched->Sent.clear();
        QTest::mousePress(image, Qt::LeftButton, {}, QPoint(handle.x, handle.y));
        QTest::mouseMove(image, QPoint(handle.x + 15, handle.y + 12));
        QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(handle.x + 15, handle.y + 12));
        // Four times and three levels, a data set each.
        QCOMPARE(Watched->Sent.size(), std::size_t(7));
        WaitSent();
        const TKeyBlock after = Memory(36);
        QVERIFY(after[0x2C] != before[0x2C] || after[0x30] != before[0x30]);
        QCOMPARE(int(after[0x2C]), image->Envelope().Times[0]);
        QCOMPARE(int(after[0x30]), image->Envelope().Levels[0]);
    }

    void waveGoesAsGroupAndNibbles()
    {
        Open();
        UserPick(Find<TDropDownList>(QStringLiteral("LBWaveKey")), 2 * 255 + 200);
        QCOMPARE(HexOf(Watched->Sent.back()), HexOf(DataSet(36, 0x02, {0x03, 0x0C, 0x08})));
        QCOMPARE(Find<QLabel>(QStringLiteral("TextLBWaveKey"))->text(), QStringLiteral("C201"));
        QTRY_COMPARE(HexOf(Rig->Instrument().Read({2, 9, 36, 2}, 3)), QStringLiteral("03 0C 08"));
    }

    void copyAndPasteWithUndo()
    {
        Open();
        Form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form.get()));
        auto *keyboard = Find<TRhythmKeyboard>(QStringLiteral("RhythmKeyboard"));
        const TKeyBlock source = Memory(36);
        const TKeyBlock target = Memory(40);
        ClickKey(36);
        // From the list too, where a row was picked.
        auto *list = Find<QTableView>(QStringLiteral("ListRhythmKeys"));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        ClickKey(40);
        Watched->Sent.clear();
        QTest::keyClick(keyboard, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(Watched->Sent.size(), std::size_t(1));
        QCOMPARE(Watched->Sent[0].size(), std::size_t(KeyBlockSize + 12));
        TKeyBlock pasted = source;
        for (const TReservedByte &reserved : ReservedBytes)
            pasted[reserved.Offset] = target[reserved.Offset];
        QTRY_VERIFY(Memory(40) == pasted);
        QCOMPARE(Undo->RhythmStack().undoText(), QStringLiteral("Paste Key 40"));
        Undo->RhythmStack().undo();
        QTRY_VERIFY(Memory(40) == target);
        QVERIFY(Form->Data().Key(40) == target);
        // The name box takes Ctrl+V for itself.
        Find<QLineEdit>(QStringLiteral("EditRhythmName"))->setFocus();
        Watched->Sent.clear();
        QTest::keyClick(Find<QLineEdit>(QStringLiteral("EditRhythmName")), Qt::Key_V,
                        Qt::ControlModifier);
        QVERIFY(Watched->Sent.empty());
    }

    void fileSavedAndOpenedBackByteForByte()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("kit.syx"));
        const QString second = dir.filePath(QStringLiteral("again.syx"));
        Open();
        QVERIFY(Form->SaveTo(first));
        const TRhythmData read = Form->Data();
        UserSets(KeyTable[10], 3); // the cutoff of key 36
        WaitSent();
        QVERIFY(Form->OpenFrom(first));
        WaitSent();
        for (int note = FirstKey; note <= LastKey; ++note)
            QVERIFY(Memory(note) == read.Key(note));
        QVERIFY(Form->SaveTo(second));
        QFile a(first), b(second);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), b.readAll());
        // Undone, the set goes back to what it was before the file was sent.
        QCOMPARE(Undo->RhythmStack().undoText(), QStringLiteral("Open kit.syx"));
        Undo->RhythmStack().undo();
        QTRY_COMPARE(int(Memory(36)[0x1B]), 3);
        QVERIFY(!Form->OpenFrom(dir.filePath(QStringLiteral("none.syx"))));
        QCOMPARE(Errors.size(), std::size_t(1));
    }

    void missingBlockIsReportedNotShown()
    {
        // No answer to the spanning request, and none for key 40 asked alone.
        Watched->Drop = [](const midi::TByteStream &message) {
            const bool spanning = message[8] == 0x00 && message[12] == 0x62;
            return message.size() > 13 && message[5] == 0x11 && (spanning || message[8] == 40);
        };
        Open();
        QCOMPARE(Watched->Sent.size(), std::size_t(1 + BlockCount));
        QCOMPARE(Errors.size(), std::size_t(1));
        QVERIFY(QString::fromStdString(Errors[0]).contains(QStringLiteral("40 E2")));
        QVERIFY(!Form->Data().KnowsKey(40));
        QVERIFY(Form->Data().Key(41) == Memory(41));
        ClickKey(40);
        QVERIFY(!Find<QScrollBar>(QStringLiteral("BarCutoffKey"))->isEnabled());
        QCOMPARE(Find<QLabel>(QStringLiteral("TextBarCutoffKey"))->text(), QString());
        Errors.clear();
    }

    // The monitor names what the window sends and what the instrument answers.
    void monitorNamesRhythmMessages()
    {
        monitor::TFormMonitor monitor;
        session::TMonitoredOutputs monitored(*Paced);
        Form = std::make_unique<TFormRhythm>([] { return TRhythmTarget {0, 17}; }, monitored);
        Form->Open();
        UserSets(KeyTable[10], 3);
        WaitSent();
        QStringList meanings;
        for (int row = 0; row < monitor.Model().rowCount(); ++row)
            meanings << monitor.Model().Text(row, monitor::TMonitorModel::MeaningColumn);
        QVERIFY2(!meanings.filter(QStringLiteral("Rhythm set name")).isEmpty(),
                 qPrintable(meanings.join(u'|')));
        QVERIFY(meanings.contains(QStringLiteral("Rhythm key 36 (C2) Cutoff 3")));
    }

    void keyClickSoundsOnChannelTen()
    {
        Open();
        ClickKey(38);
        QCOMPARE(Form->SelectedKey(), 38);
        QTRY_COMPARE(Rig->Instrument().RhythmNoteOns(), std::uint64_t(1));
        QTRY_COMPARE(Rig->Instrument().RhythmNoteOffs(), std::uint64_t(1));
        QCOMPARE(Watched->Sent.size(), std::size_t(1));
    }
};

QTEST_MAIN(TestRhythmWindow)
#include "tst_rhythm_window.moc"
