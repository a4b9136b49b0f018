// One step of a mixer bar: the bar handler rewrites the eight boxes (whose handler sets the
// eight bars again, which ends the exchange) and sends the group's eight control changes, here
// to a device that discards them. Measured against the time the eight messages take on a MIDI
// cable (24 bytes x 320 us = 7.68 ms); the step should stay under 1 % of it (77 us).

#include "ShareReporter.h"
#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "mixer/FormMixer.h"
#include "session/ErrorPolicy.h"
#include "support/DiscardingApplication.h"

#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double WireSeconds = 24 * 320e-6;
constexpr double TargetShare = 0.01;

TFormMixer *Form = nullptr;
TDiscardingApplication *App = nullptr;

void BM_MixerBarStep(benchmark::State &state)
{
    QScrollBar *bar = Form->findChild<QScrollBar *>(QStringLiteral("BarMixer1"));
    const std::uint64_t before = App->Sent();
    int step = 0;
    for (auto _ : state) {
        // Back and forth, as a bar dragged over two positions.
        bar->setValue(bar->value() == 100 ? 101 : 100);
        ++step;
    }
    const std::uint64_t sent = App->Sent() - before;
    if (sent != 8 * static_cast<std::uint64_t>(step))
        state.SkipWithError("a step did not send exactly eight control changes");
    state.counters["messages/step"] = static_cast<double>(sent) / step;
}
BENCHMARK(BM_MixerBarStep)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    TDiscardingApplication application;
    App = &application;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    midi::MidiOut().Open(0);
    {
        TFormMixer form([] { return TMainWindowSettings {0, 17}; }, midi::MidiOut());
        Form = &form;
        // The send handlers are connected by the first opening (2 s without answers).
        form.FormShow();
        TShareReporter reporter(
            {{"BM_MixerBarStep", "the eight messages' wire time", WireSeconds, TargetShare}});
        benchmark::RunSpecifiedBenchmarks(&reporter);
        reporter.PrintSummary();
        Form = nullptr;
    }
    benchmark::Shutdown();
    return BenchmarkStatus();
}
