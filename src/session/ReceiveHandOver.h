#pragma once

// The hand-over of received messages to the window thread. The MIDI layer's delivery threads
// put complete messages in their rings and raise a wake; here, on the window thread, the
// rings are drained and each message goes to the input set's OnSysEx handler, through the rules
// every handler follows. Losses and failures that came up as values are shown to the user.

#include "midi/System.h"

#include <QObject>

#include <memory>

namespace session {

class TReceiveHandOver : public QObject
{
    Q_OBJECT
public:
    // Makes the program's hand-over on first use; it lives as long as the application object.
    // Must run on the window thread, once an application object exists.
    static void Ensure();

    ~TReceiveHandOver() override;

private:
    explicit TReceiveHandOver(QObject *parent);
    void Drain();

    std::unique_ptr<midi::TWake> Wake;
};

} // namespace session
