#include "RequestProcedure.h"

namespace protocol {

TSysExAttachment::TSysExAttachment(midi::TMidiInput &input, midi::TSysExHandler handler)
    : Input(input)
{
    Input.SetOnSysEx(std::move(handler));
}

TSysExAttachment::~TSysExAttachment()
{
    Input.ClearOnSysEx();
}

} // namespace protocol
