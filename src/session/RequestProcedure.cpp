#include "RequestProcedure.h"

#include "ErrorPolicy.h"
#include "ReceiveHandOver.h"

#include <QMetaObject>
#include <QScopedValueRollback>

namespace session {

TRequestProcedure &TRequestProcedure::Instance()
{
    static TRequestProcedure procedure;
    return procedure;
}

void TRequestProcedure::Run(const QObject *owner, const QString &doing, std::function<void()> job,
                            const QString &key)
{
    if (InJobCode()) {
        job();
        return;
    }
    if (Running()) {
        if (!key.isEmpty() && !Queue.empty() && Queue.back().Key == key)
            Queue.back() = {owner, doing, key, std::move(job)};
        else
            Queue.push_back({owner, doing, key, std::move(job)});
        return;
    }
    emit Starting();
    Execute({owner, doing, key, std::move(job)});
}

void TRequestProcedure::Execute(TJob job)
{
    Enter();
    // A wait of a job that ran inside another one's wait would not be this job's.
    const QScopedValueRollback waits(WaitDepth, 0);
    const QString outer = std::exchange(Current, job.Doing);
    emit DoingChanged(Current);
    RunBurstHandler(job.Body);
    Current = outer;
    emit DoingChanged(Current);
    Leave();
}

void TRequestProcedure::RunNext()
{
    NextPosted = false;
    // A request made from outside the queue runs now; the queue goes on once it has ended.
    if (Depth > 0 || Queue.empty()) {
        Refresh();
        return;
    }
    TJob job = std::move(Queue.front());
    Queue.pop_front();
    if (!job.Owner) {
        Refresh();
        if (!Queue.empty()) {
            NextPosted = true;
            QMetaObject::invokeMethod(
                this, [this] { RunNext(); }, Qt::QueuedConnection);
        }
        return;
    }
    emit Starting();
    Execute(std::move(job));
}

void TRequestProcedure::Enter()
{
    ++Depth;
    Refresh();
}

void TRequestProcedure::Leave()
{
    --Depth;
    // What waits runs from the event loop, not from inside the handler whose job has ended: that
    // handler may still act on what it saved before.
    if (Depth == 0 && !Queue.empty() && !NextPosted) {
        NextPosted = true;
        QMetaObject::invokeMethod(
            this, [this] { RunNext(); }, Qt::QueuedConnection);
    }
    Refresh();
}

void TRequestProcedure::Refresh()
{
    const bool running = Running();
    if (running != WasRunning) {
        WasRunning = running;
        emit RunningChanged(running);
    }
}

TJobWait::TJobWait()
{
    ++TRequestProcedure::Instance().WaitDepth;
}

TJobWait::~TJobWait()
{
    --TRequestProcedure::Instance().WaitDepth;
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
