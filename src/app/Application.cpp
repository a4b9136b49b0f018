#include "Application.h"

#include "CommandLine.h"
#include "Screenshots.h"
#include "controls/ErrorBox.h"
#include "instrument/VirtualInstrumentPorts.h"
#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "midi/RtMidiPorts.h"
#include "protocol/ReceiveHandOver.h"

#include <QApplication>
#include <QFont>

std::shared_ptr<midi::IMidiService> CreateProgramMidiService()
{
    auto instrument = std::make_shared<instrument::TVirtualInstrument>();
    std::vector<std::shared_ptr<midi::IMidiPortProvider>> providers {
        std::make_shared<instrument::TVirtualInstrumentProvider>(instrument),
        std::make_shared<midi::TRtMidiProvider>()};
    return std::make_shared<midi::TMidiHub>(std::move(providers));
}

TProgramWindows::TProgramWindows()
    : Ombrix(midi::MidiOut())
    , FormMixer(
          [this] {
              return TMainWindowSettings {Ombrix.MidiOutIndex, Ombrix.DeviceId};
          },
          midi::MidiOut())
{
    FormMixer.setObjectName(QStringLiteral("FormMixer"));
    Ombrix.SetDialogs(&FormSetup, &FormMixer);
}

int RunOmbrix(int argc, char **argv)
{
    TCommandLine commandLine;
    if (const std::optional<int> status = StartFromCommandLine(argc, argv, commandLine))
        return *status;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ombrix"));
    // The windows are laid out to the pixel for a small 8-point sans-serif font.
    QFont font(QStringLiteral("Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    font.setStretch(QFont::SemiCondensed);
    QApplication::setFont(font);
    InstallErrorBox();
    midi::SetMidiService(CreateProgramMidiService());
    protocol::TReceiveHandOver::Ensure();

    int result = 0;
    {
        TProgramWindows windows;
        windows.Ombrix.show();
        if (!commandLine.ScreenshotDirectory.isEmpty())
            TakeScreenshots(windows, commandLine.ScreenshotDirectory);
        result = QApplication::exec();
        // Nothing may arrive for a window that is going away.
        midi::ShutdownMidi();
    }
    midi::SetMidiService(nullptr);
    return result;
}
