#pragma once

// Qt redoes a control's whole work for a text, tip or style set to what it already holds: the
// layout, the repaint, the accessibility event, a style sheet's polish of the control. What the
// instrument answers mostly repeats what a window shows (a window opened again, a type asked
// again), so the decoders set only what differs.

#include <QString>
#include <QWidget>

template<class TControl>
void SetNewText(TControl &control, const QString &text)
{
    if (control.text() != text)
        control.setText(text);
}

inline void SetNewToolTip(QWidget &control, const QString &tip)
{
    if (control.toolTip() != tip)
        control.setToolTip(tip);
}

inline void SetNewStyleSheet(QWidget &control, const QString &sheet)
{
    if (control.styleSheet() != sheet)
        control.setStyleSheet(sheet);
}
