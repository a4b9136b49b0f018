// Where the receive log's drawing went: an append only adds its word, and the line is drawn
// when it is painted, at most once a screen frame. One paint after 0, 100 and 10,000 earlier
// requests' words, against a frame (16.7 ms); it must not grow with the log.

#include "BenchApplication.h"
#include "ShareReporter.h"
#include "controls/ReceiveLog.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {
void PaintReceiveLog(benchmark::State &state)
{
    TReceiveLog log(QString(" Patch Common Tone1 Tone2 Tone3 Tone4").repeated(state.range(0)));
    log.setGeometry(0, 0, 215, 21);
    QImage image(log.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        log.Append(QLatin1StringView(" Patch"));
        log.render(&image);
    }
}
BENCHMARK(PaintReceiveLog)
    ->Arg(0)
    ->Arg(100)
    ->Arg(10000)
    // Judged by the median of five runs: a growth figure compares two runs, and one unlucky
    // run alone would decide it.
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->ArgName("earlier_requests")
    ->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char **argv)
{
    TBenchApplication application(argc, argv);
    return RunBenchmarks(argc, argv, {{"PaintReceiveLog", "a screen frame", 1.0 / 60, 0.01}},
                         {{"PaintReceiveLog", 1.2}});
}
