// How long a user waits for a part: the time from the click on a part to its last block
// decoded, against the built-in instrument taking and answering at MIDI cable speed (320 us a
// byte), through the paced output as in the program. Each request must have arrived before its
// answer starts, so the part cannot come faster than the requests' and answers' bytes on a DIN
// cable; the wait is judged against that time, at most 1.1 times it. What the previous
// part's echo still has queued leaves before each click, as it would before a user's.

#include "BenchApplication.h"
#include "ShareReporter.h"
#include "controls/RadioGroup.h"
#include "controls/UndoCoordinator.h"
#include "editor/Ombrix.h"
#include "instrument/VirtualInstrument.h"
#include "midi/MidiDevices.h"
#include "midi/PacedOutput.h"
#include "support/VirtualRig.h"
#include "sysex/InstrumentPacing.h"
#include "sysex/RolandMessage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QTest>
#include <benchmark/benchmark.h>

namespace {

void BM_PartSwitch(benchmark::State &state)
{
    TVirtualRig rig;
    midi::TPacedOutputs paced(midi::MidiOut(), sysex::InstrumentPacing());
    // The program gives the built-in instrument no gap.
    paced.SetGap(0, std::chrono::microseconds(0));
    TUndoCoordinator undo;
    TOmbrix window(paced, undo);
    auto *parts = window.findChild<TRadioGroup *>(QStringLiteral("RadioGroupSelectPart"));
    QElapsedTimer clock;
    qint64 decoded = -1;
    QObject::connect(&window.Session(), &TPartSession::ToneReceived, &window, [&](int tone) {
        if (tone == 4)
            decoded = clock.nsecsElapsed();
    });
    int part = 0;
    for (auto _ : state) {
        if (!QTest::qWaitFor([&paced] { return paced.Device(0).Waiting() == 0; }, 10000)) {
            state.SkipWithError("the previous part's echo did not leave");
            break;
        }
        part = (part + 1) % TPartSession::PartCount;
        decoded = -1;
        clock.start();
        parts->Item(part)->click();
        if (decoded < 0) {
            state.SkipWithError("the part's last block was not decoded");
            break;
        }
        state.SetIterationTime(static_cast<double>(decoded) * 1e-9);
    }
}
BENCHMARK(BM_PartSwitch)->Iterations(6)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    TBenchApplication application(argc, argv);
    return RunBenchmarks(
        argc, argv,
        {{"BM_PartSwitch", "the requests' and answers' bytes on a DIN cable",
          ExchangeWireSeconds(sysex::patch::PartRequests(sysex::DataRequestHeader(17), 1)), 1.1,
          false, true}});
}
