#include "EnvelopeImage.h"

#include "session/ErrorPolicy.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPoint>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The pixel under the pointer; positions may carry fractions on scaled screens.
QPoint PixelAt(const QMouseEvent *event)
{
    const QPointF p = event->position();
    return {static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y()))};
}

} // namespace

TEnvelopeImage::TEnvelopeImage(sysex::TEnveloppe &envelope, const sysex::TEnvelopeParams &params,
                               TSender send, QWidget *parent)
    : QWidget(parent)
    , Env(envelope)
    , Params(params)
    , Send(std::move(send))
    , Picture(std::max(envelope.Width, 0), std::max(envelope.Height, 0), QImage::Format_RGB32)
{
    // Blank until the tone's dump arrives and paints the envelope: no red, so no drag.
    Picture.fill(Qt::white);
    setFixedSize(Picture.size());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
}

void TEnvelopeImage::Repaint(bool limitLine)
{
    PaintEnveloppe(Env, Picture, limitLine);
    update();
}

void TEnvelopeImage::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.drawImage(event->rect(), Picture, event->rect());
}

void TEnvelopeImage::mousePressEvent(QMouseEvent *event)
{
    // Accepted whatever the pixel, so that the release comes back here (and sends) even when
    // the pointer has left the image meanwhile.
    event->accept();
    session::RunHandler([&] {
        const QPoint p = PixelAt(event);
        if (IsPureRed(Picture, p.x(), p.y()))
            Env.Selected = Env.HitTest(p.x(), p.y());
        AtPress = Values();
    });
}

void TEnvelopeImage::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    session::RunHandler([&] {
        const QPoint p = PixelAt(event);
        if (Env.Selected == 0) {
            const Qt::CursorShape shape
                = IsPureRed(Picture, p.x(), p.y()) ? Qt::PointingHandCursor : Qt::CrossCursor;
            if (cursor().shape() != shape)
                setCursor(shape);
        } else if (Env.Selected > 0) {
            Env.MoveHandle(p.x(), p.y());
            Repaint(true);
        }
    });
}

void TEnvelopeImage::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    const bool dragging = Env.Selected > 0;
    session::RunHandler([&] {
        Env.Selected = 0;
        SendValues();
    });
    // A step even when a send failed: the envelope shows the new values, and undo sends the
    // old ones whole.
    if (dragging && Values() != AtPress)
        emit Dragged(AtPress, Values());
}

TEnvelopeValues TEnvelopeImage::Values() const
{
    TEnvelopeValues values;
    for (std::size_t i = 0; i < 4; ++i) {
        values.Levels[i] = Env.Levels[i];
        values.Times[i] = Env.Times[i];
    }
    return values;
}

void TEnvelopeImage::Restore(const TEnvelopeValues &values)
{
    Env.SetValues(values.Levels, values.Times);
    Repaint(false);
    session::RunHandler([&] { SendValues(); });
}

void TEnvelopeImage::SendValues()
{
    if (!Send)
        return;
    for (int i = 0; i < 3; ++i) {
        Send(Params.TimeOffsets[i], Env.Times[i]);
        Send(Params.LevelOffsets[i], Env.Levels[i]);
    }
    Send(Params.TimeOffsets[3], Env.Times[3]);
    if (Params.LevelCount == 4)
        Send(Params.LevelOffsets[3], Env.Levels[3]);
}
