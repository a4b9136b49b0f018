// Arbitrary bytes for the virtual instrument. The input is cut after every F7 into messages fed
// one by one to a fresh instrument (so that a data set can change what a later request
// answers), and the whole input is fed once more as a single message. Every answer must be a
// well-formed data-set message of this device with a correct checksum.

#include "Pieces.h"
#include "instrument/VirtualInstrument.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

namespace {

void CheckAnswer(const instrument::TMessage &m, std::uint8_t deviceByte)
{
    if (m.size() < 13 || m[0] != 0xF0 || m[1] != 0x41 || m[2] != deviceByte || m[3] != 0x00
        || m[4] != 0x0B || m[5] != 0x12 || m.back() != 0xF7)
        std::abort();
    unsigned sum = 0;
    for (std::size_t i = 1; i + 1 < m.size(); ++i) {
        if (m[i] > 0x7F)
            std::abort();
        if (i >= 6)
            sum += m[i];
    }
    if (sum % 128 != 0)
        std::abort();
}

// Each message in a heap block of its own exact size, so that an overread is caught.
void Feed(instrument::TVirtualInstrument &instrument, const std::uint8_t *data, std::size_t size)
{
    std::unique_ptr<std::uint8_t[]> exact(size ? new std::uint8_t[size] : nullptr);
    for (std::size_t i = 0; i < size; ++i)
        exact[i] = data[i];
    for (const instrument::TMessage &answer :
         instrument.Receive(std::span<const std::uint8_t>(exact.get(), size)))
        CheckAnswer(answer, 0x10);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    instrument::TVirtualInstrument instrument;
    ForEachPiece({data, size}, [&instrument](std::span<const std::uint8_t> piece) {
        Feed(instrument, piece.data(), piece.size());
    });
    return 0;
}
