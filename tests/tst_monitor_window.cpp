// The MIDI monitor: its model's cap, the filters, copying and saving, what it hears of the paced
// output (a message as it leaves, never one replaced while it waited, one row for what a failing
// device dropped), and the window opened from the main window's View menu listing a part
// request's traffic on the virtual instrument.

#include "controls/RadioGroup.h"
#include "controls/UndoCoordinator.h"
#include "editor/Ombrix.h"
#include "midi/MidiDevices.h"
#include "midi/PacedOutput.h"
#include "monitor/FormMonitor.h"
#include "session/ErrorPolicy.h"
#include "session/TrafficTap.h"
#include "support/EditorTestSupport.h"
#include "support/ErrorRecorder.h"
#include "support/RecordingOutputs.h"
#include "support/VirtualRig.h"
#include "sysex/InstrumentPacing.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QItemSelectionModel>
#include <QMenuBar>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdint>
#include <memory>
#include <vector>

using TBytes = std::vector<std::uint8_t>;

namespace {
const TBytes LevelSet {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02,
                       0x03, 0x12, 0x65, 0x64, 0x20, 0xF7};
const TBytes Transpose {0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12, 0x32, 0x55, 0x34, 0x00, 0x45, 0xF7};
const TBytes Sensing {0xFE};
const TBytes Clock {0xF8};
const TBytes LevelChange {0xB3, 0x07, 0x64};

// Part 4's tone 2 byte at offset in its block.
TBytes ToneByte(std::uint8_t offset, std::uint8_t value)
{
    TBytes message {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02, 0x03, 0x12, offset, value};
    message.push_back(midi::RolandChecksum(message.data() + 6, 5));
    message.push_back(0xF7);
    return message;
}

// Five messages: two sent, three received.
void Fill(monitor::TMonitorModel &model)
{
    model.Append(1, true, "Out A", LevelSet);
    model.Append(2, false, "In A", Sensing);
    model.Append(3, true, "Out A", Transpose);
    model.Append(4, false, "In A", Clock);
    model.Append(5, false, "In A", LevelChange);
}

QStringList Meanings(const QAbstractItemModel &model)
{
    QStringList meanings;
    for (int row = 0; row < model.rowCount(); ++row)
        meanings << model.index(row, monitor::TMonitorModel::MeaningColumn).data().toString();
    return meanings;
}
} // namespace

class TestMonitorWindow : public QObject
{
    Q_OBJECT
private slots:
    void columns()
    {
        monitor::TMonitorModel model;
        Fill(model);
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.Text(0, 0), QString("1"));
        QCOMPARE(model.Text(0, 1), QString("Out"));
        QCOMPARE(model.Text(1, 1), QString("In"));
        QCOMPARE(model.Text(1, 2), QString("In A"));
        QCOMPARE(model.Text(4, 3), QString("B3 07 64"));
        QCOMPARE(model.Text(0, 4), QString("Part 4 Tone 2 Level = 100"));
        QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), QString("Meaning"));
        // What the receiving side dropped as no whole message.
        const TBytes fragment {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02, 0x01, 0x10, 0x65};
        model.Append(6, false, "In A", fragment);
        QCOMPARE(model.Text(5, 4), QString("cut short"));
    }

    // A parameter keeps the name of the type it was sent for, whatever type comes after it.
    void mfxNamedAfterTheTypeOfTheirTime()
    {
        monitor::TMonitorModel model;
        const std::string type = "F0 41 10 00 0B 12 01 00 00 0D ";
        const std::string rate = "F0 41 10 00 0B 12 01 00 00 0F 6D";
        for (const std::string &text : {type + "0E", rate, type + "16", rate})
            model.Append(1, true, "Out", SysExOfText(text));
        const QStringList meanings {"MFX Type CHORUS", "MFX Rate 1/2", "MFX Type REVERB",
                                    "MFX Reverb Time 109"};
        for (int row = 0; row < meanings.size(); ++row)
            QCOMPARE(model.Text(row, monitor::TMonitorModel::MeaningColumn), meanings[row]);
    }

    void capDropsTheOldest()
    {
        monitor::TMonitorModel model;
        QCOMPARE(monitor::TMonitorModel::DefaultCap, 100000);
        const int total = 100000 + 2500;
        for (int i = 0; i < total; ++i)
            model.Append(i, true, "Out", LevelChange);
        QVERIFY(model.rowCount() <= 100000);
        QVERIFY(model.rowCount() > 100000 - monitor::TMonitorModel::DefaultBlock);
        // The newest is kept, and the rows are the latest ones, in order.
        QCOMPARE(model.Row(model.rowCount() - 1).Ms, qint64(total - 1));
        QCOMPARE(model.Row(0).Ms, qint64(total - model.rowCount()));
    }

    // Until the window is first shown the monitor keeps fewer rows; showing it raises the cap,
    // and a lowered cap drops the oldest at once.
    void capFollowsTheFirstOpening()
    {
        monitor::TFormMonitor form;
        QCOMPARE(form.Model().CapOfRows(), monitor::TMonitorModel::UnwatchedCap);
        const int total = monitor::TMonitorModel::UnwatchedCap + 1500;
        for (int i = 0; i < total; ++i)
            form.Model().Append(i, true, "Out", LevelChange);
        QVERIFY(form.Model().rowCount() <= monitor::TMonitorModel::UnwatchedCap);
        QCOMPARE(form.Model().Row(form.Model().rowCount() - 1).Ms, qint64(total - 1));
        form.show();
        form.hide();
        QCOMPARE(form.Model().CapOfRows(), monitor::TMonitorModel::DefaultCap);
        form.Model().SetCap(100);
        QCOMPARE(form.Model().rowCount(), 100);
        QCOMPARE(form.Model().Row(0).Ms, qint64(total - 100));
        QCOMPARE(form.Filter().rowCount(), 100);
    }

    void filters_data()
    {
        QTest::addColumn<bool>("hideSensing");
        QTest::addColumn<int>("direction");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("meanings");
        const QString level = "Part 4 Tone 2 Level = 100";
        const QString transpose = "Pattern part 3 transpose = -12";
        const QString cc = "Channel 4 Level = 100";
        QTest::newRow("default") << true << 0 << "" << QStringList {level, transpose, cc};
        QTest::newRow("everything")
            << false << 0 << "" << QStringList {level, "Active Sensing", transpose, "Clock", cc};
        QTest::newRow("sent only") << true << 1 << "" << QStringList {level, transpose};
        QTest::newRow("received only")
            << false << 2 << "" << QStringList {"Active Sensing", "Clock", cc};
        QTest::newRow("text in meaning") << true << 0 << "level" << QStringList {level, cc};
        QTest::newRow("text in bytes") << true << 0 << "3A 12" << QStringList {transpose};
        QTest::newRow("nothing") << true << 0 << "zzz" << QStringList {};
    }
    void filters()
    {
        QFETCH(bool, hideSensing);
        QFETCH(int, direction);
        QFETCH(QString, text);
        QFETCH(QStringList, meanings);
        monitor::TMonitorModel model;
        Fill(model);
        monitor::TMonitorFilter filter;
        filter.setSourceModel(&model);
        filter.SetHideSensing(hideSensing);
        filter.SetDirection(static_cast<monitor::TMonitorFilter::TDirection>(direction));
        filter.SetText(text);
        QCOMPARE(Meanings(filter), meanings);
    }

    void copyText()
    {
        monitor::TFormMonitor form;
        Fill(form.Model());
        QCOMPARE(form.Filter().rowCount(), 3);
        QItemSelectionModel *selection = form.View().selectionModel();
        for (int row : {0, 2})
            selection->select(form.Filter().index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        form.CopySelection();
        QCOMPARE(QApplication::clipboard()->text(),
                 QString("1\tOut\tOut A\tF0 41 10 00 0B 12 02 03 12 65 64 20 F7\t"
                         "Part 4 Tone 2 Level = 100\n"
                         "5\tIn\tIn A\tB3 07 64\tChannel 4 Level = 100\n"));
    }

    void saveSyxRoundTrip()
    {
        monitor::TFormMonitor form;
        Fill(form.Model());
        QTemporaryDir dir;
        const QString path = dir.filePath("all.syx");
        QCOMPARE(monitor::SaveFile(path, form.Model().RowsSyx(form.ChosenRows(true))), QString());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        // The data set, then the model-3A message without its leading 00; nothing short.
        TBytes expected = LevelSet;
        expected.insert(expected.end(), Transpose.begin() + 1, Transpose.end());
        QCOMPARE(TBytes(bytes.begin(), bytes.end()), expected);
        // Read back, the messages mean what they meant.
        monitor::TMonitorModel again;
        again.Append(0, true, "File", TBytes(bytes.begin(), bytes.begin() + 13));
        again.Append(0, true, "File", TBytes(bytes.begin() + 13, bytes.end()));
        QCOMPARE(again.Text(0, 4), form.Model().Text(0, 4));
        QCOMPARE(again.Text(1, 4), form.Model().Text(2, 4));
    }

    void saveTextAndError()
    {
        monitor::TMonitorModel model;
        Fill(model);
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        QCOMPARE(monitor::SaveFile(path, model.RowsText({4}).toUtf8()), QString());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()),
                 QString("5\tIn\tIn A\tB3 07 64\tChannel 4 Level = 100\n"));
        const QString error = monitor::SaveFile(dir.filePath("missing/log.txt"), "x");
        QVERIFY(error.contains("cannot be written"));
        QVERIFY(error.contains("missing/log.txt"));
    }

    void hearsWhatLeavesAndWhatWasNotSent()
    {
        TRecordingOutputs target;
        midi::TPacedOutputs paced(target, sysex::InstrumentPacing());
        paced.SetGap(0, std::chrono::milliseconds(30));
        session::TMonitoredOutputs outputs(paced);
        monitor::TFormMonitor form;
        const monitor::TMonitorModel &model = form.Model();
        midi::IMidiOut &device = outputs.Device(0);
        // The first leaves at once, the second waits for the gap and the third takes its place.
        device.SendSysEx(ToneByte(0x65, 1));
        device.SendSysEx(ToneByte(0x77, 1));
        device.SendSysEx(ToneByte(0x77, 2));
        QVERIFY(paced.Flush(std::chrono::seconds(5)));
        QTRY_COMPARE(model.rowCount(), 2);
        QCOMPARE(target.Sent(), (std::vector<TBytes> {ToneByte(0x65, 1), ToneByte(0x77, 2)}));
        QCOMPARE(model.Row(1).Bytes, ToneByte(0x77, 2));
        QVERIFY(model.Row(1).Ms - model.Row(0).Ms >= 29);

        target.FailSysEx("MIDI output \"Out\" has gone away.");
        for (std::uint8_t offset = 0x60; offset < 0x63; ++offset)
            device.SendSysEx(ToneByte(offset, 1));
        QVERIFY(paced.Flush(std::chrono::seconds(5)));
        QTRY_COMPARE(model.rowCount(), 3);
        QCOMPARE(model.Text(2, monitor::TMonitorModel::DirectionColumn), QString("Out"));
        QCOMPARE(model.Text(2, monitor::TMonitorModel::BytesColumn), QString());
        QCOMPARE(model.Text(2, monitor::TMonitorModel::MeaningColumn),
                 QString("3 messages not sent"));
        QCOMPARE(paced.TakeFailures().front().NotSent, std::size_t(3));
    }

    // View > MIDI Monitor shows the window, which has heard part 1's request at the start and
    // hears part 3's, with the answers.
    void opensFromMenuAndListsAPartRequest()
    {
        QFile::remove(QStringLiteral("Ombrix.INI"));
        TErrorRecorder recorder;
        recorder.RecordErrors();
        {
            TVirtualRig rig;
            monitor::TFormMonitor form;
            session::TMonitoredOutputs outputs(midi::MidiOut());
            TUndoCoordinator undo;
            TOmbrix window(outputs, undo);
            window.SetMonitor(&form);
            QVERIFY(form.Model().rowCount() > 0);
            const int before = form.Model().rowCount();

            auto *view = window.menuBar()->findChild<QMenu *>("Affichage");
            QVERIFY(view);
            QCOMPARE(view->title(), QString("View"));
            auto *action = window.findChild<QAction *>("MidiMonitor");
            QVERIFY(action);
            QCOMPARE(action->text(), QString("MIDI Monitor"));
            QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
            action->trigger();
            QVERIFY(form.isVisible());
            QCOMPARE(form.objectName(), QString("FormMonitor"));
            QVERIFY(!form.isModal());

            FindControl<TRadioGroup>(window, "RadioGroupSelectPart")->Item(2)->click();
            QStringList sent, received;
            for (int row = before; row < form.Model().rowCount(); ++row)
                (form.Model().Row(row).Sent ? sent : received) << form.Model().Text(row, 4);
            QVERIFY2(sent.contains("Pattern part 3 request, 26 bytes"), qPrintable(sent.join('|')));
            QVERIFY(sent.contains("Part 3 patch request, 2945 bytes")
                    || !sent.filter("Part 3 patch request").isEmpty());
            QVERIFY2(!received.filter("Pattern part 3").isEmpty(), qPrintable(received.join('|')));
            QVERIFY(!received.filter("Part 3 Tone 1").isEmpty());
            QCOMPARE(form.Model().Text(before, 2), QString::fromStdString(midi::MidiOut().Name(0)));
        }
        TErrorRecorder::StopRecordingErrors();
        QVERIFY(recorder.Errors.empty());
        QFile::remove(QStringLiteral("Ombrix.INI"));
    }
};

QTEST_MAIN(TestMonitorWindow)
#include "tst_monitor_window.moc"
