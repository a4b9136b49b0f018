#pragma once

#include "midi/MidiDevices.h"

namespace protocol {

// A window's decoder attached to the input set's OnSysEx slot for the life of the object: the
// slot is cleared again however the request procedure ends, so a decoder is never left
// attached to whatever the instrument sends later.
class TSysExAttachment
{
public:
    TSysExAttachment(midi::TMidiInput &input, midi::TSysExHandler handler);
    ~TSysExAttachment();
    TSysExAttachment(const TSysExAttachment &) = delete;
    TSysExAttachment &operator=(const TSysExAttachment &) = delete;

private:
    midi::TMidiInput &Input;
};

} // namespace protocol
