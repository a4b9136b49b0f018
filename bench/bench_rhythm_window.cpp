// The rhythm set window against the virtual instrument (which answers at MIDI cable speed):
// its opening, from the click to the 64th key decoded, judged by its wall time against its
// request's and answers' time on a DIN cable (at most 110 %); a key switch, which shows what was
// read and sends nothing, against a 60 Hz frame (under one); and a change of a key's cutoff,
// which sends one data set and makes its undo step, against that message's wire time (at most 0.25
// % of its CPU time).

#include "BenchApplication.h"
#include "ShareReporter.h"
#include "controls/UndoCoordinator.h"
#include "midi/MidiDevices.h"
#include "rhythm/FormRhythm.h"
#include "support/PassingOutputs.h"
#include "support/VirtualRig.h"

#include <QScrollBar>
#include <benchmark/benchmark.h>

#include <optional>

namespace {

using namespace sysex::rhythm;

// Counts what the window sends on its way to the instrument.
class TCountingOutputs : public TPassingOutputs
{
public:
    using TPassingOutputs::TPassingOutputs;
    void SendSysEx(const midi::TByteStream &message) override
    {
        ++Sent;
        TPassingOutputs::SendSysEx(message);
    }
    std::uint64_t Sent = 0;
};

std::optional<TVirtualRig> Rig;
std::optional<TCountingOutputs> Outputs;
TFormRhythm *Form = nullptr;

double OpeningWireSeconds()
{
    instrument::TVirtualInstrument instrument;
    const midi::TByteStream request = RhythmSetRequest(17);
    std::size_t bytes = request.size();
    for (const auto &answer : instrument.Receive(request))
        bytes += answer.size();
    return static_cast<double>(bytes) * DinByteSeconds;
}

void BM_RhythmOpening(benchmark::State &state)
{
    for (auto _ : state)
        Form->Read();
    if (!Form->Data().Known.all())
        state.SkipWithError("the opening did not read the whole rhythm set");
}
BENCHMARK(BM_RhythmOpening)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_RhythmKeySwitch(benchmark::State &state)
{
    const std::uint64_t before = Outputs->Sent;
    int note = FirstKey;
    for (auto _ : state) {
        note = note == LastKey ? FirstKey : note + 1;
        Form->SelectKey(note);
    }
    if (Outputs->Sent != before)
        state.SkipWithError("a key switch sent a message");
}
BENCHMARK(BM_RhythmKeySwitch)->Unit(benchmark::kMicrosecond);

void BM_RhythmChange(benchmark::State &state)
{
    auto *bar = Form->findChild<QScrollBar *>(QStringLiteral("BarCutoffKey"));
    const std::uint64_t before = Outputs->Sent;
    std::uint64_t steps = 0;
    for (auto _ : state) {
        bar->setValue(bar->value() == 100 ? 101 : 100);
        ++steps;
    }
    if (Outputs->Sent - before != steps)
        state.SkipWithError("a change did not send exactly one data set");
}
BENCHMARK(BM_RhythmChange)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    TBenchApplication application(argc, argv);
    Rig.emplace();
    midi::MidiOut().Open(0);
    midi::MidiIn().Open(0);
    Outputs.emplace(midi::MidiOut());
    int status = 0;
    {
        TUndoCoordinator undo;
        TFormRhythm form([] { return TRhythmTarget {0, 17}; }, *Outputs);
        // A change's cost includes its undo step, as in the program.
        form.SetUndo(undo);
        Form = &form;
        // The first opening also loads the fonts and polishes every control, once a session.
        form.Open();
        const double changeWire = 13 * DinByteSeconds;
        status = RunBenchmarks(
            argc, argv,
            {{"BM_RhythmOpening", "the request's and answers' bytes on a DIN cable",
              OpeningWireSeconds(), 1.10, false, true},
             {"BM_RhythmKeySwitch", "a 60 Hz frame", 1.0 / 60, 1.0},
             {"BM_RhythmChange", "its data set's wire time (13 bytes)", changeWire, 0.0025}});
        Form = nullptr;
    }
    Outputs.reset();
    Rig.reset();
    return status;
}
