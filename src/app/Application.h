#pragma once

#include "controls/UndoCoordinator.h"
#include "editor/Ombrix.h"
#include "midi/PacedOutput.h"
#include "mixer/FormMixer.h"
#include "monitor/FormMonitor.h"
#include "pattern/PatternTransfer.h"
#include "rhythm/FormRhythm.h"
#include "session/TrafficTap.h"
#include "setup/FormSetup.h"

#include <QTimer>

#include <functional>

#include <memory>
#include <optional>

namespace midi {
class IMidiService;
}
namespace instrument {
class TVirtualInstrument;
}

// The bulk dump named by OMBRIX_INSTRUMENT_FILE, for the built-in instrument of every program
// service made after it. A file that cannot be used is reported on the standard error, and the
// status to end with is given.
std::optional<int> ReadInstrumentFile();

// The program's MIDI service: the built-in virtual instrument as device 0 in both directions,
// with the memory ReadInstrumentFile found, then the system's devices in the system's order.
std::shared_ptr<midi::IMidiService> CreateProgramMidiService();

// The built-in instrument of the program's service, while that service lives.
std::shared_ptr<instrument::TVirtualInstrument> BuiltInInstrument();

// The program's name, the font and style its windows are laid out for, and what Qt may keep of
// what it drew; before any window.
void SetUpProgramLook();

// The three windows, created in this order: the main window (which reads the settings and asks
// for part 1 as it is created), the setup dialog, the mixer window. They send through the paced
// output devices, and keep their steps in the undo histories, both made before them and gone
// after them.
class TProgramWindows
{
public:
    TProgramWindows();

    // Each device's gap from Ombrix.conf; the built-in instrument takes any pace, unless it
    // runs with strict timing. An unreadable file is reported.
    void ApplyGaps();
    // Lets what is still queued leave, within 5 s.
    bool FinishSending();

    // Paced by the instrument's rule.
    midi::TPacedOutputs Outputs;
    // What the windows and Detect send through: the paced devices, heard by the monitor as
    // each message leaves.
    session::TMonitoredOutputs Monitored;
    monitor::TFormMonitor FormMonitor;
    // The histories of the main window's parts, of the mixer and of the rhythm set window.
    TUndoCoordinator Undo;
    TOmbrix Ombrix;
    TFormSetup FormSetup;
    TFormMixer FormMixer;
    TFormRhythm FormRhythm;
    // The pattern's backup, restore, received dumps and compare view, in the File menu.
    pattern::TPatternTransfer *Patterns = nullptr;

private:
    // Failures of the queues' threads come up as values; shown here, on the window thread.
    void ReportSendFailures();
    // A system device that vanished and came back is opened again, and the status bar says so.
    void RecheckDevices();
    QTimer FailureWatch;
    QTimer DeviceWatch;
    std::uint64_t ShownDrops = 0;
};

// Runs the program until the main window closes.
int RunOmbrix(int argc, char **argv);

// The program's MIDI service and windows, once the application exists: the main window is
// shown, `shown` runs, then the event loop until it ends; what is still queued then gets its 5 s.
int RunProgramWindows(const std::function<void(TProgramWindows &)> &shown);
