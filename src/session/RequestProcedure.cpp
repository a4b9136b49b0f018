#include "RequestProcedure.h"

#include "ReceiveHandOver.h"

namespace session {

TRequestProcedure &TRequestProcedure::Instance()
{
    static TRequestProcedure procedure;
    return procedure;
}

void TRequestProcedure::Enter()
{
    if (Depth++ == 0)
        emit RunningChanged(true);
}

void TRequestProcedure::Leave()
{
    if (--Depth == 0)
        emit RunningChanged(false);
}

TSysExAttachment::TSysExAttachment(midi::TMidiInput &input, midi::TSysExHandler handler)
    : Input(input)
{
    TReceiveHandOver::Ensure();
    Input.SetOnSysEx(std::move(handler));
    TRequestProcedure::Instance().Enter();
}

TSysExAttachment::~TSysExAttachment()
{
    Input.ClearOnSysEx();
    TRequestProcedure::Instance().Leave();
}

TRequestHold::TRequestHold()
{
    TRequestProcedure::Instance().Enter();
}

TRequestHold::~TRequestHold()
{
    TRequestProcedure::Instance().Leave();
}

} // namespace session
