#pragma once

#include "midi/MidiDevices.h"

#include <QObject>

namespace session {

// The program's request procedure, run by one window at a time: whether it runs now. Only one
// may: a second one would replace the first one's decoder, and answers meant for one window
// would reach the other.
class TRequestProcedure : public QObject
{
    Q_OBJECT
public:
    static TRequestProcedure &Instance();
    bool Running() const { return Depth > 0; }

signals:
    void RunningChanged(bool running);

private:
    friend class TSysExAttachment;
    friend class TRequestHold;
    void Enter();
    void Leave();

    int Depth = 0;
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
