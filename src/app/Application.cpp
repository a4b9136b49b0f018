#include "Application.h"

#include "CommandLine.h"
#include "Screenshots.h"
#include "controls/ErrorBox.h"
#include "controls/WindowLook.h"
#include "instrument/BulkDump.h"
#include "instrument/VirtualInstrumentPorts.h"
#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "midi/RtMidiPorts.h"
#include "mixer/FormMFX.h"
#include "session/ErrorPolicy.h"
#include "session/ReceiveHandOver.h"
#include "settings/ConfFile.h"
#include "sysex/InstrumentPacing.h"

#include <QApplication>
#include <QPixmapCache>
#include <QStatusBar>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// The built-in instrument of the program's service, for its count of drops.
std::weak_ptr<instrument::TVirtualInstrument> BuiltIn;
// The system's devices of the program's service, for the systems it could not list.
std::weak_ptr<midi::TRtMidiProvider> SystemDevices;
// What the built-in instrument's memory is filled from (OMBRIX_INSTRUMENT_FILE).
instrument::TBulkDump StartingDump;
} // namespace

std::optional<int> ReadInstrumentFile()
{
    StartingDump = {};
    const char *path = std::getenv("OMBRIX_INSTRUMENT_FILE");
    if (path == nullptr || *path == '\0')
        return std::nullopt;
    instrument::TDumpRead read = instrument::ReadDumpFile(path);
    if (!read.Error.empty()) {
        std::fprintf(stderr, "ombrix: OMBRIX_INSTRUMENT_FILE: %s\n", read.Error.c_str());
        return CommandLineErrorStatus;
    }
    StartingDump = std::move(read.Dump);
    return std::nullopt;
}

std::shared_ptr<midi::IMidiService> CreateProgramMidiService()
{
    auto instrument = std::make_shared<instrument::TVirtualInstrument>();
    instrument->SetLogLimit(0);
    instrument->Load(StartingDump);
    BuiltIn = instrument;
    const auto system = std::make_shared<midi::TRtMidiProvider>();
    SystemDevices = system;
    std::vector<std::shared_ptr<midi::IMidiPortProvider>> providers {
        std::make_shared<instrument::TVirtualInstrumentProvider>(instrument), system};
    return std::make_shared<midi::TMidiHub>(std::move(providers));
}

std::shared_ptr<instrument::TVirtualInstrument> BuiltInInstrument()
{
    return BuiltIn.lock();
}

void SetUpProgramLook()
{
    QApplication::setApplicationName(QStringLiteral("Ombrix"));
    UseWindowLook();
    // Qt keeps every pixmap it draws (the file dialogs' icons, made anew for each dialog) up to
    // 10 MB: over a long session that is memory the windows never draw from again. Theirs fit
    // in far less. At 2 MB the dead icons went on filling the cache for most of an hour (a heap
    // profile: +0.5 MiB of cached pixmaps between the first and the fifteenth minute); at 1 MB
    // it is full early, and what it drops is drawn again when needed.
    QPixmapCache::setCacheLimit(1024); // kilobytes
}

namespace {
// Whether the built-in instrument behaves as the hardware (see --strict-timing).
bool StrictTiming()
{
    const char *strict = std::getenv("OMBRIX_STRICT_TIMING");
    return strict != nullptr && std::strcmp(strict, "1") == 0;
}

// Every output device's gap, read before the main window sends its first request.
midi::TPacedOutputs &WithGaps(midi::TPacedOutputs &outputs, const settings::TConfValues &conf)
{
    for (int i = 0; i < outputs.Count(); ++i) {
        const bool builtIn = outputs.Name(i) == instrument::VirtualInstrumentName;
        const int gap = builtIn && !StrictTiming() ? 0 : conf.GapMs;
        outputs.SetGap(i, std::chrono::milliseconds(gap));
    }
    return outputs;
}

midi::TPacedOutputs &GapsFromFile(midi::TPacedOutputs &outputs)
{
    settings::TConfValues conf;
    const settings::TReadOutcome outcome = settings::ReadConfFile(settings::ConfFilePath(), conf);
    try {
        WithGaps(outputs, conf);
    } catch (const std::exception &) {
        // No device set: the main window reports that when it opens its devices.
    }
    if (!outcome.Error.empty())
        session::ReportError(outcome.Error);
    return outputs;
}
} // namespace

TProgramWindows::TProgramWindows()
    : Outputs(midi::MidiOut(), sysex::InstrumentPacing())
    , Monitored(GapsFromFile(Outputs))
    , Ombrix(Monitored, Undo)
    , FormMixer(
          [this] {
              const TDeviceSettings devices = Ombrix.Devices();
              return TMainWindowSettings {devices.MidiOutIndex, devices.DeviceId};
          },
          Monitored)
    , FormRhythm(
          [this] {
              const TDeviceSettings devices = Ombrix.Devices();
              return TRhythmTarget {devices.MidiOutIndex, devices.DeviceId};
          },
          Monitored)
{
    FormMixer.setObjectName(QStringLiteral("FormMixer"));
    FormSetup.SendThrough(Monitored);
    Ombrix.SetDialogs(&FormSetup, &FormMixer);
    FormMixer.SetUndo(Undo);
    FormRhythm.SetUndo(Undo);
    Ombrix.SetRhythmOpener([this] { FormRhythm.Open(); });
    Ombrix.SetMfxOpener([this] { FormMixer.Mfx().OpenFrom(nullptr); });
    Ombrix.SetMonitor(&FormMonitor);
    Patterns = new pattern::TPatternTransfer(
        Ombrix,
        [this] {
            const TDeviceSettings devices = Ombrix.Devices();
            return pattern::TPatternDevices {devices.MidiOutIndex, devices.DeviceId};
        },
        Monitored);
    Patterns->AddTo(Ombrix.FileMenu());
    // The gap may have changed with the rest of the setup.
    QObject::connect(&FormSetup, &QDialog::finished, &Ombrix, [this] { ApplyGaps(); });
    QObject::connect(&FailureWatch, &QTimer::timeout, &Ombrix, [this] { ReportSendFailures(); });
    FailureWatch.start(100);
    // Within the 2 s a user waits for a re-plugged cable to work again.
    QObject::connect(&DeviceWatch, &QTimer::timeout, &Ombrix, [this] { RecheckDevices(); });
    DeviceWatch.start(500);
}

void TProgramWindows::RecheckDevices()
{
    if (!midi::HasMidiService())
        return;
    const auto hub = std::dynamic_pointer_cast<midi::TMidiHub>(midi::SharedMidiService());
    if (!hub)
        return;
    QStatusBar *bar = Ombrix.statusBar();
    for (const std::string &text : hub->Recheck())
        bar->showMessage(QString::fromStdString(text), 5000);
    // With strict timing the built-in instrument counts what came too early; the user sees it.
    if (const auto instrument = BuiltIn.lock(); instrument && instrument->StrictTiming()) {
        const std::uint64_t drops = instrument->StrictDrops();
        if (drops != ShownDrops)
            bar->showMessage(QStringLiteral("The built-in instrument dropped %1 data messages "
                                            "(strict timing)")
                                 .arg(drops),
                             5000);
        ShownDrops = drops;
    }
}

void TProgramWindows::ApplyGaps()
{
    GapsFromFile(Outputs);
}

bool TProgramWindows::FinishSending()
{
    const bool all = Outputs.Flush(std::chrono::seconds(5));
    ReportSendFailures();
    return all;
}

void TProgramWindows::ReportSendFailures()
{
    for (const midi::TSendFailure &failure : Outputs.TakeFailures()) {
        const std::string count = failure.NotSent == 1
            ? std::string("1 message was not sent.")
            : std::to_string(failure.NotSent) + " messages were not sent.";
        session::ReportError(failure.Text + "\n" + count);
    }
}

int RunOmbrix(int argc, char **argv)
{
    TCommandLine commandLine;
    if (const std::optional<int> status = StartFromCommandLine(argc, argv, commandLine))
        return *status;
    if (const std::optional<int> status = ReadInstrumentFile())
        return *status;
    QApplication application(argc, argv);
    SetUpProgramLook();
    InstallErrorBox();
    return RunProgramWindows([&commandLine](TProgramWindows &windows) {
        if (!commandLine.ScreenshotDirectory.isEmpty())
            TakeScreenshots(windows, commandLine.ScreenshotDirectory);
    });
}

int RunProgramWindows(const std::function<void(TProgramWindows &)> &shown)
{
    midi::SetMidiService(CreateProgramMidiService());
    session::TReceiveHandOver::Ensure();
    // A missing MIDI system is no error: the built-in instrument works without one.
    if (const auto system = SystemDevices.lock())
        for (const std::string &text : system->UnlistedSystems())
            std::fprintf(stderr, "ombrix: %s\n", text.c_str());

    int result = 0;
    {
        TProgramWindows windows;
        windows.Ombrix.show();
        shown(windows);
        result = QApplication::exec();
        windows.FinishSending();
        // What 5 s did not carry is dropped: the device set goes next.
        windows.Outputs.Stop();
        // Nothing may arrive for a window that is going away.
        midi::ShutdownMidi();
    }
    midi::SetMidiService(nullptr);
    return result;
}
