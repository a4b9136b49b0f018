// Arbitrary bytes for the mixer's decoder alone, without a window: as one message and cut after
// every F7 into several, each in a heap block of its own exact size, so that a read beyond its
// end is caught (AddressSanitizer). Checked: a block is decoded only from the area it belongs
// to, and for every decoded field the message the window makes of its value (with the
// protocol's own message builders) carries the received byte to the instrument whenever that
// byte lies in the field's stored range (see MixerFields.h).

#include "MixerFields.h"
#include "Pieces.h"
#include "midi/SysExText.h"
#include "sysex/MixerMessages.h"
#include "sysex/RolandMessage.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool AddressIs(std::span<const std::uint8_t> m, std::uint8_t area, std::uint8_t subArea)
{
    return m.size() > 8 && m[6] == area && m[7] == subArea;
}

// One instrument for every input; nothing reads its log of what it received.
std::unique_ptr<instrument::TVirtualInstrument> UnloggedInstrument()
{
    auto instrument = std::make_unique<instrument::TVirtualInstrument>();
    instrument->SetLogLimit(0);
    return instrument;
}

instrument::TVirtualInstrument &Instrument()
{
    static const auto instrument = UnloggedInstrument();
    return *instrument;
}

// What the window sends for the decoded values, as it makes it: the part's control changes,
// transposition and MFX switch; the reverb and delay groups; the three switches.
void SendAsTheWindow(const sysex::mixer::TDecodedMessage &decoded)
{
    instrument::TVirtualInstrument &instrument = Instrument();
    const auto sendText = [&instrument](const std::string &text) {
        midi::TByteStream message;
        midi::HexTextToSysEx(text, message);
        instrument.Receive(message);
    };
    const std::string dataSet = sysex::DataSetHeader(instrument.DeviceId());
    using sysex::mixer::TFieldId;
    if (const auto &s = decoded.Switches)
        for (TFieldId which : {TFieldId::MfxSwitch, TFieldId::DelaySwitch, TFieldId::ReverbSwitch})
            sendText(sysex::mixer::SwitchMessage(dataSet, which, sysex::mixer::At(*s, which) != 0));
    if (const auto &c = decoded.Common) {
        for (sysex::mixer::TSending group :
             {sysex::mixer::TSending::ReverbGroup, sysex::mixer::TSending::DelayGroup}) {
            std::vector<int> values;
            for (TFieldId field : sysex::mixer::GroupFields(group))
                values.push_back(sysex::mixer::At(*c, field));
            for (const std::string &text : sysex::mixer::GroupMessages(dataSet, group, values))
                sendText(text);
        }
    }
    if (const auto &p = decoded.PartBlock) {
        const int channel = sysex::mixer::Parts[static_cast<std::size_t>(p->Part)].Channel;
        for (sysex::mixer::TSendGroup group : sysex::mixer::SendGroups) {
            const TFieldId field = sysex::mixer::SendGroupInfo(group).Field;
            const std::uint8_t message[]
                = {sysex::mixer::ControlChangeStatus(channel), sysex::mixer::Field(field).SendByte,
                   sysex::mixer::ControlChangeValue(group, sysex::mixer::At(p->Values, field))};
            instrument.Receive(message);
        }
        const std::string model3A = sysex::Model3AHeader(instrument.DeviceId());
        sendText(sysex::mixer::TransposeMessage(model3A, p->Part,
                                                sysex::mixer::At(p->Values, TFieldId::Transpose)));
        sendText(sysex::mixer::MfxPartMessage(model3A, p->Part,
                                              sysex::mixer::At(p->Values, TFieldId::PartMfx) != 0));
    }
}

void Decode(const std::uint8_t *data, std::size_t size)
{
    std::unique_ptr<std::uint8_t[]> exact(size ? new std::uint8_t[size] : nullptr);
    std::copy(data, data + size, exact.get());
    const std::span<const std::uint8_t> message(exact.get(), size);
    const sysex::mixer::TDecodedMessage decoded = sysex::mixer::DecodeMessage(message);

    if (decoded.Switches)
        Check(AddressIs(message, 0x00, 0x00) && message[8] == 0x00 && message.size() > 12
              && message[9] == 0x08);
    if (decoded.Common)
        Check(AddressIs(message, 0x01, 0x00) && message[8] == 0x00);
    if (const auto &p = decoded.PartBlock) {
        Check(p->Part >= 0 && p->Part < sysex::mixer::PartCount);
        Check(AddressIs(message, 0x01, 0x00)
              && message[8] == sysex::mixer::Parts[static_cast<std::size_t>(p->Part)].BlockByte);
    }
    Check(!(decoded.Common && decoded.PartBlock));
    CheckSentBack(Instrument(), message, decoded, [&decoded] { SendAsTheWindow(decoded); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ForEachPiece({data, size},
                 [](std::span<const std::uint8_t> piece) { Decode(piece.data(), piece.size()); });
    return 0;
}
