#pragma once

// A scroll bar whose arrows repeat only while the left button is really held on them. The
// toolkit starts the repeat before the first step runs the bar's handler; when that handler
// opens an error box, the button's release goes to the box, and the repeat would otherwise
// step (and send, or open another box) for ever. A failing step, a hidden or disabled bar, and
// a tick that arrives while a step is still running all end the repeat.

#include <QScrollBar>

#include <functional>

class TScrollBar : public QScrollBar
{
    Q_OBJECT
public:
    explicit TScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Runs one step of the bar's own; false when a handler it ran failed.
    bool Step(const std::function<void()> &step);
    void StopRepeat();

    bool Stepping = false;
};
