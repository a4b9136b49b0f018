#include "RhythmKeyboard.h"

#include <QMouseEvent>
#include <QPainter>

#include <utility>

using namespace sysex::rhythm;

namespace {
constexpr int WhiteWidth = 14;
constexpr int WhiteHeight = 64;
constexpr int BlackWidth = 9;
constexpr int BlackHeight = 40;

bool IsBlack(int note)
{
    const int pitch = note % 12;
    return pitch == 1 || pitch == 3 || pitch == 6 || pitch == 8 || pitch == 10;
}

// The white keys below the note.
int WhitesBefore(int note)
{
    int whites = 0;
    for (int n = FirstKey; n < note; ++n)
        whites += IsBlack(n) ? 0 : 1;
    return whites;
}

int WhiteCount()
{
    return WhitesBefore(LastKey + 1);
}
} // namespace

TRhythmKeyboard::TRhythmKeyboard(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("RhythmKeyboard"));
    setFixedSize(sizeHint());
}

QSize TRhythmKeyboard::sizeHint() const
{
    return {WhiteCount() * WhiteWidth + 1, WhiteHeight + 1};
}

QRect TRhythmKeyboard::KeyRect(int note) const
{
    const int left = WhitesBefore(note) * WhiteWidth;
    if (IsBlack(note))
        return {left - BlackWidth / 2, 0, BlackWidth, BlackHeight};
    return {left, 0, WhiteWidth, WhiteHeight};
}

int TRhythmKeyboard::NoteAt(QPoint point) const
{
    // Black keys lie on top of the white ones.
    for (int note = FirstKey; note <= LastKey; ++note)
        if (IsBlack(note) && KeyRect(note).contains(point))
            return note;
    for (int note = FirstKey; note <= LastKey; ++note)
        if (!IsBlack(note) && KeyRect(note).contains(point))
            return note;
    return -1;
}

QPoint TRhythmKeyboard::CentreOf(int note) const
{
    const QRect key = KeyRect(note);
    // Low on a white key, below the black keys that overlap it.
    return IsBlack(note) ? key.center() : QPoint(key.center().x(), (BlackHeight + WhiteHeight) / 2);
}

void TRhythmKeyboard::SetSelected(int note)
{
    Selected = note;
    update();
}

void TRhythmKeyboard::SetDimmed(const std::bitset<KeyCount> &dimmed)
{
    Dimmed = dimmed;
    update();
}

void TRhythmKeyboard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor mark = palette().color(QPalette::Highlight);
    for (const bool black : {false, true})
        for (int note = FirstKey; note <= LastKey; ++note) {
            if (IsBlack(note) != black)
                continue;
            QColor fill = black ? QColor(30, 30, 30) : Qt::white;
            if (Dimmed[static_cast<std::size_t>(note - FirstKey)])
                fill = black ? QColor(110, 110, 110) : QColor(190, 190, 190);
            if (note == Selected)
                fill = mark;
            painter.setPen(Qt::black);
            painter.setBrush(fill);
            painter.drawRect(KeyRect(note));
        }
}

void TRhythmKeyboard::mousePressEvent(QMouseEvent *event)
{
    const int note = NoteAt(event->position().toPoint());
    if (note < 0 || event->button() != Qt::LeftButton)
        return;
    Sounding = note;
    emit Pressed(note);
}

void TRhythmKeyboard::mouseReleaseEvent(QMouseEvent *event)
{
    if (Sounding < 0 || event->button() != Qt::LeftButton)
        return;
    // The note that sounds ends, wherever the pointer is now.
    emit Released(std::exchange(Sounding, -1));
}
