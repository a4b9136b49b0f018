// One opening of the mixer window against the virtual instrument (which answers at MIDI cable
// speed): four requests sent back to back, their answers decoded, and the opening over once the
// last block is in. Both its time from the click to the last answer decoded and the process's
// CPU time (every thread, the instrument's included) are judged against what the opening cannot
// do faster, its requests' and answers' time on a DIN cable (320 us a byte): at most 110 % of it,
// and at most 1 % of it.

#include "BenchApplication.h"
#include "ShareReporter.h"
#include "controls/ReceiveLog.h"
#include "instrument/VirtualInstrument.h"
#include "midi/MidiDevices.h"
#include "midi/SysExText.h"
#include "mixer/FormMixer.h"
#include "support/VirtualRig.h"
#include "sysex/MixerMessages.h"
#include "sysex/PatternMessages.h"
#include "sysex/RolandMessage.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

void BM_MixerOpening(benchmark::State &state)
{
    TVirtualRig rig;
    midi::MidiOut().Open(0);
    midi::MidiIn().Open(0);
    TFormMixer form([] { return TMainWindowSettings {0, 17}; }, midi::MidiOut());
    TReceiveLog *log = form.findChild<TReceiveLog *>("EditBPM");
    // The first opening also loads the fonts and polishes every control, once a session.
    form.FormShow();
    for (auto _ : state)
        form.FormShow();
    if (!log->Text().endsWith(QStringLiteral(" Pattern")))
        state.SkipWithError("the opening did not decode the instrument's answers");
}
BENCHMARK(BM_MixerOpening)
    ->Iterations(3)
    // Judged by the median of five runs: on this two-core machine the CPU time of three
    // openings went from 0.9 to 2.2 ms between runs of one process, quiet or not (the cost of
    // each of the thirty-odd wakes between the answers moves with what the cores did meanwhile).
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The opening's requests: the mixer's three and the pattern's name and tempo.
std::vector<sysex::mixer::TRequest> OpeningRequests()
{
    const std::string header = sysex::DataRequestHeader(17);
    const auto mixer = sysex::mixer::OpeningRequests(header);
    std::vector<sysex::mixer::TRequest> requests(mixer.begin(), mixer.end());
    requests.push_back({sysex::pattern::NameTempoRequest(header).Text, 0});
    return requests;
}

} // namespace

int main(int argc, char **argv)
{
    TBenchApplication application(argc, argv);
    return RunBenchmarks(argc, argv,
                         {{"BM_MixerOpening", "the requests' and answers' bytes on a DIN cable",
                           ExchangeWireSeconds(OpeningRequests()), 0.01},
                          {"BM_MixerOpening", "the requests' and answers' bytes on a DIN cable",
                           ExchangeWireSeconds(OpeningRequests()), 1.10, false, true}});
}
