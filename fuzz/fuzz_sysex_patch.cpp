// Arbitrary bytes for the editor's decoder alone, without a window: as one message, cut after
// every F7 into several, and with the address bytes forced to a pattern part block or to a block
// of the patch area so the input reaches every decoding step. Each message lies in a heap
// block of its own exact size, so a read beyond its end is caught (AddressSanitizer). Checked:
// the block matches the address bytes; a step is there exactly when its bytes are; steps come in
// decoding order; every value lies in its control's range, so what a control echoes is a data
// byte.

#include "Pieces.h"
#include "sysex/MessageView.h"
#include "sysex/PatchMessages.h"

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <span>
#include <vector>

namespace {

using sysex::TControlKind;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool StepPresent(const sysex::TMessageView &view, const sysex::TToneControl &control)
{
    if (control.Envelope) {
        const sysex::TEnvelopeParams &envelope = *control.Envelope;
        for (std::size_t i = 0; i < 4; ++i)
            if (!view.AtOffset(envelope.TimeOffsets[i])
                || (static_cast<int>(i) < envelope.LevelCount
                    && !view.AtOffset(envelope.LevelOffsets[i])))
                return false;
        return true;
    }
    return view.HasOffsets(control.Param.Offset, control.Kind == TControlKind::WaveList ? 3 : 1);
}

void CheckValue(const sysex::patch::TToneValue &value)
{
    const sysex::TToneControl &control = sysex::ToneTable[value.Row];
    const sysex::TToneParam &param = control.Param;
    switch (control.Kind) {
    case TControlKind::EnvelopeImage:
        for (std::size_t i = 0; i < 4; ++i) {
            Check(value.Times[i] >= 0 && value.Times[i] <= 0x7F);
            Check(value.Levels[i] >= 0 && value.Levels[i] <= 0x7F);
        }
        if (control.Envelope->LevelCount < 4)
            Check(value.Levels[3] == 0);
        return;
    case TControlKind::WaveList:
    case TControlKind::FilterList:
        Check(value.Value == sysex::NoSelection
              || (value.Value >= param.ControlMin && value.Value <= param.ControlMax));
        return;
    default:
        Check(value.Value >= param.ControlMin && value.Value <= param.ControlMax);
        Check(param.ToByte(value.Value) >= 0 && param.ToByte(value.Value) <= 0x7F);
        return;
    }
}

void Decode(const std::vector<std::uint8_t> &bytes)
{
    std::unique_ptr<std::uint8_t[]> exact(bytes.empty() ? nullptr : new std::uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    const std::span<const std::uint8_t> message(exact.get(), bytes.size());
    const sysex::patch::TDecoded decoded = sysex::patch::DecodeMessage(message);

    const sysex::TMessageView view(message);
    const auto area = view.Byte(6);
    const auto block = view.Byte(8);
    switch (decoded.Block) {
    case sysex::patch::TBlock::PatternPart:
        Check(area == 0x01);
        Check(decoded.Selection.has_value() == view.HasOffsets(sysex::PatchGroupOffset, 3));
        if (decoded.Selection) {
            const sysex::patch::TPatchSelection &s = *decoded.Selection;
            Check(s.Group >= sysex::NoSelection && s.Group < sysex::PatchGroupCount);
            if (s.Group == sysex::NoSelection)
                Check(s.Patch == sysex::NoSelection);
            else
                Check(s.Patch >= sysex::NoSelection && s.Patch < sysex::PatchCountOfGroup(s.Group));
        }
        break;
    case sysex::patch::TBlock::PatchCommon:
        Check(area == 0x02 && block == 0x00);
        break;
    case sysex::patch::TBlock::Tone: {
        Check(area == 0x02 && decoded.Tone >= 1 && decoded.Tone <= 4);
        Check(block == sysex::ToneByte(decoded.Tone));
        std::size_t next = 0;
        for (int row : sysex::DecodeOrder) {
            const bool present = StepPresent(view, sysex::ToneTable[row]);
            const bool decodedHere
                = next < decoded.Values.size() && decoded.Values[next].Row == row;
            Check(present == decodedHere);
            if (decodedHere)
                CheckValue(decoded.Values[next++]);
        }
        Check(next == decoded.Values.size());
        break;
    }
    case sysex::patch::TBlock::NotOurs:
        Check(area != 0x01);
        Check(
            area != 0x02
            || (block != 0x00 && block != 0x10 && block != 0x12 && block != 0x14 && block != 0x16));
        Check(decoded.Values.empty() && !decoded.Selection);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::vector<std::uint8_t> whole(data, data + size);
    ForEachPiece(whole, [](std::span<const std::uint8_t> piece) {
        Decode({piece.begin(), piece.end()});
    });
    if (size > 9) {
        // One forced variant an input, chosen by its first byte: the fuzzer reaches them all.
        static constexpr std::uint8_t Blocks[] = {0x00, 0x10, 0x12, 0x14, 0x16};
        std::vector<std::uint8_t> forced = whole;
        const std::size_t choice = data[0] % (std::size(Blocks) + 1);
        forced[6] = choice == std::size(Blocks) ? 0x01 : 0x02;
        if (choice < std::size(Blocks))
            forced[8] = Blocks[choice];
        Decode(forced);
    }
    return 0;
}
