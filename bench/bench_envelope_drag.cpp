// One step of an envelope drag: every mouse move while a handle is held recomputes the points
// and repaints the whole 250 x 56 picture with the limit line. Measured against one frame of a
// 60 Hz screen; the step should stay under 1 % of it (167 us).

#include "ShareReporter.h"
#include "controls/EnveloppePainting.h"

#include <QImage>
#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

constexpr double FrameSeconds = 1.0 / 60;
constexpr double TargetShare = 0.01;

void BM_EnvelopeDragStep(benchmark::State &state)
{
    const int handle = static_cast<int>(state.range(0));
    sysex::TEnveloppe env(250, 56, 56 / 2, true);
    env.SetValues({100, 64, 90, 40}, {64, 64, 64, 64});
    env.Selected = handle;
    QImage image(250, 56, QImage::Format_RGB32);
    int step = 0;
    for (auto _ : state) {
        // Sweep over and beyond the handle's range, as a hand would.
        const int x = (step * 7) % 320 - 30;
        const int y = (step * 3) % 80 - 12;
        ++step;
        env.MoveHandle(x, y);
        PaintEnveloppe(env, image, true);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_EnvelopeDragStep)->DenseRange(1, 4)->ArgName("handle")->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return RunBenchmarks(argc, argv,
                         {{"BM_EnvelopeDragStep", "a 60 Hz frame", FrameSeconds, TargetShare}});
}
