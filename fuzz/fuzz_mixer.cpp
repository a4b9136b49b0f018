// Arbitrary bytes for the mixer window's decoder. The input is cut after every F7 into messages
// decoded one by one, then decoded once more whole. The window has had its first opening, so
// every send handler is connected: decoding must still send nothing and raise no error. After
// each message, the window's own handlers send what its controls now hold (every group, the
// transpositions and MFX switches, the reverb and delay groups, the effect switches, as a
// user's change would), and for every field the message decoded, what they send must carry the
// received byte to the instrument whenever that byte lies in the field's stored range (see
// MixerFields.h).

#include "MixerFields.h"
#include "Pieces.h"
#include "mixer/EffectsArea.h"
#include "mixer/FormMixer.h"
#include "mixer/MixerGroup.h"
#include "support/DiscardingApplication.h"
#include "support/RecordingOutputs.h"

#include <QCheckBox>
#include <QCoreApplication>

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
        Form = std::make_unique<TFormMixer>([] { return TMainWindowSettings {0, 17}; }, Outputs);
        // Connects the send handlers; nothing answers the opening's requests.
        Form->FormShow();
        Outputs.ClearRecord();
        // Nothing reads the instrument's log of what it received.
        Instrument.SetLogLimit(0);
        Groups = Form->findChildren<TMixerGroup *>();
        Effects = Form->findChildren<TEffectsArea *>();
        if (Groups.size() != qsizetype(sysex::mixer::SendGroups.size()) || Effects.size() != 2)
            std::abort();
    }

    // Every short message the window sent is whole: no data byte of 80h or more. (A System
    // Exclusive message with a status byte inside is refused by the device, an error.)
    void PassSentToInstrument()
    {
        for (const std::vector<std::uint8_t> &message : Outputs.Sent()) {
            if (message.front() != 0xF0 && message.front() != 0x00
                && (message[1] >= 0x80 || message[2] >= 0x80))
                std::abort();
            Instrument.Receive(message);
        }
        Outputs.ClearRecord();
    }

    void SendAll(const sysex::mixer::TDecodedMessage &decoded)
    {
        if (decoded.PartBlock) {
            for (TMixerGroup *group : Groups)
                group->BarChange();
            Form->BarTransChange();
            Form->MFXPartClick();
        }
        if (decoded.Common)
            for (TEffectsArea *effects : Effects)
                effects->SettingChange();
        if (decoded.Switches) {
            using sysex::mixer::TFieldId;
            for (TFieldId which :
                 {TFieldId::MfxSwitch, TFieldId::DelaySwitch, TFieldId::ReverbSwitch})
                Form->SwitchClick(which,
                                  Form->findChild<QCheckBox *>(
                                          QLatin1String(sysex::mixer::Field(which).ObjectName))
                                      ->isChecked());
        }
        PassSentToInstrument();
    }

    TDiscardingApplication App;
    TRecordingOutputs Outputs;
    std::unique_ptr<TFormMixer> Form;
    QList<TMixerGroup *> Groups;
    QList<TEffectsArea *> Effects;
    instrument::TVirtualInstrument Instrument;
};

TFuzzWorld &World()
{
    static TFuzzWorld world;
    return world;
}

// Each message in a heap block of its own exact size, so that an overread is caught.
void Feed(TFuzzWorld &world, const std::uint8_t *data, std::size_t size)
{
    std::unique_ptr<std::uint8_t[]> exact(size ? new std::uint8_t[size] : nullptr);
    for (std::size_t i = 0; i < size; ++i)
        exact[i] = data[i];
    const std::span<const std::uint8_t> message(exact.get(), size);
    world.Form->DoSysexData(0, message);
    if (!world.Outputs.Sent().empty())
        std::abort();
    CheckSentBack(world.Instrument, message, sysex::mixer::DecodeMessage(message),
                  [&world, &message] { world.SendAll(sysex::mixer::DecodeMessage(message)); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    TFuzzWorld &world = World();
    ForEachPiece({data, size}, [&world](std::span<const std::uint8_t> piece) {
        Feed(world, piece.data(), piece.size());
    });
    // The program's event loop runs what the controls posted while a delivery was decoded before
    // the next one; without it they would pile up from input to input until memory runs out.
    QCoreApplication::sendPostedEvents();
    return 0;
}
