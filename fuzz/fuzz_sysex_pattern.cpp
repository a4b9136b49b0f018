// Arbitrary bytes as a received message for the pattern's decoder and the monitor, and as an
// MFX file. Checked: the decoder reads within the message (its bytes lie in a heap block of their
// own exact size, so a read beyond their end is caught by AddressSanitizer); every MFX value it
// gives that lies in its range for the decoded type goes out as one sound data set which, sent to
// the instrument, leaves that byte there, and nothing goes out for a value out of range; a name
// and a tempo go out sound and come back as shown; a refused MFX file names an offset inside it,
// a taken one holds values in their ranges and reads back the same from the file built of them.

#include "instrument/VirtualInstrument.h"
#include "sysex/MessageMeaning.h"
#include "sysex/MfxFile.h"
#include "sysex/PatternMessages.h"
#include "sysex/RolandMessage.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

namespace {

namespace mfx = sysex::mfx;
namespace pattern = sysex::pattern;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

midi::TByteStream Sound(const std::string &text)
{
    midi::TByteStream message;
    midi::HexTextToSysEx(text, message);
    Check(!midi::SysExFault(message));
    return message;
}

void Decode(std::span<const std::uint8_t> message)
{
    const std::string set = sysex::DataSetHeader(17);
    const pattern::TDecoded decoded = pattern::DecodeMessage(message);
    const int type = decoded.Mfx[0].value_or(-1);
    for (int v = 0; v < mfx::ValueCount; ++v) {
        const std::optional<int> byte = decoded.Mfx[static_cast<std::size_t>(v)];
        if (!byte)
            continue;
        Check(*byte >= 0 && *byte < 0x80);
        const mfx::TMfxParam *param = mfx::ParamOf(type, v);
        const std::optional<std::string> text = pattern::MfxMessage(set, type, v, *byte);
        Check(text.has_value() == (param && mfx::CheckValue(*param, *byte).InRange));
        if (!text)
            continue;
        instrument::TVirtualInstrument instrument;
        instrument.Receive(Sound(*text));
        Check(instrument.ReadByte({0x01, 0x00, 0x00, std::uint8_t(0x0D + v)}) == *byte);
        Check(!mfx::ValueText(*param, *byte).empty());
    }
    if (decoded.Name) {
        Check(decoded.Name->size() <= std::size_t(pattern::NameSize));
        Check(pattern::DecodeMessage(Sound(pattern::NameMessage(set, *decoded.Name))).Name
              == decoded.Name);
    }
    if (decoded.TempoHundredths) {
        const int tenths = pattern::TempoTenths(*decoded.TempoHundredths);
        Check(pattern::TempoTenthsFromText(pattern::TempoText(tenths)) == tenths);
        Check(pattern::DecodeMessage(Sound(pattern::TempoMessage(set, tenths))).TempoHundredths
              == tenths * 10);
    }
    sysex::TMeaningContext context;
    Check(!sysex::MessageMeaning(message, context).empty());
    Check(!sysex::MessageMeaning(message, context).empty());
}

void ReadFile(std::span<const std::uint8_t> bytes)
{
    const mfx::TMfxFileRead read = mfx::ReadMfxFile(bytes);
    if (read.Error) {
        Check(!read.Values && read.Error->Offset <= bytes.size() && !read.Error->Why.empty());
        return;
    }
    Check(read.Values.has_value());
    for (int v = 0; v < mfx::ValueCount; ++v)
        if (const mfx::TMfxParam *param = mfx::ParamOf((*read.Values)[0], v))
            Check(mfx::CheckValue(*param, (*read.Values)[static_cast<std::size_t>(v)]).InRange);
    const midi::TByteStream file = mfx::MfxFileBytes(*read.Values, 17);
    Check(!midi::SysExFault(file));
    Check(mfx::ReadMfxFile(file).Values == read.Values);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > mfx::MaxMfxFileBytes)
        return 0;
    std::unique_ptr<std::uint8_t[]> exact(size ? new std::uint8_t[size] : nullptr);
    std::copy(data, data + size, exact.get());
    const std::span<const std::uint8_t> bytes(exact.get(), size);
    Decode(bytes);
    ReadFile(bytes);
    return 0;
}
