// Sending one tone message, and waiting for answers without spinning.

#include "ShareReporter.h"
#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "session/WaitPumping.h"
#include "support/DiscardingPorts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>

namespace {
constexpr double DinByteSeconds = 320e-6;

double ProcessCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// 11 bytes of text, 13 on the wire; against its wire time on a DIN cable (4.16 ms).
void SendToneMessage(benchmark::State &state)
{
    midi::SetMidiService(
        std::make_shared<midi::TMidiHub>(std::vector<std::shared_ptr<midi::IMidiPortProvider>> {
            std::make_shared<TDiscardingProvider>()}));
    midi::MidiOut().Open(0);
    int value = 0;
    for (auto _ : state) {
        const std::string text = "F0 41 10 00 0B 12 02 03 12 65 " + midi::HexByte(value++ & 0x7F);
        midi::MidiOut().SendSysExText(0, text);
    }
    midi::ShutdownMidi();
    midi::SetMidiService(nullptr);
    state.counters["wire_time_share"]
        = benchmark::Counter(static_cast<double>(state.iterations()) * 13 * DinByteSeconds,
                             benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(SendToneMessage);

// The two ways of waiting 800 ms (a part request) side by side: CPU time against wall time.
void Waiting(benchmark::State &state)
{
    const bool naive = state.range(0) == 1;
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpuStart = ProcessCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        if (naive) {
            while (clock.elapsed() <= 800)
                QCoreApplication::processEvents(QEventLoop::AllEvents);
        } else {
            session::WaitPumping(800);
        }
        wall += static_cast<double>(clock.nsecsElapsed()) * 1e-9;
        cpu += ProcessCpuSeconds() - cpuStart;
    }
    state.counters["cpu_share_of_wall"] = cpu / wall;
    // The dispatch loop is what WaitPumping replaces: shown beside it, not judged.
    std::printf("%s: CPU %.4f s over %.3f s wall = %.3f %% (target < 2 %%): %s\n",
                naive ? "dispatch loop" : "WaitPumping", cpu, wall, 100 * cpu / wall,
                naive ? "reference, not judged" : Verdict("WaitPumping", cpu / wall < 0.02));
}
BENCHMARK(Waiting)->Arg(0)->Arg(1)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    return RunBenchmarks(
        argc, argv,
        {{"SendToneMessage", "its 13 bytes on a DIN cable", 13 * DinByteSeconds, 0.0025}});
}
