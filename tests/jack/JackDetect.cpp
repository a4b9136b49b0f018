// Detect through a real MIDI server: the program's devices are the built-in instrument (device
// 0, never the answer) and the system's JACK ports, where ombrix-virtual-instrument runs with a
// device ID other than the factory's (run_jack_test.sh starts it with --device-id 23). The
// search must find it, with that ID, on its own input and output ports.

#include "instrument/VirtualInstrumentPorts.h"
#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "midi/RtMidiPorts.h"
#include "session/Detect.h"
#include "session/ReceiveHandOver.h"

#include <QCoreApplication>
#include <QTest>

class TJackDetect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A loaded JACK server may refuse a new client for a moment: the lists are made again
        // until they show the instrument's two ports beside the built-in device.
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (attempt > 0) {
                midi::ShutdownMidi();
                QTest::qWait(500);
            }
            std::vector<std::shared_ptr<midi::IMidiPortProvider>> providers {
                std::make_shared<instrument::TVirtualInstrumentProvider>(
                    std::make_shared<instrument::TVirtualInstrument>(17)),
                std::make_shared<midi::TRtMidiProvider>()};
            midi::SetMidiService(std::make_shared<midi::TMidiHub>(providers));
            if (midi::MidiIn().Count() > 1 && midi::MidiOut().Count() > 1)
                break;
        }
        session::TReceiveHandOver::Ensure();
    }

    void findsTheInstrumentAtItsId()
    {
        session::TDetector detector;
        std::vector<std::string> progress;
        const std::optional<session::TDetected> found
            = detector.Run([&](const std::string &text) { progress.push_back(text); });
        QVERIFY2(found, "nothing answered");
        QCOMPARE(found->DeviceId, 23);
        QVERIFY2(midi::MidiIn().Name(found->Input).find("Ombrix Virtual MC-307 Out")
                     != std::string::npos,
                 midi::MidiIn().Name(found->Input).c_str());
        QVERIFY2(midi::MidiOut().Name(found->Output).find("Ombrix Virtual MC-307 In")
                     != std::string::npos,
                 midi::MidiOut().Name(found->Output).c_str());
        QVERIFY(!progress.empty());
    }

    void cleanupTestCase()
    {
        midi::ShutdownMidi();
        midi::SetMidiService(nullptr);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    TJackDetect test;
    return QTest::qExec(&test, argc, argv);
}
#include "JackDetect.moc"
