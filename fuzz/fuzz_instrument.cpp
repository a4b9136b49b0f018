// Arbitrary bytes for the virtual instrument. The input is cut after every F7 into messages fed
// one by one to a fresh instrument (so that a data set can change what a later request
// answers), and the whole input is fed once more as a single message. Every answer must be a
// well-formed data-set message of this device with a correct checksum, or, to the universal
// Inquiry Request alone, the identity reply the program's detection takes for an MC-307 of this
// device ID. The input is also read as a bulk dump file; when taken, it fills another fresh
// instrument, whose answers to a request of its whole memory must be well formed too.

#include "Pieces.h"
#include "instrument/BulkDump.h"
#include "instrument/VirtualInstrument.h"
#include "sysex/IdentityMessages.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// The Inquiry Request to every device, or to this one. A lone data byte ahead of it on the wire
// (the 00 the program sends before a model-3A message) changes nothing.
bool IsInquiryRequest(std::span<const std::uint8_t> m, std::uint8_t deviceByte)
{
    if (m.size() > 1 && m[0] == 0x00 && m[1] == 0xF0)
        m = m.subspan(1);
    const midi::TByteStream toAll = sysex::InquiryRequest();
    midi::TByteStream toThis = toAll;
    toThis[2] = deviceByte;
    return std::ranges::equal(m, toAll) || std::ranges::equal(m, toThis);
}

void CheckAnswer(std::span<const std::uint8_t> received, const instrument::TMessage &m,
                 int deviceId)
{
    const auto deviceByte = static_cast<std::uint8_t>(deviceId - 1);
    if (m.size() > 1 && m[1] == 0x7E) {
        Check(IsInquiryRequest(received, deviceByte));
        Check(sysex::InquiryReplyId(m) == deviceId);
        return;
    }
    Check(m.size() >= 13 && m[0] == 0xF0 && m[1] == 0x41 && m[2] == deviceByte && m[3] == 0x00
          && m[4] == 0x0B && m[5] == 0x12 && m.back() == 0xF7);
    unsigned sum = 0;
    for (std::size_t i = 1; i + 1 < m.size(); ++i) {
        Check(m[i] <= 0x7F);
        if (i >= 6)
            sum += m[i];
    }
    Check(sum % 128 == 0);
}

// Each message in a heap block of its own exact size, so that an overread is caught.
void Feed(instrument::TVirtualInstrument &instrument, const std::uint8_t *data, std::size_t size)
{
    std::unique_ptr<std::uint8_t[]> exact(size ? new std::uint8_t[size] : nullptr);
    for (std::size_t i = 0; i < size; ++i)
        exact[i] = data[i];
    const std::span<const std::uint8_t> received(exact.get(), size);
    for (const instrument::TMessage &answer : instrument.Receive(received))
        CheckAnswer(received, answer, instrument.DeviceId());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    instrument::TVirtualInstrument instrument;
    ForEachPiece({data, size}, [&instrument](std::span<const std::uint8_t> piece) {
        Feed(instrument, piece.data(), piece.size());
    });

    const instrument::TDumpRead read = instrument::ParseDump({data, size});
    Check(read.Error.empty() != read.Dump.DataSets.empty());
    if (read.Error.empty()) {
        instrument::TVirtualInstrument filled;
        filled.Load(read.Dump);
        // F0 41 10 00 0B 11, everything from 00 00 00 00, the checksum, F7.
        const std::uint8_t everything[] {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x11, 0x00, 0x00,
                                         0x00, 0x00, 0x7F, 0x7F, 0x7F, 0x7F, 0x04, 0xF7};
        Feed(filled, everything, sizeof everything);
    }
    return 0;
}
