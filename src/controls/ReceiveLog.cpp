#include "ReceiveLog.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

namespace {
// The margins a one-line edit box keeps around its text.
constexpr int HorizontalMargin = 2;
constexpr int VerticalMargin = 1;
} // namespace

TReceiveLog::TReceiveLog(const QString &start, QWidget *parent)
    : QWidget(parent)
    , Whole(start)
{
    MeasureNarrowest();
}

void TReceiveLog::SetText(const QString &text)
{
    Whole = text;
    update();
    emit TextChanged(Whole);
}

void TReceiveLog::Append(QLatin1StringView word)
{
    Whole.append(word);
    update();
    emit TextChanged(Whole);
}

QString TReceiveLog::Tail() const
{
    const qsizetype length = width() / Narrowest + 2;
    qsizetype from = std::max<qsizetype>(Whole.size() - length, 0);
    // Never half a character.
    if (from > 0 && Whole.at(from).isLowSurrogate())
        --from;
    return Whole.sliced(from);
}

void TReceiveLog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // Drawn as a read-only one-line edit box draws itself.
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, this);
    frame.midLineWidth = 0;
    frame.state |= QStyle::State_Sunken | QStyle::State_ReadOnly;
    frame.features = QStyleOptionFrame::None;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, this);

    const QRect contents
        = style()
              ->subElementRect(QStyle::SE_LineEditContents, &frame, this)
              .adjusted(HorizontalMargin, VerticalMargin, -HorizontalMargin, -VerticalMargin);
    const QString tail = Tail();
    // The start of a short log, the newest words of a long one.
    const bool fits = painter.fontMetrics().horizontalAdvance(tail) <= contents.width();
    painter.setClipRect(contents);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(contents, Qt::AlignVCenter | (fits ? Qt::AlignLeft : Qt::AlignRight), tail);
}

void TReceiveLog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        MeasureNarrowest();
    QWidget::changeEvent(event);
}

void TReceiveLog::MeasureNarrowest()
{
    const QFontMetrics metrics(font());
    Narrowest = metrics.horizontalAdvance(QLatin1Char(' '));
    for (char c = '!'; c <= '~'; ++c)
        Narrowest = std::min(Narrowest, metrics.horizontalAdvance(QLatin1Char(c)));
    Narrowest = std::max(Narrowest, 1);
}
