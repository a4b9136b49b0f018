#include "TrackBar.h"

#include <QStyleOptionSlider>

TTrackBar::TTrackBar(Qt::Orientation orientation, QWidget *parent)
    : QSlider(orientation, parent)
{ }

// The toolkit draws the bar, and maps the mouse onto it, from this rectangle.
void TTrackBar::initStyleOption(QStyleOptionSlider *option) const
{
    QSlider::initStyleOption(option);
    if (orientation() == Qt::Vertical)
        option->rect.adjust(0, FreeEnd, 0, -FreeEnd);
    else
        option->rect.adjust(FreeEnd, 0, -FreeEnd, 0);
}
