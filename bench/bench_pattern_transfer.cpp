// The whole pattern against the strict built-in instrument (a DIN cable's pace, a data set less
// than 20 ms after the previous one dropped) through the paced output with its 20 ms gap. The
// backup of a pattern of 39 pages of notes, judged by its wall time against its requests' and
// answers' time on the cable plus one 300 ms wait for a page that does not come; the restore's
// sending, judged against its paced time on the cable (each data set's bytes and the gap), with
// nothing dropped; and the comparison of two files of 15 KB, at most 10 ms.

#include "BenchApplication.h"
#include "ShareReporter.h"
#include "instrument/BulkDump.h"
#include "midi/MidiDevices.h"
#include "midi/PacedOutput.h"
#include "pattern/CompareView.h"
#include "pattern/PatternTransfer.h"
#include "support/MadeUpDump.h"
#include "support/VirtualRig.h"
#include "sysex/InstrumentPacing.h"
#include "sysex/RolandMessage.h"

#include <QProgressDialog>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <chrono>

using namespace std::chrono_literals;
namespace areas = sysex::areas;

namespace {

constexpr int Pages = 39;
constexpr int LastPage = 119;
constexpr double PageWaitSeconds = 0.3;
constexpr double GapSeconds = 0.02;

const std::vector<madeup::TDumpMessage> &Pattern()
{
    static const auto messages = madeup::WholePatternMessages(Pages, LastPage);
    return messages;
}

double BackupBudget()
{
    std::size_t bytes = madeup::FileOf(Pattern(), 0x10).size();
    // One request an area read, each page of notes included.
    bytes += Pattern().size() * sysex::RequestSize;
    return double(bytes) * DinByteSeconds + PageWaitSeconds;
}

double RestoreBudget()
{
    double seconds = 0;
    for (const madeup::TDumpMessage &message : Pattern())
        for (const auto &packet : sysex::DataSetPackets(17, message.Address, message.Data))
            seconds += double(packet.size()) * DinByteSeconds + GapSeconds;
    return seconds;
}

struct TRig
{
    TRig()
    {
        const auto read = instrument::ParseDump(madeup::FileOf(Pattern()));
        Rig.Instrument().Load(read.Dump);
        Rig.Instrument().SetStrictTiming(true);
        midi::MidiOut().Open(0);
        midi::MidiIn().Open(0);
        Paced.SetGap(0, 20ms);
    }
    TVirtualRig Rig;
    midi::TPacedOutputs Paced {midi::MidiOut(), sysex::InstrumentPacing()};
    QWidget Window;
    pattern::TPatternTransfer Transfer {Window,
                                        [] {
                                            return pattern::TPatternDevices {0, 17};
                                        },
                                        Paced};
};

void BM_PatternBackup(benchmark::State &state)
{
    TRig rig;
    const QString path = QStringLiteral("backup.syx");
    for (auto _ : state)
        rig.Transfer.BackUp(path);
    if (!rig.Transfer.Report().contains(QStringLiteral("%1 data sets").arg(Pattern().size())))
        state.SkipWithError(qPrintable(rig.Transfer.Report()));
}
BENCHMARK(BM_PatternBackup)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_PatternRestore(benchmark::State &state)
{
    TRig rig;
    const QString path = QStringLiteral("restore.syx");
    rig.Transfer.BackUp(path);
    // The sending alone: from the first data set handed over to the last one gone.
    std::chrono::steady_clock::time_point first {};
    std::chrono::steady_clock::time_point last {};
    QObject::connect(
        &rig.Transfer, &pattern::TPatternTransfer::Progressed, &rig.Window, [&](int done) {
            auto *progress
                = rig.Window.findChild<QProgressDialog *>(QStringLiteral("ProgressRestore"));
            if (!progress || !progress->labelText().startsWith(QStringLiteral("Restoring:")))
                return;
            if (done == 1)
                first = std::chrono::steady_clock::now();
            if (done == progress->maximum()) {
                while (rig.Paced.Device(0).Waiting() > 0)
                    std::this_thread::sleep_for(100us);
                last = std::chrono::steady_clock::now();
            }
        });
    for (auto _ : state) {
        rig.Transfer.Restore(path);
        state.SetIterationTime(std::chrono::duration<double>(last - first).count());
    }
    if (rig.Rig.Instrument().StrictDrops() != 0)
        state.SkipWithError("the instrument dropped data sets");
    state.counters["drops"] = double(rig.Rig.Instrument().StrictDrops());
}
BENCHMARK(BM_PatternRestore)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PatternCompare(benchmark::State &state)
{
    auto second = Pattern();
    second[0].Data[0x0D] ^= 1;
    second[20].Data[0x10] ^= 1;
    second[100].Data[0x05] ^= 1;
    const madeup::TBytes a = madeup::FileOf(Pattern());
    const madeup::TBytes b = madeup::FileOf(second);
    QWidget window;
    pattern::TDifferenceModel model;
    for (auto _ : state) {
        model.SetImages(areas::ImageOf(areas::ReadDump(a).DataSets),
                        areas::ImageOf(areas::ReadDump(b).DataSets), QStringLiteral("a"),
                        QStringLiteral("b"));
        benchmark::DoNotOptimize(model.rowCount());
    }
    if (model.rowCount() != 3)
        state.SkipWithError("the files should differ in three bytes");
}
BENCHMARK(BM_PatternCompare)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    TBenchApplication application(argc, argv);
    return RunBenchmarks(
        argc, argv,
        {{"BM_PatternBackup", "the requests' and answers' bytes on a DIN cable and one page's wait",
          BackupBudget(), 1.10, false, true},
         {"BM_PatternRestore", "each data set's bytes on a DIN cable and the 20 ms gap",
          RestoreBudget(), 1.10, false, true},
         {"BM_PatternCompare", "10 ms", 0.01, 1.0, false, true}});
}
