#pragma once

// The rhythm set's 64 keys drawn as a piano from B1 to D7: the selected key marked, a key whose
// Tone Switch is off dimmed. A press selects and sounds a key, its release ends the note; what
// is sent is the window's.

#include "sysex/RhythmParams.h"

#include <QWidget>

#include <bitset>

class TRhythmKeyboard : public QWidget
{
    Q_OBJECT
public:
    explicit TRhythmKeyboard(QWidget *parent = nullptr);

    void SetSelected(int note);
    // Keys whose sound is off, by index from the lowest key.
    void SetDimmed(const std::bitset<sysex::rhythm::KeyCount> &dimmed);
    bool IsDimmed(int note) const
    {
        return sysex::rhythm::IsKey(note)
            && Dimmed[static_cast<std::size_t>(note - sysex::rhythm::FirstKey)];
    }
    // The key drawn at a point of the widget; -1 for none.
    int NoteAt(QPoint point) const;
    // The middle of a key's drawing, where a click reaches it.
    QPoint CentreOf(int note) const;
    QSize sizeHint() const override;

signals:
    void Pressed(int note);
    void Released(int note);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QRect KeyRect(int note) const;

    int Selected = 36;
    int Sounding = -1;
    std::bitset<sysex::rhythm::KeyCount> Dimmed;
};
