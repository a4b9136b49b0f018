#include "ScrollBar.h"

#include "protocol/Handlers.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScopedValueRollback>

TScrollBar::TScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{ }

void TScrollBar::StopRepeat()
{
    if (repeatAction() != SliderNoAction)
        setRepeatAction(SliderNoAction);
}

void TScrollBar::mousePressEvent(QMouseEvent *event)
{
    const std::uint64_t failures = protocol::HandlerFailures();
    {
        const QScopedValueRollback stepping(Stepping, true);
        QScrollBar::mousePressEvent(event);
    }
    if (protocol::HandlerFailures() != failures)
        StopRepeat();
}

void TScrollBar::timerEvent(QTimerEvent *event)
{
    // Only the arrows' repeat runs on a timer of the bar.
    if (repeatAction() == SliderNoAction) {
        QScrollBar::timerEvent(event);
        return;
    }
    if (Stepping || !isVisible() || !isEnabled()
        || !(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
        StopRepeat();
        return;
    }
    const std::uint64_t failures = protocol::HandlerFailures();
    {
        const QScopedValueRollback stepping(Stepping, true);
        QScrollBar::timerEvent(event);
    }
    if (protocol::HandlerFailures() != failures)
        StopRepeat();
}

void TScrollBar::hideEvent(QHideEvent *event)
{
    StopRepeat();
    QScrollBar::hideEvent(event);
}

void TScrollBar::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        StopRepeat();
    QScrollBar::changeEvent(event);
}
