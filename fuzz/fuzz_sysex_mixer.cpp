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
    if (const auto &s = decoded.Switches) {
        sendText(sysex::mixer::SwitchMessage(dataSet, sysex::mixer::TEffectSwitch::Mfx, s->Mfx));
        sendText(
            sysex::mixer::SwitchMessage(dataSet, sysex::mixer::TEffectSwitch::Delay, s->Delay));
        sendText(
            sysex::mixer::SwitchMessage(dataSet, sysex::mixer::TEffectSwitch::Reverb, s->Reverb));
    }
    if (const auto &c = decoded.Common) {
        for (const std::string &text : sysex::mixer::ReverbGroupMessages(
                 dataSet,
                 {c->ReverbType, c->ReverbLevel, c->ReverbTime, c->ReverbHfDamp, c->ReverbToMfx}))
            sendText(text);
        for (const std::string &text : sysex::mixer::DelayGroupMessages(
                 dataSet,
                 {c->DelayLevel, c->DelayType, c->DelayHfDamp, c->DelayTime, c->DelayFeedback,
                  c->DelayOutput, c->DelayToMfx}))
            sendText(text);
    }
    if (const auto &p = decoded.PartBlock) {
        const sysex::mixer::TPartValues &v = p->Values;
        const int channel = sysex::mixer::Parts[static_cast<std::size_t>(p->Part)].Channel;
        for (const auto &[group, position] : {std::pair {sysex::mixer::TSendGroup::Level, v.Level},
                                              {sysex::mixer::TSendGroup::Pan, v.Pan},
                                              {sysex::mixer::TSendGroup::ReverbSend, v.ReverbSend},
                                              {sysex::mixer::TSendGroup::DelaySend, v.DelaySend}}) {
            const std::uint8_t message[] = {sysex::mixer::ControlChangeStatus(channel),
                                            sysex::mixer::SendGroupInfo(group).Controller,
                                            sysex::mixer::ControlChangeValue(group, position)};
            instrument.Receive(message);
        }
        const std::string model3A = sysex::Model3AHeader(instrument.DeviceId());
        sendText(sysex::mixer::TransposeMessage(model3A, p->Part, v.TransposePosition));
        sendText(sysex::mixer::MfxPartMessage(model3A, p->Part, v.Mfx));
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
