// What the monitor costs a message: its append to the model (through the filter the window
// shows) and its share of a repaint of the visible rows, drawn once per 100 messages, against a
// 3-byte message's time on the cable (0.96 ms). Measured on an empty monitor and on one at its
// cap, where the oldest rows go: the cost must not grow with the rows held.

#include "BenchApplication.h"
#include "ShareReporter.h"
#include "monitor/FormMonitor.h"

#include <QApplication>
#include <QImage>
#include <QTableView>
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {
const std::vector<std::uint8_t> DataSet {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02,
                                         0x03, 0x12, 0x65, 0x64, 0x20, 0xF7};
const std::vector<std::uint8_t> ControlChange {0xB3, 0x07, 0x64};
const std::vector<std::uint8_t> Sensing {0xFE};
const std::string Device = "Ombrix Virtual MC-307";

void MonitorMessage(benchmark::State &state)
{
    monitor::TFormMonitor form;
    form.resize(820, 480);
    form.show();
    QApplication::processEvents();
    // Held rows are older than what comes now, as in a session.
    for (int i = 0; i < state.range(0); ++i)
        form.Model().Append(-state.range(0) + i, true, Device, ControlChange);
    QImage image(form.View().viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    const std::array<const std::vector<std::uint8_t> *, 3> messages {&DataSet, &ControlChange,
                                                                     &Sensing};
    std::size_t count = 0;
    const auto step = [&] {
        const bool sent = count % 2 == 0;
        form.Model().Append(sent, Device, *messages[count % messages.size()]);
        if (++count % 100 == 0)
            form.View().viewport()->render(&image);
    };
    // Counted first, from the rows held: a block's worth of messages, which at the cap takes in
    // one removal of the oldest block, as every block's worth does there.
    CountAllocations(
        state, [] {}, step, monitor::TMonitorModel::DefaultBlock);
    for (auto _ : state)
        step();
}
BENCHMARK(MonitorMessage)->Arg(0)->Arg(99500)->ArgName("rows_held")->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char **argv)
{
    TBenchApplication application(argc, argv);
    return RunBenchmarks(argc, argv,
                         {{"MonitorMessage", "a 3-byte message's wire time", 0.96e-3, 0.01}},
                         // Judged by what a message allocates: 764 bytes on an empty monitor
                         // (whose row store is still growing), 731 at the cap. A removal or a
                         // repaint that went over every row held would allocate kilobytes a
                         // message; the tenth above the empty monitor's leaves room only for a
                         // different growth pattern of the store.
                         {{"MonitorMessage", 1.1}});
}
