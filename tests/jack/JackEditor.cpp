// The editor through a real MIDI server: the main window talks to ombrix-virtual-instrument on
// its JACK ports (strict, as the MC-307: run_jack_test.sh starts it with --strict-timing) through
// the paced output. A patch saved from one part and opened into another arrives there; undoing
// the opening brings the part's patch back; the monitor's tap hears the traffic both ways and
// says what it means.

#include "controls/UndoCoordinator.h"
#include "editor/Ombrix.h"
#include "editor/PatchFileActions.h"
#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "midi/PacedOutput.h"
#include "midi/RtMidiPorts.h"
#include "session/ErrorPolicy.h"
#include "session/ReceiveHandOver.h"
#include "session/TrafficTap.h"
#include "support/EditorTestSupport.h"
#include "support/ErrorRecorder.h"
#include "sysex/InstrumentPacing.h"
#include "sysex/MessageMeaning.h"
#include "sysex/PatchFile.h"

#include <QAction>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <memory>

using namespace std::chrono_literals;

namespace {
int IndexOf(const midi::TMidiDevices &devices, const std::string &name)
{
    for (int i = 0; i < devices.Count(); ++i)
        if (devices.Name(i).find(name) != std::string::npos)
            return i;
    return -1;
}
} // namespace

class TJackEditor : public QObject, public TErrorRecorder
{
    Q_OBJECT

    std::unique_ptr<midi::TPacedOutputs> Paced;
    std::unique_ptr<session::TMonitoredOutputs> Monitored;
    TUndoCoordinator Undo;
    std::unique_ptr<TOmbrix> Window;
    QStringList Heard;
    QTemporaryDir Dir;
    int Out = -1;

    // The data of a patch file's messages, whatever part they were saved from.
    std::vector<std::uint8_t> DataOf(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray bytes = file.readAll();
        const auto read = sysex::ParsePatchFile(
            {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())});
        std::vector<std::uint8_t> data;
        for (const auto &message : read.File.Messages)
            data.insert(data.end(), message.Data.begin(), message.Data.end());
        return data;
    }
    void Save(const QString &path)
    {
        QTRY_COMPARE_WITH_TIMEOUT(Paced->Device(Out).Waiting(), std::size_t(0), 20000);
        Window->PatchFiles().SavePatch(path);
        QVERIFY2(QFile::exists(path), Errors.empty() ? "" : Errors.front().c_str());
    }

private slots:
    void initTestCase()
    {
        RecordErrors();
        int in = -1;
        // A loaded JACK server may refuse a new client for a moment: the lists are made again
        // until they show the instrument's ports.
        for (int attempt = 0; attempt < 5 && (in < 0 || Out < 0); ++attempt) {
            if (attempt > 0) {
                midi::ShutdownMidi();
                QTest::qWait(500);
            }
            midi::SetMidiService(std::make_shared<midi::TMidiHub>(
                std::vector<std::shared_ptr<midi::IMidiPortProvider>> {
                    std::make_shared<midi::TRtMidiProvider>()}));
            in = IndexOf(midi::MidiIn(), "Ombrix Virtual MC-307 Out");
            Out = IndexOf(midi::MidiOut(), "Ombrix Virtual MC-307 In");
        }
        QVERIFY(in >= 0 && Out >= 0);
        session::TReceiveHandOver::Ensure();
        QFile settings(QStringLiteral("Ombrix.INI"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(QByteArray::number(in) + "\r\n" + QByteArray::number(Out) + "\r\n17\r\n");
        settings.close();
        Paced = std::make_unique<midi::TPacedOutputs>(midi::MidiOut(), sysex::InstrumentPacing());
        // The instrument's 20 ms; the paced output adds JACK's period.
        Paced->SetGap(Out, 20ms);
        Monitored = std::make_unique<session::TMonitoredOutputs>(*Paced);
        session::SetTrafficSink([this](const session::TTraffic &traffic) {
            Heard << QString::fromStdString((traffic.Sent ? "Out " : "In ")
                                            + sysex::MessageMeaning(traffic.Bytes));
        });
        Window = std::make_unique<TOmbrix>(*Monitored, Undo);
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
    }

    void partOneIsShownAndHeard()
    {
        QVERIFY2(Heard.contains("Out Pattern part 1 request, 26 bytes"),
                 qPrintable(Heard.join('\n')));
        QVERIFY(!Heard.filter(QRegularExpression("^In Part 1 Tone 4, \\d+ bytes$")).isEmpty());
        QVERIFY(!Heard.filter(QRegularExpression("^Out Part 1 Tone \\d .* = ")).isEmpty());
    }

    void patchFileOpenedAndUndone()
    {
        const QString first = Dir.filePath("part1.syx");
        const QString third = Dir.filePath("part3.syx");
        Save(first);
        Window->findChild<QWidget *>("RadioGroupSelectPart")
            ->findChildren<QRadioButton *>()
            .at(2)
            ->click();
        QCOMPARE(Window->Session().PartText(), std::string("02"));
        Save(third);
        QVERIFY(DataOf(first) != DataOf(third));

        session::RunBurstHandler([&] { Window->PatchFiles().OpenPatch(first); });
        const QString opened = Dir.filePath("opened.syx");
        Save(opened);
        QCOMPARE(DataOf(opened), DataOf(first));

        auto *undo = Window->findChild<QAction *>("Undo");
        QCOMPARE(undo->text(), QString("Undo Open Patch"));
        undo->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(Paced->Device(Out).Waiting(), std::size_t(0), 20000);
        QTest::qWait(1500);
        const QString undone = Dir.filePath("undone.syx");
        Save(undone);
        QCOMPARE(DataOf(undone), DataOf(third));
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
    }

    void cleanupTestCase()
    {
        session::SetTrafficSink(nullptr);
        Window.reset();
        Monitored.reset();
        Paced.reset();
        midi::ShutdownMidi();
        midi::SetMidiService(nullptr);
        StopRecordingErrors();
    }
};

QTEST_MAIN(TJackEditor)
#include "JackEditor.moc"
