// The paced output's own cost: messages through the queue (handed in on the window thread, sent
// from the queue's thread, or straight from the window thread when nothing waits) to a device that
// discards them, in CPU time of the whole process, as a share of the messages' time on a DIN cable
// (320 us a byte). A step is a burst of 16, as the windows send them (an envelope release, a part
// answer's echo); the pacing itself (the wait for the cable and the gap) sleeps and costs nothing.
// Data sets a gap apart cost the queue's thread one timed wake each, which is the machine's price,
// not the queue's: their share is shown, and what the queue adds is judged as the ratio to the
// timed wakes of the same run, which a loaded machine slows alike.

#include "DiscardingPaced.h"
#include "ShareReporter.h"
#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "midi/PacedOutput.h"
#include "support/DiscardingPorts.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

constexpr double DinByteSeconds = 320e-6;
constexpr std::size_t DataSetBytes = 14;
constexpr int Burst = 16;
// Sends the burst of a step and waits until the queue has sent it all; a queue that does not
// drain within a second leaves no figure (its wait would be timed as if it were the cost).
template<class F>
void Steps(benchmark::State &state, F &&sendBurst)
{
    // A queue of each run's own: the cable time booked by another benchmark's messages (the
    // control changes book 0.96 ms each) would hold the data sets back.
    TDiscardingPacedOutput output;
    midi::IMidiOut &device = output.Outputs().Device(0);
    // Once untimed, which starts the queue's thread.
    sendBurst(device);
    output.Outputs().Flush(std::chrono::seconds(1));
    for (auto _ : state) {
        sendBurst(device);
        if (!output.Outputs().Flush(std::chrono::seconds(1))) {
            state.SkipWithError("the queue did not send its messages within a second");
            break;
        }
    }
}

void PacedDataSet(benchmark::State &state)
{
    midi::TByteStream message {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02,
                               0x00, 0x12, 0x00, 0x00, 0x00, 0x00, 0xF7};
    int step = 0;
    Steps(state, [&](midi::IMidiOut &device) {
        for (int i = 0; i < Burst; ++i) {
            // Each to another address, so that none replaces a waiting one.
            message[9] = static_cast<std::uint8_t>(step++ & 0x7F);
            message[12] = midi::RolandChecksum(message.data() + 6, 6);
            device.SendSysEx(message);
        }
    });
}
// Judged against the timed wakes by the medians of seven runs each, each of 60 bursts: the ratio
// of two single runs moves with every hiccup of the machine, and with five runs of 20 bursts it
// still went from 0.92 to 1.28 in six runs of the program beside a build.
BENCHMARK(PacedDataSet)
    ->MeasureProcessCPUTime()
    ->Iterations(60)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

void PacedControlChange(benchmark::State &state)
{
    int step = 0;
    Steps(state, [&step](midi::IMidiOut &device) {
        for (int i = 0; i < Burst; ++i)
            device.SendShort(0xB0, 7, static_cast<std::uint8_t>(step++ & 0x7F));
    });
}
// Each control change leaves from the window thread when nothing waits ahead of it, so no wake
// of the queue's thread is paid for it (it was most of the cost, ten times dearer when the wake
// went to the other core); still judged by the median of five runs, as a hiccup of the machine
// would decide a single one.
BENCHMARK(PacedControlChange)
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

// What the system charges for one timed sleep and wake of a thread, 16 to a step: the paced
// data sets cannot avoid one each, and it is most of their cost. A figure of the machine, not of
// the program: printed beside theirs, not judged.
void TimedWakeBaseline(benchmark::State &state)
{
    for (auto _ : state) {
        std::thread sleeper([] {
            for (int i = 0; i < Burst; ++i)
                std::this_thread::sleep_for(std::chrono::microseconds(4480));
        });
        sleeper.join();
    }
}
BENCHMARK(TimedWakeBaseline)
    ->MeasureProcessCPUTime()
    ->Iterations(60)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return RunBenchmarks(argc, argv,
                         {{"PacedDataSet", "16 data sets of 14 bytes on a DIN cable",
                           Burst * DataSetBytes * DinByteSeconds, 0.0025, true},
                          {"PacedControlChange", "16 control changes of 3 bytes on a DIN cable",
                           Burst * 3 * DinByteSeconds, 0.0025},
                          {"TimedWakeBaseline", "16 data sets of 14 bytes on a DIN cable",
                           Burst * DataSetBytes * DinByteSeconds, 0.0025, true}},
                         {}, {{"PacedDataSet", "TimedWakeBaseline", 1.2}});
}
