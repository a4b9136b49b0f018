#pragma once

// The mixer window's undo steps: every control a user changes there (a group's bar, whether
// moved or typed into its box, a transposition bar, a switch, a list, the feedback box) makes a
// step on the stack it is given. A bar held from press to release is one step; a key or arrow
// step is one of its own. What the decoder sets is never a step. Made once the window's send
// handlers are connected, it hears each change after its handler has run.

#include "MixerSession.h"

#include <QObject>
#include <QString>
#include <vector>

class QUndoStack;
class QWidget;

class TMixerUndo : public QObject
{
public:
    TMixerUndo(QWidget &window, const TMixerSession &session, QUndoStack &stack);

    // "Level Part 3", "Reverb Type": what the Edit menu calls a step of that control.
    static QString StepName(const QString &objectName);

private:
    struct TWatched
    {
        QWidget *Control;
        int Known;
    };
    void Watch(QWidget *control);
    void NoteChange(std::size_t index);
    void NoteAppliedEdits(std::size_t changed);
    void Push(std::size_t index, int before, int after, int drag);
    void Restore(std::size_t index, int value);
    static int ValueOf(const QWidget *control);

    const TMixerSession &Session;
    QUndoStack &Stack;
    std::vector<TWatched> Watched;
    bool Restoring = false;
    int DragSerial = 0;
};
