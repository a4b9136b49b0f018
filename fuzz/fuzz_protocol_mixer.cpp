// Arbitrary bytes for the mixer's decoder alone, without a window: as one message and cut after
// every F7 into several, each in a heap block of its own exact size, so that a read beyond its
// end is caught (AddressSanitizer). Checked: a block is decoded only from the area it belongs
// to, and every value is one a received byte can give, before any control clamps it.

#include "Pieces.h"
#include "protocol/MixerProtocol.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool IsByte(int value)
{
    return value >= 0 && value <= 0xFF;
}

bool AddressIs(std::span<const std::uint8_t> m, std::uint8_t area, std::uint8_t subArea)
{
    return m.size() > 8 && m[6] == area && m[7] == subArea;
}

void Decode(const std::uint8_t *data, std::size_t size)
{
    std::unique_ptr<std::uint8_t[]> exact(size ? new std::uint8_t[size] : nullptr);
    std::copy(data, data + size, exact.get());
    const std::span<const std::uint8_t> message(exact.get(), size);
    const mixer::TDecodedMessage decoded = mixer::DecodeMessage(message);

    if (decoded.Switches)
        Check(AddressIs(message, 0x00, 0x00) && message[8] == 0x00 && message.size() > 12
              && message[9] == 0x08);
    if (const auto &c = decoded.Common) {
        Check(AddressIs(message, 0x01, 0x00) && message[8] == 0x00);
        for (int value : {c->ReverbType, c->ReverbLevel, c->ReverbTime, c->ReverbHfDamp,
                          c->ReverbToMfx, c->DelayType, c->DelayLevel, c->DelayTime, c->DelayHfDamp,
                          c->DelayOutput, c->DelayFeedback, c->DelayToMfx})
            Check(IsByte(value));
    }
    if (const auto &p = decoded.PartBlock) {
        Check(p->Part >= 0 && p->Part < mixer::PartCount);
        Check(AddressIs(message, 0x01, 0x00)
              && message[8] == mixer::Parts[static_cast<std::size_t>(p->Part)].BlockByte);
        Check(IsByte(p->Values.Level) && IsByte(p->Values.Pan + 64)
              && IsByte(48 - p->Values.TransposePosition) && IsByte(p->Values.DelaySend)
              && IsByte(p->Values.ReverbSend));
    }
    Check(!(decoded.Common && decoded.PartBlock));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ForEachPiece({data, size},
                 [](std::span<const std::uint8_t> piece) { Decode(piece.data(), piece.size()); });
    return 0;
}
