// Where the receive log's drawing went: an append only adds its word, and the line is drawn
// when it is painted, at most once a screen frame. One paint after 10, 100 and 10,000 earlier
// requests' words, against a frame (16.7 ms); it must not grow with the log.

#include "BenchApplication.h"
#include "EarlierSession.h"
#include "ShareReporter.h"
#include "controls/ReceiveLog.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {
void PaintReceiveLog(benchmark::State &state)
{
    const QString words(" Patch Common Tone1 Tone2 Tone3 Tone4");
    TReceiveLog log(words.repeated(state.range(0)));
    log.setGeometry(0, 0, 215, 21);
    QImage image(log.size(), QImage::Format_ARGB32_Premultiplied);
    const auto step = [&] {
        log.Append(QLatin1StringView(" Patch"));
        log.render(&image);
    };
    for (auto _ : state)
        step();
    // Counted on a log with room for the word, as a long session's log has most of the time:
    // the timed steps' rare reallocations of the whole text are the string's geometric growth,
    // not the paint's.
    CountAllocations(
        state, [&] { StartAfterEarlierSession(log, QString(), words, state.range(0)); }, step);
}
BENCHMARK(PaintReceiveLog)
    // Ten requests' words already fill the line: from there on a paint draws as many characters
    // whatever the log holds, and a growth check compares like with like (an empty log's paint
    // draws fewer, and allocates less).
    ->Arg(10)
    ->Arg(100)
    ->Arg(10000)
    // Its share of the frame is the median of five runs, which one unlucky run does not move;
    // its growth is judged by what a paint allocates, the same in every run.
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->ArgName("earlier_requests")
    ->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char **argv)
{
    TBenchApplication application(argc, argv);
    return RunBenchmarks(argc, argv, {{"PaintReceiveLog", "a screen frame", 1.0 / 60, 0.01}},
                         // A paint allocates the same whatever the log holds; one that laid out
                         // or copied the whole log would allocate in proportion to it.
                         {{"PaintReceiveLog", 1.0}});
}
