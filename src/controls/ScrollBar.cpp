#include "ScrollBar.h"

#include "session/ErrorPolicy.h"

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

bool TScrollBar::Step(const std::function<void()> &step)
{
    const QScopedValueRollback stepping(Stepping, true);
    return session::StepSucceeds(step);
}

void TScrollBar::mousePressEvent(QMouseEvent *event)
{
    if (!Step([&] { QScrollBar::mousePressEvent(event); }))
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
    if (!Step([&] { QScrollBar::timerEvent(event); }))
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
