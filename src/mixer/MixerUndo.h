#pragma once

// The mixer window's undo steps: every control a user changes there (a group's bar, whether
// moved or typed into its box, a transposition bar, a switch, a list, the feedback box) makes a
// step on the stack it is given, through the shared control watcher. What the decoder sets is
// never a step. Made once the window's send handlers are connected, it hears each change after
// its handler has run.

#include "MixerSession.h"
#include "controls/ControlWatch.h"

#include <QString>

class QUndoStack;
class QWidget;

class TMixerUndo : public TControlWatch
{
public:
    TMixerUndo(QWidget &window, const TMixerSession &session, QUndoStack &stack);

    // "Level Part 3", "Reverb Type": what the Edit menu calls a step of that control.
    static QString StepName(const QString &objectName);
};
