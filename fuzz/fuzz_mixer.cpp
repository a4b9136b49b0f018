// Arbitrary bytes for the mixer window's decoder. The input is cut after every F7 into messages
// decoded one by one, then decoded once more whole. The window has had its first opening, so
// every send handler is connected: decoding must still send nothing and raise no error, and
// every control must stay within its range.

#include "Pieces.h"
#include "midi/MidiDevices.h"
#include "mixer/FormMixer.h"
#include "support/DiscardingApplication.h"

#include <QCoreApplication>
#include <QScrollBar>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

namespace {

struct TFuzzWorld
{
    TFuzzWorld()
    {
        midi::MidiOut().Open(0);
        Form = std::make_unique<TFormMixer>(
            [] {
                return TMainWindowSettings {0, 17};
            },
            midi::MidiOut());
        // Connects the send handlers; the discarding device never answers.
        Form->FormShow();
        SentAfterOpening = App.Sent();
    }

    TDiscardingApplication App;
    std::unique_ptr<TFormMixer> Form;
    std::uint64_t SentAfterOpening = 0;
};

TFuzzWorld &World()
{
    static TFuzzWorld world;
    return world;
}

// Each message in a heap block of its own exact size, so that an overread is caught.
void Feed(TFormMixer &form, const std::uint8_t *data, std::size_t size)
{
    std::unique_ptr<std::uint8_t[]> exact(size ? new std::uint8_t[size] : nullptr);
    for (std::size_t i = 0; i < size; ++i)
        exact[i] = data[i];
    form.DoSysexData(0, std::span<const std::uint8_t>(exact.get(), size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    TFuzzWorld &world = World();
    ForEachPiece({data, size}, [&world](std::span<const std::uint8_t> piece) {
        Feed(*world.Form, piece.data(), piece.size());
    });
    // The program's event loop runs what the controls posted while a delivery was decoded before
    // the next one; without it they would pile up from input to input until memory runs out.
    QCoreApplication::sendPostedEvents();

    if (world.App.Sent() != world.SentAfterOpening)
        std::abort();
    for (const QScrollBar *bar : world.Form->findChildren<QScrollBar *>())
        if (bar->value() < bar->minimum() || bar->value() > bar->maximum())
            std::abort();
    return 0;
}
