#include "EventLoop.h"

#include <QObject>
#include <QSocketNotifier>
#ifdef Q_OS_WIN
#include <QWinEventNotifier>
#endif

#include <stdexcept>
#include <utility>

namespace session {

namespace {

template<class TNotifier>
class TWatch final : public midi::IWatch
{
public:
    template<class... TArgs>
    TWatch(std::function<void()> ready, TArgs &&...args)
        : Notifier(std::forward<TArgs>(args)...)
    {
        QObject::connect(&Notifier, &TNotifier::activated, &Notifier, std::move(ready));
    }

private:
    TNotifier Notifier;
};

class TQtEventLoop final : public midi::IEventLoop
{
public:
    std::unique_ptr<midi::IWatch> WatchReadable(std::intptr_t descriptor,
                                                std::function<void()> ready) override
    {
        return std::make_unique<TWatch<QSocketNotifier>>(std::move(ready), qintptr(descriptor),
                                                         QSocketNotifier::Read);
    }

    std::unique_ptr<midi::IWatch>
    WatchSignalled([[maybe_unused]] void *event,
                   [[maybe_unused]] std::function<void()> ready) override
    {
#ifdef Q_OS_WIN
        return std::make_unique<TWatch<QWinEventNotifier>>(std::move(ready), event);
#else
        throw std::logic_error("This system has no event objects to watch.");
#endif
    }
};

} // namespace

midi::IEventLoop &EventLoop()
{
    static TQtEventLoop loop;
    return loop;
}

} // namespace session
