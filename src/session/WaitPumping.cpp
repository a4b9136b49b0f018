#include "WaitPumping.h"

#include "ErrorPolicy.h"
#include "RequestProcedure.h"
#include "midi/MidiError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace session {

void WaitPumping(int ms)
{
    detail::TSuspendedChanges suspended;
    const TJobWait waiting;
    // More than ms whole milliseconds: at least ms + 1 of them.
    const qint64 limit = (static_cast<qint64>(ms) + 1) * 1000000;
    QElapsedTimer clock;
    clock.start();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Sleep in a nested event loop rather than polling: a part request waits 800 ms and must
    // not cost a core while doing so.
    while (clock.nsecsElapsed() < limit) {
        const qint64 remainingMs = (limit - clock.nsecsElapsed() + 999999) / 1000000;
        QEventLoop loop;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(remainingMs));
        // The application is quitting: its event loops return at once, and waiting on would only
        // spin until the time is up.
        if (loop.exec(QEventLoop::AllEvents) == -1)
            break;
    }
}

void WaitPumpingAfterLeaving(const midi::IMidiOut &output, int ms)
{
    const std::uint64_t ticket = output.LastTicket();
    if (!output.HasLeft(ticket)) {
        detail::TSuspendedChanges suspended;
        const TJobWait waiting;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        // The queue's thread has no way into this loop but a poll; a few milliseconds of
        // lateness against waits of hundreds do not matter.
        while (!output.HasLeft(ticket)) {
            QEventLoop loop;
            QTimer timer;
            timer.setTimerType(Qt::PreciseTimer);
            timer.setSingleShot(true);
            QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
            timer.start(2);
            if (loop.exec(QEventLoop::AllEvents) == -1)
                break;
        }
    }
    ThrowIfDropped(output, ticket);
    WaitPumping(ms);
}

void ThrowIfDropped(const midi::IMidiOut &output, std::uint64_t ticket)
{
    if (const std::optional<std::string> failure = output.DroppedBy(ticket))
        throw midi::EMidiError(*failure);
}

} // namespace session
