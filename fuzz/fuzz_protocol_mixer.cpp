// Arbitrary bytes for the mixer's decoder alone, without a window: as one message and cut after
// every F7 into several, each in a heap block of its own exact size, so that a read beyond its
// end is caught (AddressSanitizer). Checked: a block is decoded only from the area it belongs
// to, and for every decoded field the message the window makes of its value (with the
// protocol's own message builders) carries the received byte to the instrument whenever that
// byte lies in the field's stored range (see MixerFields.h).

#include "MixerFields.h"
#include "Pieces.h"
#include "midi/SysExText.h"
#include "protocol/Headers.h"
#include "protocol/MixerProtocol.h"

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
void SendAsTheWindow(const mixer::TDecodedMessage &decoded)
{
    instrument::TVirtualInstrument &instrument = Instrument();
    const auto sendText = [&instrument](const std::string &text) {
        midi::TByteStream message;
        midi::HexTextToSysEx(text, message);
        instrument.Receive(message);
    };
    const std::string dataSet = protocol::DataSetHeader(instrument.DeviceId());
    if (const auto &s = decoded.Switches) {
        sendText(mixer::SwitchMessage(dataSet, mixer::TEffectSwitch::Mfx, s->Mfx));
        sendText(mixer::SwitchMessage(dataSet, mixer::TEffectSwitch::Delay, s->Delay));
        sendText(mixer::SwitchMessage(dataSet, mixer::TEffectSwitch::Reverb, s->Reverb));
    }
    if (const auto &c = decoded.Common) {
        for (const std::string &text : mixer::ReverbGroupMessages(
                 dataSet,
                 {c->ReverbType, c->ReverbLevel, c->ReverbTime, c->ReverbHfDamp, c->ReverbToMfx}))
            sendText(text);
        for (const std::string &text :
             mixer::DelayGroupMessages(dataSet,
                                       {c->DelayLevel, c->DelayType, c->DelayHfDamp, c->DelayTime,
                                        c->DelayFeedback, c->DelayOutput, c->DelayToMfx}))
            sendText(text);
    }
    if (const auto &p = decoded.PartBlock) {
        const mixer::TPartValues &v = p->Values;
        const int channel = mixer::Parts[static_cast<std::size_t>(p->Part)].Channel;
        for (const auto &[group, position] : {std::pair {mixer::TSendGroup::Level, v.Level},
                                              {mixer::TSendGroup::Pan, v.Pan},
                                              {mixer::TSendGroup::ReverbSend, v.ReverbSend},
                                              {mixer::TSendGroup::DelaySend, v.DelaySend}}) {
            const std::uint8_t message[]
                = {mixer::ControlChangeStatus(channel), mixer::SendGroupInfo(group).Controller,
                   mixer::ControlChangeValue(group, position)};
            instrument.Receive(message);
        }
        const std::string model3A = protocol::Model3AHeader(instrument.DeviceId());
        sendText(mixer::TransposeMessage(model3A, p->Part, v.TransposePosition));
        sendText(mixer::MfxPartMessage(model3A, p->Part, v.Mfx));
    }
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
    if (decoded.Common)
        Check(AddressIs(message, 0x01, 0x00) && message[8] == 0x00);
    if (const auto &p = decoded.PartBlock) {
        Check(p->Part >= 0 && p->Part < mixer::PartCount);
        Check(AddressIs(message, 0x01, 0x00)
              && message[8] == mixer::Parts[static_cast<std::size_t>(p->Part)].BlockByte);
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
