// The promise to a user who pulls a MIDI cable and plugs it in again: the program finds the
// device again within 2 seconds and says so in the status bar. The whole program's windows, with
// the built-in instrument and a system output device "Cable" that goes away and comes back at a
// moment the benchmark chooses, ten times, at different points of the program's own watch.
// Measured: the wall time from the device's return to the status bar's "reconnected" line; the
// worst of the ten is judged (goal at most 2 s).

#include "BenchApplication.h"
#include "ShareReporter.h"
#include "app/Application.h"
#include "instrument/VirtualInstrument.h"
#include "instrument/VirtualInstrumentPorts.h"
#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "midi/MidiService.h"
#include "session/ErrorPolicy.h"
#include "session/WaitPumping.h"

#include <QApplication>
#include <QDir>
#include <QStatusBar>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double PromiseSeconds = 2.0;

// One output device, "Cable", gone from the moment Unplug is called until the moment it names.
class TReplugProvider final : public midi::IMidiPortProvider
{
public:
    std::vector<std::unique_ptr<midi::IMidiInPort>> InputPorts() override { return {}; }
    std::vector<std::unique_ptr<midi::IMidiOutPort>> OutputPorts() override
    {
        std::vector<std::unique_ptr<midi::IMidiOutPort>> ports;
        ports.push_back(std::make_unique<TPort>(*this));
        return ports;
    }
    void Unplug(Clock::time_point back)
    {
        BackAt.store(back.time_since_epoch().count());
        Gone.store(true);
    }

private:
    struct TPort final : midi::IMidiOutPort
    {
        explicit TPort(TReplugProvider &owner)
            : Owner(owner)
        { }
        std::string Name() const override { return "Cable"; }
        bool Open(std::string &) override { return true; }
        bool Send(const std::uint8_t *, std::size_t, std::string &) override { return true; }
        void Close() override { }
        midi::TPortCheck Recheck() override
        {
            if (!Owner.Gone.load())
                return midi::TPortCheck::Present;
            if (Clock::now().time_since_epoch().count() < Owner.BackAt.load())
                return midi::TPortCheck::Gone;
            Owner.Gone.store(false);
            return midi::TPortCheck::Back;
        }
        TReplugProvider &Owner;
    };
    std::atomic<bool> Gone {false};
    std::atomic<Clock::rep> BackAt {0};
};

void Replug(benchmark::State &state)
{
    auto provider = std::make_shared<TReplugProvider>();
    midi::SetMidiService(
        std::make_shared<midi::TMidiHub>(std::vector<std::shared_ptr<midi::IMidiPortProvider>> {
            std::make_shared<instrument::TVirtualInstrumentProvider>(
                std::make_shared<instrument::TVirtualInstrument>()),
            provider}));
    {
        TProgramWindows windows;
        midi::MidiOut().Open(1);
        auto *bar = windows.Ombrix.findChild<QStatusBar *>(QStringLiteral("StatusBar"));
        Clock::time_point noticed {};
        QObject::connect(bar, &QStatusBar::messageChanged, bar, [&noticed](const QString &text) {
            if (text == QStringLiteral("MIDI output Cable reconnected"))
                noticed = Clock::now();
        });
        int replug = 0;
        double worst = 0;
        for (auto _ : state) {
            bar->clearMessage();
            noticed = {};
            // Gone for a while, back at a point that moves through the program's watch.
            const Clock::time_point back
                = Clock::now() + std::chrono::milliseconds(600 + 137 * (replug % 7));
            provider->Unplug(back);
            // A generous limit, only so that a program that never notices ends the benchmark.
            while (noticed == Clock::time_point {}
                   && Clock::now() < back + std::chrono::seconds(30))
                session::WaitPumping(10);
            if (noticed == Clock::time_point {}) {
                state.SkipWithError("the reconnection was never shown");
                break;
            }
            const double seconds = std::chrono::duration<double>(noticed - back).count();
            worst = std::max(worst, seconds);
            state.SetIterationTime(seconds);
            ++replug;
        }
        state.counters["worst_ms"] = worst * 1e3;
        if (replug == state.max_iterations)
            std::printf("Replug: worst of %d re-plugs noticed %.0f ms after the device came back "
                        "(goal <= %.0f ms): %s\n",
                        replug, worst * 1e3, PromiseSeconds * 1e3,
                        Verdict("Replug", worst <= PromiseSeconds));
    }
    midi::ShutdownMidi();
    midi::SetMidiService(nullptr);
}
BENCHMARK(Replug)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

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
