#include "WaitPumping.h"

#include "Handlers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace protocol {

void WaitPumping(int ms)
{
    detail::TSuspendedChanges suspended;
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

} // namespace protocol
