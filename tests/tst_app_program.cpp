// The whole program on its own MIDI service: the built-in instrument first in both lists, the
// editor showing part 1 at start, the menu opening the mixer and the setup dialog, and a clean
// end.

#include "app/Application.h"
#include "controls/DropDownList.h"
#include "controls/ReceiveLog.h"
#include "midi/MidiDevices.h"
#include "midi/MidiService.h"
#include "protocol/Handlers.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestProgram : public QObject
{
    Q_OBJECT

    std::vector<std::string> Errors;

private slots:
    void init()
    {
        QFile::remove(QStringLiteral("Ombrix.INI"));
        Errors.clear();
        protocol::SetErrorReporter([this](const std::string &text) { Errors.push_back(text); });
        midi::SetMidiService(CreateProgramMidiService());
    }
    void cleanup()
    {
        midi::ShutdownMidi();
        midi::SetMidiService(nullptr);
        protocol::SetErrorReporter(nullptr);
        QFile::remove(QStringLiteral("Ombrix.INI"));
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
        QCOMPARE(windows.Ombrix.DeviceId, 17);
        QVERIFY(Errors.empty());
    }
};

QTEST_MAIN(TestProgram)
#include "tst_app_program.moc"
