// The mixer window's decoding of the answers to one opening (the pattern common block with the
// part blocks, part R's block, the effect switches) after 0, 100 and 10,000 earlier openings,
// against the answers' wire time on a DIN cable (320 us a byte). The receive log EditBPM gains
// some 40 characters an opening and is never cleared; a long session must cost no more than a
// fresh one: a decoding after 10,000 openings may allocate no more than one after none.

#include "EarlierSession.h"
#include "ShareReporter.h"
#include "controls/ReceiveLog.h"
#include "instrument/VirtualInstrument.h"
#include "midi/MidiDevices.h"
#include "midi/SysExText.h"
#include "mixer/FormMixer.h"
#include "support/DiscardingApplication.h"
#include "sysex/MixerMessages.h"
#include "sysex/RolandMessage.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {
constexpr double DinByteSeconds = 320e-6;
// A decoding allocates the same whatever the log holds; a copy of the log's text after 10,000
// openings (some 400,000 characters, 800 KB) would multiply what it allocates many times over.
constexpr double GrowthLimit = 1.0;

std::vector<std::vector<std::uint8_t>> OpeningAnswers()
{
    instrument::TVirtualInstrument instrument;
    std::vector<std::vector<std::uint8_t>> answers;
    for (const sysex::mixer::TRequest &request :
         sysex::mixer::OpeningRequests(sysex::DataRequestHeader(17))) {
        midi::TByteStream message;
        midi::HexTextToSysEx(request.Text, message);
        for (auto &answer : instrument.Receive(message))
            answers.push_back(std::move(answer));
    }
    return answers;
}

void DecodeOpeningAnswers(benchmark::State &state)
{
    TFormMixer form([] { return TMainWindowSettings {0, 17}; }, midi::MidiOut());
    auto *log = form.findChild<TReceiveLog *>("EditBPM");
    const auto answers = OpeningAnswers();
    for (const auto &message : answers)
        form.DoSysexData(0, message);
    const QString words = log->Text().sliced(1);
    for (auto _ : state) {
        state.PauseTiming();
        StartAfterEarlierSession(*log, QStringLiteral("0"), words, state.range(0));
        state.ResumeTiming();
        for (const auto &message : answers)
            form.DoSysexData(0, message);
    }
    if (!log->Text().endsWith(words))
        state.SkipWithError("the answers were not decoded");
    CountAllocations(
        state, [&] { StartAfterEarlierSession(*log, QStringLiteral("0"), words, state.range(0)); },
        [&] {
            for (const auto &message : answers)
                form.DoSysexData(0, message);
        });
    state.counters["messages"] = static_cast<double>(answers.size());
}
BENCHMARK(DecodeOpeningAnswers)
    ->Arg(0)
    ->Arg(100)
    ->Arg(10000)
    // Each step's paused set-up sweeps the caches, which takes longer than the step.
    ->Iterations(1000)
    // Its share of the budget is the median of five runs, which one unlucky run does not move;
    // its growth is judged by what a decoding allocates, the same in every run.
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->ArgName("earlier_openings")
    ->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char **argv)
{
    TDiscardingApplication application;
    std::size_t answerBytes = 0;
    for (const auto &message : OpeningAnswers())
        answerBytes += message.size();
    return RunBenchmarks(argc, argv,
                         {{"DecodeOpeningAnswers", "the answers' bytes on a DIN cable",
                           static_cast<double>(answerBytes) * DinByteSeconds, 0.0025}},
                         {{"DecodeOpeningAnswers", GrowthLimit}});
}
