#include "RecordingOutputs.h"

#include "MessageText.h"
#include "midi/MidiError.h"
#include "midi/SysExText.h"

TRecordingOutputs::TRecordingOutputs(std::vector<std::string> names)
{
    Devices.reserve(names.size());
    for (std::string &name : names)
        Devices.push_back(std::make_unique<TDevice>(*this, std::move(name)));
}

std::size_t TRecordingOutputs::Checked(int index) const
{
    if (index < 0 || index >= Count())
        throw midi::EMidiError("TMidiOutput: Device index out of bounds! (" + std::to_string(index)
                               + ")");
    return static_cast<std::size_t>(index);
}

const std::string &TRecordingOutputs::Name(int index) const
{
    return Devices[Checked(index)]->Name;
}

midi::IMidiOut &TRecordingOutputs::Device(int index)
{
    return *Devices[Checked(index)];
}

void TRecordingOutputs::Open(int index)
{
    Checked(index);
}

QStringList TRecordingOutputs::SentHex() const
{
    QStringList texts;
    for (const std::vector<std::uint8_t> &message : Record)
        texts << HexOf(message);
    return texts;
}

void TRecordingOutputs::ClearFailures()
{
    ShortFailure.reset();
    SysExFailure.reset();
}

TRecordingOutputs::TDevice::TDevice(TRecordingOutputs &owner, std::string name)
    : Name(std::move(name))
    , Owner(owner)
{ }

void TRecordingOutputs::TDevice::SendSysEx(const midi::TByteStream &message)
{
    if (Owner.SysExFailure)
        throw midi::EMidiError(*Owner.SysExFailure);
    if (midi::SysExFault(message))
        throw midi::EMidiError("MIDI output \"" + Name
                               + "\": a System Exclusive message with a status byte inside was "
                                 "refused; nothing was sent.");
    Owner.Record.push_back(message);
}

void TRecordingOutputs::TDevice::SendShort(std::uint8_t status, std::uint8_t data1,
                                           std::uint8_t data2)
{
    if (Owner.ShortFailure)
        throw midi::EMidiError(*Owner.ShortFailure);
    Owner.Record.push_back({status, data1, data2});
}
