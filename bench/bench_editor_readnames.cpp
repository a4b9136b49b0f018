// How long File > Read Patch Names takes: from its start to the last name answered, against the
// strict built-in instrument answering at MIDI cable speed (320 us a byte), through the paced
// output with the 20 ms gap, as in the program. Judged on wall time against its wire-time
// bound: for each patch, the selection's three data sets and the name request a gap apart,
// plus the answer's bytes on the cable; goal at most 110 %, with no data set dropped (a drop or
// an error stops the benchmark, which then gives no figure and fails). The whole read takes
// about 90 s; OMBRIX_BENCH_NAMES=n reads only the first n patches for a quick look, judged
// against their own bound, and make bench reads all 1056.

#include "BenchApplication.h"
#include "ShareReporter.h"
#include "controls/UndoCoordinator.h"
#include "editor/NameReader.h"
#include "editor/Ombrix.h"
#include "instrument/VirtualInstrument.h"
#include "midi/MidiDevices.h"
#include "midi/PacedOutput.h"
#include "session/ErrorPolicy.h"
#include "support/VirtualRig.h"
#include "sysex/InstrumentPacing.h"
#include "sysex/RolandMessage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

namespace {

constexpr double GapSeconds = 0.020;
// The selection's three data sets and the request.
constexpr int GappedPerName = 4;

int NameCount()
{
    bool ok = false;
    const int count = qEnvironmentVariableIntValue("OMBRIX_BENCH_NAMES", &ok);
    return ok && count > 0 ? std::min(count, sysex::PatchNameCount) : sysex::PatchNameCount;
}

std::string FirstError;

void BM_ReadNames(benchmark::State &state)
{
    TVirtualRig rig;
    rig.Instrument().SetStrictTiming(true);
    midi::TPacedOutputs paced(midi::MidiOut(), sysex::InstrumentPacing());
    paced.SetGap(0, std::chrono::milliseconds(20));
    TUndoCoordinator undo;
    TOmbrix window(paced, undo);
    auto *reader = window.findChild<TNameReader *>();
    const int count = NameCount();
    QElapsedTimer clock;
    qint64 lastName = -1;
    QObject::connect(reader, &TNameReader::NameAsked, &window, [&](int done) {
        if (done == count)
            lastName = clock.nsecsElapsed();
    });
    for (auto _ : state) {
        if (!QTest::qWaitFor([&paced] { return paced.Device(0).Waiting() == 0; }, 10000)) {
            state.SkipWithError("the part's echo did not leave");
            break;
        }
        clock.start();
        session::RunBurstHandler([reader, count] { reader->ReadNames(count); });
        const auto drops = rig.Instrument().StrictDrops();
        if (lastName < 0 || drops > 0 || !FirstError.empty()) {
            state.SkipWithError(
                (std::to_string(drops) + " data sets dropped; " + FirstError).c_str());
            break;
        }
        state.counters["drops"] = double(drops);
        state.SetIterationTime(static_cast<double>(lastName) * 1e-9);
    }
}
BENCHMARK(BM_ReadNames)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

double WireBoundSeconds()
{
    instrument::TVirtualInstrument instrument;
    std::size_t bytes = 0;
    for (const auto &answer : instrument.Answer(
             sysex::RequestMessage(0x10, {0x02, 0x00, 0x00, 0x00}, TNameReader::NameSize)))
        bytes += answer.size();
    return NameCount() * (GappedPerName * GapSeconds + static_cast<double>(bytes) * DinByteSeconds);
}

} // namespace

int main(int argc, char **argv)
{
    TBenchApplication application(argc, argv);
    session::SetErrorReporter([](const std::string &text) {
        if (FirstError.empty())
            FirstError = text;
    });
    return RunBenchmarks(argc, argv,
                         {{"BM_ReadNames", "the selections, requests and answers on a DIN cable",
                           WireBoundSeconds(), 1.1, false, true}});
}
