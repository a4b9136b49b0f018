// The main window against a strict instrument (one that drops a data set coming less than 20 ms
// after the previous one ended, as the MC-307 does), through the paced output with the 20 ms
// gap: a 200-step drag of a tone bar (one step every 8 ms, a mouse's pace), and a whole part
// answer with its echo. Reported: the messages sent, the drops (goal 0), the largest time from a
// change to the leaving of a message that carries it or a newer value (goal under two gaps, with
// every change carried), and the time until the echo's last message has left.

#include "BenchApplication.h"
#include "ShareReporter.h"
#include "controls/UndoCoordinator.h"
#include "editor/Ombrix.h"
#include "midi/MidiDevices.h"
#include "midi/PacedOutput.h"
#include "session/ErrorPolicy.h"
#include "support/PassingOutputs.h"
#include "support/VirtualRig.h"
#include "sysex/InstrumentPacing.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto Gap = 20ms;

struct TStamped
{
    Clock::time_point At;
    midi::TByteStream Bytes;
};

// Records, with their times, the messages that pass: once as the window hands them in, once as
// they leave the queue for the device.
class TRecordingOutputs final : public TPassingOutputs
{
public:
    using TPassingOutputs::TPassingOutputs;
    void SendSysEx(const midi::TByteStream &message) override
    {
        {
            std::lock_guard lock(Lock);
            Log.push_back({Clock::now(), message});
        }
        TPassingOutputs::SendSysEx(message);
    }
    std::vector<TStamped> Taken()
    {
        std::lock_guard lock(Lock);
        return Log;
    }
    void Clear()
    {
        std::lock_guard lock(Lock);
        Log.clear();
    }

private:
    std::mutex Lock;
    std::vector<TStamped> Log;
};

struct TWorld
{
    std::unique_ptr<TVirtualRig> Rig;
    std::unique_ptr<TRecordingOutputs> Leaving; // below the queue
    std::unique_ptr<midi::TPacedOutputs> Paced;
    std::unique_ptr<TRecordingOutputs> Handed; // above the queue
};

void Make(TWorld &world)
{
    world.Rig = std::make_unique<TVirtualRig>();
    world.Rig->Instrument().SetStrictTiming(true);
    world.Leaving = std::make_unique<TRecordingOutputs>(midi::MidiOut());
    world.Paced = std::make_unique<midi::TPacedOutputs>(*world.Leaving, sysex::InstrumentPacing());
    world.Paced->SetGap(0, Gap);
    world.Handed = std::make_unique<TRecordingOutputs>(*world.Paced);
}

void WaitSent(TWorld &world)
{
    while (world.Paced->Device(0).Waiting() != 0)
        QTest::qWait(2);
}

void Drag200Steps(benchmark::State &state)
{
    for (auto _ : state) {
        TWorld world;
        Make(world);
        TUndoCoordinator undo;
        TOmbrix window(*world.Handed, undo);
        WaitSent(world);
        world.Handed->Clear();
        world.Leaving->Clear();
        const std::uint64_t dropsBefore = world.Rig->Instrument().StrictDrops();
        auto *bar = window.findChild<QScrollBar *>("BarLevelTone2");
        for (int step = 0; step < 200; ++step) {
            bar->setValue(step < 128 ? step : 255 - step);
            QTest::qWait(8);
        }
        WaitSent(world);
        const auto handed = world.Handed->Taken();
        const auto leaving = world.Leaving->Taken();
        // Which hand-in each leaving message came from: the latest one with its bytes.
        std::vector<std::size_t> origin;
        for (const TStamped &left : leaving) {
            std::size_t from = 0;
            for (std::size_t h = 0; h < handed.size() && handed[h].At <= left.At; ++h)
                if (handed[h].Bytes == left.Bytes)
                    from = h;
            origin.push_back(from);
        }
        double worst = 0;
        std::size_t uncarried = 0; // changes that no leaving message carried
        for (std::size_t h = 0; h < handed.size(); ++h) {
            bool carried = false;
            for (std::size_t l = 0; l < leaving.size() && !carried; ++l) {
                if (origin[l] >= h && leaving[l].At >= handed[h].At) {
                    worst = std::max(
                        worst, std::chrono::duration<double>(leaving[l].At - handed[h].At).count());
                    carried = true;
                }
            }
            uncarried += carried ? 0 : 1;
        }
        const std::uint64_t drops = world.Rig->Instrument().StrictDrops() - dropsBefore;
        state.counters["changes"] = double(handed.size());
        state.counters["messages_sent"] = double(leaving.size());
        state.counters["drops"] = double(drops);
        state.counters["max_change_to_leave_ms"] = worst * 1e3;
        // A drag that sent nothing would have no latency to miss: the messages must have left,
        // each change carried by one of them.
        std::printf("Drag200Steps: %zu changes, %zu messages sent, %zu changes never carried "
                    "(goal 0), %llu drops (goal 0), largest change-to-leave %.1f ms (goal < %lld "
                    "ms): %s\n",
                    handed.size(), leaving.size(), uncarried,
                    static_cast<unsigned long long>(drops), worst * 1e3,
                    static_cast<long long>(2 * Gap.count()),
                    Verdict("Drag200Steps",
                            !handed.empty() && !leaving.empty() && uncarried == 0 && drops == 0
                                && worst * 1e3 < 2 * Gap.count()));
    }
}
BENCHMARK(Drag200Steps)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void PartAnswerEcho(benchmark::State &state)
{
    for (auto _ : state) {
        TWorld world;
        Make(world);
        QElapsedTimer clock;
        clock.start();
        // Selecting part 1 as the window is made sends the part request.
        TUndoCoordinator undo;
        TOmbrix window(*world.Handed, undo);
        WaitSent(world);
        const auto leaving = world.Leaving->Taken();
        const double lastLeft = double(clock.nsecsElapsed()) / 1e6;
        state.counters["messages_sent"] = double(leaving.size());
        state.counters["drops"] = double(world.Rig->Instrument().StrictDrops());
        state.counters["last_echo_left_ms"] = lastLeft;
        // The request and the echo of its answer, at the least, must have left.
        std::printf("PartAnswerEcho: %zu messages sent, last left %.0f ms after the request, "
                    "%llu drops (goal 0): %s\n",
                    leaving.size(), lastLeft,
                    static_cast<unsigned long long>(world.Rig->Instrument().StrictDrops()),
                    Verdict("PartAnswerEcho",
                            leaving.size() > 1 && world.Rig->Instrument().StrictDrops() == 0));
    }
}
BENCHMARK(PartAnswerEcho)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    TBenchApplication application(argc, argv);
    session::SetErrorReporter([](const std::string &text) {
        std::fprintf(stderr, "error: %s\n", text.c_str());
        std::abort();
    });
    return RunBenchmarks(argc, argv, {});
}
