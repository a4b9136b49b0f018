#pragma once

#include "midi/MidiDevices.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <functional>

namespace session {

// The program's conversation with the instrument: one job at a time in the whole program (a
// part request, a patch pick, a patch file's collection or sending, the name read, the mixer's
// opening, Detect), each a series of requests, sends and waits. Only one may run: a second one
// would replace the first one's decoder, and answers meant for one window would reach the other.
//
// While a job waits for the instrument the window's events are dispatched, so that it stays
// responsive; but what those events start never runs inside the wait, against what the job has
// saved before it. A job started then waits in the queue and runs, in order, once the running
// one and those queued before it have ended; what the queue is not for is disabled while it
// runs (see Running and RunningChanged).
class TRequestProcedure : public QObject
{
    Q_OBJECT
public:
    static TRequestProcedure &Instance();
    // A job runs, or waits to run.
    bool Running() const { return Depth > 0 || !Queue.empty(); }
    // What the running job does ("Reading part 3..."); empty while none runs.
    const QString &Doing() const { return Current; }

    // Runs job now when nothing runs, and as part of the running job when the job's own code
    // starts it; otherwise queues it. A job queued with a key takes the place of the last job
    // in the queue when that one has the same key: of several part clicks the last wins, and a
    // bar dragged meanwhile goes once, with its last value. A job run on its own shows the
    // errors of its sends and waits in one box; run as part of another, they are that one's. A
    // queued job whose owner has gone by its turn is dropped.
    void Run(const QObject *owner, const QString &doing, std::function<void()> job,
             const QString &key = QString());
    // True while the job's own code runs (not a wait's dispatched event): what it starts is its
    // own.
    bool InJobCode() const { return Depth > 0 && WaitDepth == 0; }

signals:
    void RunningChanged(bool running);
    void DoingChanged(const QString &doing);
    // A job is about to start while nothing runs: what the user has typed and not yet confirmed
    // goes out before it, not in its middle.
    void Starting();

private:
    friend class TSysExAttachment;
    friend class TRequestHold;
    friend class TJobWait;
    struct TJob
    {
        QPointer<const QObject> Owner;
        QString Doing;
        QString Key;
        std::function<void()> Body;
    };
    void Enter();
    void Leave();
    void Execute(TJob job);
    void RunNext();
    void Refresh();

    int Depth = 0;
    // Waits of the running job in progress: events dispatched meanwhile are not its code.
    int WaitDepth = 0;
    std::deque<TJob> Queue;
    QString Current;
    bool NextPosted = false;
    bool WasRunning = false;
};

// A wait of the running job, for the life of the object: the events it dispatches are the
// user's, and what they start is queued behind the job. Every wait of a job (answers, the gap,
// a question to the user) is one.
class TJobWait
{
public:
    TJobWait();
    ~TJobWait();
    TJobWait(const TJobWait &) = delete;
    TJobWait &operator=(const TJobWait &) = delete;
};

// A window's decoder attached to the input set's OnSysEx slot for the life of the object: the
// slot is cleared again however the request procedure ends, so a decoder is never left
// attached to whatever the instrument sends later. Its life is the request procedure's.
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

// A window's task of several requests and sends holds the request procedure from its first to
// its last: no other window starts one in between, and what is disabled while one runs stays
// disabled. The requests inside attach their decoders as usual.
class TRequestHold
{
public:
    TRequestHold();
    ~TRequestHold();
    TRequestHold(const TRequestHold &) = delete;
    TRequestHold &operator=(const TRequestHold &) = delete;
};

} // namespace session
