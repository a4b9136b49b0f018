// Arbitrary bytes for the main window's decoder, as one message and cut after every F7 into
// several, also with the address bytes forced to a pattern part block and to each tone block so
// the input reaches the decoding steps. Nothing may be read beyond a message's end (run under
// AddressSanitizer) and nothing may fail: the echo goes to a device that takes everything, as
// long as it is well formed (no status byte inside a System Exclusive message), whatever the
// delivery held.

#include "Pieces.h"
#include "controls/UndoCoordinator.h"
#include "editor/Ombrix.h"
#include "midi/MidiDevices.h"
#include "support/DiscardingApplication.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace {
struct TFuzzWorld
{
    TDiscardingApplication App;
    TUndoCoordinator Undo;
    std::unique_ptr<TOmbrix> Window = std::make_unique<TOmbrix>(midi::MidiOut(), Undo);
};

TFuzzWorld &World()
{
    static TFuzzWorld world;
    return world;
}

void Decode(const std::vector<std::uint8_t> &message)
{
    // Each call gets a buffer of exactly the message's size, so a read past it is caught.
    auto copy = std::make_unique<std::uint8_t[]>(message.size());
    std::copy(message.begin(), message.end(), copy.get());
    World().Window->Session().DoSysexData(0, std::span(copy.get(), message.size()));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<std::uint8_t> whole(data, data + size);
    ForEachPiece(whole, [](std::span<const std::uint8_t> piece) {
        Decode({piece.begin(), piece.end()});
    });
    if (size > 9) {
        std::vector<std::uint8_t> forced = whole;
        forced[6] = 0x01;
        Decode(forced);
        forced[6] = 0x02;
        for (std::uint8_t block : {0x00, 0x10, 0x12, 0x14, 0x16}) {
            forced[8] = block;
            Decode(forced);
        }
    }
    // The program's event loop runs what the controls posted while a delivery was decoded before
    // the next one; without it they would pile up from input to input until memory runs out.
    QCoreApplication::sendPostedEvents();
    return 0;
}
