#include "UpDown.h"

#include "TextToInt.h"
#include "session/ErrorPolicy.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>

TUpDown::TUpDown(int min, int max, int position, QWidget *parent)
    : QWidget(parent)
    , Minimum(min)
    , Maximum(max)
    , Pos(std::clamp(position, min, max))
{
    connect(&Repeat, &QTimer::timeout, this, &TUpDown::RepeatStep);
}

void TUpDown::SetPosition(int position)
{
    Pos = std::clamp(position, Minimum, Maximum);
}

void TUpDown::Step(int delta)
{
    // The box may hold a typed number: the arrows go on from what it shows, and a number
    // outside the range steps to the nearest end.
    int from = Associate
        ? (ReadText ? ReadText(Associate->text()) : controls::TextToInt(Associate->text()))
        : Pos;
    if (from < Minimum)
        from = Minimum - (delta > 0 ? 1 : 0);
    else if (from > Maximum)
        from = Maximum + (delta < 0 ? 1 : 0);
    SetPosition(from + delta);
    if (Associate)
        Associate->setText(QString::number(Pos));
}

void TUpDown::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int half = height() / 2;
    const QRect halves[2] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
    for (int i = 0; i < 2; ++i) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = halves[i];
        const bool pressed = (HeldDelta == 1 && i == 0) || (HeldDelta == -1 && i == 1);
        button.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawControl(QStyle::CE_PushButtonBevel, &button, &painter, this);
        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = halves[i].adjusted(2, 1, -2, -1);
        style()->drawPrimitive(i == 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown,
                               &arrow, &painter, this);
    }
}

void TUpDown::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    HeldDelta = event->position().y() < height() / 2.0 ? 1 : -1;
    update();
    if (StepHeld() && HeldDelta != 0)
        Repeat.start(400);
    else
        StopRepeat();
}

void TUpDown::mouseReleaseEvent(QMouseEvent *)
{
    StopRepeat();
}

bool TUpDown::StepHeld()
{
    Stepping = true;
    const bool succeeded
        = session::StepSucceeds([this] { session::RunHandler([this] { Step(HeldDelta); }); });
    Stepping = false;
    return succeeded;
}

void TUpDown::RepeatStep()
{
    // A tick while a step still runs comes from inside that step's error box.
    if (Stepping || HeldDelta == 0 || !isVisible() || !isEnabled()
        || !(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
        StopRepeat();
        return;
    }
    Repeat.setInterval(60);
    if (!StepHeld())
        StopRepeat();
}

void TUpDown::StopRepeat()
{
    Repeat.stop();
    if (HeldDelta != 0) {
        HeldDelta = 0;
        update();
    }
}

void TUpDown::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        StopRepeat();
    QWidget::changeEvent(event);
}

void TUpDown::hideEvent(QHideEvent *event)
{
    StopRepeat();
    QWidget::hideEvent(event);
}
