// The CPU cost of one opening of the mixer window against the virtual instrument (which answers
// at MIDI cable speed): three requests, their answers decoded, and two seconds of waiting. The
// process's CPU time (every thread, the instrument's included) should stay under 5 % of the
// opening's wall time.

#include "controls/ReceiveLog.h"
#include "midi/MidiDevices.h"
#include "mixer/FormMixer.h"
#include "protocol/Handlers.h"
#include "support/VirtualRig.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

constexpr double TargetShare = 0.05;

double Seconds(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double WorstShare = 0;
double LastCpu = 0;
double LastWall = 0;

void BM_MixerOpening(benchmark::State &state)
{
    TVirtualRig rig;
    midi::MidiOut().Open(0);
    midi::MidiIn().Open(0);
    TFormMixer form([] { return TMainWindowSettings {0, 17}; }, midi::MidiOut());
    TReceiveLog *log = form.findChild<TReceiveLog *>(QStringLiteral("EditBPM"));
    for (auto _ : state) {
        const double cpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
        const double wallStart = Seconds(CLOCK_MONOTONIC);
        form.FormShow();
        LastCpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
        LastWall = Seconds(CLOCK_MONOTONIC) - wallStart;
        WorstShare = std::max(WorstShare, LastCpu / LastWall);
        state.SetIterationTime(LastWall);
    }
    if (!log->Text().endsWith(QStringLiteral(" Switch")))
        state.SkipWithError("the opening did not decode the instrument's answers");
    state.counters["cpu_ms"] = LastCpu * 1e3;
    state.counters["cpu_share_%"] = LastCpu / LastWall * 100;
}
BENCHMARK(BM_MixerOpening)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    std::printf("mixer opening: %.2f ms CPU in %.0f ms wall, worst share %.3f %% of the wall "
                "time (target < %.0f %%): %s\n",
                LastCpu * 1e3, LastWall * 1e3, WorstShare * 100, TargetShare * 100,
                WorstShare < TargetShare ? "met" : "NOT met");
    benchmark::Shutdown();
    return 0;
}
