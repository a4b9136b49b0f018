// The main window's own cost: a tone control change handed to the device, and the decoding of
// a whole part answer with its echo and repaints after 0, 100 and 10,000 earlier requests, each
// against the wire time of its bytes on a DIN cable (320 us a byte). The receive log must not
// make a long session's decoding dearer than a fresh one's.

#include "EarlierSession.h"
#include "ShareReporter.h"
#include "controls/RadioGroup.h"
#include "controls/ReceiveLog.h"
#include "controls/UndoCoordinator.h"
#include "editor/Ombrix.h"
#include "instrument/VirtualInstrument.h"
#include "support/DiscardingApplication.h"
#include "support/MessageText.h"

#include <QScrollBar>
#include <benchmark/benchmark.h>

namespace {
constexpr double DinByteSeconds = 320e-6;

void ToneControlChange(benchmark::State &state)
{
    TUndoCoordinator undo;
    TOmbrix window(midi::MidiOut(), undo);
    auto *bar = window.findChild<QScrollBar *>("BarLevelTone2");
    int value = 0;
    for (auto _ : state)
        bar->setValue(++value & 0x7F);
}
BENCHMARK(ToneControlChange);

// The instrument's answer to a part request, for two different patches, so that every decoding
// changes controls and echoes them.
std::vector<std::vector<std::uint8_t>> PartAnswer(int group, int patch)
{
    instrument::TVirtualInstrument instrument;
    instrument.Receive(
        DataSetMessage({0x01, 0x00, 0x10, 0x03},
                       {static_cast<std::uint8_t>(group), static_cast<std::uint8_t>(patch / 16),
                        static_cast<std::uint8_t>(patch % 16)}));
    std::vector<std::vector<std::uint8_t>> answer;
    for (const auto &request : {RequestMessage({0x01, 0x00, 0x10, 0x00}, {0x00, 0x00, 0x00, 0x1A}),
                                RequestMessage({0x02, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x17, 0x01})})
        for (auto &part : instrument.Receive(request))
            answer.push_back(std::move(part));
    return answer;
}

void DecodePartAnswer(benchmark::State &state)
{
    TUndoCoordinator undo;
    TOmbrix window(midi::MidiOut(), undo);
    const auto first = PartAnswer(3, 5);
    const auto second = PartAnswer(7, 90);
    std::size_t bytes = 0;
    for (const auto &message : first)
        bytes += message.size();
    // The receive log grows by some 40 characters a request and is never cleared: give it the
    // words of state.range(0) earlier requests, so that a long session's log is counted.
    auto *log = window.findChild<TReceiveLog *>("Edit1");
    const QString words(" Patch Common Tone1 Tone2 Tone3 Tone4");
    bool flip = false;
    for (auto _ : state) {
        state.PauseTiming();
        StartAfterEarlierSession(*log, QString(), words, state.range(0));
        state.ResumeTiming();
        for (const auto &message : flip ? second : first)
            window.Session().DoSysexData(0, message);
        flip = !flip;
    }
    CountAllocations(
        state, [&] { StartAfterEarlierSession(*log, QString(), words, state.range(0)); },
        [&] {
            for (const auto &message : flip ? second : first)
                window.Session().DoSysexData(0, message);
            flip = !flip;
        });
    state.counters["messages"] = static_cast<double>(first.size());
    state.counters["answer_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(DecodePartAnswer)
    ->Arg(0)
    ->Arg(100)
    ->Arg(10000)
    // Each step's paused set-up sweeps the caches, which takes longer than the step.
    ->Iterations(400)
    // Its share of the budget is the median of five runs, which one unlucky run does not move;
    // its growth is judged by what a decoding allocates, the same in every run.
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->ArgName("earlier_requests")
    ->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char **argv)
{
    TDiscardingApplication application;
    std::size_t answerBytes = 0;
    for (const auto &message : PartAnswer(3, 5))
        answerBytes += message.size();
    return RunBenchmarks(
        argc, argv,
        {{"ToneControlChange", "its 13 bytes on a DIN cable", 13 * DinByteSeconds, 0.0025},
         {"DecodePartAnswer", "the answer's bytes on a DIN cable",
          static_cast<double>(answerBytes) * DinByteSeconds, 0.0025}},
        // A decoding allocates the same whatever the log holds; a copy of the log after 10,000
        // requests (some 380,000 characters) would multiply it many times over.
        {{"DecodePartAnswer", 1.0}});
}
