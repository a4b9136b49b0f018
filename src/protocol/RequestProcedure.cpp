#include "RequestProcedure.h"

#include "ReceiveHandOver.h"

namespace protocol {

TRequestProcedures &TRequestProcedures::Instance()
{
    static TRequestProcedures procedures;
    return procedures;
}

void TRequestProcedures::Enter()
{
    if (Depth++ == 0)
        emit RunningChanged(true);
}

void TRequestProcedures::Leave()
{
    if (--Depth == 0)
        emit RunningChanged(false);
}

TSysExAttachment::TSysExAttachment(midi::TMidiInput &input, midi::TSysExHandler handler)
    : Input(input)
{
    TReceiveHandOver::Ensure();
    Input.SetOnSysEx(std::move(handler));
    TRequestProcedures::Instance().Enter();
}

TSysExAttachment::~TSysExAttachment()
{
    Input.ClearOnSysEx();
    TRequestProcedures::Instance().Leave();
}

} // namespace protocol
