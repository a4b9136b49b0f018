// The MFX window against the virtual instrument (which answers at MIDI cable speed). Its opening
// on its own, from the menu's click to the thirteen values shown: one request and its answer,
// judged by wall time against their bytes on a DIN cable (at most 110 % of it). A parameter's
// change, a bar step that shows its value and sends one data set: judged by CPU time against
// that data set's time on the cable (at most 0.25 % of it).

#include "BenchApplication.h"
#include "ShareReporter.h"
#include "midi/MidiDevices.h"
#include "mixer/FormMFX.h"
#include "support/VirtualRig.h"
#include "sysex/PatternMessages.h"
#include "sysex/RolandMessage.h"

#include <QSlider>
#include <benchmark/benchmark.h>

#include <array>

namespace {

void BM_MfxOpening(benchmark::State &state)
{
    TVirtualRig rig;
    midi::MidiOut().Open(0);
    midi::MidiIn().Open(0);
    TFormMFX form([] { return TMainWindowSettings {0, 17}; }, midi::MidiOut());
    // The first opening also loads the fonts and polishes every control, once a session.
    form.OpenFrom(nullptr);
    for (auto _ : state) {
        form.OpenFrom(nullptr);
        state.PauseTiming();
        form.hide();
        state.ResumeTiming();
    }
    if (!form.ValuesKnown())
        state.SkipWithError("the opening did not decode the instrument's answer");
}
BENCHMARK(BM_MfxOpening)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_MfxParameterChange(benchmark::State &state)
{
    TVirtualRig rig;
    midi::MidiOut().Open(0);
    midi::MidiIn().Open(0);
    TFormMFX form([] { return TMainWindowSettings {0, 17}; }, midi::MidiOut());
    form.OpenFrom(nullptr);
    // Parameter 1 of the type the instrument holds is a bar for most types; the rows hold one.
    QSlider *bar = nullptr;
    for (int v = 1; v <= sysex::mfx::ParamCount && !bar; ++v)
        if (auto *each = form.findChild<QSlider *>(QStringLiteral("BarMFXParam%1").arg(v));
            each && each->isVisible())
            bar = each;
    if (!bar) {
        state.SkipWithError("the type shows no bar");
        return;
    }
    const std::uint64_t before = rig.Instrument().ReceivedCount();
    int step = 0;
    for (auto _ : state) {
        // Back and forth, as a bar dragged over two positions.
        bar->setValue(bar->value() == 1 ? 2 : 1);
        ++step;
    }
    if (rig.Instrument().ReceivedCount() == before && step > 0)
        state.SkipWithError("the steps sent nothing");
}
BENCHMARK(BM_MfxParameterChange)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    TBenchApplication application(argc, argv);
    const std::array<sysex::pattern::TRequest, 1> request {
        sysex::pattern::MfxRequest(sysex::DataRequestHeader(17))};
    // F0 41 10 00 0B 12, the address, the byte, the checksum and F7.
    const double dataSetSeconds = 13 * DinByteSeconds;
    return RunBenchmarks(
        argc, argv,
        {{"BM_MfxOpening", "the request's and answer's bytes on a DIN cable",
          ExchangeWireSeconds(request), 1.10, false, true},
         {"BM_MfxParameterChange", "its data set's bytes on a DIN cable", dataSetSeconds, 0.0025}});
}
