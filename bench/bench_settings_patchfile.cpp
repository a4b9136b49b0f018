// Opening a patch file: the program's own time to read the file, check every message and hand
// the packets to the paced queue (which sends them to a device that discards them, with no
// gap), in CPU time of the whole process, as a share of the same packets' time on a DIN cable at
// the paced rate (320 us a byte and the 20 ms gap between two data sets). A step is one whole
// patch, its tone blocks cut into pages as the instrument sends them.

#include "DiscardingPaced.h"
#include "ShareReporter.h"
#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "midi/PacedOutput.h"
#include "settings/PatchFileStorage.h"
#include "support/DiscardingPorts.h"
#include "sysex/PatchFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

constexpr double DinByteSeconds = 320e-6;
constexpr double GapSeconds = 20e-3;
midi::TPacedOutputs *Paced = nullptr;
QString PatchPath;

midi::TByteStream DataSet(std::array<std::uint8_t, 4> address, int size)
{
    midi::TByteStream message {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12};
    for (std::uint8_t byte : address)
        message.push_back(byte);
    for (int i = 0; i < size; ++i)
        message.push_back(static_cast<std::uint8_t>((i * 7) & 0x7F));
    message.push_back(midi::RolandChecksum(message.data() + 6, message.size() - 6));
    message.push_back(0xF7);
    return message;
}

std::vector<midi::TByteStream> WholePatch()
{
    std::vector<midi::TByteStream> messages {DataSet({0x02, 0x00, 0x00, 0x00}, 0x48)};
    for (std::uint8_t page : {0x10, 0x12, 0x14, 0x16}) {
        messages.push_back(DataSet({0x02, 0x00, page, 0x00}, 128));
        messages.push_back(DataSet({0x02, 0x00, std::uint8_t(page + 1), 0x00}, 1));
    }
    return messages;
}

void OpenPatchFile(benchmark::State &state)
{
    midi::IMidiOut &device = Paced->Device(0);
    for (auto _ : state) {
        const auto load = settings::LoadPatchFile(PatchPath);
        if (!load.Error.isEmpty()) {
            state.SkipWithError("the patch file was refused");
            break;
        }
        for (const auto &packet : sysex::PatchFileMessages(load.File, 17, 3))
            device.SendSysEx(packet);
        Paced->Flush(std::chrono::seconds(1));
    }
}
BENCHMARK(OpenPatchFile)->MeasureProcessCPUTime()->Iterations(40)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    PatchPath = dir.filePath("Patch.syx");
    const auto patch = WholePatch();
    if (settings::SavePatchFile(PatchPath, patch))
        return 1;
    double wireSeconds = 0;
    const auto read = settings::LoadPatchFile(PatchPath);
    const auto packets = sysex::PatchFileMessages(read.File, 17, 3);
    for (const auto &packet : packets)
        wireSeconds += double(packet.size()) * DinByteSeconds;
    wireSeconds += double(packets.size() - 1) * GapSeconds;

    TDiscardingPacedOutput output;
    Paced = &output.Outputs();
    const std::string label = "a whole patch (" + std::to_string(packets.size())
        + " data sets) on a DIN cable at the 20 ms gap";
    return RunBenchmarks(argc, argv, {{"OpenPatchFile", label, wireSeconds, 0.01}});
}
