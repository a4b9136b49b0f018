// The whole program on its own MIDI service: the built-in instrument first in both lists, the
// editor showing part 1 at start, the menu opening the mixer and the setup dialog, and a clean
// end.

#include "app/Application.h"
#include "controls/DropDownList.h"
#include "controls/ReceiveLog.h"
#include "instrument/VirtualInstrumentPorts.h"
#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "midi/MidiService.h"
#include "midi/SysExText.h"
#include "mixer/FormMFX.h"
#include "session/ErrorPolicy.h"
#include "settings/ConfFile.h"
#include "support/ErrorRecorder.h"
#include "support/MadeUpDump.h"
#include "support/RawFile.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QUndoGroup>
#include <QUndoStack>
#include <QtTest>

namespace {
// One output device that reports, once asked to, that it has come back.
class TReturningProvider final : public midi::IMidiPortProvider
{
public:
    std::vector<std::unique_ptr<midi::IMidiInPort>> InputPorts() override { return {}; }
    std::vector<std::unique_ptr<midi::IMidiOutPort>> OutputPorts() override
    {
        std::vector<std::unique_ptr<midi::IMidiOutPort>> ports;
        ports.push_back(std::make_unique<TPort>(Returning));
        return ports;
    }
    std::shared_ptr<std::atomic<bool>> Returning = std::make_shared<std::atomic<bool>>(false);

private:
    struct TPort final : midi::IMidiOutPort
    {
        explicit TPort(std::shared_ptr<std::atomic<bool>> returning)
            : Returning(std::move(returning))
        { }
        std::string Name() const override { return "Cable"; }
        bool Open(std::string &) override { return true; }
        bool Send(const std::uint8_t *, std::size_t, std::string &) override { return true; }
        void Close() override { }
        midi::TPortCheck Recheck() override
        {
            return Returning->exchange(false) ? midi::TPortCheck::Back : midi::TPortCheck::Present;
        }
        std::shared_ptr<std::atomic<bool>> Returning;
    };
};
} // namespace

class TestProgram : public QObject, public TErrorRecorder
{
    Q_OBJECT

private slots:
    void init()
    {
        QFile::remove(QStringLiteral("Ombrix.INI"));
        QFile::remove(QStringLiteral("Ombrix.conf"));
        qunsetenv("OMBRIX_STRICT_TIMING");
        Errors.clear();
        RecordErrors();
        midi::SetMidiService(CreateProgramMidiService());
    }
    void cleanup()
    {
        midi::ShutdownMidi();
        midi::SetMidiService(nullptr);
        StopRecordingErrors();
        QFile::remove(QStringLiteral("Ombrix.INI"));
        QFile::remove(QStringLiteral("Ombrix.conf"));
        qunsetenv("OMBRIX_STRICT_TIMING");
    }

    // A burst of data sets to as many addresses (none replaces another), the value 0 each.
    static void SendBurst(midi::IMidiOut &device, int count)
    {
        for (int i = 0; i < count; ++i)
            device.SendSysExText("F0 41 10 00 0B 12 01 00 00 " + midi::HexByte(i) + " 00");
    }

    void reconnectedDeviceIsShownInTheStatusBar()
    {
        midi::ShutdownMidi();
        auto returning = std::make_shared<TReturningProvider>();
        midi::SetMidiService(
            std::make_shared<midi::TMidiHub>(std::vector<std::shared_ptr<midi::IMidiPortProvider>> {
                std::make_shared<instrument::TVirtualInstrumentProvider>(
                    std::make_shared<instrument::TVirtualInstrument>()),
                returning}));
        TProgramWindows windows;
        midi::MidiOut().Open(1);
        auto *bar = windows.Ombrix.findChild<QStatusBar *>("StatusBar");
        QTest::qWait(600);
        QVERIFY(bar->currentMessage().isEmpty());
        returning->Returning->store(true);
        // How soon is a figure of `make bench` (bench_app_replug); here only a hang fails.
        QTRY_COMPARE_WITH_TIMEOUT(bar->currentMessage(), QString("MIDI output Cable reconnected"),
                                  30000);
        QVERIFY(Errors.empty());
    }

    void builtInInstrumentTakesNoGapUnlessStrict()
    {
        settings::WriteConfFile(QStringLiteral("Ombrix.conf"), settings::TConfValues {35});
        {
            TProgramWindows windows;
            QCOMPARE(windows.Outputs.Gap(0), std::chrono::microseconds(0));
        }
        midi::ShutdownMidi();
        qputenv("OMBRIX_STRICT_TIMING", "1");
        midi::SetMidiService(CreateProgramMidiService());
        TProgramWindows windows;
        QCOMPARE(windows.Outputs.Gap(0), std::chrono::microseconds(35000));
        QVERIFY(Errors.empty());
    }

    void strictBuiltInInstrumentShowsItsDrops()
    {
        qputenv("OMBRIX_STRICT_TIMING", "1");
        midi::ShutdownMidi();
        midi::SetMidiService(CreateProgramMidiService());
        TProgramWindows windows;
        auto *bar = windows.Ombrix.findChild<QStatusBar *>("StatusBar");
        // Paced, the part answer's echo loses nothing; sent around the queue, a burst does.
        QVERIFY(windows.FinishSending());
        QTest::qWait(600);
        QVERIFY(!bar->currentMessage().contains("dropped"));
        for (int i = 0; i < 5; ++i)
            midi::MidiOut().SendSysExText(0,
                                          "F0 41 10 00 0B 12 01 00 00 " + midi::HexByte(i) + " 00");
        QTRY_COMPARE_WITH_TIMEOUT(
            bar->currentMessage(),
            QString("The built-in instrument dropped 4 data messages (strict timing)"), 2000);
        QVERIFY(Errors.empty());
    }

    void setupOkAppliesTheGap()
    {
        qputenv("OMBRIX_STRICT_TIMING", "1");
        midi::ShutdownMidi();
        midi::SetMidiService(CreateProgramMidiService());
        TProgramWindows windows;
        QCOMPARE(windows.Outputs.Gap(0), std::chrono::microseconds(20000));
        QTimer::singleShot(200, &windows.FormSetup, [&] {
            auto *gap = windows.FormSetup.findChild<QLineEdit *>("EditSetup_Gap");
            gap->setText(QStringLiteral("45"));
            windows.FormSetup.findChild<QPushButton *>("OKBtn")->click();
        });
        windows.Ombrix.findChild<QAction *>("Setup")->trigger();
        QCOMPARE(windows.Outputs.Gap(0), std::chrono::microseconds(45000));
        QVERIFY(Errors.empty());
    }

    void unreadableConfIsReportedOnce()
    {
        QVERIFY(QDir().mkdir(QStringLiteral("Ombrix.conf")));
        {
            TProgramWindows windows;
            QCOMPARE(Errors.size(), std::size_t(1));
            QVERIFY(QString::fromStdString(Errors.front()).contains("Ombrix.conf"));
        }
        QVERIFY(QDir().rmdir(QStringLiteral("Ombrix.conf")));
        Errors.clear();
    }

    void quittingFinishesSending()
    {
        TProgramWindows windows;
        midi::IMidiOut &device = windows.Outputs.Device(0);
        SendBurst(device, 40);
        QVERIFY(device.Waiting() > 0);
        QVERIFY(windows.FinishSending());
        QCOMPARE(device.Waiting(), std::size_t(0));
        QVERIFY(Errors.empty());
    }

    void failedDeviceIsReportedOnceWithWhatWasLost()
    {
        TProgramWindows windows;
        // Part 1's request ends with its last answer, whose echo may still be on its way.
        QTRY_COMPARE(windows.Outputs.Device(0).Waiting(), std::size_t(0));
        midi::MidiOut().Close(0);
        SendBurst(windows.Outputs.Device(0), 25);
        QTRY_COMPARE(Errors.size(), std::size_t(1));
        QTest::qWait(300);
        QCOMPARE(Errors.size(), std::size_t(1));
        QVERIFY2(QString::fromStdString(Errors.front()).contains("25 messages were not sent."),
                 Errors.front().c_str());
        midi::MidiOut().Open(0);
        Errors.clear();
    }

    void firstStartTalksToTheBuiltInInstrument()
    {
        TProgramWindows windows;
        QVERIFY(Errors.empty());
        QCOMPARE(midi::MidiIn().Name(0), std::string("Ombrix Virtual MC-307"));
        QCOMPARE(midi::MidiOut().Name(0), std::string("Ombrix Virtual MC-307"));
        QCOMPARE(windows.Ombrix.findChild<TReceiveLog *>("Edit1")->Text(),
                 QString(" Patch Common Tone1 Tone2 Tone3 Tone4"));
    }

    // OMBRIX_INSTRUMENT_FILE fills the built-in instrument before the main window asks it for
    // part 1, which then shows the dump's patch selection.
    void builtInInstrumentStartsFromTheInstrumentFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("pattern.syx"));
        const auto messages = madeup::PatternDumpMessages();
        const madeup::TBytes file = madeup::FileOf(messages);
        WriteRaw(path,
                 QByteArray(reinterpret_cast<const char *>(file.data()), qsizetype(file.size())));
        qputenv("OMBRIX_INSTRUMENT_FILE", path.toLocal8Bit());
        const std::optional<int> status = ReadInstrumentFile();
        qunsetenv("OMBRIX_INSTRUMENT_FILE");
        QVERIFY(!status);
        midi::ShutdownMidi();
        midi::SetMidiService(CreateProgramMidiService());
        // The services made after this one start from the instrument's own memory again.
        QVERIFY(!ReadInstrumentFile());
        const auto instrument = BuiltInInstrument();
        for (const madeup::TDumpMessage &m : messages)
            QVERIFY2(instrument->Read(m.Address, int(m.Data.size())) == m.Data,
                     qPrintable(HexOf(m.Address)));
        TProgramWindows windows;
        QCOMPARE(windows.Ombrix.findChild<TDropDownList *>("LBPatchGroup")->ItemIndex(),
                 madeup::DumpGroupByte - 1);
        QVERIFY(Errors.empty());
    }

    // The Edit menu works on the mixer's stack while the mixer is in front, its shortcut too.
    void mixerStepsUndoWhileTheMixerIsInFront()
    {
        TProgramWindows windows;
        QAction *undo = windows.Ombrix.findChild<QAction *>("Undo");
        int moved = 0;
        int restored = 0;
        QUndoStack *activeInMixer = nullptr;
        QString undoText;
        QTimer::singleShot(2500, &windows.FormMixer, [&] {
            activeInMixer = windows.Undo.Group().activeStack();
            auto *bar = windows.FormMixer.findChild<QScrollBar *>("BarMixer3");
            restored = bar->value();
            bar->triggerAction(QAbstractSlider::SliderPageStepSub);
            moved = bar->value();
            undoText = undo->text();
            QTest::keyClick(&windows.FormMixer, Qt::Key_Z, Qt::ControlModifier);
            restored -= bar->value();
            windows.FormMixer.findChild<QPushButton *>("OKBtn")->click();
        });
        windows.Ombrix.findChild<QAction *>("Mixer")->trigger();
        QCOMPARE(activeInMixer, &windows.Undo.MixerStack());
        QCOMPARE(undoText, QString("Undo Level Part 2"));
        QVERIFY(moved != 0);
        QCOMPARE(restored, 0);
        QCOMPARE(windows.Undo.Group().activeStack(), &windows.Undo.PartStack(0));
        QCOMPARE(undo->text(), QString("Undo"));
        QVERIFY(Errors.empty());
    }

    void menuOpensTheMixer()
    {
        TProgramWindows windows;
        QTimer::singleShot(2500, &windows.FormMixer, [&] {
            QVERIFY(windows.FormMixer.isVisible());
            windows.FormMixer.findChild<QPushButton *>("OKBtn")->click();
        });
        windows.Ombrix.findChild<QAction *>("Mixer")->trigger();
        QVERIFY(!windows.FormMixer.isVisible());
        const QString log = windows.FormMixer.findChild<TReceiveLog *>("EditBPM")->Text();
        QVERIFY2(log.contains(" Common") && log.contains(" R") && log.contains(" Switch"),
                 qPrintable(log));
        QVERIFY(Errors.empty());
    }

    // Pattern > MFX with the mixer closed: a window of its own that reads the instrument first;
    // the mixer's Setup button then takes it over, above the mixer and usable under its modal run.
    void menuOpensTheMfxWindowOnItsOwn()
    {
        TProgramWindows windows;
        TFormMFX &mfx = windows.FormMixer.Mfx();
        auto *menuItem = windows.Ombrix.findChild<QAction *>("ActionMFX");
        QCOMPARE(menuItem->text(), QString("MFX"));
        const QList<QAction *> items = windows.Ombrix.findChild<QMenu *>("Pattern")->actions();
        QCOMPARE(items.indexOf(menuItem),
                 items.indexOf(windows.Ombrix.findChild<QAction *>("Mixer")) + 1);
        menuItem->trigger();
        QVERIFY(mfx.isVisible());
        QVERIFY(mfx.isWindow() && !mfx.parentWidget());
        QCOMPARE(mfx.windowTitle(), QString("MFX"));
        QVERIFY(mfx.ValuesKnown());
        bool usable = false;
        QTimer::singleShot(2500, &windows.FormMixer, [&] {
            // A child window of the modal mixer is outside what the mixer blocks.
            usable = mfx.parentWidget() == &windows.FormMixer && mfx.isVisible()
                && QApplication::activeModalWidget() == &windows.FormMixer;
            windows.FormMixer.findChild<QPushButton *>("OKBtn")->click();
        });
        windows.Ombrix.findChild<QAction *>("Mixer")->trigger();
        QVERIFY(usable);
        QVERIFY(Errors.empty());
    }

    void menuOpensTheSetupAndAppliesIt()
    {
        TProgramWindows windows;
        QTimer::singleShot(200, &windows.FormSetup, [&] {
            QVERIFY(windows.FormSetup.isVisible());
            QCOMPARE(windows.FormSetup.findChild<TDropDownList *>("LBSetup_Midi_in")->itemText(0),
                     QString("Ombrix Virtual MC-307"));
            windows.FormSetup.findChild<QPushButton *>("OKBtn")->click();
        });
        windows.Ombrix.findChild<QAction *>("Setup")->trigger();
        QFile file(QStringLiteral("Ombrix.INI"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith("0\r\n0\r\n17\r\n"));
        QCOMPARE(windows.Ombrix.Devices().DeviceId, 17);
        QVERIFY(Errors.empty());
    }
};

QTEST_MAIN(TestProgram)
#include "tst_app_program.moc"
